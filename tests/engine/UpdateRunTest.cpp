// A run that leaves up-to-date workbooks as they are: outputs that exist and
// are newer, none of them claimed by an earlier workbook of the same run;
// the same lines with one office and with two.
#include "RunFront.h"
#include "common/FakeConverter.h"

#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using testsupport::writeFile;

namespace {

struct UpdateFront : Front
{
    bool update = true;
    bool skipsUpToDate() const override { return update; }
    bool isFixed() const override { return true; }
};

// Sets a file's modification time `seconds` from now.
void setAge(const QString &path, int seconds)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) + seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0) << qPrintable(path);
}

class UpdateRunTest : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override { front.output = out.path(); }

    // The lines of a run over the source, one office or two.
    QStringList run()
    {
        front.log.clear();
        FakeConverter converter;
        ConversionRun r(front, front, converter);
        if (GetParam() > 1)
            r.setParallel(GetParam(), [] { return std::make_unique<FakeConverter>(); });
        EXPECT_EQ(r.execute(source.path()), ConversionRun::Outcome::Completed);
        counts = r.counts();
        return front.log;
    }
    QString s(const QString &rel) const { return source.filePath(rel); }

    QTemporaryDir source, out;
    UpdateFront front;
    RunCounts counts;
};

} // namespace

TEST_P(UpdateRunTest, WorkbooksWithNewerOutputsAreUpToDateUntilTouchedOrTheirOutputIsGone)
{
    for (const char *name : {"a.xls", "b.xls", "c.xls"}) {
        setAge(writeFile(source.path(), name), -100);
    }
    front.update = false;
    ASSERT_EQ(run().size(), 3);
    front.update = true;

    EXPECT_EQ(run(), QStringList({s("a.xls") + "up to date", s("b.xls") + "up to date", s("c.xls") + "up to date"}));
    EXPECT_EQ(counts, (RunCounts{0, 0, 0, 3}));

    setAge(s("a.xls"), 100);              // touched after its output was written
    QFile::remove(out.filePath("b.htm")); // output gone
    setAge(out.filePath("c.htm"), -200);  // output older than the workbook
    EXPECT_EQ(run(), QStringList({s("a.xls") + "OK", s("b.xls") + "OK", s("c.xls") + "OK"}));
    EXPECT_EQ(counts, (RunCounts{3, 0, 0, 0}));
    EXPECT_TRUE(QFile::exists(out.filePath("b.htm")));
}

TEST_P(UpdateRunTest, AnOutputAnEarlierWorkbookOfTheRunIsToReplaceIsNotUpToDateForALaterOne)
{
    // a.xls and d/a.xls share a.htm; the later one wrote it last.
    setAge(writeFile(source.path(), "a.xls"), -100);
    setAge(writeFile(source.path(), "d/a.xls"), -100);
    front.update = false;
    ASSERT_EQ(run(), QStringList({s("a.xls") + "OK", s("d/a.xls") + "OK (replaced the output of " + s("a.xls") + ")"}));
    front.update = true;

    EXPECT_EQ(run(), QStringList({s("a.xls") + "up to date", s("d/a.xls") + "up to date"}));

    // a.xls changed: it takes a.htm again, and so d/a.xls, whose output it
    // replaced, is not up to date in the same run.
    setAge(s("a.xls"), 100);
    EXPECT_EQ(run(), QStringList({s("a.xls") + "OK", s("d/a.xls") + "OK (replaced the output of " + s("a.xls") + ")"}))
        << "not: d/a.xls up to date, with a.xls's output in a.htm";
    EXPECT_EQ(testsupport::fileBytes(out.filePath("a.htm")), s("d/a.xls").toUtf8());
}

TEST_P(UpdateRunTest, AMirroredTreeChecksEachWorkbookAgainstItsOwnDirectory)
{
    front.keepTree = true;
    setAge(writeFile(source.path(), "x/a.xls"), -100);
    setAge(writeFile(source.path(), "y/a.xls"), -100);
    setAge(writeFile(source.path(), "y/b.xls"), -100);
    front.update = false;
    ASSERT_EQ(run().size(), 3);
    front.update = true;
    setAge(s("y/a.xls"), 100);
    EXPECT_EQ(run(), QStringList({s("x/a.xls") + "up to date", s("y/a.xls") + "OK", s("y/b.xls") + "up to date"}));
    EXPECT_EQ(counts, (RunCounts{1, 0, 0, 2}));
}

TEST_P(UpdateRunTest, SheetsKnownOnlyOnceOpenAreAlwaysConverted)
{
    front.kinds[0] = false;
    front.kinds[1] = true;
    front.everySheet = true;
    setAge(writeFile(source.path(), "a.xls"), -100);
    front.update = false;
    run();
    front.update = true;
    EXPECT_EQ(run(), QStringList({s("a.xls") + "OK"}));
}

INSTANTIATE_TEST_SUITE_P(Offices, UpdateRunTest, ::testing::Values(1, 2));
