#include "OfficeTestSupport.h"

#include "platform/Automation.h"
#include "platform/office/Leftovers.h"
#include "platform/office/OfficeBridge.h"
#include "platform/office/OfficeProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <csignal>

using namespace platform;
using namespace officetest;

namespace {

AutomationRef startOffice(const office::OfficeOptions &options = {})
{
    office::registerExcelApplication(options);
    return createAutomationObject(QStringLiteral("excel.application"));
}

AutomationRef open(const AutomationRef &app, const QString &path)
{
    return toObject(toObject(app->property("workbooks"), "workbooks")->invoke("open", {path}), "workbook");
}

QString failureOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const AutomationError &error) {
        return error.message();
    }
    return QStringLiteral("(no error)");
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(data);
    return file.fileName();
}

class PaintCounter : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

} // namespace

TEST(OfficeFailures, BadInputsFailAtOnceWithAMessageAndTheOfficeGoesOn)
{
    QTemporaryDir dir;
    QFile xlsx(input("types.xlsx"));
    ASSERT_TRUE(xlsx.open(QIODevice::ReadOnly));
    QByteArray noise;
    for (int i = 0; i < 5000; ++i)
        noise.append(char((i * 7919 + 13) % 251));
    const QByteArray png = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000000010000000108060000001f15c48900000"
                                               "00d4944415478da63f8cfc0f01f0005000201a5f6e4a10000000049454e44ae426082");

    const struct
    {
        QString path;
        const char *message;
    } cases[] = {
        {writeFile(dir, "empty.xls", {}), "empty"},
        {writeFile(dir, "cut.xlsx", xlsx.readAll().left(3000)), "damaged"},
        {writeFile(dir, "noise.xls", noise), "not a workbook"},
        {writeFile(dir, "words.xls", "just some words\nand a second line\n"), "not a workbook"},
        {writeFile(dir, "picture.xls", png), "not a workbook"},
        {input("locked.ods"), "password-protected"},
        {input("locked.xls"), "password-protected"},
        {input("locked.xlsx"), "password-protected"}, // encrypted OOXML: refused without a question
        {dir.filePath("missing.xls"), "does not exist"},
    };

    AutomationRef app = startOffice();
    for (const auto &c : cases) {
        QElapsedTimer clock;
        clock.start();
        const QString message = failureOf([&] { open(app, c.path)->invoke("SaveAs", {dir.filePath("out.csv"), 6}); });
        EXPECT_TRUE(message.contains(c.message)) << qPrintable(c.path) << ": " << qPrintable(message);
        EXPECT_FALSE(message.contains("uno", Qt::CaseInsensitive)) << qPrintable(message);
        EXPECT_LT(clock.elapsed(), 20000) << qPrintable(c.path) << ": refused without waiting for an answer";
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("out.csv"))) << "no failed input produced output";

    AutomationRef book = open(app, input("types.ods"));
    book->invoke("SaveAs", {dir.filePath("good.csv"), 6});
    EXPECT_EQ(readCsv(dir.filePath("good.csv")).value(1).value(0), QString("Apple, red"));
    app->invoke("quit");
}

TEST(OfficeFailures, UnwritableTargetsAndUnknownCodesRaiseErrors)
{
    QTemporaryDir dir;
    // Tests run as root: a path below a regular file is unwritable for anyone.
    const QString file = writeFile(dir, "plain", "x");
    AutomationRef app = startOffice();
    AutomationRef book = open(app, input("types.xlsx"));
    for (int code : {44, 6, 46}) {
        const QString message = failureOf([&] { book->invoke("SaveAs", {file + "/out/types.x", code}); });
        EXPECT_TRUE(message.contains("cannot save")) << code << ": " << qPrintable(message);
        EXPECT_TRUE(message.contains(file + " is a file")) << code << ": " << qPrintable(message);
        const QString folder = failureOf([&] { book->invoke("SaveAs", {dir.path(), code}); });
        EXPECT_TRUE(folder.contains("is a folder")) << code << ": " << qPrintable(folder);
    }
    EXPECT_EQ(failureOf([&] {
                  book->invoke("SaveAs", {dir.filePath("a.x"), 51});
              }),
              QString("unsupported file format code 51"));
    EXPECT_EQ(failureOf([&] {
                  book->invoke("SaveAs", {dir.filePath("a.x"), 0});
              }),
              QString("unsupported file format code 0"));

    // A missing output folder is created, as the office does for its own formats.
    book->invoke("SaveAs", {dir.filePath("new/deeper/types.xml"), 46});
    EXPECT_TRUE(readXmlWorkbook(dir.filePath("new/deeper/types.xml")).error.isEmpty());

    book->invoke("Close", {omitted()});
    EXPECT_TRUE(failureOf([&] { book->invoke("SaveAs", {dir.filePath("b.csv"), 6}); }).contains("closed"));
    EXPECT_TRUE(failureOf([&] { app->invoke("Calculate"); }).contains("Unknown name"));
    app->invoke("quit");
}

TEST(OfficeLifecycle, KilledOfficeIsReplacedForTheNextFile)
{
    QTemporaryDir dir;
    AutomationRef app = startOffice();
    QList<pid_t> offices = officeChildren();
    ASSERT_EQ(offices.size(), 1);

    // Killed while a workbook is open: that workbook's call fails and says so.
    AutomationRef book = open(app, input("types.xls"));
    ::kill(offices.first(), SIGKILL);
    const QString message = failureOf([&] { book->invoke("SaveAs", {dir.filePath("a.csv"), 6}); });
    EXPECT_TRUE(message.contains("stopped unexpectedly")) << qPrintable(message);
    book->invoke("Close", {omitted()}); // nothing left to close: no error

    AutomationRef next = open(app, input("types.xlsx"));
    next->invoke("SaveAs", {dir.filePath("b.csv"), 6});
    EXPECT_EQ(readCsv(dir.filePath("b.csv")).size(), 5);
    const QList<pid_t> second = officeChildren();
    ASSERT_EQ(second.size(), 1);
    EXPECT_NE(second.first(), offices.first());

    // Killed between files, the next file opened at once: it does not even
    // notice, each time.
    pid_t previous = second.first();
    for (int round = 0; round < 3; ++round) {
        ::kill(previous, SIGKILL);
        const QString output = dir.filePath(QStringLiteral("c%1.csv").arg(round));
        open(app, input("types.ods"))->invoke("SaveAs", {output, 6});
        EXPECT_EQ(readCsv(output).size(), 5) << "round " << round;
        const QList<pid_t> now = officeChildren();
        ASSERT_EQ(now.size(), 1);
        EXPECT_NE(now.first(), previous);
        previous = now.first();
    }

    app->invoke("quit");
    EXPECT_TRUE(officeChildren().isEmpty());
}

TEST(OfficeLifecycle, ClosedWorkbooksLeaveTheOfficeAndAnOfficeThatDiesClosingFailsNoFile)
{
    QTemporaryDir dir;
    AutomationRef app = startOffice();
    const QList<pid_t> offices = officeChildren();
    ASSERT_EQ(offices.size(), 1);
    QList<AutomationRef> books;
    for (const char *name : {"types.xls", "types.xlsx", "types.ods"})
        books << open(app, input(name));
    EXPECT_EQ(openDocuments(offices.first()), 3);
    for (const AutomationRef &book : books)
        book->invoke("Close", {omitted()});
    AutomationRef next = open(app, input("types.xls"));
    EXPECT_EQ(openDocuments(offices.first()), 1) << "the closed ones are gone by the next call";

    // Killed as it closes: the workbook's outputs were complete, and the
    // next file gets a new office without failing.
    next->invoke("SaveAs", {dir.filePath("a.csv"), 6});
    next->invoke("Close", {omitted()});
    ::kill(offices.first(), SIGKILL);
    AutomationRef after = open(app, input("types.ods"));
    after->invoke("SaveAs", {dir.filePath("b.csv"), 6});
    EXPECT_EQ(readCsv(dir.filePath("a.csv")).size(), 5);
    EXPECT_EQ(readCsv(dir.filePath("b.csv")).size(), 5);
    after->invoke("Close", {omitted()});
    app->invoke("quit");
    EXPECT_TRUE(officeChildren().isEmpty());
}

TEST(OfficeLifecycle, KilledOfficeCountsAsEndedTheMomentItIsKilled)
{
    office::OfficeProcess process(office::OfficeProcess::defaultProgram());
    process.launch();
    // Listening, with its memory and threads set up: tearing that down
    // takes the kernel a while.
    const QString pipe = office::pipeSocketPath(process.connectUrl().section("name=", 1).section(';', 0, 0));
    const auto listening = [&] {
        // On a fresh profile the office's first start ends for a restart.
        if (!process.isRunning() && process.exitStatus() == 81)
            process.launch();
        return QFileInfo::exists(pipe);
    };
    ASSERT_TRUE(QTest::qWaitFor(listening, 60000)) << qPrintable(pipe);
    ASSERT_TRUE(process.isRunning());
    const pid_t pid = process.pid();

    ::kill(pid, SIGKILL);
    EXPECT_FALSE(process.isRunning());
    EXPECT_EQ(process.exitStatus(), 128 + SIGKILL);
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid))) << "reaped, not left a zombie";
}

TEST(OfficeLifecycle, HungOfficeIsStoppedAfterTheLimitWhileTheWindowKeepsPainting)
{
    QTemporaryDir dir;
    // The limit holds for the load in the new office at the end too, which
    // takes seconds on a loaded machine.
    office::OfficeOptions options;
    options.callTimeoutMs = 15000;
    AutomationRef app = startOffice(options);
    const QList<pid_t> offices = officeChildren();
    ASSERT_EQ(offices.size(), 1);

    PaintCounter window;
    window.resize(100, 100);
    window.show();
    QTimer repaint;
    int ticks = 0;
    QString nested;
    QObject::connect(&repaint, &QTimer::timeout, [&] {
        ++ticks;
        window.update();
        if (ticks == 5)
            nested = failureOf([&] { open(app, input("types.ods")); });
    });
    repaint.start(20);

    ::kill(offices.first(), SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    const int paintsBefore = window.paints;
    const QString message = failureOf([&] { open(app, input("types.xls")); });
    const qint64 waited = clock.elapsed();
    repaint.stop();

    EXPECT_TRUE(message.contains("did not finish loading the file within 15 s")) << qPrintable(message);
    EXPECT_GE(waited, 14250) << "the limit's coarse timer may end up to 5% early";
    EXPECT_LT(waited, 30000);
    EXPECT_GE(ticks, 20) << "timers ran during the call";
    EXPECT_GE(window.paints - paintsBefore, 5) << "the window painted during the call";
    EXPECT_TRUE(nested.contains("busy")) << qPrintable(nested);
    EXPECT_FALSE(officeChildren().contains(offices.first())) << "the hung office was killed";

    open(app, input("types.xlsx"))->invoke("SaveAs", {dir.filePath("after.csv"), 6});
    EXPECT_EQ(readCsv(dir.filePath("after.csv")).size(), 5);
    app->invoke("quit");
}

TEST(OfficeLifecycle, MissingOrBrokenOfficeFailsTheStart)
{
    QTemporaryDir dir;
    const QString script = writeFile(dir, "office.sh", "#!/bin/sh\nexit 3\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const struct
    {
        QString program;
        const char *message;
    } cases[] = {
        {dir.filePath("no-such-office"), "not an executable"},
        {script, "ended during start-up (exit status 3)"},
    };
    for (const auto &c : cases) {
        office::OfficeOptions options;
        options.program = c.program;
        office::registerExcelApplication(options);
        const QString message = failureOf([] { createAutomationObject("excel.application"); });
        EXPECT_TRUE(message.startsWith("Can't start LibreOffice")) << qPrintable(message);
        EXPECT_TRUE(message.contains(c.message)) << qPrintable(message);
    }
}

TEST(OfficeLifecycle, QuitOrReleaseLeavesNoOfficeBehind)
{
    AutomationRef app = startOffice();
    ASSERT_EQ(officeChildren().size(), 1);
    QElapsedTimer clock;
    clock.start();
    app->invoke("quit");
    EXPECT_TRUE(officeChildren().isEmpty()) << "quit waits for the office to end";
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_TRUE(failureOf([&] { open(app, input("types.ods")); }).contains("quit"));
    app.reset();

    // Dropping every reference without "quit" ends the office too, even
    // with a workbook still open.
    app = startOffice();
    AutomationRef book = open(app, input("types.ods"));
    ASSERT_EQ(officeChildren().size(), 1);
    app.reset();
    EXPECT_EQ(officeChildren().size(), 1) << "the open workbook keeps it";
    book.reset();
    EXPECT_TRUE(officeChildren().isEmpty());
}
