#include "engine/ParallelConversion.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

#include <algorithm>

ParallelConversion::ParallelConversion(int jobs, ConverterFactory factory)
    : m_jobs(std::max(1, jobs)), m_factory(std::move(factory)), m_waker(std::make_unique<QObject>())
{}

ParallelConversion::~ParallelConversion()
{
    stop();
    for (const auto &worker : m_workers)
        worker->wait();
}

void ParallelConversion::addWorkbook(const QString &path, const ConversionRun::OutputList &outputs, bool everySheet)
{
    m_pending.push_back(int(m_items.size()));
    m_items.push_back({path, outputs, everySheet, nullptr});
}

void ParallelConversion::addResult(FileResult result)
{
    m_items.push_back({result.path, {}, false, std::make_unique<FileResult>(std::move(result))});
}

bool ParallelConversion::run(const std::function<void()> &started, const Deliver &deliver)
{
    if (m_stopped)
        return false;
    const int workers = std::clamp(int(m_pending.size()), 1, m_jobs);
    QEventLoop loop;
    m_loop = &loop;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = workers;
    }
    for (int i = 0; i < workers; ++i) {
        m_workers.emplace_back(QThread::create([this] { work(); }));
        m_workers.back()->start();
    }
    bool announced = false;
    for (;;) {
        bool idle = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            idle = m_running == 0;
        }
        // Nothing is delivered before an application has started: a run
        // without one reports that alone.
        if (m_anyStarted && !announced) {
            announced = true;
            started();
        }
        deliverReady(deliver);
        if (idle)
            break;
        loop.exec();
    }
    m_loop = nullptr;
    for (const auto &worker : m_workers)
        worker->wait();
    return m_anyStarted;
}

void ParallelConversion::deliverReady(const Deliver &deliver)
{
    for (;;) {
        if (!m_anyStarted)
            return;
        std::unique_ptr<FileResult> result;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_delivered == m_items.size() || !m_items[m_delivered].result)
                return;
            result = std::move(m_items[m_delivered].result);
            ++m_delivered;
        }
        deliver(*result);
    }
}

void ParallelConversion::stop()
{
    m_stopped = true;
    wake();
}

int ParallelConversion::takeNext()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopped || m_nextPending == m_pending.size())
        return -1;
    return m_pending[m_nextPending++];
}

void ParallelConversion::work()
{
    const std::unique_ptr<WorkbookConverter> converter = m_factory();
    bool started = false;
    try {
        converter->start();
        started = true;
    } catch (const std::exception &) {
        // The others convert the files; a run where none starts says so.
    }
    if (started) {
        m_anyStarted = true;
        wake();
        try {
            converter->hide();
        } catch (const std::exception &) {
            // A server that cannot hide itself still converts.
        }
        for (int index = takeNext(); index >= 0; index = takeNext()) {
            const Item &item = m_items[size_t(index)];
            const ConversionRun::OutputList outputs = item.outputs;
            const bool everySheet = item.everySheet;
            finish(index, ConversionRun::convertWorkbook(*converter, item.path, [&](const QStringList &sheetNames) {
                       return ConversionRun::withSheets(outputs, sheetNames, everySheet);
                   }));
        }
        try {
            converter->quit();
        } catch (const std::exception &) {
            // Released below either way.
        }
    }
    converter->release();
    workerEnded();
}

void ParallelConversion::finish(int index, FileResult result)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items[size_t(index)].result = std::make_unique<FileResult>(std::move(result));
    }
    wake();
}

void ParallelConversion::workerEnded()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_running;
    }
    wake();
}

void ParallelConversion::wake()
{
    // Queued to the running thread, so it is handled inside loop.exec()
    // and never lost between a check and the wait.
    QMetaObject::invokeMethod(
        m_waker.get(),
        [this] {
            if (m_loop)
                m_loop->quit();
        },
        Qt::QueuedConnection);
}
