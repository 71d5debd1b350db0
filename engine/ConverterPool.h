#pragma once

#include "engine/FileResult.h"
#include "engine/OutputPlan.h"
#include "engine/WorkbookConverter.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

QT_FORWARD_DECLARE_CLASS(QEventLoop)
QT_FORWARD_DECLARE_CLASS(QThread)

// Converts the workbooks of a run with one or more spreadsheet applications
// and hands the results back in the order they were added, on the thread
// that adds them. The order is what keeps every size of pool equal to a pool
// of one: lines come out in walk order, and the outputs of a later workbook
// are moved into place after those of an earlier one.
//
// A pool of one drives its application on the thread that adds, converting
// each workbook as it comes (the application yields to that thread's message
// loop while it works). A larger pool waits until everything is queued, then
// starts as many applications as there are workbooks, up to its size, each
// on a worker thread of its own.
//
// A worker's application that dies or hangs is the converter's business:
// the file fails with the converter's reason, and the converter starts a
// new application for the next one, while the other workers go on.
class ConverterPool
{
public:
    using ConverterFactory = std::function<std::unique_ptr<WorkbookConverter>()>;
    // The outputs of a workbook: asked before the open with no sheet names
    // and again after it with the workbook's, on the converting thread.
    using Plan = std::function<OutputList(const QStringList &sheetNames)>;
    using Deliver = std::function<void(FileResult &)>;

    // A pool of one: `converter`, on the calling thread.
    explicit ConverterPool(WorkbookConverter &converter);
    // Up to `size` converters made by `factory`, on worker threads.
    ConverterPool(int size, ConverterFactory factory);
    ~ConverterPool(); // stops, waits for the workers and ends their applications

    ConverterPool(const ConverterPool &) = delete;
    ConverterPool &operator=(const ConverterPool &) = delete;

    // Whether plans run on the thread that adds: they may then read what
    // that thread owns, at the moment the workbook is converted.
    bool convertsOnCallingThread() const { return m_single != nullptr; }

    // First of all. `started` is called once an application runs, before
    // anything is delivered; `deliver` gets every result in order. A pool of
    // one starts its application now and returns false when it cannot; a
    // larger one starts its applications in finish().
    bool start(std::function<void()> started, Deliver deliver);
    // Queues a workbook; a pool of one converts and delivers it at once.
    void add(const QString &path, Plan plan);
    // Queues a result that needs no application (a directory the walk
    // could not use): it is delivered in its place among the others.
    void addResult(FileResult result);
    // Converts whatever is queued and delivers every result. Returns false
    // when no application could be started (nothing is delivered then).
    bool finish();
    // Ends the applications: they are told to quit and released.
    void close();

    // Takes no further workbook and cancels a start in progress; the
    // results of those in progress are delivered as far as the order
    // allows. Safe to call from an event handled during a call.
    void stop();

    // Opens, saves into staging folders and closes one workbook. Touches
    // nothing shared, so applications on several threads can use it at once.
    static FileResult ConvertWorkbook(WorkbookConverter &converter, const QString &path, const Plan &plan);

private:
    struct Item
    {
        QString path;
        Plan plan;
        std::unique_ptr<FileResult> result; // set once converted (or from the start)
    };

    // Starts and hides an application; a failed start is released.
    static bool startConverter(WorkbookConverter &converter);
    static void endConverter(WorkbookConverter &converter);

    void work();
    // The next workbook to convert, or -1 when there is none (or stopped).
    int takeNext();
    void finish(int index, FileResult result);
    void workerEnded();
    void wake();
    // Delivers every result whose predecessors have all been delivered.
    void deliverReady();

    WorkbookConverter *m_single = nullptr; // a pool of one
    bool m_starting = false;
    bool m_closed = false;
    int m_size = 1;
    ConverterFactory m_factory;
    std::function<void()> m_started;
    Deliver m_deliver;
    std::vector<Item> m_items;
    std::vector<int> m_pending;       // indexes of items to convert, in order
    std::unique_ptr<QObject> m_waker; // lives on the thread that adds
    QEventLoop *m_loop = nullptr;
    std::vector<std::unique_ptr<QThread>> m_workers;

    std::mutex m_mutex; // guards what follows, shared with the workers
    size_t m_nextPending = 0;
    size_t m_delivered = 0;
    int m_running = 0;
    std::atomic_bool m_anyStarted{false};
    std::atomic_bool m_stopped{false};
};
