#pragma once

#include "common/FakeConverter.h"

#include "engine/ConversionRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <functional>
#include <mutex>

// Settings and view in plain fields, so a test can change them mid-run.
struct Front : RunSettings, RunView
{
    QString masksText = "*.xls";
    QString output;
    bool kinds[3] = {true, false, false};

    QString masks() const override { return masksText; }
    QString outputDirectory() const override { return output; }
    bool isChecked(OutputKind kind) const override { return kinds[int(kind)]; }
    bool keepsTree() const override { return keepTree; }
    bool savesEverySheet() const override { return everySheet; }
    QStringList csvSheetPatterns() const override { return sheetPatterns; }
    platform::CsvFormat csvFormat() const override { return csv; }
    bool keepTree = false;
    bool everySheet = false;
    QStringList sheetPatterns;
    platform::CsvFormat csv;

    void setStatusText(const QString &text) override { status << text; }
    void appendLog(const QString &line) override { log << line; }
    void showResult(const FileResult &result) override
    {
        results << result;
        RunView::showResult(result);
    }
    QList<FileResult> results;
    void clearLog() override { log.clear(); }
    void setStartEnabled(bool enabled) override { startEnabled << enabled; }
    void showCounts(const RunCounts &c) override { counts = c; }
    void showMessage(const QString &text) override { messages << text; }
    void processEvents() override { ++yields; }
    QString successText() const override { return "OK"; }
    QString startFailureText() const override { return "Can't Open Excel"; }

    QStringList status, log, messages;
    QList<bool> startEnabled;
    RunCounts counts;
    int yields = 0;
};

// The folders, front and fake converter of a run test. The walk changes the
// current directory; it is put back when the bench goes.
struct RunBench
{
    RunBench()
    {
        front.output = out.path();
        savedCwd = QDir::currentPath();
    }
    ~RunBench() { QDir::setCurrent(savedCwd); }
    QString src(const QString &rel = {}) const { return rel.isEmpty() ? source.path() : source.filePath(rel); }

    QTemporaryDir source, out;
    Front front;
    FakeConverter converter;
    QString savedCwd;
};

// Waits, without the event loop (this runs on a worker), until done() holds.
inline bool waitOnWorker(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QThread::yieldCurrentThread();
    return done();
}

// Asks a run for a stop from one of its workers, the way a signal handled
// on the thread that runs it would come, once however many workers ask;
// each returns when the stop is in (false after ten seconds).
class StopFromWorker
{
public:
    bool operator()(ConversionRun &run)
    {
        std::call_once(m_once, [&] {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [&] {
                    run.requestStop();
                    m_done = true;
                },
                Qt::QueuedConnection);
        });
        return waitOnWorker([this] { return m_done.load(); });
    }

private:
    std::once_flag m_once;
    std::atomic_bool m_done{false};
};
