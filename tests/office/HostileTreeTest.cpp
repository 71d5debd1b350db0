// tabulon-batch with the real LibreOffice on trees a user may well have:
// a full disk, colliding names, links, outputs beside or below the inputs,
// unreadable entries, unusable names, an office that dies in a store.
// Each case checks the exact log lines and what is on disk afterwards.
#include "OfficeTestSupport.h"

#include "common/ScratchMount.h"
#include "common/TestSupport.h"
#include "engine/AutomationWorkbookConverter.h"
#include "engine/ConversionRun.h"
#include "engine/WorkbookConverter.h"
#include "platform/office/OfficeBridge.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace officetest;
using testsupport::ProgramRun;
using testsupport::RunningProgram;
using testsupport::ScratchMount;

using testsupport::everythingIn;
using testsupport::fileBytes;
using testsupport::refusedAsItself;

namespace {

QString countLine(const ProgramRun &r)
{
    return r.err.split('\n', Qt::SkipEmptyParts).value(0);
}

} // namespace

TEST(HostileTree, AFullDiskFailsTheFileWithTheReasonAndLeavesNoPart)
{
    QTemporaryDir dir;
    ScratchMount disk(256 << 10);
    if (!disk.mounted())
        GTEST_SKIP() << qPrintable(disk.whyNot());
    const QString src = dir.filePath("src"), out = disk.path() + "/out";
    const QString big = copyInput("long.xlsx", src + "/big.xlsx");
    const QString small = copyInput("types.xls", src + "/small.xlsx");
    for (const char *kind : {"html", "csv"}) {
        const QString ext = kind == QString("html") ? "htm" : kind;
        const ProgramRun r = runBatch({"--source", src, "--out", out, "--masks", "*.xlsx", "--kind", kind});
        EXPECT_EQ(r.status, 0) << qPrintable(r.err);
        const QString ok = kind == QString("csv") ? kCsvOfThreeSheetsOk : "OK";
        EXPECT_EQ(r.lines, QStringList({big + "cannot save " + out + "/big." + ext + ": disk full", small + ok}))
            << kind;
        EXPECT_TRUE(everythingIn(out).contains("small." + ext)) << kind;
        EXPECT_FALSE(everythingIn(out).contains("big." + ext)) << kind;
        EXPECT_TRUE(everythingIn(out).filter(QRegularExpression("^\\.|/\\.|lu.*tmp")).isEmpty())
            << kind << ": " << qPrintable(everythingIn(out).join(' '));
    }
}

TEST(HostileTree, CollisionsAndLinksAtOutputPaths)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const QString first = copyInput("types.xls", src + "/types.xls");
    const QString second = copyInput("types.xlsx", src + "/d/types.xlsx");
    QDir().mkpath(out);
    const QString victim = dir.filePath("victim.txt");
    QFile victimFile(victim);
    ASSERT_TRUE(victimFile.open(QIODevice::WriteOnly));
    victimFile.write("not to be overwritten");
    victimFile.close();
    ASSERT_EQ(::symlink(QFile::encodeName(victim), QFile::encodeName(out + "/types.csv")), 0);

    const ProgramRun r = runBatch({"--source", src, "--out", out, "--masks", "*.xls, *.xlsx", "--kind", "csv"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.lines,
              QStringList({first + kCsvOfThreeSheetsOk, second + "OK (replaced the output of " + first
                                                            + ") (the CSV holds only the first of 3 sheets)"}));
    EXPECT_EQ(countLine(r), "2 files: 2 converted, 0 failed, 1 replaced");
    EXPECT_EQ(fileBytes(victim), "not to be overwritten");
    EXPECT_FALSE(QFileInfo(out + "/types.csv").isSymLink());
    EXPECT_EQ(readCsv(out + "/types.csv").size(), 5);
    EXPECT_EQ(everythingIn(out), QStringList({"types.csv"}));
}

TEST(HostileTree, OutputsBesideOrBelowTheInputsNeverTouchThem)
{
    QTemporaryDir dir;
    // Output directory = source directory: the CSV workbook's output is itself.
    const QString src = dir.filePath("src");
    const QString book = copyInput("types.xls", src + "/book.xls");
    const ProgramRun made = runBatch({"--source", src, "--out", src, "--kind", "csv"});
    ASSERT_EQ(made.lines, QStringList({book + kCsvOfThreeSheetsOk}));
    QFile::remove(book);
    const QString csv = src + "/book.csv";
    // What a run wrote there is no input of a later one; a copy the user made is.
    const ProgramRun skipped = runBatch({"--source", src, "--out", src, "--masks", "*.csv", "--kind", "csv"});
    EXPECT_TRUE(skipped.lines.isEmpty()) << qPrintable(skipped.out);
    EXPECT_EQ(countLine(skipped), "0 files: 0 converted, 0 failed, 0 replaced");
    ASSERT_TRUE(QFile::copy(csv, csv + ".copy") && QFile::remove(csv) && QFile::rename(csv + ".copy", csv));
    const QByteArray before = fileBytes(csv);
    const ProgramRun same = runBatch({"--source", src, "--out", src, "--masks", "*.csv", "--kind", "csv"});
    EXPECT_EQ(same.lines, QStringList({csv + refusedAsItself(csv)}));
    EXPECT_EQ(countLine(same), "1 files: 0 converted, 1 failed, 0 replaced");
    EXPECT_EQ(fileBytes(csv), before);
    EXPECT_EQ(everythingIn(src), QStringList({"book.csv"}));

    // Output directory inside the source tree, masks that match the outputs.
    const QString tree = dir.filePath("tree");
    const QString a = copyInput("types.xls", tree + "/a.xls");
    const QString b = copyInput("types.ods", tree + "/z/b.ods");
    const ProgramRun below = runBatch({"--source", tree, "--out", tree + "/out", "--masks", "*", "--kind", "html"});
    EXPECT_EQ(below.lines, QStringList({a + "OK", b + "OK"}));
    EXPECT_EQ(everythingIn(tree + "/out"), QStringList({"a.htm", "b.htm"}));
}

TEST(HostileTree, UnreadableEntriesAsAnUnprivilegedUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP()
            << "needs root to run tabulon-batch as the user nobody (without root the tree's owner reads everything)";
    if (!QFile::exists("/usr/bin/setpriv"))
        GTEST_SKIP() << "setpriv is not installed";
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()), 0755), 0);
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const QString open = copyInput("types.xls", src + "/a.xls");
    const QString secret = copyInput("types.xls", src + "/secret.xls");
    copyInput("types.xls", src + "/closed/b.xls");
    copyInput("types.xls", src + "/nolist/c.xls");
    const QString after = copyInput("types.xls", src + "/zz/d.xls");
    ASSERT_EQ(::chmod(QFile::encodeName(secret), 0600), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(src + "/closed"), 0700), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(src + "/nolist"), 0711), 0);
    QDir().mkpath(out);
    ASSERT_EQ(::chown(QFile::encodeName(out), 65534, 65534), 0);

    const QStringList asNobody = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    const ProgramRun r =
        testsupport::runProgram(asNobody + batchCommand({"--source", src, "--out", out, "--kind", "csv"}));
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_EQ(r.lines, QStringList({open + kCsvOfThreeSheetsOk, secret + "Can't open the workbook: permission denied",
                                    src + "/closed" + "Can't enter the directory: permission denied",
                                    src + "/nolist" + "Can't list the directory: permission denied",
                                    after + kCsvOfThreeSheetsOk}));
    EXPECT_EQ(countLine(r), "5 files: 2 converted, 3 failed, 0 replaced");
    EXPECT_EQ(everythingIn(out), QStringList({"a.csv", "d.csv"}));
}

TEST(HostileTree, NamesPathsAndFilesThatAreNoWorkbooks)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const QString good = copyInput("types.xls", src + "/good.xls");
    const QString locked = copyInput("locked.xlsx", src + "/locked.xls");
    const QByteArray raw = QFile::encodeName(src) + "/bad\xff.xls";
    ASSERT_TRUE(QFile::copy(input("types.xls"), QFile::decodeName(QFile::encodeName(src) + "/tmp.xls")));
    ASSERT_EQ(::rename(QFile::encodeName(src + "/tmp.xls"), raw), 0);
    ASSERT_EQ(::symlink("nowhere.xls", QFile::encodeName(src + "/gone.xls")), 0);
    QFile(src + "/empty.xls").open(QIODevice::WriteOnly);
    // A directory chain longer than PATH_MAX, made one step at a time.
    const QString step(200, QLatin1Char('d'));
    QString deep = src + "/deep";
    QDir().mkpath(deep);
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(deep));
    QString tooLong;
    while (deep.toUtf8().size() < PATH_MAX + 300) {
        ASSERT_EQ(::mkdir(step.toUtf8(), 0755), 0);
        ASSERT_EQ(::chdir(step.toUtf8()), 0);
        deep += "/" + step;
        if (tooLong.isEmpty() && deep.toUtf8().size() >= PATH_MAX)
            tooLong = deep;
    }
    QFile::copy(input("types.xls"), "lost.xls");
    QDir::setCurrent(saved);

    const ProgramRun r = runBatch({"--source", src, "--out", out, "--kind", "csv"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.lines,
              QStringList({
                  QFile::decodeName(raw) + "Can't use the file: its name is not valid in the file-name encoding",
                  src + "/empty.xls" + "Can't open the workbook: empty",
                  src + "/gone.xls" + "Can't open the workbook: not found",
                  good + kCsvOfThreeSheetsOk,
                  locked + "Can't open the workbook: the workbook is password-protected",
                  tooLong + "Can't enter the directory: file name too long",
              }));
    EXPECT_EQ(everythingIn(out), QStringList({"good.csv"}));
    QProcess::execute("rm", {"-rf", src + "/deep"});
}

TEST(HostileTree, AnOfficeKilledInAStoreLeavesNothingAndTheNextRunConvertsEverything)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const int files = 6;
    for (int i = 0; i < files; ++i)
        copyInput("long.xlsx", QStringLiteral("%1/f%2.xlsx").arg(src).arg(i));

    RunningProgram batch(
        batchCommand({"--jobs", "1", "--source", src, "--out", out, "--masks", "*.xlsx", "--kind", "html"}));
    ASSERT_TRUE(batch.started());
    // A store is under way when the private folder holds something.
    auto storing = [&] {
        const QStringList all = everythingIn(out);
        return !all.filter(QRegularExpression("^\\.tabulon-tmp-[^/]+/")).isEmpty();
    };
    ASSERT_TRUE(QTest::qWaitFor(storing, 90000));
    const QList<pid_t> offices = officeChildrenOf(batch.processId());
    ASSERT_EQ(offices.size(), 1);
    for (pid_t office : offices)
        ::kill(office, SIGKILL);
    batch.finish(180000);
    ASSERT_FALSE(batch.timedOut());
    const QStringList lines = batch.lines();
    ASSERT_EQ(lines.size(), files);
    const QStringList failed = lines.filter(QRegularExpression("xlsx(?!OK$)"));
    ASSERT_EQ(failed.size(), 1) << qPrintable(lines.join('\n'));
    EXPECT_TRUE(failed.first().contains("stopped unexpectedly")) << qPrintable(failed.first());
    const QString killedName = QFileInfo(failed.first().section(".xlsx", 0, 0)).fileName() + ".htm";
    QStringList expected;
    for (int i = 0; i < files; ++i)
        expected << QStringLiteral("f%1.htm").arg(i);
    QStringList converted = expected;
    converted.removeAll(killedName);
    EXPECT_EQ(everythingIn(out), converted) << "no part, lock file or temporary folder";

    // A lock file that an older version left beside the output does not matter either.
    QFile(out + "/.~lock." + killedName + "#").open(QIODevice::WriteOnly);
    const ProgramRun again = runBatch({"--source", src, "--out", out, "--masks", "*.xlsx", "--kind", "html"});
    EXPECT_EQ(again.lines.filter(QRegularExpression("xlsxOK$")).size(), files) << qPrintable(again.lines.join('\n'));
    QStringList withLock = QStringList(expected) << ".~lock." + killedName + "#";
    withLock.sort();
    EXPECT_EQ(everythingIn(out), withLock);
}

TEST(HostileTree, AnOutputDirectoryThatCannotBeMadeEndsWithStatusOneBeforeTheOffice)
{
    QTemporaryDir dir;
    QFile(dir.filePath("plain")).open(QIODevice::WriteOnly);
    copyInput("types.xls", dir.filePath("src/a.xls"));
    const QString out = dir.filePath("plain/out");
    const ProgramRun r = runBatch({"--source", dir.filePath("src"), "--out", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.lines.isEmpty());
    EXPECT_EQ(r.err.trimmed(), "tabulon-batch: cannot make the output directory " + out + ": " + strerror(ENOTDIR));
    EXPECT_TRUE(officeProcessesMatching(dir.path()).isEmpty());
}

TEST(HostileTree, AStoreThatTimesOutLeavesNothingAndTheNextFileConverts)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const QString first = copyInput("long.xlsx", src + "/a.xlsx");
    const QString second = copyInput("types.xlsx", src + "/b.xlsx");
    // The limit holds for every call, the next file's load in a new office
    // too, which takes seconds on a loaded machine.
    platform::office::OfficeOptions options;
    options.callTimeoutMs = 15000;
    platform::office::registerExcelApplication(options);

    PlainFront front;
    front.out = out;
    AutomationWorkbookConverter converter;
    ConversionRun run(front, front, converter);
    // Freezes the office as soon as a store has begun writing.
    QList<pid_t> frozen;
    QTimer freezer;
    QObject::connect(&freezer, &QTimer::timeout, [&] {
        if (!frozen.isEmpty() || everythingIn(out).filter(QRegularExpression("^\\.tabulon-tmp-[^/]+/")).isEmpty())
            return;
        frozen = officeChildren();
        for (pid_t office : frozen)
            ::kill(office, SIGSTOP);
    });
    freezer.start(5);
    const QString saved = QDir::currentPath();
    run.execute(src);
    QDir::setCurrent(saved);
    freezer.stop();

    ASSERT_FALSE(frozen.isEmpty()) << "a store was caught in progress";
    ASSERT_EQ(front.log.size(), 2) << qPrintable(front.log.join('\n'));
    EXPECT_EQ(front.log.at(0), first
                                   + "LibreOffice did not finish saving the file within 15 s and was stopped; "
                                     "the next file gets a new LibreOffice");
    EXPECT_EQ(front.log.at(1), second + "OK") << qPrintable(front.log.at(1));
    EXPECT_EQ(everythingIn(out), QStringList({"b.htm"})) << "no part, lock file or temporary folder";
    EXPECT_TRUE(officeChildren().isEmpty());
}
