#include "engine/ConverterPool.h"

#include "engine/OutputDelivery.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

#include <algorithm>

using platform::AutomationError;

ConverterPool::ConverterPool(WorkbookConverter &converter) : m_single(&converter) {}

ConverterPool::ConverterPool(int size, ConverterFactory factory)
    : m_size(std::max(1, size)), m_factory(std::move(factory)), m_waker(std::make_unique<QObject>())
{}

ConverterPool::~ConverterPool()
{
    stop();
    for (const auto &worker : m_workers)
        worker->wait();
}

bool ConverterPool::start(std::function<void()> started, Deliver deliver)
{
    m_started = std::move(started);
    m_deliver = std::move(deliver);
    if (!m_single)
        return true; // the workers start once finish() knows how many are worth it
    m_starting = true;
    const bool ok = startConverter(*m_single);
    m_starting = false;
    if (!ok)
        return false;
    m_anyStarted = true;
    m_started();
    return true;
}

namespace {

// A call whose failure changes nothing that follows: a server that cannot
// hide itself still converts, and a run whose application does not quit
// cleanly is over all the same.
template <typename Call>
void tolerateFailure(Call call)
{
    try {
        call();
    } catch (const std::exception &) {}
}

} // namespace

bool ConverterPool::startConverter(WorkbookConverter &converter)
{
    try {
        converter.start();
    } catch (const std::exception &) {
        converter.release();
        return false;
    }
    tolerateFailure([&] { converter.hide(); });
    return true;
}

void ConverterPool::endConverter(WorkbookConverter &converter)
{
    tolerateFailure([&] { converter.quit(); });
    converter.release();
}

void ConverterPool::close()
{
    if (m_single && !m_closed)
        endConverter(*m_single);
    m_closed = true;
}

void ConverterPool::add(const QString &path, Plan plan)
{
    if (m_single) {
        FileResult result = ConvertWorkbook(*m_single, path, plan, inputs());
        m_deliver(result);
        return;
    }
    m_pending.push_back(int(m_items.size()));
    m_items.push_back({path, std::move(plan), nullptr});
}

void ConverterPool::addResult(FileResult result)
{
    if (m_single) {
        m_deliver(result);
        return;
    }
    m_items.push_back({result.path, {}, std::make_unique<FileResult>(std::move(result))});
}

bool ConverterPool::finish()
{
    if (m_single)
        return true;
    if (m_stopped)
        return false;
    const int workers = std::clamp(int(m_pending.size()), 1, m_size);
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
            m_started();
        }
        deliverReady();
        if (idle)
            break;
        loop.exec();
    }
    m_loop = nullptr;
    for (const auto &worker : m_workers)
        worker->wait();
    if (!m_anyStarted && m_stopped) {
        m_started();
        deliverStopAtStart();
    }
    return m_anyStarted;
}

void ConverterPool::deliverStopAtStart()
{
    for (Item &item : m_items) {
        if (!item.result) {
            FileResult stopped = FileResult::failure(item.path, stoppedWhileStartingText());
            m_deliver(stopped);
            return;
        }
        m_deliver(*item.result);
    }
}

const OutputPlan::InputSet &ConverterPool::inputs() const
{
    static const OutputPlan::InputSet none;
    return m_inputs ? *m_inputs : none;
}

QString ConverterPool::stoppedWhileStartingText()
{
    return QStringLiteral("stopped while starting the office, the program was told to end");
}

void ConverterPool::deliverReady()
{
    for (;;) {
        if (!m_anyStarted)
            return;
        std::unique_ptr<FileResult> result;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_delivered == m_items.size() || m_delivered > m_lastToDeliver || !m_items[m_delivered].result)
                return;
            result = std::move(m_items[m_delivered].result);
            ++m_delivered;
            // The offices are ended before the stop reaches the pool: the
            // workbooks they held fail first. The first of them is the one
            // in progress; nothing after it is delivered.
            if (m_stopped && result->failed() && result->error.endsWith(QLatin1String("the program was told to end")))
                m_lastToDeliver = m_delivered - 1;
        }
        m_deliver(*result);
    }
}

void ConverterPool::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_stopped) {
            size_t first = m_delivered;
            while (first < m_items.size() && m_items[first].result)
                ++first;
            m_lastToDeliver = first;
        }
    }
    m_stopped = true;
    if (m_single) {
        if (m_starting)
            m_single->cancelStart();
        return;
    }
    wake();
}

int ConverterPool::takeNext()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopped || m_nextPending == m_pending.size())
        return -1;
    return m_pending[m_nextPending++];
}

void ConverterPool::work()
{
    const std::unique_ptr<WorkbookConverter> converter = m_factory();
    // A worker whose application does not start leaves the files to the
    // others; a run where none starts says so.
    if (startConverter(*converter)) {
        m_anyStarted = true;
        wake();
        for (int index = takeNext(); index >= 0; index = takeNext()) {
            const Item &item = m_items[size_t(index)];
            finish(index, ConvertWorkbook(*converter, item.path, item.plan, inputs()));
        }
        endConverter(*converter);
    }
    workerEnded();
}

void ConverterPool::finish(int index, FileResult result)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items[size_t(index)].result = std::make_unique<FileResult>(std::move(result));
    }
    wake();
}

void ConverterPool::workerEnded()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_running;
    }
    wake();
}

void ConverterPool::wake()
{
    // Queued to the thread that adds, so it is handled inside loop.exec()
    // and never lost between a check and the wait.
    QMetaObject::invokeMethod(
        m_waker.get(),
        [this] {
            if (m_loop)
                m_loop->quit();
        },
        Qt::QueuedConnection);
}

FileResult ConverterPool::ConvertWorkbook(WorkbookConverter &converter, const QString &path, const Plan &plan,
                                          const OutputPlan::InputSet &inputs)
{
    QElapsedTimer clock;
    clock.start();
    FileResult result;
    result.path = path;
    result.status = FileResult::Status::Failed;
    // Checked before the office sees the file, where that gives the true
    // reason, and again after the open: the plan may change meanwhile.
    result.error = OutputPlan::refusalFor(path, plan({}), inputs);
    if (!result.error.isEmpty()) {
        result.seconds = clock.nsecsElapsed() / 1e9;
        return result;
    }
    WorkbookConverter::WorkbookRef workbook;
    try {
        workbook = converter.open(path);
        // Only a CSV depends on the sheets; asking costs the application calls.
        OutputList planned = plan({});
        const bool csv = std::any_of(planned.begin(), planned.end(), [](const PlannedOutput &output) {
            return output.format->kind == OutputKind::Csv;
        });
        const QStringList sheets = csv ? workbook->sheetNames() : QStringList();
        if (csv)
            planned = plan(sheets);
        result.error = OutputPlan::refusalFor(path, planned, inputs);
        if (result.error.isEmpty()) {
            if (workbook->openedWithPassword())
                result.notes << QStringLiteral("opened with a password from the list");
            for (const PlannedOutput &output : planned)
                result.staged.push_back(OutputDelivery::stage(*workbook, output, path));
            result.notes << OutputPlan::sheetNotes(planned, sheets);
            result.status = FileResult::Status::Ok;
        }
        workbook->close();
        workbook.reset();
    } catch (const AutomationError &error) {
        result.status = FileResult::Status::Failed;
        result.error = error.message();
    } catch (const std::exception &error) {
        result.status = FileResult::Status::Failed;
        result.error = QString::fromUtf8(error.what());
    }
    // A workbook whose save failed is closed all the same: left open until
    // the run ends, the office would keep the failed output's disk space
    // (and the workbook's memory) from every file after it.
    if (workbook) {
        try {
            workbook->close();
        } catch (...) {}
        workbook.reset();
    }
    if (result.failed()) {
        result.staged.clear();
        result.notes.clear();
    }
    result.seconds = clock.nsecsElapsed() / 1e9;
    return result;
}
