// Runs over archives that stop and start again: converting only what
// failed in an earlier run's log, only what changed since, and the line on
// a terminal that tells how far a run has got.
#include "OfficeTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace officetest;
using testsupport::ProgramRun;

namespace {

void writeText(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    file.write(text);
}

// What a program writes to a terminal: both of its streams, as they came.
struct TerminalRun
{
    int status = -1;
    QByteArray screen;
};

TerminalRun runOnTerminal(const QStringList &command, int timeoutMs = 120000)
{
    TerminalRun run;
    QList<QByteArray> bytes;
    for (const QString &part : command)
        bytes << QFile::encodeName(part);
    std::vector<char *> argv;
    for (QByteArray &part : bytes)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0)
        return run;
    if (child == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    QElapsedTimer clock;
    clock.start();
    char buffer[4096];
    while (clock.elapsed() < timeoutMs) {
        pollfd ready{terminal, POLLIN, 0};
        if (::poll(&ready, 1, 200) <= 0)
            continue;
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got <= 0)
            break; // the child has closed the terminal
        run.screen.append(buffer, got);
    }
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    }
    ::close(terminal);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace

TEST(ArchiveBatch, RetryFailedConvertsExactlyWhatFailedLastIntoTheMirroredTreeAndUpdateLeavesTheRest)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out"), log = dir.filePath("run.jsonl");
    const QString good = copyInput("types.xls", src + "/good.xls");
    const QString later = copyInput("types.xls", src + "/d/later.xls");
    const QString empty = src + "/d/empty.xls";
    writeText(empty, {});
    const QString damaged = src + "/e/damaged.xls";
    writeText(damaged, {});
    const QStringList common{"--source", src, "--out", out, "--keep-tree", "--kind", "csv"};

    const ProgramRun first = runBatch(common + QStringList{"--log-format", "jsonl"});
    ASSERT_EQ(first.status, 0) << qPrintable(first.err);
    ASSERT_EQ(first.lines.size(), 5) << "four entries and the count: " << qPrintable(first.out);
    EXPECT_FALSE(first.err.contains('\r')) << "no progress line where standard error is no terminal";
    QFile saved(log);
    ASSERT_TRUE(saved.open(QIODevice::WriteOnly));
    saved.write(first.out.toUtf8());
    saved.close();

    // One failed file mended, the other still empty; the good ones untouched.
    copyInput("types.xls", empty);
    const ProgramRun retry = runBatch(common + QStringList{"--retry-failed", log});
    EXPECT_EQ(retry.status, 0) << qPrintable(retry.err);
    EXPECT_EQ(retry.lines, QStringList({empty + kCsvOfThreeSheetsOk, damaged + "Can't open the workbook: empty"}))
        << "the failed files in log order, nothing else";
    EXPECT_EQ(readCsv(out + "/d/empty.csv").size(), 5) << "where the walk would have put it";
    EXPECT_TRUE(retry.err.contains("2 files: 1 converted, 1 failed, 0 replaced")) << qPrintable(retry.err);

    const ProgramRun update = runBatch(common + QStringList{"--update", "--log-format", "jsonl"});
    EXPECT_EQ(update.status, 0) << qPrintable(update.err);
    QMap<QString, QString> statusOf;
    for (const QString &line : update.lines) {
        const QJsonObject entry = QJsonDocument::fromJson(line.toUtf8()).object();
        if (entry.contains("path"))
            statusOf.insert(entry.value("path").toString(), entry.value("status").toString());
    }
    EXPECT_EQ(statusOf,
              (QMap<QString, QString>{{good, "skipped"}, {later, "skipped"}, {empty, "skipped"}, {damaged, "failed"}}))
        << qPrintable(update.out);
    EXPECT_TRUE(update.err.contains("4 files: 0 converted, 1 failed, 0 replaced, 3 up to date"))
        << qPrintable(update.err);
}

TEST(ArchiveBatch, OnATerminalALineOnStandardErrorTellsHowFarTheRunHasGotAndNeverWhenAskedNot)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    for (const char *name : {"a.xls", "b.xls", "sub/c.xls"})
        copyInput("types.xls", src + "/" + name);
    const QStringList command = batchCommand({"--source", src, "--out", dir.filePath("out"), "--kind", "csv"});

    const TerminalRun shown = runOnTerminal(command);
    EXPECT_EQ(shown.status, 0) << shown.screen.constData();
    EXPECT_TRUE(shown.screen.contains("\r\x1b[K")) << "rewrites itself: " << shown.screen.constData();
    EXPECT_TRUE(shown.screen.contains(" done, 0 failed, ")) << shown.screen.constData();
    EXPECT_TRUE(shown.screen.contains(" to go")) << "the count of the walk ended: " << shown.screen.constData();
    EXPECT_TRUE(shown.screen.contains("3 files: 3 converted, 0 failed, 0 replaced")) << shown.screen.constData();
    // Every log line stands whole on a line of its own, the progress line
    // taken off before it.
    for (const char *name : {"/a.xls", "/b.xls", "/sub/c.xls"}) {
        const QByteArray line = QFile::encodeName(src) + name + kCsvOfThreeSheetsOk;
        EXPECT_TRUE(shown.screen.contains("\x1b[K" + line + "\r\n")) << name << ": " << shown.screen.constData();
    }

    const TerminalRun quiet = runOnTerminal(command + QStringList{"--progress", "never"});
    EXPECT_EQ(quiet.status, 0) << quiet.screen.constData();
    EXPECT_FALSE(quiet.screen.contains("\x1b[K")) << quiet.screen.constData();
    EXPECT_FALSE(quiet.screen.contains(" done, ")) << quiet.screen.constData();
}
