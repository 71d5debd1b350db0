#include "OfficeTestSupport.h"

#include "common/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>

#include <climits>
#include <csignal>
#include <unistd.h>

using namespace officetest;
using testsupport::ProgramRun;
using testsupport::RunningProgram;
using testsupport::writeFile;

namespace {

// A tree with `plain` ordinary workbooks spread over three levels, two that
// take the names of earlier ones (e/f0.xls after f0.xls, e/f1.xlsx after
// d/f1.xls), and three files the office refuses.
void makeTree(const QString &src, int plain)
{
    for (int i = 0; i < plain; ++i) {
        const QString dir = i % 3 == 0 ? src : i % 3 == 1 ? src + "/d" : src + "/d/e";
        copyInput(i % 4 == 3 ? "types.xlsx" : "types.xls",
                  QStringLiteral("%1/f%2.%3").arg(dir).arg(i).arg(i % 4 == 3 ? "xlsx" : "xls"));
    }
    copyInput("types.xlsx", src + "/e/f0.xls");
    copyInput("types.xlsx", src + "/e/f1.xlsx");
    writeFile(src, "d/garbage.xls", QByteArray(3000, '\x07'));
    writeFile(src, "d/e/empty.xls", {});
    copyInput("locked.xls", src + "/e/locked.xls");
}

// Every file below dir (hidden ones too) with its bytes, by relative path.
QMap<QString, QByteArray> contents(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        file.open(QIODevice::ReadOnly);
        files.insert(QDir(dir).relativeFilePath(file.fileName()), file.readAll());
    }
    return files;
}

QString profileOf(pid_t office)
{
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(office));
    if (!cmdline.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &argument : cmdline.readAll().split('\0')) {
        if (argument.startsWith("-env:UserInstallation="))
            return QString::fromUtf8(argument);
    }
    return {};
}

QString pathOf(const QString &line)
{
    static const QRegularExpression end(QStringLiteral("\\.xlsx?\\K.*$"));
    return QString(line).remove(end);
}

QString withoutReplaced(const QString &line)
{
    // Only that remark: the others, such as the first-sheet note, stay.
    return QString(line).remove(QRegularExpression(QStringLiteral(" \\(replaced the output of [^)]*\\)")));
}

// Whether the process holds a file below dir open: for an office and the
// run's output folder, whether it is writing an output, in the middle of a
// file (the close afterwards fails no file, it only replaces the office).
bool holdsFileBelow(pid_t pid, const QString &dir)
{
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    const QByteArray prefix = QFile::encodeName(dir) + '/';
    for (const QString &fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[PATH_MAX];
        const ssize_t size = ::readlink(QFile::encodeName(fds + '/' + fd).constData(), target, sizeof target);
        if (size > 0 && QByteArray(target, size).startsWith(prefix))
            return true;
    }
    return false;
}

bool isStopped(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "T";
}

// Stops one of the offices at a moment it writes an output below out and
// answers it; -1 when neither does. A kill between two files would only
// make the run start the next file on a new office, so a test of a file lost
// with its office has to choose the moment.
pid_t stopAnOfficeWriting(const QList<pid_t> &offices, const QString &out)
{
    for (pid_t office : offices) {
        if (::kill(office, SIGSTOP) != 0)
            continue;
        // The signal takes effect on the office's own processor.
        QDeadlineTimer settle(2000);
        while (!isStopped(office) && !settle.hasExpired())
            QThread::yieldCurrentThread();
        if (isStopped(office) && holdsFileBelow(office, out))
            return office;
        ::kill(office, SIGCONT);
    }
    return -1;
}

QStringList pathsOf(const QStringList &lines)
{
    QStringList paths;
    for (const QString &line : lines)
        paths << pathOf(line);
    return paths;
}

} // namespace

TEST(ParallelBatch, GivesTheLinesOrderCountsAndBytesOfOneJobAlsoWhenAnOfficeIsKilled)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    makeTree(src, 90);
    const QStringList common{"--source", src, "--masks", "*.xls,*.xlsx", "--kind", "csv"};

    const ProgramRun one = runBatch(common + QStringList{"--jobs", "1", "--out", dir.filePath("one")});
    ASSERT_EQ(one.status, 0) << qPrintable(one.err);
    ASSERT_EQ(one.lines.size(), 95) << qPrintable(one.lines.join('\n'));
    const auto hasLineStarting = [&one](const QString &start) {
        return std::any_of(one.lines.begin(), one.lines.end(),
                           [&start](const QString &line) { return line.startsWith(start); });
    };
    EXPECT_TRUE(hasLineStarting(src + "/e/f0.xlsOK (replaced the output of " + src + "/f0.xls)"));
    EXPECT_TRUE(hasLineStarting(src + "/e/f1.xlsxOK (replaced the output of " + src + "/d/f1.xls)"));
    EXPECT_EQ(one.lines.filter(QRegularExpression("xlsx?OK")).size(), 92);

    const ProgramRun three = runBatch(common + QStringList{"--jobs", "3", "--out", dir.filePath("three")});
    EXPECT_EQ(three.status, 0) << qPrintable(three.err);
    EXPECT_EQ(three.lines, one.lines);
    EXPECT_EQ(three.err, one.err) << "the same count line";
    const QMap<QString, QByteArray> expected = contents(dir.filePath("one"));
    EXPECT_EQ(expected.size(), 90) << "one output per base name";
    EXPECT_TRUE(contents(dir.filePath("three")) == expected) << "the same outputs, byte for byte";

    // Two offices; one is killed while both convert, with a workbook in hand.
    RunningProgram killed(batchCommand(common + QStringList{"--jobs", "2", "--out", dir.filePath("killed")}));
    QList<pid_t> offices;
    pid_t victim = -1;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            offices = officeChildrenOf(killed.processId());
            if (offices.size() != 2 || killed.lines().size() < 4)
                return false;
            victim = stopAnOfficeWriting(offices, dir.filePath("killed"));
            return victim > 0;
        },
        90000))
        << "offices: " << offices.size() << ", lines: " << killed.lines().size();
    ::kill(victim, SIGKILL);
    const pid_t survivor = offices.first() == victim ? offices.last() : offices.first();
    ASSERT_LT(killed.lines().size(), 60) << "the run is too far on to kill an office in its middle";
    ASSERT_TRUE(killed.finish());
    EXPECT_EQ(killed.status(), 0) << qPrintable(killed.err());

    const QStringList &lines = killed.lines();
    EXPECT_EQ(pathsOf(lines), pathsOf(one.lines)) << "every file once, in walk order";
    QStringList changed;
    QSet<QString> changedBases;
    qsizetype firstChanged = lines.size();
    for (int i = 0; i < std::min(lines.size(), one.lines.size()); ++i) {
        if (lines.at(i) == one.lines.at(i))
            continue;
        // Besides the killed file's own line, the line of a later workbook
        // of its name may say nothing or less of what it replaced.
        if (withoutReplaced(lines.at(i)) == withoutReplaced(one.lines.at(i)))
            continue;
        firstChanged = std::min<qsizetype>(firstChanged, i);
        changed << lines.at(i);
        changedBases << QFileInfo(pathOf(lines.at(i))).completeBaseName().section('.', 0, 0);
        EXPECT_TRUE(lines.at(i).contains("LibreOffice stopped unexpectedly")) << qPrintable(lines.at(i));
    }
    EXPECT_GE(changed.size(), 1) << "the killed office had a file in hand";
    EXPECT_LE(changed.size(), 2) << qPrintable(changed.join('\n'));
    // Every other line is the one-job line: the run went on, the other
    // office too, and the killed one was replaced.
    EXPECT_LT(firstChanged, lines.size() - 20) << "many files came after the kill";
    const QMap<QString, QByteArray> afterKill = contents(dir.filePath("killed"));
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (!changedBases.contains(QFileInfo(it.key()).completeBaseName())) {
            EXPECT_TRUE(afterKill.value(it.key()) == it.value()) << qPrintable(it.key());
        }
    }
    for (const QString &name : afterKill.keys())
        EXPECT_TRUE(expected.contains(name)) << "nothing else is left: " << qPrintable(name);
    EXPECT_TRUE(QTest::qWaitFor([&] { return processGone(survivor); }, 5000))
        << "the office that was not killed ended with the run";
}

TEST(ParallelBatch, TwoRunsAtOnceWithTwoJobsEachUseFourProfiles)
{
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CACHE_HOME", dir.filePath("cache"));
    // Enough files that neither run ends while the other's offices start.
    const int files = 120;
    for (int i = 0; i < files; ++i) {
        copyInput("types.xls", QStringLiteral("%1/a/f%2.xls").arg(dir.path()).arg(i));
        copyInput("types.xls", QStringLiteral("%1/b/f%2.xls").arg(dir.path()).arg(i));
    }
    RunningProgram first(batchCommand({"--jobs", "2", "--source", dir.filePath("a"), "--out", dir.filePath("out-a")}),
                         env);
    RunningProgram second(batchCommand({"--jobs", "2", "--source", dir.filePath("b"), "--out", dir.filePath("out-b")}),
                          env);
    QStringList profiles;
    const bool fourAtOnce = QTest::qWaitFor(
        [&] {
            const QList<pid_t> offices = officeChildrenOf(first.processId()) + officeChildrenOf(second.processId());
            profiles.clear();
            for (pid_t office : offices)
                profiles << profileOf(office);
            return offices.size() == 4;
        },
        90000);
    ASSERT_TRUE(first.finish() && second.finish());
    ASSERT_TRUE(fourAtOnce) << "never four offices at once: " << qPrintable(profiles.join(' '));
    EXPECT_EQ(QSet<QString>(profiles.begin(), profiles.end()).size(), 4) << qPrintable(profiles.join('\n'));
    for (const QString &profile : profiles)
        EXPECT_TRUE(profile.contains(dir.filePath("cache/tabulon/profiles/"))) << qPrintable(profile);
    EXPECT_EQ(first.lines().filter(QRegularExpression("OK$")).size(), files) << qPrintable(first.err());
    EXPECT_EQ(second.lines().filter(QRegularExpression("OK$")).size(), files) << qPrintable(second.err());
}

TEST(ParallelBatch, AnEndingSignalEndsEveryOfficeAndLeavesNothing)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("tmp"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", dir.filePath("tmp"));
    for (int i = 0; i < 60; ++i)
        copyInput("types.xls", QStringLiteral("%1/src/f%2.xls").arg(dir.path()).arg(i));
    RunningProgram batch(batchCommand({"--jobs", "2", "--source", dir.filePath("src"), "--out", dir.filePath("out")}),
                         env);
    QList<pid_t> offices;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            offices = officeChildrenOf(batch.processId());
            return offices.size() == 2 && !batch.lines().isEmpty();
        },
        90000));
    ::kill(pid_t(batch.processId()), SIGTERM);
    ASSERT_TRUE(batch.finish());
    EXPECT_EQ(batch.status(), 128 + SIGTERM) << qPrintable(batch.err());
    EXPECT_LT(batch.lines().size(), 60) << "the run stopped";
    EXPECT_TRUE(officeProcessesMatching(dir.path()).isEmpty());
    for (pid_t office : offices)
        EXPECT_TRUE(QTest::qWaitFor([&] { return processGone(office); }, 5000)) << "office " << office << " survived";
    EXPECT_EQ(QDir(dir.filePath("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList())
        << "no private folder of either office is left";
    const QStringList outputs =
        QDir(dir.filePath("out")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_TRUE(outputs.filter(".tabulon-tmp-").isEmpty()) << qPrintable(outputs.join(' '));
    EXPECT_EQ(outputs.size(), batch.lines().filter(QRegularExpression("OK$")).size())
        << "an output for each OK line, no other";
}

TEST(ParallelBatch, TwoShardsCoverEveryFileExactlyOnce)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    makeTree(src, 24);
    const QStringList common{"--source", src, "--masks", "*.xls,*.xlsx", "--kind", "csv"};
    const ProgramRun all = runBatch(common + QStringList{"--out", dir.filePath("all"), "--jobs", "1"});
    ASSERT_EQ(all.status, 0) << qPrintable(all.err);
    ASSERT_EQ(all.lines.size(), 29);

    RunningProgram first(
        batchCommand(common + QStringList{"--out", dir.filePath("s1"), "--shard", "1/2", "--jobs", "1"}));
    RunningProgram second(
        batchCommand(common + QStringList{"--out", dir.filePath("s2"), "--shard", "2/2", "--jobs", "2"}));
    ASSERT_TRUE(first.finish() && second.finish());
    EXPECT_EQ(first.status(), 0) << qPrintable(first.err());
    EXPECT_EQ(second.status(), 0) << qPrintable(second.err());
    const QStringList a = pathsOf(first.lines()), b = pathsOf(second.lines());
    EXPECT_FALSE(a.isEmpty());
    EXPECT_FALSE(b.isEmpty());
    const QSet<QString> inA(a.begin(), a.end()), inB(b.begin(), b.end());
    EXPECT_TRUE(QSet<QString>(inA).intersect(inB).isEmpty());
    EXPECT_EQ(a.size() + b.size(), all.lines.size()) << "no file twice";
    const QStringList every = pathsOf(all.lines);
    EXPECT_TRUE(inA + inB == QSet<QString>(every.begin(), every.end()));
    QStringList plainLines;
    for (const QString &line : all.lines)
        plainLines << withoutReplaced(line);
    for (const QString &line : first.lines() + second.lines())
        EXPECT_TRUE(plainLines.contains(withoutReplaced(line)))
            << "each line as the whole run gives it: " << qPrintable(line);
}

TEST(ParallelBatch, FilesFromAListFileOrStandardInputInListOrderWithMissingEntriesFailed)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    copyInput("types.xls", src + "/sub/b.xls");
    copyInput("types.xlsx", dir.filePath("elsewhere/a.xlsx"));
    const QByteArray list = "sub/b.xls\n" + dir.filePath("elsewhere/a.xlsx").toUtf8() + "\n\nsub/missing.xls\nsub\r\n";
    writeFile(dir.path(), "list.txt", list);

    const ProgramRun fromFile = runBatch(
        {"--source", src, "--out", dir.filePath("o1"), "--kind", "csv", "--files-from", dir.filePath("list.txt")});
    EXPECT_EQ(fromFile.status, 0) << qPrintable(fromFile.err);
    ASSERT_EQ(fromFile.lines.size(), 4) << qPrintable(fromFile.lines.join('\n'));
    EXPECT_EQ(fromFile.lines.at(0), src + "/sub/b.xls" + kCsvOfThreeSheetsOk)
        << "relative entries are taken against --source";
    EXPECT_EQ(fromFile.lines.at(1), dir.filePath("elsewhere/a.xlsx") + kCsvOfThreeSheetsOk)
        << "masks do not filter a list";
    EXPECT_EQ(fromFile.lines.at(2), src + "/sub/missing.xlsCan't open the workbook: not found");
    EXPECT_TRUE(fromFile.lines.at(3).startsWith(src + "/subCan't open the workbook: "))
        << qPrintable(fromFile.lines.at(3));
    EXPECT_TRUE(fromFile.err.contains("4 files: 2 converted, 2 failed")) << qPrintable(fromFile.err);
    EXPECT_EQ(readCsv(dir.filePath("o1/b.csv")).size(), 5);

    // From standard input, without --source: relative to the current directory.
    QProcess process;
    process.setWorkingDirectory(src);
    process.start(QStringLiteral(TABULON_BATCH),
                  {"--out", dir.filePath("o2"), "--kind", "csv", "--jobs", "2", "--files-from", "-"});
    ASSERT_TRUE(process.waitForStarted());
    process.write(list);
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines, fromFile.lines);
    EXPECT_TRUE(contents(dir.filePath("o2")) == contents(dir.filePath("o1")));

    const ProgramRun noList = runBatch({"--out", dir.filePath("o3"), "--files-from", dir.filePath("no-list")});
    EXPECT_EQ(noList.status, 64);
    EXPECT_TRUE(noList.err.contains(dir.filePath("no-list"))) << qPrintable(noList.err);
    EXPECT_FALSE(QFile::exists(dir.filePath("o3"))) << "nothing is made for a list that cannot be read";
}

TEST(OfficeRecycling, AnOfficeReplacedByCountOrMemoryChangesNoLineAndNoOutput)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    makeTree(src, 10);
    const QStringList common{"--source", src, "--masks", "*.xls,*.xlsx", "--kind", "csv"};
    const ProgramRun kept = runBatch(
        common
        + QStringList{"--jobs", "1", "--office-recycle", "0", "--office-memory", "0", "--out", dir.filePath("kept")});
    ASSERT_EQ(kept.status, 0) << qPrintable(kept.err);
    ASSERT_EQ(kept.lines.size(), 15) << qPrintable(kept.lines.join('\n'));
    const QMap<QString, QByteArray> expected = contents(dir.filePath("kept"));

    QProcessEnvironment traced = QProcessEnvironment::systemEnvironment();
    traced.insert("TABULON_OFFICE_TRACE", "1");
    const auto replacements = [](const ProgramRun &run, const QString &why) {
        return run.err.count(QRegularExpression(QStringLiteral("tabulon-office: replacing the office %1").arg(why)));
    };
    const auto count = [](const ProgramRun &run) {
        return run.err.split('\n').filter(QRegularExpression("^(?!tabulon-office: )\\S")).join('\n');
    };
    struct Case
    {
        const char *what;
        QStringList arguments;
        QString reason;
        int atLeast; // replacements
    };
    const QList<Case> cases = {
        {"after every 3 files", {"--jobs", "1", "--office-recycle", "3", "--office-memory", "0"}, "after 3 files", 3},
        {"above 1 MB resident",
         {"--jobs", "1", "--office-recycle", "0", "--office-memory", "1"},
         "at \\d+ MB resident, above its limit of 1 MB",
         10},
        {"two offices, after every 2 files",
         {"--jobs", "2", "--office-recycle", "2", "--office-memory", "0"},
         "after 2 files",
         3},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString out = dir.filePath(QStringLiteral("out%1").arg(++round));
        const ProgramRun run = runBatch(common + c.arguments + QStringList{"--out", out}, traced);
        EXPECT_EQ(run.status, 0) << qPrintable(run.err);
        EXPECT_EQ(run.lines, kept.lines);
        EXPECT_EQ(count(run), count(kept)) << "the same count line";
        EXPECT_GE(replacements(run, c.reason), c.atLeast) << qPrintable(run.err);
        EXPECT_TRUE(contents(out) == expected) << "the same outputs, byte for byte";
    }
}
