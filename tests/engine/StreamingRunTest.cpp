// A run of many offices that converts while the walk goes on: the lines of
// one office in walk order, a walk that waits while the pool's window is
// full, and a stop that ends the delivery at the workbook it cut short.
#include "RunFront.h"
#include "common/FakeConverter.h"

#include "common/TestSupport.h"
#include "engine/ConverterPool.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>

using testsupport::writeFile;

namespace {

// A front whose deliveries and walk can be watched from the workers.
struct WatchedFront : Front
{
    std::atomic_int delivered{0};
    std::atomic_int found{0}; // files the walk has handed over

    void showResult(const FileResult &result) override
    {
        Front::showResult(result);
        ++delivered;
    }
};

// Converters that hold one named workbook until `release` says so, and fail
// another as an office the program ended would.
struct SlowOffices
{
    QString slowName;
    std::function<void()> whileSlow; // on the worker that holds the slow workbook
    QString stoppedName;             // fails with `stoppedText`, typed as stopped or not
    QString stoppedText;
    bool typedStop = true;
    std::atomic_int made{0};

    ConversionRun::ConverterFactory factory()
    {
        return [this] {
            auto converter = std::make_unique<FakeConverter>();
            ++made;
            converter->onOpen = [this](const QString &path) {
                const QString name = QFileInfo(path).fileName();
                if (name == slowName && whileSlow)
                    whileSlow();
                if (name == stoppedName) {
                    if (typedStop)
                        throw platform::StoppedError(stoppedText);
                    throw platform::AutomationError(stoppedText);
                }
            };
            return std::unique_ptr<WorkbookConverter>(std::move(converter));
        };
    }
};

// a/ (5 workbooks), b/ (2, the first slow), c/ (far more than the window).
void writeTreeWithASlowDirectory(const QString &root, int filesInC)
{
    for (int i = 0; i < 5; ++i)
        writeFile(root, QStringLiteral("a/%1.xls").arg(i));
    writeFile(root, "b/0-slow.xls");
    writeFile(root, "b/1-next.xls");
    for (int i = 0; i < filesInC; ++i)
        writeFile(root, QStringLiteral("c/%1.xls").arg(i, 3, 10, QLatin1Char('0')));
}

QStringList linesOfOneOffice(const QString &root, const QString &out)
{
    Front front;
    front.output = out;
    FakeConverter converter;
    ConversionRun run(front, front, converter);
    EXPECT_EQ(run.execute(root), ConversionRun::Outcome::Completed);
    return front.log;
}

} // namespace

TEST(StreamingRun, ConvertsWhileTheWalkGoesOnInAWindowAndGivesTheLinesOfOneOffice)
{
    QTemporaryDir source, out, outOfOne;
    const int filesInC = 120;
    writeTreeWithASlowDirectory(source.path(), filesInC);
    const int total = 5 + 2 + filesInC;

    WatchedFront front;
    front.output = out.path();
    FakeConverter unused;
    ConversionRun run(front, front, unused);
    run.setFileFilter([&](const QString &) {
        ++front.found;
        return true;
    });
    SlowOffices offices;
    offices.slowName = "0-slow.xls";
    int foundWhileSlow = -1, deliveredWhileSlow = -1;
    offices.whileSlow = [&] {
        // The lines of a/ come out while b/slow.xls is held...
        EXPECT_TRUE(waitOnWorker([&] { return front.delivered.load() >= 5; }));
        // ...and the other office converts ahead until the window is full.
        waitOnWorker([&] { return false; }, 300);
        foundWhileSlow = front.found.load();
        deliveredWhileSlow = front.delivered.load();
    };
    run.setParallel(2, offices.factory());
    int window = 0;
    {
        ConverterPool probe(2, offices.factory());
        window = probe.window();
    }
    ASSERT_EQ(run.execute(source.path()), ConversionRun::Outcome::Completed);

    EXPECT_EQ(deliveredWhileSlow, 5) << "nothing after the slow workbook is delivered before it";
    EXPECT_GE(foundWhileSlow, 5 + 2) << "the walk went on past the slow workbook";
    EXPECT_LE(foundWhileSlow - deliveredWhileSlow, window + 1)
        << "the walk waits while the window is full: it never holds the tree";
    EXPECT_LT(foundWhileSlow, total);
    EXPECT_EQ(front.log, linesOfOneOffice(source.path(), outOfOne.path()));
    EXPECT_EQ(front.counts, (RunCounts{total, 0, 0, 0}));
    EXPECT_EQ(offices.made.load(), 2);
}

TEST(StreamingPool, AStopEndsTheDeliveryAtTheFirstWorkbookTheEndingOfficesCutShortByItsKindNotItsWords)
{
    // The offices are ended before the stop reaches the pool: c.xls and
    // d.xls have failed by then, e.xls is still converting. Only a failure
    // of the stopped kind is the workbook in progress that ends the lines.
    const struct
    {
        QString text;
        bool typed;
        QStringList expected; // file names delivered
    } cases[] = {
        {"Can't open the workbook: stopped while loading the file, the program was told to end",
         true,
         {"a.xls", "b.xls", "c.xls"}},
        {"stopped while saving", true, {"a.xls", "b.xls", "c.xls"}},
        {"a message that only ends like one: the program was told to end",
         false,
         {"a.xls", "b.xls", "c.xls", "d.xls", "e.xls"}},
    };
    for (const auto &c : cases) {
        QTemporaryDir source, out;
        std::atomic_bool added{false}, holdingE{false}, release{false};
        // One worker thread: it finishes a.xls to d.xls, in order, before it takes e.xls.
        ConverterPool pool(1, [&] {
            auto converter = std::make_unique<FakeConverter>();
            converter->onOpen = [&](const QString &path) {
                const QString name = QFileInfo(path).fileName();
                if (name == "a.xls") // nothing is ready while the workbooks are added
                    waitOnWorker([&] { return added.load(); });
                if (name == "e.xls") {
                    holdingE = true;
                    waitOnWorker([&] { return release.load(); });
                }
                if (name == "c.xls" || name == "d.xls") {
                    if (c.typed)
                        throw platform::StoppedError(c.text);
                    throw platform::AutomationError(c.text);
                }
            };
            return std::unique_ptr<WorkbookConverter>(std::move(converter));
        });
        QStringList delivered;
        ASSERT_TRUE(pool.start([] {}, [&](FileResult &result) { delivered << QFileInfo(result.path).fileName(); }));
        for (const char *name : {"a.xls", "b.xls", "c.xls", "d.xls", "e.xls"}) {
            const QString path = writeFile(source.path(), name);
            pool.add(path, [&, path](const QStringList &) {
                return OutputPlan::outputsFor(path, out.path(), {OutputKind::Html});
            });
        }
        added = true;
        // No event is handled meanwhile: nothing is delivered before the stop.
        ASSERT_TRUE(waitOnWorker([&] { return holdingE.load(); }));
        pool.stop();
        release = true;
        pool.finish();
        pool.close();
        EXPECT_EQ(delivered, c.expected) << qPrintable(c.text);
    }
}
