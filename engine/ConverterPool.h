#pragma once

#include "engine/FileResult.h"
#include "engine/OutputPlan.h"
#include "engine/WorkbookConverter.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
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
// loop while it works). A larger pool converts on worker threads while the
// adding goes on: a worker (and its application) starts with the first
// workbook it could take, up to the pool's size, and the adding waits while
// window() workbooks are added and not yet delivered, so that what the pool
// holds does not grow with the run.
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

    // A file the run takes as input: no output is written over one. Every
    // input that a workbook's outputs could meet must be in before the
    // workbook is added; the workers read them while more come in.
    void addInput(const platform::FileId &id);

    // How many workbooks a larger pool holds at most between add() and
    // their delivery.
    int window() const { return m_window; }
    // Whether a larger pool has lost every worker it may start, none of
    // which could start its application: added workbooks would wait for ever.
    bool cannotConvert() const;

    // Whether plans run on the thread that adds: they may then read what
    // that thread owns, at the moment the workbook is converted.
    bool convertsOnCallingThread() const { return m_single != nullptr; }

    // First of all. `started` is called once an application runs, before
    // anything is delivered; `deliver` gets every result in order. A pool of
    // one starts its application now and returns false when it cannot; a
    // larger one starts its applications in finish().
    bool start(std::function<void()> started, Deliver deliver);
    // Queues a workbook; a pool of one converts and delivers it at once, a
    // larger one delivers what is ready and waits while its window is full.
    void add(const QString &path, Plan plan);
    // Queues a result that needs no application (a directory the walk
    // could not use, an up-to-date workbook): it is delivered in its place
    // among the others.
    void addResult(FileResult result);
    // Nothing more is added: converts whatever is queued and delivers every
    // result. Returns false when no application could be started (nothing is
    // delivered then).
    bool finish();
    // Ends the applications: they are told to quit and released.
    void close();

    // Takes no further workbook and cancels a start in progress; results
    // are delivered up to the first one that was not finished then, which
    // ends the delivery. Stopped before any application ran, a larger pool
    // delivers what came before the first workbook and that workbook with
    // stoppedWhileStartingText(). Safe to call from an event handled during
    // a call.
    void stop();

    // The line of the workbook that waited for an application whose start
    // a stop ended.
    static QString stoppedWhileStartingText();

    // Why a workbook must not be written to these outputs (empty when it
    // may), as OutputPlan::refusalFor says against the run's inputs.
    using Refusal = std::function<QString(const QString &path, const OutputList &outputs)>;
    // Opens, saves into staging folders and closes one workbook. Touches
    // nothing shared, so applications on several threads can use it at once.
    static FileResult ConvertWorkbook(WorkbookConverter &converter, const QString &path, const Plan &plan,
                                      const Refusal &refusal);

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

    void startWorker();
    void work();
    // The next workbook to convert, waiting while more may come; nullptr
    // when there is none (or stopped).
    Item *takeNext();
    void finish(Item *item, FileResult result);
    void workerEnded();
    void wake();
    // Runs the adding thread's event loop until a worker wakes it.
    void waitForWorkers();
    // Delivers what is ready and waits while the window is full.
    void deliverWithinWindow();
    // Delivers every result whose predecessors have all been delivered.
    void deliverReady();
    void deliverStopAtStart();
    QString refusalFor(const QString &path, const OutputList &outputs) const;

    WorkbookConverter *m_single = nullptr; // a pool of one
    bool m_starting = false;
    bool m_closed = false;
    bool m_announced = false; // m_started has been called
    int m_size = 1;
    int m_window = 1;
    int m_workbooksAdded = 0;
    ConverterFactory m_factory;
    std::function<void()> m_started;
    Deliver m_deliver;
    std::unique_ptr<QObject> m_waker; // lives on the thread that adds
    QEventLoop *m_loop = nullptr;
    std::vector<std::unique_ptr<QThread>> m_workers;

    mutable std::mutex m_inputsMutex; // the workers read while the adding thread writes
    OutputPlan::InputSet m_inputs;

    mutable std::mutex m_mutex; // guards what follows, shared with the workers
    std::condition_variable m_workToTake;
    std::deque<std::unique_ptr<Item>> m_items; // added and not yet delivered, in order
    size_t m_firstItem = 0;                    // number of m_items.front() in the run
    std::deque<Item *> m_pending;              // items to convert, in order
    bool m_noMoreItems = false;
    size_t m_lastToDeliver = SIZE_MAX; // after a stop: the number of the first item unfinished then
    int m_running = 0;
    std::atomic_bool m_anyStarted{false};
    std::atomic_bool m_stopped{false};
};
