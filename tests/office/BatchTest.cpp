#include "OfficeTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

using namespace officetest;

namespace {

QString copyInput(const QString &name, const QString &target)
{
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::copy(input(name), target);
    return target;
}

struct Result
{
    int status = -1;
    QStringList lines;
    QString err;
};

Result runBatch(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(TABULON_BATCH), arguments);
    process.waitForFinished(120000);
    Result r;
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.err = QString::fromUtf8(process.readAllStandardError());
    return r;
}

bool processGone(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
}

} // namespace

TEST(Batch, WalksTheTreeAndLogsEveryFileAsTheWindowWould)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const QString top = copyInput("types.xls", src + "/types.xls");
    const QString nested = copyInput("types.xlsx", src + "/deep/er/a.b.xlsx");
    copyInput("types.xls", src + "/.hidden/skipped.xls");
    QDir().mkpath(src + "/deep");
    QFile(src + "/deep/empty.xls").open(QIODevice::WriteOnly);
    const QString locked = copyInput("locked.xls", src + "/deep/locked.xls");

    const Result r = runBatch({"--source", src, "--out", out, "--masks", "*.xls,*.xlsx", "--kind", "csv"});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    ASSERT_EQ(r.lines.size(), 4) << qPrintable(r.lines.join('\n'));
    EXPECT_EQ(r.lines.at(0), top + "OK") << "files before subdirectories";
    EXPECT_TRUE(r.lines.contains(nested + "OK"));
    EXPECT_TRUE(r.lines.filter(src + "/deep/empty.xls").value(0).contains("empty"));
    EXPECT_TRUE(r.lines.filter(locked).value(0).contains("password-protected"));
    EXPECT_TRUE(r.err.contains("4 files: 2 converted, 2 failed")) << qPrintable(r.err);
    EXPECT_EQ(readCsv(out + "/types.csv").size(), 5);
    EXPECT_EQ(readCsv(out + "/a.csv").size(), 5) << "the base name ends at the first dot";
    EXPECT_FALSE(QFile::exists(out + "/skipped.csv")) << "hidden directories are not walked";
}

TEST(Batch, ArgumentsAndAMissingOffice)
{
    QTemporaryDir dir;
    EXPECT_EQ(runBatch({}).status, 64);
    EXPECT_EQ(runBatch({"--source", dir.path(), "--out", dir.path(), "--kind", "pdf"}).status, 64);
    EXPECT_EQ(runBatch({"--source", dir.filePath("none"), "--out", dir.path()}).status, 64);
    EXPECT_EQ(runBatch({"--source", dir.path(), "--out", dir.path(), "--bogus", "1"}).status, 64);
    const Result r = runBatch({"--source", dir.path(), "--out", dir.filePath("out"), "--office", dir.filePath("no-office")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.trimmed(), QString("Can't Open Excel"));
    EXPECT_TRUE(r.lines.isEmpty());
}

TEST(Batch, OfficeKilledDuringTheRunIsReplacedAndTheRestConverts)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const int files = 16;
    for (int i = 0; i < files; ++i)
        copyInput("long.xlsx", QStringLiteral("%1/f%2.xlsx").arg(src).arg(i, 2, 10, QLatin1Char('0')));

    QProcess process;
    process.start(QStringLiteral(TABULON_BATCH), {"--jobs", "1", "--source", src, "--out", out, "--masks", "*.xlsx", "--kind", "xml"});
    ASSERT_TRUE(process.waitForStarted());
    QStringList lines;
    auto readLines = [&] {
        while (process.canReadLine())
            lines << QString::fromUtf8(process.readLine()).trimmed();
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { readLines(); return lines.size() >= 3; }, 60000));
    const QList<pid_t> offices = officeChildrenOf(process.processId());
    ASSERT_EQ(offices.size(), 1);
    ::kill(offices.first(), SIGKILL);

    ASSERT_TRUE(process.waitForFinished(120000));
    readLines();
    EXPECT_EQ(process.exitCode(), 0);
    ASSERT_EQ(lines.size(), files) << qPrintable(lines.join('\n'));
    const QStringList failed = QStringList(lines).filter(QRegularExpression("xlsx(?!OK$)"));
    EXPECT_LE(failed.size(), 1) << "at most the file in progress fails: " << qPrintable(failed.join('\n'));
    for (const QString &line : failed)
        EXPECT_TRUE(line.contains("stopped unexpectedly")) << qPrintable(line);
    EXPECT_TRUE(lines.last().endsWith("OK")) << "the files after the kill convert";
    EXPECT_TRUE(lines.at(lines.size() - 2).endsWith("OK"));
}

TEST(Batch, KillingTheProgramTakesItsOfficeAlong)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    for (int i = 0; i < 8; ++i)
        copyInput("long.xlsx", QStringLiteral("%1/f%2.xlsx").arg(src).arg(i));

    QProcess process;
    process.start(QStringLiteral(TABULON_BATCH), {"--source", src, "--out", dir.filePath("out"), "--masks", "*.xlsx", "--kind", "xml"});
    ASSERT_TRUE(process.waitForStarted());
    QList<pid_t> offices;
    ASSERT_TRUE(QTest::qWaitFor([&] { offices = officeChildrenOf(process.processId()); return !offices.isEmpty(); }, 60000));
    // Killed once the office is at work: the first file's line is out.
    ASSERT_TRUE(QTest::qWaitFor([&] { return process.canReadLine(); }, 120000));
    process.kill();  // SIGKILL: no clean-up code of the program runs
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return processGone(offices.first()); }, 10000)) << "office " << offices.first() << " survived";
    EXPECT_TRUE(officeProcessesMatching(dir.path()).isEmpty());
}
