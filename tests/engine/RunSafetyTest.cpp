// The run against unfriendly trees: colliding names, outputs that are inputs,
// links at output paths, failed saves, names and paths the system cannot
// use. The fake converter writes the source path into each output.
#include "common/FakeConverter.h"

#include "common/TestSupport.h"
#include "platform/FileSystem.h"
#include "platform/OutputStaging.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::writeFile;

namespace {

struct Front : RunSettings, RunView
{
    QString masksText = "*.xls";
    QString output;
    QString masks() const override { return masksText; }
    QString outputDirectory() const override { return output; }
    bool isChecked(OutputKind kind) const override { return kind == OutputKind::Html; }
    void setStatusText(const QString &) override {}
    void appendLog(const QString &line) override { log << line; }
    void clearLog() override { log.clear(); }
    void setStartEnabled(bool) override {}
    void showCounts(const RunCounts &c) override { counts = c; }
    void showMessage(const QString &text) override { messages << text; }
    void processEvents() override {}
    QString successText() const override { return "OK"; }
    QString startFailureText() const override { return "Can't Open Excel"; }

    QStringList log, messages;
    RunCounts counts;
};

using testsupport::everythingIn;
using testsupport::fileBytes;
using testsupport::refusedAsItself;

class RunSafety : public ::testing::Test
{
protected:
    void SetUp() override
    {
        front.output = out.path();
        savedCwd = QDir::currentPath();
    }
    void TearDown() override { QDir::setCurrent(savedCwd); }

    QString src(const QString &rel = {}) const { return rel.isEmpty() ? source.path() : source.filePath(rel); }
    RunCounts run()
    {
        ConversionRun r(front, front, converter);
        r.execute(source.path());
        EXPECT_EQ(r.counts(), front.counts) << "the view saw the final counts";
        return r.counts();
    }

    QTemporaryDir source, out;
    Front front;
    FakeConverter converter;
    QString savedCwd;
};

} // namespace

TEST_F(RunSafety, ACollisionKeepsTheLaterWorkbookAndNamesTheEarlierOne)
{
    writeFile(src(), "a.xls");
    writeFile(src(), "a.xlsx");
    writeFile(src(), "d/a.xls");
    front.masksText = "*.xls, *.xlsx "; // blanks around masks are not part of them
    const RunCounts counts = run();
    EXPECT_EQ(front.log,
              QStringList({src("a.xls") + "OK", src("a.xlsx") + "OK (replaced the output of " + src("a.xls") + ")",
                           src("d/a.xls") + "OK (replaced the output of " + src("a.xlsx") + ")"}));
    EXPECT_EQ(counts, (RunCounts{3, 0, 2}));
    EXPECT_EQ(fileBytes(out.filePath("a.htm")), src("d/a.xls").toUtf8());
    EXPECT_EQ(everythingIn(out.path()), QStringList({"a.htm"})) << "no private folder is left";
}

TEST_F(RunSafety, AnOutputThatIsTheWorkbookItselfIsRefusedAndTheWorkbookKept)
{
    // Output directory = source directory; a hard link and a symbolic link
    // at output paths that lead to the workbook being converted.
    front.output = src();
    front.masksText = "a.htm,*.xls";
    writeFile(src(), "a.htm", "original page");
    writeFile(src(), "sub/b.xls", "workbook b");
    writeFile(src(), "sub/c.xls", "workbook c");
    ASSERT_EQ(::link(QFile::encodeName(src("sub/b.xls")), QFile::encodeName(src("b.htm"))), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(src("sub/c.xls")), QFile::encodeName(src("c.htm"))), 0);
    const RunCounts counts = run();
    EXPECT_EQ(front.log, QStringList({src("a.htm") + refusedAsItself(src("a.htm")),
                                      src("sub/b.xls") + refusedAsItself(src("b.htm")),
                                      src("sub/c.xls") + refusedAsItself(src("c.htm"))}));
    EXPECT_EQ(counts, (RunCounts{0, 3, 0}));
    EXPECT_TRUE(converter.opened.isEmpty()) << "refused before the application sees it";
    EXPECT_EQ(fileBytes(src("a.htm")), "original page");
    EXPECT_EQ(fileBytes(src("sub/b.xls")), "workbook b");
    EXPECT_EQ(fileBytes(src("sub/c.xls")), "workbook c");
}

TEST_F(RunSafety, OutputsInsideTheSourceTreeAreNotTakenAsInputs)
{
    front.output = src("out");
    front.masksText = "*";
    writeFile(src(), "a.xls");
    writeFile(src(), "z/b.xls");
    run();
    EXPECT_EQ(front.log, QStringList({src("a.xls") + "OK", src("z/b.xls") + "OK"}));
    EXPECT_EQ(everythingIn(src("out")), QStringList({"a.htm", "b.htm"}));
}

TEST_F(RunSafety, ALinkAtTheOutputPathIsReplacedNotWrittenThrough)
{
    QTemporaryDir elsewhere;
    const QString victim = writeFile(elsewhere.path(), "precious.txt", "keep me");
    writeFile(src(), "a.xls");
    ASSERT_EQ(::symlink(QFile::encodeName(victim), QFile::encodeName(out.filePath("a.htm"))), 0);
    run();
    EXPECT_EQ(front.log, QStringList({src("a.xls") + "OK"}));
    EXPECT_EQ(fileBytes(victim), "keep me");
    EXPECT_FALSE(QFileInfo(out.filePath("a.htm")).isSymLink());
    EXPECT_EQ(fileBytes(out.filePath("a.htm")), src("a.xls").toUtf8());
}

TEST_F(RunSafety, AFailedSaveLeavesNothingAndTheNextRunConvertsTheName)
{
    writeFile(src(), "a.xls");
    writeFile(src(), "b.xls");
    writeFile(out.path(), "b.htm", "an earlier run's b");
    converter.failSaveFor << "a.xls"
                          << "b.xls";
    EXPECT_EQ(run(), (RunCounts{0, 2, 0}));
    // The message names the output, not the place it was being written to.
    EXPECT_EQ(front.log, QStringList({src("a.xls") + ": cannot write " + out.filePath("a.htm") + ": disk full",
                                      src("b.xls") + ": cannot write " + out.filePath("b.htm") + ": disk full"}));
    EXPECT_EQ(everythingIn(out.path()), QStringList({"b.htm"})) << "no part, lock or temporary folder";
    EXPECT_EQ(fileBytes(out.filePath("b.htm")), "an earlier run's b") << "a failed save keeps the old output";

    converter.failSaveFor.clear();
    EXPECT_EQ(run(), (RunCounts{2, 0, 0}));
    EXPECT_EQ(everythingIn(out.path()), QStringList({"a.htm", "b.htm"}));
}

TEST_F(RunSafety, PrivateFoldersOfGoneProcessesAreRemovedAtTheStart)
{
    const pid_t child = testsupport::goneProcessId();
    ASSERT_GT(child, 0);
    const QString stale = QStringLiteral(".tabulon-tmp-%1-AbCdEf").arg(child);
    const QString live = QStringLiteral(".tabulon-tmp-%1-GhIjKl").arg(::getppid());
    writeFile(out.path(), stale + "/output.htm", "part");
    writeFile(out.path(), stale + "/lu99.tmp/x", "litter");
    writeFile(out.path(), live + "/output.htm", "another run's");
    writeFile(src(), "a.xls");
    run();
    EXPECT_EQ(everythingIn(out.path()), QStringList({live, live + "/output.htm", "a.htm"}));
}

TEST_F(RunSafety, NamesAndFilesThatCannotBeUsedAreLoggedAndCounted)
{
    const QByteArray root = QFile::encodeName(src());
    auto make = [&](const QByteArray &rel) {
        const int fd = ::open(root + "/" + rel, O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0) << rel.constData();
        ASSERT_EQ(::write(fd, "x", 1), 1);
        ::close(fd);
    };
    make("bad\xff.xls");
    make("bad\xfe.txt"); // matches no mask: no line
    ASSERT_EQ(::mkdir(root + "/dir\xfe", 0755), 0);
    make("dir\xfe/inside.xls");
    ASSERT_EQ(::mkfifo(root + "/pipe.xls", 0644), 0);
    writeFile(src(), "empty.xls", "");
    writeFile(src(), "good.xls");
    writeFile(src(), "sub.xls/inner.xls"); // a directory that matches the mask is walked

    const RunCounts counts = run();
    EXPECT_EQ(front.log, QStringList({
                             src() + "/" + QFile::decodeName("bad\xff.xls")
                                 + "Can't use the file: its name is not valid in the file-name encoding",
                             src("empty.xls") + "Can't open the workbook: empty",
                             src("good.xls") + "OK",
                             src("pipe.xls") + "Can't open the workbook: not a regular file",
                             src() + "/" + QFile::decodeName("dir\xfe")
                                 + "Can't use the directory: its name is not valid in the file-name encoding",
                             src("sub.xls/inner.xls") + "OK",
                         }));
    EXPECT_EQ(counts, (RunCounts{2, 4, 0}));
    EXPECT_EQ(converter.opened, QStringList({src("good.xls"), src("sub.xls/inner.xls")}));
}

TEST_F(RunSafety, PathsAndNamesOverTheSystemsLimitsAreLoggedAndTheWalkGoesOn)
{
    // A chain of directories longer than PATH_MAX, made one step at a time.
    const QString step(200, QLatin1Char('d'));
    QString deep = src("deep");
    ASSERT_TRUE(QDir().mkdir(deep));
    ASSERT_TRUE(QDir::setCurrent(deep));
    int levels = 0;
    for (; deep.toUtf8().size() < PATH_MAX + 400; ++levels) {
        ASSERT_EQ(::mkdir(step.toUtf8(), 0755), 0);
        ASSERT_EQ(::chdir(step.toUtf8()), 0);
        deep += "/" + step;
    }
    writeFile(QDir::currentPath(), "lost.xls"); // relative to the current directory: the path is too long
    QDir::setCurrent(savedCwd);
    writeFile(src(), "zz/after.xls");
    // An output name over NAME_MAX is refused; one just under it is written.
    const QString tooLong = QString(252, QLatin1Char('n')) + ".x";
    front.masksText = "*.xls,*.x";
    const QString justFits = QString(251, QLatin1Char('m')) + ".xls";
    writeFile(src(), tooLong);
    writeFile(src(), justFits);

    const RunCounts counts = run();
    QString firstTooLong = src("deep");
    while (firstTooLong.toUtf8().size() < PATH_MAX)
        firstTooLong += "/" + step;
    EXPECT_EQ(front.log, QStringList({
                             src(justFits) + "OK",
                             src(tooLong) + "Can't save " + out.filePath(QString(252, QLatin1Char('n')) + ".htm")
                                 + ": file name too long",
                             firstTooLong + "Can't enter the directory: file name too long",
                             src("zz/after.xls") + "OK",
                         }));
    EXPECT_EQ(counts, (RunCounts{2, 2, 0}));
    EXPECT_TRUE(QFile::exists(out.filePath(QString(251, QLatin1Char('m')) + ".htm")));
    QProcess::execute("rm", {"-rf", src("deep")});
}
