// The office the window starts when it is shown and keeps between runs,
// against the real LibreOffice; and the holder of a ready office alone.
#include "OfficeTestSupport.h"

#include "app/MainWindow.h"
#include "platform/gui/DriveControls.h"
#include "platform/office/Leftovers.h"
#include "platform/office/OfficeBridge.h"
#include "platform/office/ReadyOffice.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

using namespace officetest;
using platform::office::ReadyOffice;

namespace {

// The office accepts connections once the socket of the pipe that its
// command line names exists.
bool accepts(pid_t pid)
{
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &arg : cmdline.readAll().split('\0')) {
        if (arg.startsWith("--accept=pipe,name=")) {
            const QString name = QString::fromUtf8(arg.mid(19, arg.indexOf(';') - 19));
            return QFile::exists(platform::office::pipeSocketPath(name));
        }
    }
    return false;
}

// The one office of this process once it accepts connections, or -1.
pid_t readyOffice()
{
    const QList<pid_t> offices = officeChildren();
    return offices.size() == 1 && accepts(offices.first()) ? offices.first() : -1;
}

struct ReadyWindow
{
    explicit ReadyWindow(int keepReadyMs = 60 * 1000)
    {
        platform::office::OfficeOptions options;
        options.keepReadyMs = keepReadyMs;
        platform::office::registerExcelApplication(options);
        src = dir.filePath("src");
        out = dir.filePath("out");
        QDir().mkpath(src);
        EXPECT_TRUE(QFile::copy(input("types.xls"), src + "/types.xls"));
        form = std::make_unique<TFMain>();
        form->findChild<QLineEdit *>("ePath")->setText(out);
        form->findChild<TDirectoryListBox *>("DirectoryListBox1")->setDirectory(src);
        // Each line's office, as it was when the line appeared.
        QObject::connect(memo(), &QPlainTextEdit::textChanged, [this] {
            if (!memo()->toPlainText().isEmpty())
                officesAtLine = officeChildren();
        });
    }
    ~ReadyWindow()
    {
        form.reset();
        // Leave no ready office to the next test.
        platform::office::registerExcelApplication();
    }

    QPlainTextEdit *memo() const { return form->findChild<QPlainTextEdit *>("Memo1"); }
    QWidget *startButton() const { return form->findChild<QWidget *>("vexButton2"); }
    QString log() const { return memo()->toPlainText(); }
    QString okLine() const { return src + "/types.xlsOK"; }
    QStringList outputs() const { return QDir(out).entryList(QDir::Files | QDir::Hidden); }
    void click() { QTest::mouseClick(startButton(), Qt::LeftButton); } // returns when the run is over

    QTemporaryDir dir;
    QString src, out;
    std::unique_ptr<TFMain> form;
    QList<pid_t> officesAtLine;
};

// A stand-in that is usable until it is told it died.
struct FakeOffice : ReadyOffice::Office
{
    explicit FakeOffice(int *ended) : ended(ended) {}
    ~FakeOffice() override { ++*ended; }
    bool isUsable() override { return alive; }
    int *ended;
    bool alive = true;
};

} // namespace

TEST(ReadyOfficeHolder, HandsOutOnlyALiveOfficeAndEndsWhatItLetsGo)
{
    int ended = 0;
    ReadyOffice ready(60 * 1000);
    auto first = std::make_shared<FakeOffice>(&ended);
    ready.keep(first);
    EXPECT_TRUE(ready.isHolding());
    EXPECT_EQ(ready.take(), first);
    EXPECT_FALSE(ready.isHolding());
    EXPECT_EQ(ready.take(), nullptr);

    first->alive = false;
    ready.keep(std::move(first));
    EXPECT_EQ(ready.take(), nullptr); // died while it was held
    EXPECT_EQ(ended, 1);

    ready.keep(std::make_shared<FakeOffice>(&ended));
    ready.keep(std::make_shared<FakeOffice>(&ended)); // replaces, and so ends, the one before
    EXPECT_EQ(ended, 2);
    ready.end();
    EXPECT_EQ(ended, 3);
    EXPECT_FALSE(ready.isHolding());
}

TEST(ReadyOfficeHolder, EndsAnOfficeIdleForTheLimitButNotOneTakenInTime)
{
    int ended = 0;
    ReadyOffice ready(150);
    ready.keep(std::make_shared<FakeOffice>(&ended));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ended == 1; }, 5000));
    EXPECT_FALSE(ready.isHolding());

    ready.keep(std::make_shared<FakeOffice>(&ended));
    std::shared_ptr<ReadyOffice::Office> taken = ready.take();
    ASSERT_NE(taken, nullptr);
    // Taken: the idle limit no longer applies to it.
    EXPECT_FALSE(QTest::qWaitFor([&] { return ended > 1; }, 600));
    taken.reset();
    EXPECT_EQ(ended, 2);
}

TEST(ReadyOffice, TheOfficeStartedWithTheWindowConvertsAndIsKeptAfterTheRun)
{
    ReadyWindow w;
    w.form->show();
    ASSERT_TRUE(QTest::qWaitFor([] { return readyOffice() > 0; }, 60 * 1000)) << "no office started with the window";
    const pid_t before = readyOffice();
    EXPECT_TRUE(w.startButton()->isEnabled());

    w.click();
    EXPECT_EQ(w.log(), w.okLine());
    EXPECT_EQ(w.officesAtLine, QList<pid_t>({before}));
    EXPECT_EQ(w.outputs(), QStringList({"types.htm"}));
    // Kept for the next run, and that run converts on it too.
    EXPECT_EQ(officeChildren(), QList<pid_t>({before}));
    ASSERT_TRUE(QFile::remove(w.out + "/types.htm"));
    w.click();
    EXPECT_EQ(w.log(), w.okLine());
    EXPECT_EQ(w.officesAtLine, QList<pid_t>({before}));
    EXPECT_EQ(w.outputs(), QStringList({"types.htm"}));
}

TEST(ReadyOffice, AKeptOfficeHasNoDocumentLeftOpenByTheRunBefore)
{
    ReadyWindow w;
    // An output folder below a file: the workbook fails after its open and
    // so stays open until the end of the run.
    const QString blocker = w.dir.filePath("blocker");
    ASSERT_TRUE(QFile(blocker).open(QIODevice::WriteOnly));
    w.form->findChild<QLineEdit *>("ePath")->setText(blocker + "/out");
    w.form->show();
    w.click();
    ASSERT_TRUE(w.log().startsWith(w.src + "/types.xls")) << w.log().toStdString();
    EXPECT_FALSE(w.log().endsWith("OK"));
    ASSERT_EQ(officeChildren().size(), 1);
    const pid_t kept = officeChildren().first();
    EXPECT_EQ(openDocuments(kept), 0);

    w.form->findChild<QLineEdit *>("ePath")->setText(w.out);
    w.click();
    EXPECT_EQ(w.log(), w.okLine());
    EXPECT_EQ(officeChildren(), QList<pid_t>({kept}));
    EXPECT_EQ(openDocuments(kept), 0);
}

TEST(ReadyOffice, AReadyOfficeThatWasKilledIsReplacedAtTheClick)
{
    ReadyWindow w;
    w.form->show();
    ASSERT_TRUE(QTest::qWaitFor([] { return readyOffice() > 0; }, 60 * 1000));
    const pid_t killed = readyOffice();
    ASSERT_EQ(::kill(killed, SIGKILL), 0);
    ASSERT_TRUE(QTest::qWaitFor([] { return officeChildren().isEmpty(); }, 5000));

    w.click();
    EXPECT_EQ(w.log(), w.okLine()); // nothing but a normal run
    ASSERT_EQ(w.officesAtLine.size(), 1);
    EXPECT_NE(w.officesAtLine.first(), killed);
    EXPECT_EQ(w.outputs(), QStringList({"types.htm"}));
}

TEST(ReadyOffice, AClickDuringTheBackgroundStartWaitsForItWithTheButtonOff)
{
    ReadyWindow w;
    w.form->show();
    ASSERT_TRUE(QTest::qWaitFor([] { return !officeChildren().isEmpty(); }, 10 * 1000));
    ASSERT_LT(readyOffice(), 0) << "the office was ready before the click could come during its start";

    int clicksDuringStart = 0;
    bool enabledDuringStart = false;
    int mostOffices = 0;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        mostOffices = std::max<int>(mostOffices, officeChildren().size());
        if (!w.log().isEmpty())
            return;
        ++clicksDuringStart;
        enabledDuringStart |= w.startButton()->isEnabled();
        w.click();
    });
    clicker.start(20);
    w.click();
    clicker.stop();

    EXPECT_GE(clicksDuringStart, 1);
    EXPECT_FALSE(enabledDuringStart);
    EXPECT_EQ(mostOffices, 1); // the start under way, not a second one
    EXPECT_EQ(w.log(), w.okLine());
    EXPECT_TRUE(w.startButton()->isEnabled());
    EXPECT_EQ(w.outputs(), QStringList({"types.htm"}));
}

TEST(ReadyOffice, ClosingTheWindowEndsTheReadyOfficeAtOnce)
{
    {
        // During the background start.
        ReadyWindow w;
        w.form->show();
        ASSERT_TRUE(QTest::qWaitFor([] { return !officeChildren().isEmpty(); }, 10 * 1000));
        w.form->close();
        EXPECT_TRUE(QTest::qWaitFor([] { return officeChildren().isEmpty(); }, 1500));
        EXPECT_TRUE(w.log().isEmpty());
    }
    {
        // Kept after a run.
        ReadyWindow w;
        w.form->show();
        w.click();
        ASSERT_EQ(w.log(), w.okLine());
        ASSERT_EQ(officeChildren().size(), 1);
        w.form->close();
        EXPECT_TRUE(QTest::qWaitFor([] { return officeChildren().isEmpty(); }, 1500));
    }
}

TEST(ReadyOffice, AnOfficeIdleForTheLimitIsEndedAndTheNextRunStartsOne)
{
    ReadyWindow w(1500);
    w.form->show();
    w.click();
    ASSERT_EQ(w.log(), w.okLine());
    ASSERT_EQ(officeChildren().size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([] { return officeChildren().isEmpty(); }, 10 * 1000));

    ASSERT_TRUE(QFile::remove(w.out + "/types.htm"));
    w.click();
    EXPECT_EQ(w.log(), w.okLine());
    EXPECT_EQ(w.outputs(), QStringList({"types.htm"}));
}
