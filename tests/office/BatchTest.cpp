#include "OfficeTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMultiMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

using namespace officetest;
using testsupport::ProgramRun;
using testsupport::RunningProgram;

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

    const ProgramRun r = runBatch({"--source", src, "--out", out, "--masks", "*.xls,*.xlsx", "--kind", "csv"});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    ASSERT_EQ(r.lines.size(), 4) << qPrintable(r.lines.join('\n'));
    EXPECT_EQ(r.lines.at(0), top + kCsvOfThreeSheetsOk) << "files before subdirectories";
    EXPECT_TRUE(r.lines.contains(nested + kCsvOfThreeSheetsOk));
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
    const ProgramRun r =
        runBatch({"--source", dir.path(), "--out", dir.filePath("out"), "--office", dir.filePath("no-office")});
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

    RunningProgram batch(
        batchCommand({"--jobs", "1", "--source", src, "--out", out, "--masks", "*.xlsx", "--kind", "xml"}));
    ASSERT_TRUE(batch.started());
    ASSERT_TRUE(batch.waitForLines(3, 60000));
    const QList<pid_t> offices = officeChildrenOf(batch.processId());
    ASSERT_EQ(offices.size(), 1);
    ::kill(offices.first(), SIGKILL);

    batch.finish(120000);
    ASSERT_FALSE(batch.timedOut());
    const QStringList &lines = batch.lines();
    EXPECT_EQ(batch.status(), 0) << qPrintable(batch.err());
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

    RunningProgram batch(
        batchCommand({"--source", src, "--out", dir.filePath("out"), "--masks", "*.xlsx", "--kind", "xml"}));
    ASSERT_TRUE(batch.started());
    const QList<pid_t> offices = waitForOfficesOf(batch.processId());
    ASSERT_FALSE(offices.isEmpty());
    // Killed once the office is at work: the first file's line is out.
    ASSERT_TRUE(batch.waitForLines(1, 120000));
    batch.process().kill(); // SIGKILL: no clean-up code of the program runs
    ASSERT_TRUE(batch.process().waitForFinished(10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return processGone(offices.first()); }, 10000))
        << "office " << offices.first() << " survived";
    EXPECT_TRUE(officeProcessesMatching(dir.path()).isEmpty());
}

namespace {

QList<QJsonObject> jsonLines(const QStringList &lines)
{
    QList<QJsonObject> objects;
    for (const QString &line : lines) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << qPrintable(line);
        objects << document.object();
    }
    return objects;
}

} // namespace

TEST(BatchOptionsForLargeRuns, KeptTreeSeparatesDirectoriesAndStillReportsAReplacementWithinOne)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    copyInput("types.xls", src + "/a.xls");
    copyInput("types.xls", src + "/d/a.xls");
    copyInput("types.xlsx", src + "/d/a.xlsx");
    copyInput("types.xls", src + "/d/e/a.xls");

    const ProgramRun r =
        runBatch({"--source", src, "--out", out, "--masks", "*.xls,*.xlsx", "--kind", "html", "--keep-tree"});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_EQ(r.lines,
              QStringList({src + "/a.xlsOK", src + "/d/a.xlsOK",
                           src + "/d/a.xlsxOK (replaced the output of " + src + "/d/a.xls)", src + "/d/e/a.xlsOK"}));
    EXPECT_TRUE(r.err.contains("4 files: 4 converted, 0 failed, 1 replaced")) << qPrintable(r.err);
    for (const char *output : {"/a.htm", "/d/a.htm", "/d/e/a.htm"})
        EXPECT_EQ(readHtmlTables(out + output).value(0).value(1).value(0), QString("Apple, red")) << output;
    QDirIterator all(out, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    QStringList left;
    while (all.hasNext())
        left << all.next().mid(out.size());
    left.sort();
    EXPECT_EQ(left, QStringList({"/a.htm", "/d", "/d/a.htm", "/d/e", "/d/e/a.htm"})) << "nothing staged is left";
}

TEST(BatchOptionsForLargeRuns, JsonLinesGiveEveryFileItsObjectAndTheCountLast)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const QString good = copyInput("types.xls", src + "/good.xls");
    const QString again = copyInput("types.xls", src + "/d/good.\"quoted\".xls");
    QFile(src + "/empty.xls").open(QIODevice::WriteOnly);
    const QByteArray raw = QFile::encodeName(src) + "/caf\xe9.xls";
    ASSERT_EQ(::rename(QFile::encodeName(copyInput("types.xls", src + "/tmp.xls")).constData(), raw.constData()), 0);

    const ProgramRun r = runBatch({"--source", src, "--out", out, "--kind", "csv", "--log-format", "jsonl"});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    const QList<QJsonObject> objects = jsonLines(r.lines);
    ASSERT_EQ(objects.size(), 5) << qPrintable(r.lines.join('\n'));
    QMultiMap<QString, QJsonObject> byStatus;
    for (const QJsonObject &object : objects.mid(0, 4))
        byStatus.insert(object["status"].toString(), object);
    const QJsonObject ok = byStatus.value("ok");
    EXPECT_EQ(ok["path"].toString(), good);
    EXPECT_EQ(ok["outputs"].toArray(), QJsonArray({out + "/good.csv"}));
    EXPECT_TRUE(ok["error"].isNull());
    EXPECT_GT(ok["seconds"].toDouble(), 0.0);
    EXPECT_EQ(ok["notes"].toArray(), QJsonArray({"the CSV holds only the first of 3 sheets"}));

    const QJsonObject replaced = byStatus.value("replaced");
    EXPECT_EQ(replaced["path"].toString(), again);
    EXPECT_EQ(replaced["replaces"].toArray(), QJsonArray({good}));

    const QList<QJsonObject> failed = byStatus.values("failed");
    ASSERT_EQ(failed.size(), 2);
    for (const QJsonObject &object : failed) {
        EXPECT_TRUE(object["error"].isString());
        EXPECT_EQ(object["outputs"].toArray(), QJsonArray());
        if (object.contains("path_base64")) {
            EXPECT_EQ(QByteArray::fromBase64(object["path_base64"].toString().toLatin1()), raw);
            EXPECT_TRUE(object["error"].toString().contains("not valid in the file-name encoding"));
        } else {
            EXPECT_EQ(object["path"].toString(), src + "/empty.xls");
            EXPECT_TRUE(object["error"].toString().contains("empty")) << qPrintable(object["error"].toString());
        }
    }
    EXPECT_EQ(objects.last(), QJsonObject({{"files", 4}, {"converted", 2}, {"failed", 2}, {"replaced", 1}}));
    EXPECT_EQ(readCsv(out + "/good.csv").size(), 5);
}

TEST(BatchOptionsForLargeRuns, CsvOfEverySheetOrOfTheFirstWithTheNote)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const QString book = copyInput("types.xls", src + "/types.xls");

    const ProgramRun all = runBatch({"--source", src, "--out", out, "--kind", "csv", "--csv-sheets", "all"});
    EXPECT_EQ(all.status, 0) << qPrintable(all.err);
    EXPECT_EQ(all.lines, QStringList({book + "OK"}));
    const QList<QStringList> values = readCsv(out + "/types.Values.csv");
    const QList<QStringList> second = readCsv(out + "/types.Second.csv");
    const QList<QStringList> third = readCsv(out + "/types.Third.csv");
    EXPECT_EQ(values.size(), 5);
    EXPECT_EQ(values.value(1).value(0), QString("Apple, red"));
    EXPECT_EQ(second.value(0).value(0), QString("left"));
    EXPECT_EQ(second.value(2).mid(2), QStringList({"42", "45"}));
    EXPECT_EQ(third, QList<QStringList>({{"third"}}));
    EXPECT_FALSE(QFile::exists(out + "/types.csv"));
    QFile raw(out + "/types.Values.csv");
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_EQ(raw.readLine(), "Item,Qty,Price,Total,Date,Paid\n")
        << "one sheet is written as the whole workbook's first sheet is: quoted only where needed";
    EXPECT_TRUE(raw.readLine().startsWith("\"Apple, red\",3,1.25,3.75,2004-03-01,")) << "and as shown";

    const ProgramRun first = runBatch({"--source", src, "--out", out, "--kind", "csv"});
    EXPECT_EQ(first.lines, QStringList({book + kCsvOfThreeSheetsOk}));
    EXPECT_EQ(readCsv(out + "/types.csv"), values);
    QStringList names = QDir(out).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    EXPECT_EQ(names, QStringList({"types.Second.csv", "types.Third.csv", "types.Values.csv", "types.csv"}));
}

TEST(BatchOptionsForLargeRuns, SeveralOfficesGiveTheJsonLinesAndKeptTreeOfOne)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    copyInput("types.xls", src + "/a.xls");
    copyInput("types.xls", src + "/d/a.xls");
    copyInput("types.xlsx", src + "/d/a.xlsx");
    copyInput("types.xlsx", src + "/d/e/b.xlsx");
    QFile(src + "/d/empty.xls").open(QIODevice::WriteOnly);

    // The outputs named relative to their run's --out, the time left out.
    const auto run = [&](const QString &jobs, QStringList *tree) {
        const QString out = dir.filePath("out" + jobs);
        const ProgramRun r = runBatch({"--jobs", jobs, "--source", src, "--out", out, "--masks", "*.xls,*.xlsx",
                                       "--kind", "csv", "--csv-sheets", "all", "--keep-tree", "--log-format", "jsonl"});
        EXPECT_EQ(r.status, 0) << qPrintable(r.err);
        QList<QJsonObject> objects = jsonLines(r.lines);
        for (QJsonObject &object : objects) {
            EXPECT_EQ(object.contains("seconds"), !object.contains("files")) << qPrintable(r.lines.join('\n'));
            object.remove("seconds");
            QJsonArray outputs;
            for (const QJsonValue output : object.value("outputs").toArray())
                outputs.append(output.toString().replace(out, "OUT"));
            if (object.contains("outputs"))
                object["outputs"] = outputs;
        }
        QDirIterator all(out, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (all.hasNext())
            *tree << all.next().mid(out.size());
        tree->sort();
        return objects;
    };
    QStringList oneTree, twoTree;
    const QList<QJsonObject> one = run("1", &oneTree);
    const QList<QJsonObject> two = run("2", &twoTree);
    ASSERT_EQ(one.size(), 6);
    EXPECT_EQ(two, one);
    EXPECT_EQ(twoTree, oneTree) << "nothing staged is left, and the same files are in place";
    EXPECT_EQ(oneTree,
              QStringList({"/a.Second.csv", "/a.Third.csv", "/a.Values.csv", "/d", "/d/a.Second.csv", "/d/a.Third.csv",
                           "/d/a.Values.csv", "/d/e", "/d/e/b.Second.csv", "/d/e/b.Third.csv", "/d/e/b.Values.csv"}));
    const auto replacer =
        std::find_if(one.begin(), one.end(), [&](const QJsonObject &o) { return o["path"] == src + "/d/a.xlsx"; });
    ASSERT_NE(replacer, one.end());
    EXPECT_EQ((*replacer)["status"].toString(), QString("replaced")) << "d/a.xlsx comes after d/a.xls";
    EXPECT_EQ((*replacer)["replaces"].toArray(), QJsonArray({src + "/d/a.xls"})) << "named once for its three sheets";
    EXPECT_EQ((*replacer)["outputs"].toArray(),
              QJsonArray({"OUT/d/a.Values.csv", "OUT/d/a.Second.csv", "OUT/d/a.Third.csv"}));
    EXPECT_EQ(one.last(), QJsonObject({{"files", 5}, {"converted", 4}, {"failed", 1}, {"replaced", 1}}));
}
