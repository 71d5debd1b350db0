#include "cli/FileSelection.h"
#include "cli/BatchOptions.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using batch::FileList;

TEST(FileSelection, ShardsAreTheDocumentedHashAndSplitEveryPathIntoExactlyOne)
{
    // FNV-1a of "a" is 0xe40c292c: another machine or release must pick
    // the same shards, or runs that split a tree would miss files.
    EXPECT_EQ(batch::shardOf("a", 1000), int(0xe40c292cu % 1000) + 1);
    EXPECT_EQ(batch::shardOf(QString(), 7), int(2166136261u % 7) + 1) << "the offset basis alone";
    EXPECT_EQ(batch::shardOf(QString::fromUtf8("d\xc3\xa9j\xc3\xa0/\xe6\x97\xa5.xls"), 1 << 30),
              batch::shardOf(QString::fromUtf8("d\xc3\xa9j\xc3\xa0/\xe6\x97\xa5.xls"), 1 << 30))
        << "stable for non-ASCII names";

    QList<int> sizes(4, 0);
    for (int i = 0; i < 400; ++i) {
        const int shard = batch::shardOf(QStringLiteral("dir%1/book%2.xls").arg(i % 7).arg(i), 4);
        ASSERT_GE(shard, 1);
        ASSERT_LE(shard, 4);
        ++sizes[shard - 1];
    }
    for (int size : sizes)
        EXPECT_GT(size, 50) << "every shard gets a fair part";
    EXPECT_EQ(batch::shardOf("anything", 1), 1);
}

TEST(FileSelection, TheShardOfAFileIsTakenFromItsPathBelowTheSourceHoweverTheSourceIsNamed)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("real/sub"));
    ASSERT_TRUE(QFile::link(dir.filePath("real"), dir.filePath("link")));
    const batch::ShardFilter viaLink(dir.filePath("link"), 1, 3);
    // The walk names the top files through the source as given, deeper ones
    // through the directory it leads to.
    EXPECT_EQ(viaLink.relativePath(dir.filePath("link/a.xls")), "a.xls");
    EXPECT_EQ(viaLink.relativePath(dir.filePath("real/sub/b.xls")), "sub/b.xls");
    EXPECT_EQ(viaLink.relativePath(dir.filePath("linkage/c.xls")), "../linkage/c.xls") << "a prefix is not a parent";
    const int shard = batch::shardOf("sub/b.xls", 3);
    EXPECT_TRUE(batch::ShardFilter(dir.filePath("real"), shard, 3).contains(dir.filePath("real/sub/b.xls")));
    EXPECT_FALSE(batch::ShardFilter(dir.filePath("real"), shard % 3 + 1, 3).contains(dir.filePath("real/sub/b.xls")));
}

TEST(FileSelection, AListGivesItsPathsInOrderWithRelativeOnesBelowTheBase)
{
    QBuffer list;
    list.setData("a.xls\nsub/b.xls\r\n\n/abs/c.xls\n./d/../e.xls\nlast without newline.xls");
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const FileList files = batch::readFileList(list, "/base");
    EXPECT_TRUE(files.error.isEmpty());
    EXPECT_EQ(files.paths, (QStringList{"/base/a.xls", "/base/sub/b.xls", "/abs/c.xls", "/base/e.xls",
                                        "/base/last without newline.xls"}));

    QTemporaryDir dir;
    const FileList missing = batch::readFileList(dir.filePath("no-such-list"), "/base");
    EXPECT_TRUE(missing.paths.isEmpty());
    EXPECT_TRUE(missing.error.contains(dir.filePath("no-such-list"))) << qPrintable(missing.error);
}

TEST(BatchOptions, JobsFilesFromAndShardAreReadAndCheckedBeforeAnythingRuns)
{
    QTemporaryDir dir;
    const QStringList good{"--source", dir.path(), "--out", dir.path()};
    const batch::ParsedArguments all =
        batch::parseArguments(good + QStringList{"--jobs", "3", "--files-from", "-", "--shard", "2/5"});
    ASSERT_EQ(all.request, batch::ParsedArguments::Request::Run) << qPrintable(all.text);
    EXPECT_EQ(all.options.jobs, 3);
    EXPECT_EQ(all.options.filesFrom, "-");
    EXPECT_EQ(all.options.shard, 2);
    EXPECT_EQ(all.options.shardCount, 5);
    EXPECT_EQ(batch::parseArguments(good).options.jobs, 0) << "no --jobs: the machine decides";

    const batch::ParsedArguments listOnly = batch::parseArguments({"--out", dir.path(), "--files-from", "list"});
    EXPECT_EQ(listOnly.request, batch::ParsedArguments::Request::Run)
        << "a list needs no --source: " << qPrintable(listOnly.text);
    for (const QStringList &bad :
         {QStringList{"--jobs", "0"}, QStringList{"--jobs", "-2"}, QStringList{"--jobs", "two"},
          QStringList{"--shard", "0/2"}, QStringList{"--shard", "3/2"}, QStringList{"--shard", "1/0"},
          QStringList{"--shard", "1"}, QStringList{"--shard", "1/2/3"}, QStringList{"--shard", "a/b"}}) {
        const batch::ParsedArguments parsed = batch::parseArguments(good + bad);
        EXPECT_EQ(parsed.request, batch::ParsedArguments::Request::Error) << qPrintable(bad.join(' '));
        EXPECT_TRUE(parsed.text.contains(bad.first())) << qPrintable(parsed.text);
    }
}

TEST(BatchOptions, DefaultJobsAreTheProcessorsAsFarAsMemoryGoes)
{
    const qint64 mb = 1024 * 1024;
    EXPECT_EQ(batch::defaultJobs(2, 8000 * mb), 2);
    EXPECT_EQ(batch::defaultJobs(8, 1000 * mb), 3) << "about 300 MB per office";
    EXPECT_EQ(batch::defaultJobs(8, 100 * mb), 1) << "never none";
    EXPECT_EQ(batch::defaultJobs(4, -1), 4) << "memory unknown";
    EXPECT_EQ(batch::defaultJobs(0, 8000 * mb), 1);
}

TEST(FileSelection, AFileListedAgainByAnyNameIsTakenOnceAtItsFirstPlace)
{
    QTemporaryDir dir;
    const QString a = dir.filePath("a.xls"), b = dir.filePath("b.xls");
    for (const QString &path : {a, b}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    ASSERT_TRUE(QFile::link(a, dir.filePath("link.xls")));
    ASSERT_EQ(::link(QFile::encodeName(b).constData(), QFile::encodeName(dir.filePath("hard.xls")).constData()), 0);
    const struct
    {
        QStringList listed;
        QStringList expected;
    } cases[] = {
        {{a, b, a}, {a, b}},
        {{a, dir.filePath("./sub/../a.xls")}, {a}},
        {{dir.filePath("link.xls"), a}, {dir.filePath("link.xls")}},
        {{b, dir.filePath("hard.xls")}, {b}},
        {{dir.filePath("gone.xls"), dir.filePath("gone.xls"), dir.filePath("other-gone.xls")},
         {dir.filePath("gone.xls"), dir.filePath("other-gone.xls")}},
        {{}, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(batch::uniqueFiles(c.listed), c.expected) << qPrintable(c.listed.join(' '));

    QBuffer list;
    list.setData("a.xls\nb.xls\n./a.xls\nhard.xls\n");
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(batch::readFileList(list, dir.path()).paths, (QStringList{a, b}));
}
