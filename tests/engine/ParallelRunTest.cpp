#include "RunFront.h"
#include "common/FakeConverter.h"

#include "common/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

using testsupport::writeFile;

namespace {

// The converters of one parallel run, each made on its worker's thread.
struct Offices
{
    QStringList failOpenFor;
    int failStarts = 0; // the first this many converters cannot start
    std::atomic_int saved{0};
    std::atomic_int made{0};
    std::function<void(const QString &name)> beforeOpen; // on the worker
    QMap<QString, QStringList> sheetsFor;

    ConversionRun::ConverterFactory factory()
    {
        return [this] {
            auto converter = std::make_unique<FakeConverter>();
            converter->failStart = made.fetch_add(1) < failStarts;
            converter->failOpenFor = failOpenFor;
            converter->sheetsFor = sheetsFor;
            converter->onOpen = [this](const QString &path) {
                if (beforeOpen)
                    beforeOpen(QFileInfo(path).fileName());
            };
            converter->onSaved = [this] { ++saved; };
            return std::unique_ptr<WorkbookConverter>(std::move(converter));
        };
    }
};

class ParallelRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(source.isValid() && out.isValid());
        front.output = out.path();
    }

    ConversionRun::Outcome run(int jobs, ConversionRun::ConverterFactory factory)
    {
        ConversionRun r(front, front, unused);
        r.setParallel(jobs, std::move(factory));
        const ConversionRun::Outcome outcome = r.execute(source.path());
        counts = r.counts();
        return outcome;
    }

    QStringList leftovers() const
    {
        return QDir(out.path()).entryList({".tabulon-tmp-*"}, QDir::AllEntries | QDir::Hidden);
    }

    QTemporaryDir source, out;
    Front front;
    FakeConverter unused;
    RunCounts counts;
};

} // namespace

TEST_F(ParallelRunTest, LinesComeInWalkOrderAndTheLaterWorkbookKeepsASharedName)
{
    // Both a.xls are held back until the five other workbooks are saved, so
    // they finish last, in either order: the lines and the output must still
    // be those of one office converting in walk order.
    const QStringList names = {"a.xls", "b.xls", "c.xls", "d/a.xls", "d/e.xls", "d/f/g.xls", "h.xls"};
    for (const QString &name : names)
        writeFile(source.path(), name);
    writeFile(source.path(), "d/broken.xls");
    Offices offices;
    offices.failOpenFor = {"broken.xls"};
    offices.beforeOpen = [&offices](const QString &name) {
        if (name == "a.xls") {
            EXPECT_TRUE(waitOnWorker([&] { return offices.saved.load() >= 5; }));
        }
    };

    ASSERT_EQ(run(3, offices.factory()), ConversionRun::Outcome::Completed);

    const QString s = source.path() + "/";
    EXPECT_EQ(front.log, (QStringList{s + "a.xlsOK", s + "b.xlsOK", s + "c.xlsOK", s + "h.xlsOK",
                                      s + "d/a.xlsOK (replaced the output of " + s + "a.xls)",
                                      s + "d/broken.xls: broken workbook", s + "d/e.xlsOK", s + "d/f/g.xlsOK"}));
    EXPECT_EQ(counts, (RunCounts{7, 1, 1}));
    QFile output(out.filePath("a.htm"));
    ASSERT_TRUE(output.open(QIODevice::ReadOnly));
    EXPECT_EQ(output.readAll(), (s + "d/a.xls").toUtf8()) << "the later workbook in walk order writes last";
    EXPECT_EQ(leftovers(), QStringList()) << "no staging folder stays";
    EXPECT_EQ(offices.made.load(), 3);
}

TEST_F(ParallelRunTest, StartsNoMoreOfficesThanThereAreWorkbooksAndGoesOnWithoutOnesThatCannotStart)
{
    writeFile(source.path(), "a.xls");
    writeFile(source.path(), "b.xls");
    Offices few;
    ASSERT_EQ(run(8, few.factory()), ConversionRun::Outcome::Completed);
    EXPECT_EQ(few.made.load(), 2);
    EXPECT_EQ(counts.converted, 2);

    for (int i = 0; i < 6; ++i)
        writeFile(source.path(), QStringLiteral("more/%1.xls").arg(i));
    Offices someFail;
    someFail.failStarts = 2;
    ASSERT_EQ(run(3, someFail.factory()), ConversionRun::Outcome::Completed);
    EXPECT_EQ(counts, (RunCounts{8, 0, 0})) << qPrintable(front.log.join('\n'));
    EXPECT_TRUE(front.messages.isEmpty());
}

TEST_F(ParallelRunTest, NoOfficeAtAllIsTheWindowsStartFailureAndLogsNothing)
{
    writeFile(source.path(), "a.xls");
    QDir().mkpath(source.filePath("locked"));
    front.log = QStringList{"earlier"};
    Offices none;
    none.failStarts = 99;
    EXPECT_EQ(run(2, none.factory()), ConversionRun::Outcome::ApplicationUnavailable);
    EXPECT_EQ(front.messages, QStringList{"Can't Open Excel"});
    EXPECT_EQ(front.log, QStringList{"earlier"}) << "the previous log stays, as with one office";
    EXPECT_EQ(counts.converted + counts.failed, 0);
    EXPECT_EQ(front.startEnabled.value(front.startEnabled.size() - 1), true);
}

TEST_F(ParallelRunTest, AStopDeliversOnlyWhatCameBeforeTheFirstUnfinishedWorkbookAndTakesNoMore)
{
    for (const char *name : {"a.xls", "b.xls", "c.xls", "d.xls", "e.xls", "f.xls"})
        writeFile(source.path(), name);
    Offices offices;
    ConversionRun r(front, front, unused);
    // c.xls and d.xls, whichever worker has them, ask for the stop and go on once it is in;
    // a.xls or b.xls may still be converting then: the first unfinished one gives the last line.
    StopFromWorker stop;
    offices.beforeOpen = [&](const QString &name) {
        if (name == "c.xls" || name == "d.xls") {
            EXPECT_TRUE(stop(r));
        }
    };
    r.setParallel(2, offices.factory());
    EXPECT_EQ(r.execute(source.path()), ConversionRun::Outcome::Stopped);

    const QString s = source.path() + "/";
    ASSERT_GE(front.log.size(), 1) << qPrintable(front.log.join('\n'));
    EXPECT_LE(front.log.size(), 4) << "nothing after the stop: " << qPrintable(front.log.join('\n'));
    for (int i = 0; i < front.log.size(); ++i)
        EXPECT_EQ(front.log.at(i), s + QChar('a' + i) + ".xlsOK") << "in order, without gaps";
    for (char name = 'a'; name <= 'f'; ++name) {
        EXPECT_EQ(QFile::exists(out.filePath(QStringLiteral("%1.htm").arg(name))), name - 'a' < front.log.size())
            << "exactly the delivered workbooks have outputs: " << name;
    }
    EXPECT_EQ(leftovers(), QStringList());
}

TEST_F(ParallelRunTest, KeptTreeAndEverySheetAreStagedAndPlacedAsWithOneOffice)
{
    for (const char *name : {"a.xls", "d/a.xls", "d/a.xlsx", "d/e/a.xls"})
        writeFile(source.path(), name);
    Offices offices;
    offices.sheetsFor = {{"a.xls", {"One", "Two"}}, {"a.xlsx", {"One", "Two"}}};
    unused.sheetsFor = offices.sheetsFor;
    front.masksText = "*.xls,*.xlsx";
    front.kinds[0] = false;
    front.kinds[1] = true;
    front.keepTree = true;
    front.everySheet = true;

    // The entries with their outputs named below their run's output directory.
    const auto convert = [&](int jobs, const QString &output) {
        front.output = output;
        front.results.clear();
        EXPECT_EQ(run(jobs, offices.factory()), ConversionRun::Outcome::Completed);
        QStringList entries;
        for (const FileResult &result : front.results) {
            entries << result.logLine("OK") + " -> "
                           + QStringList(result.outputs).replaceInStrings(output, "OUT").join(' ');
            EXPECT_TRUE(result.staged.empty());
        }
        return entries;
    };
    QTemporaryDir other;
    const QStringList one = convert(1, out.path());
    const RunCounts oneCounts = counts;
    const QStringList two = convert(2, other.path());

    const QString s = source.path() + "/";
    EXPECT_EQ(two, one);
    EXPECT_EQ(counts, oneCounts);
    EXPECT_EQ(counts, (RunCounts{4, 0, 1}));
    EXPECT_EQ(one.value(2),
              s + "d/a.xlsxOK (replaced the output of " + s + "d/a.xls) -> OUT/d/a.One.csv OUT/d/a.Two.csv")
        << qPrintable(one.join('\n'));
    for (const QString &dir : {out.path(), other.path()}) {
        QFile second(dir + "/d/e/a.Two.csv");
        ASSERT_TRUE(second.open(QIODevice::ReadOnly)) << qPrintable(second.fileName());
        EXPECT_EQ(second.readAll(), (s + "d/e/a.xls#2").toUtf8());
        EXPECT_EQ(QDir(dir + "/d").entryList({".tabulon-tmp-*"}, QDir::AllEntries | QDir::Hidden), QStringList())
            << "no staging folder stays in a mirrored directory";
    }
}
