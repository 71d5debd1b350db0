#include "common/TestSupport.h"
#include "engine/DirectoryWalker.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

using testsupport::writeFile;

namespace {

// Records what the walk finds, and where the process stood meanwhile.
struct Recorder : DirectoryWalker::Visitor
{
    QString maskText = "*.xls";
    QStringList found;    // path|relative directory
    QStringList problems; // path|reason
    QStringList directoriesSeen;
    std::function<void(const QString &)> onFile;

    bool stopRequested() const override { return false; }
    QString masks() const override { return maskText; }
    void showStatus(const QString &) override {}
    void yield() override {}
    void foundFile(const QString &path, const QString &relative) override
    {
        found << path + "|" + relative;
        directoriesSeen << QDir::currentPath();
        if (onFile)
            onFile(path);
    }
    void foundProblem(const QString &path, const QString &reason, const QByteArray &) override
    {
        problems << path + "|" + reason;
    }
};

class WalkerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        savedCwd = QDir::currentPath();
    }
    void TearDown() override { QDir::setCurrent(savedCwd); }

    QTemporaryDir root;
    QString savedCwd;
    Recorder recorder;
};

} // namespace

TEST_F(WalkerTest, NeverChangesTheCurrentDirectoryAndKeepsARelativeRootRelative)
{
    writeFile(root.path(), "tree/a.xls");
    writeFile(root.path(), "tree/sub/deeper/b.xls");
    ASSERT_TRUE(QDir::setCurrent(root.path()));
    DirectoryWalker(recorder).walk("tree");
    EXPECT_EQ(recorder.found, QStringList({"tree/a.xls|", "tree/sub/deeper/b.xls|sub/deeper"}));
    EXPECT_EQ(recorder.directoriesSeen, QStringList({root.path(), root.path()}));
    EXPECT_EQ(QDir::currentPath(), root.path());
    EXPECT_TRUE(recorder.problems.isEmpty()) << qPrintable(recorder.problems.join('\n'));
}

TEST_F(WalkerTest, NamesWhatLiesBelowALinkByTheLinkNotByWhereItLeads)
{
    QTemporaryDir outside;
    writeFile(outside.path(), "s/x.xls");
    writeFile(root.path(), "tree/keep.txt");
    ASSERT_EQ(::symlink(QFile::encodeName(outside.path()), QFile::encodeName(root.filePath("tree/l"))), 0);
    DirectoryWalker(recorder).walk(root.filePath("tree"));
    EXPECT_EQ(recorder.found, QStringList({root.filePath("tree/l/s/x.xls") + "|l/s"}));
}

TEST_F(WalkerTest, ReadsEachDirectoryOnceForAllItsMasks)
{
    writeFile(root.path(), "a.xls");
    writeFile(root.path(), "b.ods");
    recorder.maskText = "*.xls, *.ods";
    // A file that appears after the directory was read belongs to no mask of this walk.
    recorder.onFile = [&](const QString &path) {
        if (path.endsWith("a.xls"))
            writeFile(root.path(), "late.ods");
    };
    DirectoryWalker(recorder).walk(root.path());
    EXPECT_EQ(recorder.found, QStringList({root.filePath("a.xls") + "|", root.filePath("b.ods") + "|"}));
}

TEST_F(WalkerTest, ARootThatCannotBeEnteredGetsOneLineWithTheReason)
{
    const QString file = writeFile(root.path(), "plain.xls");
    const struct
    {
        QString path;
        QString reason;
    } cases[] = {
        {root.filePath("missing"), platform::describeError(ENOENT)},
        {file, platform::describeError(ENOTDIR)},
        {QString(), platform::describeError(ENOENT)},
    };
    for (const auto &c : cases) {
        Recorder one;
        DirectoryWalker(one).walk(c.path);
        EXPECT_EQ(one.problems, QStringList({c.path + "|Can't enter the directory: " + c.reason})) << qPrintable(c.path);
        EXPECT_TRUE(one.found.isEmpty());
    }
}
