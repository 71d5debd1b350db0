#include "RunFront.h"
#include "common/FakeConverter.h"

#include "common/TestSupport.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>

using testsupport::writeFile;

namespace {

class RunTest : public ::testing::Test, protected RunBench
{
protected:
    void SetUp() override { ASSERT_TRUE(source.isValid() && out.isValid()); }

    QStringList logNames() const
    {
        QStringList names;
        for (QString line : front.log)
            names << line.remove(source.path() + "/").remove(QRegularExpression("OK$"));
        return names;
    }
    // The codes of the saves, each checked to go to a staged path in a
    // private folder of the output directory as it was then.
    QStringList savedCodes(const QString &outputDir) const
    {
        QStringList codes;
        for (const QString &entry : converter.saved) {
            const QFileInfo staged(entry.section('|', 0, 0));
            EXPECT_TRUE(staged.path().startsWith(outputDir + "/.tabulon-tmp-")) << qPrintable(entry);
            codes << entry.section('|', 1);
        }
        return codes;
    }
    ConversionRun::Outcome run()
    {
        ConversionRun r(front, front, converter);
        return r.execute(source.path());
    }
};

} // namespace

TEST(SplitString, KeepsBlanksAndEmptyPieces)
{
    using S = QStringList;
    EXPECT_EQ(DirectoryWalker::SplitString("", ","), S());
    EXPECT_EQ(DirectoryWalker::SplitString("*.xls", ","), S({"*.xls"}));
    EXPECT_EQ(DirectoryWalker::SplitString("*.xls,*.xlsx", ","), S({"*.xls", "*.xlsx"}));
    EXPECT_EQ(DirectoryWalker::SplitString("*.xls,", ","), S({"*.xls", ""}));
    EXPECT_EQ(DirectoryWalker::SplitString("*.xls, *.ods", ","), S({"*.xls", " *.ods"}));
    EXPECT_EQ(DirectoryWalker::SplitString(",,a", ","), S({"", "", "a"}));
}

TEST(BaseName, EndsAtTheFirstDotAfterLeadingDots)
{
    EXPECT_EQ(OutputPlan::baseName("/d/report.2004.xls"), "report");
    EXPECT_EQ(OutputPlan::baseName("/d/a.b.xls"), "a");
    EXPECT_EQ(OutputPlan::baseName("/d.x/README"), "README");
    EXPECT_EQ(OutputPlan::baseName("/d/.budget.xls"), ".budget");
    EXPECT_EQ(OutputPlan::baseName("/d/..x.y"), "..x");
    EXPECT_EQ(OutputPlan::baseName("plain.xls"), "plain");
    EXPECT_EQ(OutputPlan::baseName("/d/数据表.xls"), "数据表");
}

TEST(Masks, MatchLikeTheShellWithoutRegardToCase)
{
    using Case = std::pair<const char *, const char *>; // name, mask
    const Case matching[] = {{"Book1.XLS", "*.xls"},  {"a.b.xls", "*.xls"}, {"b1.xls", "b?.xls"},
                             {"README", "*.*"},       {"x", "*"},           {" x.xls", " *.xls"},
                             {"ÄRGER.XLS", "är*.xls"}};
    const Case other[] = {
        {"Book1.xlsx", "*.xls"}, {"b12.xls", "b?.xls"}, {"x.xls", ""}, {"x.xls", " *.xls"}, {"x.xls", "sub/*.xls"}};
    for (const auto &[name, mask] : matching)
        EXPECT_TRUE(platform::matchesMask(name, mask)) << name << " ~ " << mask;
    for (const auto &[name, mask] : other)
        EXPECT_FALSE(platform::matchesMask(name, mask)) << name << " ~ " << mask;
}

TEST_F(RunTest, WalksFilesBeforeSubdirectoriesDepthFirst)
{
    writeFile(src(), "b.xls");
    writeFile(src(), "a.xls");
    writeFile(src(), "one/deep/d.xls");
    writeFile(src(), "one/c.xls");
    writeFile(src(), "two/e.xls");
    writeFile(src(), "notes.txt");
    EXPECT_EQ(run(), ConversionRun::Outcome::Completed);
    EXPECT_EQ(logNames(), QStringList({"a.xls", "b.xls", "one/c.xls", "one/deep/d.xls", "two/e.xls"}));
    EXPECT_EQ(converter.calls.first(), "start");
    EXPECT_EQ(converter.calls.at(1), "hide");
    EXPECT_EQ(converter.calls.mid(converter.calls.size() - 2), QStringList({"quit", "release"}));
    EXPECT_EQ(front.startEnabled, QList<bool>({false, true}));
    EXPECT_TRUE(QFile::exists(out.filePath("d.htm")));
    EXPECT_TRUE(front.status.contains(src("one")));
    EXPECT_TRUE(front.status.contains(src("one") + "/*.xls"));
    EXPECT_GE(front.yields, 5 + 3) << "a yield before each file and after each subdirectory";
}

TEST_F(RunTest, SkipsHiddenDirectoriesButConvertsHiddenFiles)
{
    writeFile(src(), ".hidden/x.xls");
    writeFile(src(), ".budget.xls");
    writeFile(src(), "visible/.y.xls");
    run();
    EXPECT_EQ(logNames(), QStringList({".budget.xls", "visible/.y.xls"}));
    EXPECT_TRUE(QFile::exists(out.filePath(".budget.htm")));
    EXPECT_TRUE(QFile::exists(out.filePath(".y.htm")));
}

TEST_F(RunTest, MaskListRulesDuplicatesAndEmptyPieces)
{
    writeFile(src(), "a.xls");
    writeFile(src(), "b.ods");
    front.masksText = "  *.xls,*.ods,,*.xls, ";
    run();
    EXPECT_EQ(logNames(), QStringList({"a.xls", "b.ods"})) << "a file two masks match is converted once";

    front.masksText = "";
    writeFile(src(), "sub/c.xls");
    run();
    EXPECT_TRUE(front.log.isEmpty());
    EXPECT_TRUE(front.status.contains(src("sub"))) << "every directory is still entered";
}

TEST_F(RunTest, NamesOutputsByBaseNameAndEveryCheckedKind)
{
    writeFile(src(), "report.2004.xls");
    writeFile(src(), "README");
    front.masksText = "*.xls,README";
    front.kinds[0] = front.kinds[1] = front.kinds[2] = true;
    run();
    EXPECT_EQ(savedCodes(out.path()), QStringList({"44", "6", "46", "44", "6", "46"}));
    for (const char *name : {"report.htm", "report.csv", "report.xml", "README.htm", "README.csv", "README.xml"})
        EXPECT_TRUE(QFileInfo(out.filePath(name)).isFile()) << name;
}

TEST_F(RunTest, ReadsTheControlsLiveDuringTheRun)
{
    writeFile(src(), "a.xls");
    writeFile(src(), "b.xls");
    writeFile(src(), "sub/c.xls");
    writeFile(src(), "sub/d.ods");
    QTemporaryDir second;
    converter.onOpen = [&](const QString &path) {
        if (path.endsWith("a.xls")) {
            front.output = second.path();
            front.kinds[0] = false;
            front.kinds[1] = true;
            front.masksText = "*.ods";
        }
    };
    run();
    // The output directory and kinds change from this very file's saves on,
    // the masks from the next directory on.
    EXPECT_EQ(savedCodes(second.path()), QStringList({"6", "6", "6"}));
    EXPECT_EQ(QDir(second.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"a.csv", "b.csv", "d.csv"}));
    EXPECT_FALSE(QDir(out.path()).exists("a.htm"));
}

TEST_F(RunTest, AFailingWorkbookIsLoggedAndTheRunGoesOn)
{
    writeFile(src(), "a.xls");
    writeFile(src(), "bad.xls");
    writeFile(src(), "c.xls");
    converter.failOpenFor << "bad.xls";
    run();
    EXPECT_EQ(front.log, QStringList({src("a.xls") + "OK", src("bad.xls") + ": broken workbook", src("c.xls") + "OK"}));
    EXPECT_EQ(converter.calls.count("close"), 2);
}

TEST_F(RunTest, AnUnwritableOutputDirectoryFailsEverySave)
{
    writeFile(src(), "a.xls");
    const QString blocker = writeFile(out.path(), "file");
    front.output = blocker + "/inside";
    EXPECT_EQ(run(), ConversionRun::Outcome::Completed);
    ASSERT_EQ(front.log.size(), 1);
    EXPECT_EQ(front.log.first(), src("a.xls") + "Can't save " + blocker + "/inside/a.htm: " + strerror(ENOTDIR));
}

TEST_F(RunTest, ASubdirectoryThatCannotBeEnteredIsLoggedAndSkipped)
{
    writeFile(src(), "a/x.xls");
    writeFile(src(), "b/y.xls");
    writeFile(src(), "c/z.xls");
    // Root enters every directory; removing it between listing and entering
    // does the same to the walk for everyone.
    converter.onOpen = [&](const QString &path) {
        if (path.endsWith("x.xls"))
            QDir(src("b")).removeRecursively();
    };
    run();
    EXPECT_EQ(logNames(), QStringList({"a/x.xls", "bCan't enter the directory: not found", "c/z.xls"}));
    EXPECT_EQ(front.counts, (RunCounts{2, 1, 0}));
}

TEST_F(RunTest, LinkLoopsAreNotWalkedForever)
{
    writeFile(src(), "a/x.xls");
    ASSERT_EQ(symlink(src().toLocal8Bit(), src("a/back").toLocal8Bit()), 0);
    ASSERT_EQ(symlink(src("a").toLocal8Bit(), src("again").toLocal8Bit()), 0);
    run();
    EXPECT_EQ(logNames(), QStringList({"a/x.xls"}));
}

TEST_F(RunTest, StartFailureShowsTheMessageAndKeepsTheLog)
{
    writeFile(src(), "a.xls");
    front.log << "previous line";
    converter.failStart = true;
    EXPECT_EQ(run(), ConversionRun::Outcome::ApplicationUnavailable);
    EXPECT_EQ(front.messages, QStringList({"Can't Open Excel"}));
    EXPECT_EQ(front.log, QStringList({"previous line"}));
    EXPECT_EQ(front.startEnabled, QList<bool>({false, true})) << "off while starting, on again after";
    EXPECT_TRUE(converter.opened.isEmpty());
}

TEST_F(RunTest, EmptyOutputDirectoryTextStopsBeforeStarting)
{
    writeFile(src(), "a.xls");
    front.output.clear();
    EXPECT_EQ(run(), ConversionRun::Outcome::OutputDirectoryFailed);
    EXPECT_EQ(front.messages, QStringList({"Unable to create directory"}));
    EXPECT_TRUE(converter.calls.isEmpty());
}

TEST_F(RunTest, RelativeOutputDirectoryIsResolvedOnceAtTheStart)
{
    writeFile(src(), "a.xls");
    writeFile(src(), "sub/b.xls");
    QDir::setCurrent(out.path());
    front.output = "rel/out";
    run();
    EXPECT_TRUE(QFile::exists(out.filePath("rel/out/a.htm")));
    EXPECT_TRUE(QFile::exists(out.filePath("rel/out/b.htm")));
}

TEST_F(RunTest, StopRequestedDuringAFileEndsTheRunAfterIt)
{
    for (const char *name : {"a.xls", "b.xls", "c.xls", "sub/d.xls"})
        writeFile(src(), name);
    ConversionRun r(front, front, converter);
    converter.onOpen = [&](const QString &path) {
        if (path.endsWith("b.xls"))
            r.requestStop();
    };
    EXPECT_EQ(r.execute(src()), ConversionRun::Outcome::Stopped);
    EXPECT_EQ(front.log.size(), 2);
    EXPECT_EQ(converter.calls.mid(converter.calls.size() - 2), QStringList({"quit", "release"}));
    EXPECT_EQ(front.startEnabled.last(), true);
}

TEST_F(RunTest, UnicodeNamesAreFoundConvertedAndLoggedIntact)
{
    writeFile(src(), "报表/Ärger Übersicht.xls");
    writeFile(src(), "日本語.XLS");
    run();
    EXPECT_EQ(logNames(), QStringList({"日本語.XLS", "报表/Ärger Übersicht.xls"}));
    EXPECT_TRUE(QFile::exists(out.filePath("Ärger Übersicht.htm")));
}

TEST(JoinPath, DoublesTheSeparatorAfterARoot)
{
    EXPECT_EQ(platform::joinPath("/", "a.xls"), "//a.xls");
    EXPECT_EQ(platform::joinPath("/data", "a.xls"), "/data/a.xls");
}

namespace {

QString contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<missing>");
}

QStringList stagingLeftIn(const QString &dir)
{
    QStringList found;
    QDirIterator it(dir, {".tabulon-tmp-*"}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

} // namespace

TEST_F(RunTest, KeptTreeMirrorsEveryDirectorySoOnlyNamesInOneDirectoryCollide)
{
    QTemporaryDir outside;
    writeFile(src(), "a.xls");
    writeFile(src(), "d/a.xls");
    writeFile(src(), "d/a.xlsx");
    writeFile(src(), "d/e/a.xls");
    writeFile(outside.path(), "a.xls");
    ASSERT_EQ(symlink(outside.path().toLocal8Bit(), src("l").toLocal8Bit()), 0);
    front.masksText = "*.xls,*.xlsx";
    front.keepTree = true;
    run();

    EXPECT_EQ(contents(out.filePath("a.htm")), src("a.xls"));
    EXPECT_EQ(contents(out.filePath("d/a.htm")), src("d/a.xlsx"))
        << "a.xls and a.xlsx of one directory still share a name";
    EXPECT_EQ(contents(out.filePath("d/e/a.htm")), src("d/e/a.xls"));
    EXPECT_EQ(contents(out.filePath("l/a.htm")), src("l/a.xls"))
        << "a linked directory is mirrored under the link's name, not where it leads";
    EXPECT_FALSE(QFile::exists(out.filePath(QFileInfo(outside.path()).fileName())));
    EXPECT_EQ(front.counts, (RunCounts{5, 0, 1}));
    ASSERT_EQ(front.results.size(), 5);
    for (const FileResult &result : front.results) {
        const bool isReplacer = result.path == src("d/a.xlsx");
        EXPECT_EQ(result.status, isReplacer ? FileResult::Status::Replaced : FileResult::Status::Ok)
            << qPrintable(result.path);
        EXPECT_EQ(result.replacedOwners, isReplacer ? QStringList{src("d/a.xls")} : QStringList())
            << qPrintable(result.path);
        EXPECT_EQ(result.outputs.size(), 1);
        EXPECT_TRUE(QFileInfo(result.outputs.value(0)).isFile()) << qPrintable(result.outputs.value(0));
    }
    EXPECT_TRUE(front.log.contains(src("d/a.xlsx") + "OK (replaced the output of " + src("d/a.xls") + ")"))
        << qPrintable(front.log.join('\n'));
    EXPECT_TRUE(stagingLeftIn(out.path()).isEmpty()) << qPrintable(stagingLeftIn(out.path()).join('\n'));
}

TEST_F(RunTest, KeptTreeDirectoryThatCannotBeMadeFailsItsFilesWithTheReason)
{
    writeFile(src(), "d/a.xls");
    writeFile(src(), "z/b.xls");
    writeFile(out.path(), "d", "a file in the way");
    front.keepTree = true;
    run();
    EXPECT_EQ(logNames(),
              QStringList({"d/a.xlsCan't save " + out.filePath("d/a.htm") + ": " + platform::describeError(ENOTDIR),
                           "z/b.xls"}));
    EXPECT_EQ(contents(out.filePath("d")), "a file in the way");
    EXPECT_EQ(contents(out.filePath("z/b.htm")), src("z/b.xls"));
    ASSERT_EQ(front.results.size(), 2);
    EXPECT_TRUE(front.results.at(0).outputs.isEmpty());
    EXPECT_EQ(front.results.at(0).status, FileResult::Status::Failed);
}

TEST_F(RunTest, CsvOfEverySheetOrOfTheFirstWithANoteThatSaysSo)
{
    writeFile(src(), "b.xls");
    writeFile(src(), "one.xls");
    writeFile(src(), "quiet.xls");
    converter.sheetsFor["b.xls"] = QStringList{"Values", "a/b", ".x", "a_b"};
    converter.sheetsFor["one.xls"] = QStringList{"Only"};
    front.kinds[0] = false;
    front.kinds[1] = true;

    front.everySheet = true;
    run();
    EXPECT_EQ(contents(out.filePath("b.Values.csv")), src("b.xls") + "#1");
    EXPECT_EQ(contents(out.filePath("b.a_b.csv")), src("b.xls") + "#2");
    EXPECT_EQ(contents(out.filePath("b._x.csv")), src("b.xls") + "#3");
    EXPECT_EQ(contents(out.filePath("b.a_b~2.csv")), src("b.xls") + "#4")
        << "a sheet whose safe name is taken gets its own";
    EXPECT_EQ(contents(out.filePath("one.Only.csv")), src("one.xls") + "#1");
    EXPECT_EQ(contents(out.filePath("quiet.csv")), src("quiet.xls"))
        << "a workbook whose sheets are not told is saved whole";
    ASSERT_EQ(front.results.size(), 3);
    EXPECT_EQ(front.results.at(0).outputs.size(), 4);
    EXPECT_EQ(front.counts, (RunCounts{3, 0, 0}));
    EXPECT_EQ(logNames(), QStringList({"b.xls", "one.xls", "quiet.xls"})) << "no note when every sheet was saved";

    front.everySheet = false;
    front.results.clear();
    QDir(out.path()).removeRecursively();
    run();
    EXPECT_EQ(contents(out.filePath("b.csv")), src("b.xls") + "#1") << "named: the first sheet, not the active one";
    EXPECT_EQ(contents(out.filePath("one.csv")), src("one.xls") + "#1");
    EXPECT_FALSE(QFile::exists(out.filePath("b.Values.csv")));
    EXPECT_EQ(front.log.value(0), src("b.xls") + "OK (the CSV holds only the first of 4 sheets)");
    EXPECT_EQ(front.log.value(1), src("one.xls") + "OK");
    EXPECT_EQ(front.results.value(0).notes, QStringList{"the CSV holds only the first of 4 sheets"});
}

TEST_F(RunTest, CsvSheetsChosenByNameOrPatternAndAWorkbookWithoutOneFails)
{
    writeFile(src(), "b.xls");
    writeFile(src(), "c.xls");
    converter.sheetsFor["b.xls"] = QStringList{"Values", "Totals 2020", "Totals 2021", "Notes"};
    converter.sheetsFor["c.xls"] = QStringList{"Only"};
    converter.lockedFor << "b.xls";
    front.kinds[0] = false;
    front.kinds[1] = true;
    front.sheetPatterns = QStringList{"totals*", "Notes", "Missing"};
    front.csv.separator = u';';
    front.csv.values = platform::CsvFormat::Values::Raw;

    run();
    EXPECT_EQ(contents(out.filePath("b.Totals 2020.csv")), src("b.xls") + "#2") << "patterns match regardless of case";
    EXPECT_EQ(contents(out.filePath("b.Totals 2021.csv")), src("b.xls") + "#3");
    EXPECT_EQ(contents(out.filePath("b.Notes.csv")), src("b.xls") + "#4");
    EXPECT_FALSE(QFile::exists(out.filePath("b.Values.csv")));
    EXPECT_FALSE(QFile::exists(out.filePath("b.csv")));
    EXPECT_EQ(front.log.value(0),
              src("b.xls") + "OK (opened with a password from the list) (no sheet matches \"Missing\")");
    EXPECT_EQ(front.log.value(1), src("c.xls")
                                      + "Not converted: no sheet matches \"totals*\", \"Notes\" or \"Missing\" "
                                        "(the sheets: Only)");
    EXPECT_FALSE(QFile::exists(out.filePath("c.csv")));
    EXPECT_FALSE(QFile::exists(out.filePath("c.Only.csv")));
    EXPECT_EQ(front.counts, (RunCounts{1, 1, 0}));
    ASSERT_EQ(converter.csvFormats.size(), 3);
    for (const platform::CsvFormat &format : std::as_const(converter.csvFormats))
        EXPECT_TRUE(format == front.csv) << "every CSV is written as the settings say";
    EXPECT_EQ(converter.calls.count("close"), 2) << "the workbook without a match is closed too";

    front.sheetPatterns = QStringList{"Only"};
    QDir(out.path()).removeRecursively();
    run();
    EXPECT_EQ(front.log.value(0), src("b.xls")
                                      + "Not converted: no sheet matches \"Only\" "
                                        "(the sheets: Values, Totals 2020, Totals 2021, Notes)");
    EXPECT_EQ(front.log.value(1), src("c.xls") + "OK") << "one sheet chosen by name: no note about the first";
    EXPECT_EQ(contents(out.filePath("c.Only.csv")), src("c.xls") + "#1");
}

TEST_F(RunTest, FlatRunNamesWhoseOutputItReplacedFromThisRunOnly)
{
    // Whose output a name held is read from the output's mark: one of an
    // earlier run names its own workbook and is replaced without a word,
    // while names taken twice in this run say whose output went.
    writeFile(out.path(), "old.htm", "of an earlier run");
    platform::markAsOutput(out.filePath("old.htm"), "/elsewhere/old.xls");
    const QString deep = "d/" + QString(120, QChar(u'Ä')) + "/a.xls";
    writeFile(src(), "a.xls");
    writeFile(src(), "b/a.xls");
    writeFile(src(), deep);
    writeFile(src(), "old.xls");
    run();

    EXPECT_EQ(contents(out.filePath("a.htm")), src(deep));
    EXPECT_EQ(platform::outputWrittenFor(out.filePath("a.htm")), src(deep));
    EXPECT_EQ(platform::outputWrittenFor(out.filePath("old.htm")), src("old.xls"));
    EXPECT_EQ(front.counts, (RunCounts{4, 0, 2}));
    EXPECT_TRUE(front.log.contains(src("old.xls") + "OK")) << qPrintable(front.log.join('\n'));
    EXPECT_TRUE(front.log.contains(src("b/a.xls") + "OK (replaced the output of " + src("a.xls") + ")"))
        << qPrintable(front.log.join('\n'));
    EXPECT_TRUE(front.log.contains(src(deep) + "OK (replaced the output of " + src("b/a.xls") + ")"))
        << qPrintable(front.log.join('\n'));
}
