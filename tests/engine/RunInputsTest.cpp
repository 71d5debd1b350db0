// What a run takes as input and what it may write: each file once whatever
// the masks, no output over an input, outputs (of this run or earlier ones)
// never taken as inputs, one line per entry whatever the names, and the
// lines of a stop. Every run case goes through one office and through two.
#include "RunFront.h"
#include "common/FakeConverter.h"

#include "common/TestSupport.h"
#include "engine/ConverterPool.h"
#include "engine/DirectoryWalker.h"
#include "engine/OutputPlan.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::everythingIn;
using testsupport::fileBytes;
using testsupport::refusedAsInput;
using testsupport::refusedAsItself;
using testsupport::writeFile;

TEST(DirectoryWalkerMasks, EachNameGoesToTheFirstMaskThatMatchesIt)
{
    // The last two are names the file-name encoding could not hold, shown alike.
    const QStringList names = {"a.xls", "A.XLS2", "b.ods", "c.txt", "bad\ufffd.xls", "bad\ufffd.xls"};
    const struct
    {
        QStringList masks;
        QList<QList<qsizetype>> expected;
    } cases[] = {
        {{"*", "*.XLS"}, {{0, 1, 2, 3, 4, 5}, {}}},
        {{"*.xls", "*.xls"}, {{0, 4, 5}, {}}},
        {{"*.ods", " *.xls ", "*"}, {{2}, {0, 4, 5}, {1, 3}}},
        {{"", "*.xls*"}, {{}, {0, 1, 4, 5}}},
        {{}, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DirectoryWalker::filesByMask(names, c.masks), c.expected) << qPrintable(c.masks.join('|'));
}

TEST(OutputPlanRefusal, AnOutputOverAnyInputIsRefusedBeforeOneWhoseNameIsTooLong)
{
    const platform::FileId book{1, 10}, other{1, 11}, plain{1, 12};
    const QSet<platform::FileId> inputs = {book, other};
    const auto target = [](const QString &path, platform::FileId id, qsizetype bytes = 5) {
        return OutputPlan::OutputTarget{path, id, bytes};
    };
    const struct
    {
        QList<OutputPlan::OutputTarget> outputs;
        QString expected;
    } cases[] = {
        {{target("/o/new.htm", {})}, ""},
        {{target("/o/plain.htm", plain)}, ""},
        {{target("/o/a.htm", book)}, refusedAsItself("/o/a.htm")},
        {{target("/o/b.htm", other)}, refusedAsInput("/o/b.htm")},
        {{target("/o/x.csv", {}), target("/o/b.csv", other)}, refusedAsInput("/o/b.csv")},
        {{target("/o/long.htm", {}, 300)}, "Can't save /o/long.htm: file name too long"},
        {{target("/o/b.htm", other), target("/o/long.htm", {}, 300)}, refusedAsInput("/o/b.htm")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(OutputPlan::refusal(book, c.outputs, inputs, 255), c.expected) << qPrintable(c.outputs.first().path);
}

TEST(FileResultLine, ControlCharactersAreEscapedSoEveryEntryIsOneLine)
{
    const struct
    {
        QString path;
        QString expected;
    } cases[] = {
        {"/s/plain name.xls", "/s/plain name.xlsOK"},
        {"/s/a\nb.xls", "/s/a\\x0ab.xlsOK"},
        {"/s/\r\t\x1b.xls", "/s/\\x0d\\x09\\x1b.xlsOK"},
        {QString("/s/") + QChar(0x7f) + QChar(0x85) + QChar(0xa0) + "é.xls",
         QString("/s/\\x7f\\x85") + QChar(0xa0) + "é.xlsOK"},
        {"/s/back\\slash.xls", "/s/back\\slash.xlsOK"},
    };
    for (const auto &c : cases) {
        FileResult ok;
        ok.path = c.path;
        EXPECT_EQ(ok.logLine("OK"), c.expected);
    }
    const FileResult failed = FileResult::failure("/s/a\nb.xls", ": line one\nline two");
    EXPECT_EQ(failed.logLine("OK"), "/s/a\\x0ab.xls: line one\\x0aline two");
}

namespace {

// The converters of a run with two offices, each made on its worker.
ConversionRun::ConverterFactory fakeOffices(std::function<void(FakeConverter &)> setUp = {})
{
    return [setUp] {
        auto converter = std::make_unique<FakeConverter>();
        if (setUp)
            setUp(*converter);
        return std::unique_ptr<WorkbookConverter>(std::move(converter));
    };
}

class RunInputs : public ::testing::TestWithParam<int>, protected RunBench
{
protected:
    int jobs() const { return GetParam(); }

    // A run from root (the source folder by default) through view (front by
    // default), with as many offices as the case says.
    ConversionRun::Outcome run(const QString &root = {}, Front *view = nullptr)
    {
        Front &shown = view ? *view : front;
        ConversionRun r(shown, shown, converter);
        if (jobs() > 1)
            r.setParallel(jobs(), fakeOffices());
        const ConversionRun::Outcome outcome = r.execute(root.isEmpty() ? src() : root);
        EXPECT_EQ(r.counts(), shown.counts) << "the view saw the final counts";
        return outcome;
    }
};

} // namespace

TEST_P(RunInputs, NoOutputIsWrittenOverAnInputAndEveryInputGetsOneLine)
{
    const struct
    {
        QString masks;
        int kind; // index into front.kinds
        QStringList files;
        QStringList lines; // "name|what follows the path"; %S the name's own path, %O an output path
        RunCounts counts;
    } cases[] = {
        // The XML spreadsheet that is an input is its own output, and it is the xls workbook's too.
        {"*.xml,*.xls",
         2,
         {"budget.xml", "budget.xls"},
         {"budget.xml|self:budget.xml", "budget.xls|input:budget.xml"},
         {0, 2, 0}},
        // The page the xls workbook would write is an input still to come.
        {"*.xls,*.htm", 0, {"page.xls", "page.htm"}, {"page.xls|input:page.htm", "page.htm|self:page.htm"}, {0, 2, 0}},
        // One mask for all: the CSV is converted already when a.xls comes; b.xls writes a new name.
        {"*", 1, {"a.csv", "a.xls", "b.xls"}, {"a.csv|self:a.csv", "a.xls|input:a.csv", "b.xls|OK"}, {1, 2, 0}},
    };
    for (const auto &c : cases) {
        QDir(src()).removeRecursively();
        QDir().mkpath(src());
        front.output = src();
        front.masksText = c.masks;
        front.kinds[0] = front.kinds[1] = front.kinds[2] = false;
        front.kinds[c.kind] = true;
        for (const QString &name : c.files)
            writeFile(src(), name, "input " + name.toUtf8());
        run();
        QStringList expected;
        for (const QString &line : c.lines) {
            const QString name = line.section('|', 0, 0), what = line.section('|', 1);
            if (what.startsWith("self:"))
                expected << src(name) + refusedAsItself(src(what.mid(5)));
            else if (what.startsWith("input:"))
                expected << src(name) + refusedAsInput(src(what.mid(6)));
            else
                expected << src(name) + what;
        }
        EXPECT_EQ(front.log, expected) << qPrintable(c.masks);
        EXPECT_EQ(front.counts, c.counts) << qPrintable(c.masks);
        for (const QString &name : c.files)
            EXPECT_EQ(fileBytes(src(name)), "input " + name.toUtf8()) << qPrintable(c.masks) << " " << qPrintable(name);
    }
}

TEST_P(RunInputs, AnInputInADirectoryTheWalkHasYetToReachIsNotWrittenOver)
{
    // The source inside the output directory: s/z mirrors onto the source's own z.
    const QString top = src();
    const QString tree = src("s");
    writeFile(tree, "s/z/a.xls", "workbook");
    writeFile(tree, "z/a.htm", "a page that is an input");
    front.output = top;
    front.keepTree = true;
    front.masksText = "*.xls,*.htm";
    run(tree);
    EXPECT_EQ(front.log, QStringList({tree + "/s/z/a.xls" + refusedAsInput(top + "/s/z/a.htm"), tree + "/z/a.htmOK"}));
    EXPECT_EQ(fileBytes(tree + "/z/a.htm"), "a page that is an input");
    EXPECT_EQ(fileBytes(top + "/z/a.htm"), (tree + "/z/a.htm").toUtf8());
}

TEST_P(RunInputs, AFileThatSeveralMasksMatchIsConvertedOnceAtItsFirstMasksTurn)
{
    for (const char *name : {"a.xls", "b.XLS", "c.ods", "sub/d.xls"})
        writeFile(src(), name);
    front.masksText = "*.ods,*,*.XLS,a.xls";
    run();
    EXPECT_EQ(front.log,
              QStringList({src("c.ods") + "OK", src("a.xls") + "OK", src("b.XLS") + "OK", src("sub/d.xls") + "OK"}));
    EXPECT_EQ(front.counts, (RunCounts{4, 0, 0}));
}

TEST_P(RunInputs, TheOutputSubtreeAndEarlierOutputsAreNoInputs)
{
    writeFile(src(), "a.xls");
    writeFile(src(), "sub/b.xls");
    front.masksText = "*";
    front.keepTree = true;
    // Inside the source: the output directory is left out, however often the run is repeated.
    front.output = src("out");
    for (int round = 0; round < 3; ++round) {
        run();
        EXPECT_EQ(front.log, QStringList({src("a.xls") + "OK", src("sub/b.xls") + "OK"})) << round;
        EXPECT_EQ(everythingIn(src("out")), QStringList({"a.htm", "sub", "sub/b.htm"})) << round;
    }
    QDir(src("out")).removeRecursively();

    // The source itself: what runs wrote there carries the output mark.
    front.output = src();
    for (int round = 0; round < 2; ++round) {
        run();
        EXPECT_EQ(front.log, QStringList({src("a.xls") + "OK", src("sub/b.xls") + "OK"})) << round;
        EXPECT_EQ(everythingIn(src()), QStringList({"a.htm", "a.xls", "sub", "sub/b.htm", "sub/b.xls"})) << round;
    }
    EXPECT_TRUE(platform::isMarkedOutput(src("a.htm")));
    EXPECT_FALSE(platform::isMarkedOutput(src("a.xls")));

    // A copy the user made is no output: pointed at as the source, it converts.
    QTemporaryDir copies;
    ASSERT_TRUE(QFile::copy(src("a.htm"), copies.filePath("a.htm")));
    front.output = out.path();
    front.keepTree = false;
    run(copies.path());
    EXPECT_EQ(front.log, QStringList({copies.filePath("a.htm") + "OK"}));
}

TEST_P(RunInputs, ADirectoryThatVanishesGetsItsOwnPathInItsLine)
{
    writeFile(src(), "a.xls");
    writeFile(src(), "d/x.xls");
    writeFile(src(), "d/e/y.xls");
    writeFile(src(), "z.xls");
    // Removed once its files were listed, before its subdirectories are.
    struct VanishingFront : Front
    {
        QString victim;
        void setStatusText(const QString &text) override
        {
            Front::setStatusText(text);
            if (!victim.isEmpty() && text == victim + "/*.xls") {
                QDir(victim).removeRecursively();
                victim.clear();
            }
        }
    } vanishing;
    vanishing.output = out.path();
    vanishing.victim = src("d");
    run(src(), &vanishing);
    EXPECT_EQ(vanishing.log, QStringList({src("a.xls") + "OK", src("z.xls") + "OK",
                                          src("d/x.xls") + "Can't open the workbook: not found",
                                          src("d/e") + "Can't enter the directory: not found"}));
    EXPECT_EQ(vanishing.counts, (RunCounts{2, 2, 0}));
}

TEST_P(RunInputs, StagingOfADeadRunGoesWhereverItStagedWhateverTheNextRunWrites)
{
    const qint64 child = testsupport::goneProcessId();
    ASSERT_GT(child, 0);
    // What a kept-tree run killed while storing in out/d and out/d/e leaves.
    const QString root = QStringLiteral(".tabulon-tmp-%1-AbCdEf").arg(child);
    const QString mirrored = QStringLiteral(".tabulon-tmp-%1-GhIjKl").arg(child);
    writeFile(out.path(), "d/" + mirrored + "/output.htm", "part");
    writeFile(out.path(), "d/e/" + mirrored + "/output.htm", "part");
    writeFile(out.path(), "d/kept.htm", "an earlier output");
    const QByteArray notes =
        QFile::encodeName(out.filePath("d")) + '\0' + QFile::encodeName(out.filePath("d/e")) + '\0';
    writeFile(out.path(), root + "/staging-directories", notes);
    writeFile(src(), "a.xls");
    run(); // flat: it writes into out alone
    EXPECT_EQ(everythingIn(out.path()), QStringList({"a.htm", "d", "d/e", "d/kept.htm"}));
}

TEST_P(RunInputs, AStopWhileTheApplicationStartsGivesTheFirstWorkbookItsLine)
{
    writeFile(src(), "a.xls");
    writeFile(src(), "b.xls");
    ConversionRun r(front, front, converter);
    StopFromWorker stop;
    if (jobs() == 1) {
        converter.onStart = [&] { r.requestStop(); };
    } else {
        r.setParallel(jobs(), fakeOffices([&](FakeConverter &office) {
                          office.onStart = [&] { EXPECT_TRUE(stop(r)); };
                          office.failStart = true; // the start was ended
                      }));
    }
    EXPECT_EQ(r.execute(src()), ConversionRun::Outcome::Stopped);
    EXPECT_EQ(front.log, QStringList({src("a.xls") + ConverterPool::stoppedWhileStartingText()}));
    EXPECT_EQ(front.counts, (RunCounts{0, 1, 0}));
    EXPECT_TRUE(everythingIn(out.path()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Jobs, RunInputs, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int> &info) { return "jobs" + std::to_string(info.param); });
