// tabulon-batch with the real LibreOffice, with one office and with two:
// no input is written over, outputs of this or earlier runs are never
// inputs, one line per file whatever the names and masks, the right words
// for a full disk, and the lines of a run that is told to end.
#include "OfficeTestSupport.h"

#include "common/ScratchMount.h"
#include "common/TestSupport.h"
#include "engine/AutomationWorkbookConverter.h"
#include "engine/ConversionRun.h"
#include "engine/ConverterPool.h"
#include "engine/WorkbookConverter.h"
#include "platform/office/OfficeBridge.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

using namespace officetest;
using testsupport::everythingIn;
using testsupport::fileBytes;
using testsupport::ProgramRun;
using testsupport::refusedAsInput;
using testsupport::refusedAsItself;
using testsupport::RunningProgram;
using testsupport::ScratchMount;
using testsupport::writeFile;

namespace {

const QByteArray kXmlSpreadsheet = R"(<?xml version="1.0"?>
<?mso-application progid="Excel.Sheet"?>
<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet"
 xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet">
 <Worksheet ss:Name="Budget"><Table><Row><Cell><Data ss:Type="Number">42</Data></Cell></Row></Table></Worksheet>
</Workbook>
)";

QString countLine(const ProgramRun &r)
{
    return r.err.split('\n', Qt::SkipEmptyParts).value(0);
}

QStringList jobsArgument(int jobs)
{
    return {"--jobs", QString::number(jobs)};
}

class InputSafety : public ::testing::TestWithParam<int>
{
protected:
    int jobs() const { return GetParam(); }
    ProgramRun batch(const QStringList &arguments) { return runBatch(jobsArgument(jobs()) + arguments); }
    QTemporaryDir dir;
};

} // namespace

TEST_P(InputSafety, NoInputIsWrittenOverAndEachFileGetsOneLine)
{
    const struct
    {
        QString masks, kind;
        QStringList files; // the last one converts
        QStringList lines; // %1 the source directory
        QString count;
        QString written;
    } cases[] = {
        {"*.xml,*.xls",
         "xml",
         {"budget.xml", "budget.xls", "other.xls"},
         {"%1/budget.xml" + refusedAsItself("%1/budget.xml"), "%1/budget.xls" + refusedAsInput("%1/budget.xml"),
          "%1/other.xlsOK"},
         "3 files: 1 converted, 2 failed, 0 replaced",
         "other.xml"},
        {"*.xls,*.htm",
         "html",
         {"page.htm", "page.xls", "zz.xls"},
         {"%1/page.xls" + refusedAsInput("%1/page.htm"), "%1/zz.xlsOK", "%1/page.htm" + refusedAsItself("%1/page.htm")},
         "3 files: 1 converted, 2 failed, 0 replaced",
         "zz.htm"},
        // Two masks that both match every file: each is converted once.
        {"*,*.XLS",
         "csv",
         {"a.csv", "a.xls", "b.xls"},
         {"%1/a.csv" + refusedAsItself("%1/a.csv"), "%1/a.xls" + refusedAsInput("%1/a.csv"),
          "%1/b.xls" + QString(kCsvOfThreeSheetsOk)},
         "3 files: 1 converted, 2 failed, 0 replaced",
         "b.csv"},
    };
    for (const auto &c : cases) {
        const QString src = dir.filePath(c.kind);
        for (const QString &name : c.files) {
            if (name.endsWith(".xls"))
                copyInput("types.xls", src + "/" + name);
            else
                writeFile(src, name, name.endsWith(".xml") ? kXmlSpreadsheet : "<html>" + name.toUtf8() + "</html>");
        }
        QMap<QString, QByteArray> before;
        for (const QString &name : c.files)
            before.insert(name, fileBytes(src + "/" + name));

        const ProgramRun r = batch({"--source", src, "--out", src, "--masks", c.masks, "--kind", c.kind});
        EXPECT_EQ(r.status, 0) << qPrintable(r.err);
        QStringList expected;
        for (const QString &line : c.lines)
            expected << QString(line).replace("%1", src);
        EXPECT_EQ(r.lines, expected) << qPrintable(c.kind);
        EXPECT_EQ(countLine(r), c.count) << qPrintable(c.kind);
        for (const QString &name : c.files)
            EXPECT_EQ(fileBytes(src + "/" + name), before.value(name)) << qPrintable(name) << " is left as it was";
        QStringList all = c.files;
        all << c.written;
        all.sort();
        EXPECT_EQ(everythingIn(src), all) << qPrintable(c.kind);
    }
}

TEST_P(InputSafety, OutputsOfThisAndEarlierRunsAreNeverInputs)
{
    const QString src = dir.filePath("src");
    const QString a = copyInput("types.xls", src + "/a.xls");
    const QString b = copyInput("types.ods", src + "/sub/b.ods");
    // The output directory inside the source, masks that match every output.
    for (int round = 0; round < 3; ++round) {
        const ProgramRun r =
            batch({"--source", src, "--out", src + "/out", "--keep-tree", "--masks", "*", "--kind", "xml"});
        EXPECT_EQ(r.lines, QStringList({a + "OK", b + "OK"})) << round;
        EXPECT_EQ(countLine(r), "2 files: 2 converted, 0 failed, 0 replaced") << round;
        EXPECT_EQ(everythingIn(src + "/out"), QStringList({"a.xml", "sub", "sub/b.xml"})) << round;
    }
    QDir(src + "/out").removeRecursively();

    // The outputs beside the inputs: a second run knows them as outputs.
    for (int round = 0; round < 2; ++round) {
        const ProgramRun r = batch({"--source", src, "--out", src, "--keep-tree", "--masks", "*", "--kind", "xml"});
        EXPECT_EQ(r.lines, QStringList({a + "OK", b + "OK"})) << round;
        EXPECT_EQ(everythingIn(src), QStringList({"a.xls", "a.xml", "sub", "sub/b.ods", "sub/b.xml"})) << round;
    }
    // A user who wants them converted points the source at them.
    const QString csv = dir.filePath("csv");
    const ProgramRun r = batch({"--source", src, "--out", csv, "--masks", "*.xml", "--kind", "csv"});
    EXPECT_EQ(r.lines, QStringList({src + "/a.xml" + kCsvOfThreeSheetsOk, src + "/sub/b.xml" + kCsvOfThreeSheetsOk}));
    EXPECT_EQ(everythingIn(csv), QStringList({"a.csv", "b.csv"}));
}

TEST_P(InputSafety, ANameWithALineBreakKeepsItsEntryOnOneLine)
{
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const QString odd = copyInput("types.xls", src + "/two\nlines.xls");
    const QString plain = copyInput("types.xls", src + "/z.xls");
    const ProgramRun text = batch({"--source", src, "--out", out, "--kind", "html"});
    EXPECT_EQ(text.lines, QStringList({src + "/two\\x0alines.xlsOK", plain + "OK"}));
    EXPECT_EQ(everythingIn(out), QStringList({"two\nlines.htm", "z.htm"}));

    const ProgramRun json = batch({"--source", src, "--out", out, "--kind", "html", "--log-format", "jsonl"});
    ASSERT_EQ(json.lines.size(), 3) << qPrintable(json.out);
    EXPECT_EQ(QJsonDocument::fromJson(json.lines.at(0).toUtf8()).object().value("path").toString(), odd);
    EXPECT_EQ(QJsonDocument::fromJson(json.lines.at(1).toUtf8()).object().value("path").toString(), plain);
}

TEST_P(InputSafety, ADirectoryThatVanishesIsNamedInItsLine)
{
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const QString a = copyInput("types.xls", src + "/a.xls");
    const QString gone = copyInput("types.xls", src + "/d/x.xls");
    copyInput("types.xls", src + "/d/e/y.xls");
    platform::office::registerExcelApplication(platform::office::OfficeOptions());
    // The directory goes once its files were listed, before its subdirectories are.
    PlainFront front;
    front.out = out;
    front.maskText = "*.xls";
    front.onStatus = [victim = src + "/d"](const QString &text) {
        if (text == victim + "/*.xls")
            QDir(victim).removeRecursively();
    };
    AutomationWorkbookConverter converter;
    ConversionRun run(front, front, converter);
    if (jobs() > 1)
        run.setParallel(jobs(), [] { return std::make_unique<AutomationWorkbookConverter>(); });
    const QString saved = QDir::currentPath();
    run.execute(src);
    QDir::setCurrent(saved);
    EXPECT_EQ(front.log, QStringList({a + "OK", gone + "Can't open the workbook: not found",
                                      src + "/d/e" + "Can't enter the directory: not found"}));
    EXPECT_EQ(everythingIn(out), QStringList({"a.htm"}));
}

TEST_P(InputSafety, AFullDiskIsCalledAFullDisk)
{
    ScratchMount disk(384 << 10);
    if (!disk.mounted())
        GTEST_SKIP() << qPrintable(disk.whyNot());
    const QString src = dir.filePath("src"), out = disk.path() + "/out";
    for (int i = 0; i < 12; ++i)
        copyInput(i % 3 == 0 ? "long.xlsx" : "types.xlsx",
                  QStringLiteral("%1/d%2/f%3.xlsx").arg(src).arg(i % 3).arg(i));
    const ProgramRun r = batch({"--source", src, "--out", out, "--keep-tree", "--masks", "*.xlsx", "--kind", "html"});
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    ASSERT_EQ(r.lines.size(), 12) << qPrintable(r.out);
    int full = 0;
    for (const QString &line : r.lines) {
        if (line.endsWith("OK"))
            continue;
        ++full;
        EXPECT_TRUE(line.endsWith(": disk full")) << qPrintable(line);
    }
    EXPECT_GT(full, 0) << "the disk filled up";
    EXPECT_TRUE(everythingIn(out).filter(QRegularExpression("(^|/)\\.")).isEmpty())
        << qPrintable(everythingIn(out).join(' '));
}

namespace {

// An office program that takes its time to start: a script that waits
// before it becomes the real one.
QString slowOffice(const QString &dir)
{
    const QString path = dir + "/slow-office";
    writeFile(dir, "slow-office", "#!/bin/sh\nsleep 30\nexec /usr/lib/libreoffice/program/soffice.bin \"$@\"\n");
    ::chmod(QFile::encodeName(path), 0755);
    return path;
}

} // namespace

TEST_P(InputSafety, AnEndWhileTheOfficeStartsStopsTheFirstFileAndNothingAfter)
{
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const QString first = copyInput("types.xls", src + "/a.xls");
    copyInput("types.xls", src + "/b.xls");
    RunningProgram batch(batchCommand(
        jobsArgument(jobs()) + QStringList{"--source", src, "--out", out, "--office", slowOffice(dir.path())}));
    ASSERT_TRUE(batch.started());
    QTest::qWait(2000);
    ::kill(pid_t(batch.processId()), SIGTERM);
    ASSERT_TRUE(batch.finish(60000));
    EXPECT_EQ(batch.status(), 128 + SIGTERM);
    EXPECT_EQ(batch.lines(), QStringList({first + ConverterPool::stoppedWhileStartingText()}));
    EXPECT_TRUE(everythingIn(out).isEmpty());
}

TEST_P(InputSafety, AnEndDuringTheRunPrintsNothingAfterTheFileInProgress)
{
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    for (int i = 0; i < 6; ++i)
        copyInput("long.xlsx", QStringLiteral("%1/f%2.xlsx").arg(src).arg(i));
    RunningProgram batch(batchCommand(
        jobsArgument(jobs()) + QStringList{"--source", src, "--out", out, "--masks", "*.xlsx", "--kind", "html"}));
    ASSERT_TRUE(batch.started());
    ASSERT_TRUE(batch.waitForLines(1, 120000));
    ::kill(pid_t(batch.processId()), SIGTERM);
    ASSERT_TRUE(batch.finish(60000));
    EXPECT_EQ(batch.status(), 128 + SIGTERM);
    const QStringList lines = batch.lines();
    ASSERT_FALSE(lines.isEmpty());
    for (int i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(lines.at(i).startsWith(QStringLiteral("%1/f%2.xlsx").arg(src).arg(i))) << "in walk order";
        if (i + 1 < lines.size()) {
            EXPECT_TRUE(lines.at(i).endsWith("OK")) << "only the last line may be a stop: " << qPrintable(lines.at(i));
        } else if (!lines.at(i).endsWith("OK")) {
            EXPECT_TRUE(lines.at(i).contains(QRegularExpression("stopped while [a-z ]+, the program was told to end$")))
                << qPrintable(lines.at(i));
        }
    }
    QStringList placed;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).endsWith("OK"))
            placed << QStringLiteral("f%1.htm").arg(i);
    }
    EXPECT_EQ(everythingIn(out), placed) << "exactly the files with an OK line have outputs";
}

TEST(InputSafetyKilled, StagingOfAKilledKeptTreeRunGoesWithTheNextFlatRun)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    for (int i = 0; i < 6; ++i)
        copyInput("long.xlsx", QStringLiteral("%1/d%2/e/f%2.xlsx").arg(src).arg(i));
    RunningProgram killed(batchCommand(
        {"--jobs", "2", "--source", src, "--out", out, "--keep-tree", "--masks", "*.xlsx", "--kind", "html"}));
    ASSERT_TRUE(killed.started());
    const auto stagingInMirror = [&] {
        return !everythingIn(out).filter(QRegularExpression("^d\\d/e/\\.tabulon-tmp-[^/]+/")).isEmpty();
    };
    ASSERT_TRUE(QTest::qWaitFor(stagingInMirror, 120000));
    ::kill(pid_t(killed.processId()), SIGKILL);
    killed.finish(30000);
    ASSERT_TRUE(stagingInMirror()) << "the killed run left staging behind";

    copyInput("types.xls", src + "/flat.xls");
    const ProgramRun next = runBatch({"--jobs", "1", "--source", src, "--out", out, "--masks", "flat.xls"});
    EXPECT_EQ(next.lines, QStringList({src + "/flat.xlsOK"}));
    EXPECT_TRUE(everythingIn(out).filter(QRegularExpression("\\.tabulon-tmp-")).isEmpty())
        << qPrintable(everythingIn(out).join(' '));
}

INSTANTIATE_TEST_SUITE_P(Jobs, InputSafety, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int> &info) { return "jobs" + std::to_string(info.param); });
