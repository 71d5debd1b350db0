#pragma once

#include "engine/ConversionRun.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

QT_FORWARD_DECLARE_CLASS(QEventLoop)
QT_FORWARD_DECLARE_CLASS(QThread)

// Converts the workbooks of a run with several applications at once, one
// per worker thread, and hands the results back in the order they were
// added, on the thread that runs it. The order is what keeps a parallel run
// equal to a run with one application: lines come out in walk order, and
// the outputs of a later workbook are moved into place after those of an
// earlier one.
//
// A worker's application that dies or hangs is the converter's business:
// the file fails with the converter's reason, and the converter starts a
// new application for the next one, while the other workers go on.
class ParallelConversion
{
public:
    using ConverterFactory = ConversionRun::ConverterFactory;
    using Deliver = std::function<void(FileResult &)>;

    ParallelConversion(int jobs, ConverterFactory factory);
    ~ParallelConversion(); // stops and waits for the workers

    ParallelConversion(const ParallelConversion &) = delete;
    ParallelConversion &operator=(const ParallelConversion &) = delete;

    // Queues a workbook with the outputs it is to get, its CSV taken apart
    // by sheet once opened when everySheet; before run().
    void addWorkbook(const QString &path, const ConversionRun::OutputList &outputs, bool everySheet);
    // Queues a result that needs no application (a directory the walk
    // could not use): it is delivered in its place among the others.
    void addResult(FileResult result);

    // Starts as many workers as there are workbooks, up to the number of
    // jobs (at least one, so that a missing application is told even when
    // there is nothing to convert), calls started() once the first
    // application runs and then hands every result to deliver in the order
    // added. Returns false when no application could be started (nothing
    // is delivered then).
    bool run(const std::function<void()> &started, const Deliver &deliver);

    // Takes no further workbook; the results of those in progress are
    // delivered as far as the order allows. Safe to call from an event
    // handled during run().
    void stop();

private:
    struct Item
    {
        QString path;
        ConversionRun::OutputList outputs;
        bool everySheet = false;
        std::unique_ptr<FileResult> result; // set once converted (or from the start)
    };

    void work();
    // The next workbook to convert, or -1 when there is none (or stopped).
    int takeNext();
    void finish(int index, FileResult result);
    void workerEnded();
    void wake();
    // Delivers every result whose predecessors have all been delivered.
    void deliverReady(const Deliver &deliver);

    int m_jobs;
    ConverterFactory m_factory;
    std::vector<Item> m_items;
    std::vector<int> m_pending;       // indexes of items to convert, in order
    std::unique_ptr<QObject> m_waker; // lives on the thread that runs
    QEventLoop *m_loop = nullptr;
    std::vector<std::unique_ptr<QThread>> m_workers;

    std::mutex m_mutex; // guards what follows, shared with the workers
    size_t m_nextPending = 0;
    size_t m_delivered = 0;
    int m_running = 0;
    std::atomic_bool m_anyStarted{false};
    std::atomic_bool m_stopped{false};
};
