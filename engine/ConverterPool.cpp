#include "engine/ConverterPool.h"

#include "engine/OutputDelivery.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

#include <algorithm>

using platform::AutomationError;

ConverterPool::ConverterPool(WorkbookConverter &converter) : m_single(&converter) {}

namespace {

// Workbooks a worker may have converted ahead of the one whose line is next:
// room to go on while one file is slow, bounded so that a run of a million
// files holds no more than a run of a hundred.
constexpr int kWindowPerWorker = 16;

} // namespace

ConverterPool::ConverterPool(int size, ConverterFactory factory)
    : m_size(std::max(1, size)), m_window(m_size * kWindowPerWorker), m_factory(std::move(factory)),
      m_waker(std::make_unique<QObject>())
{}

ConverterPool::~ConverterPool()
{
    stop();
    for (const auto &worker : m_workers)
        worker->wait();
}

void ConverterPool::addInput(const platform::FileId &id)
{
    if (!id.isValid())
        return;
    std::lock_guard<std::mutex> lock(m_inputsMutex);
    m_inputs.insert(id);
}

QString ConverterPool::refusalFor(const QString &path, const OutputList &outputs) const
{
    std::lock_guard<std::mutex> lock(m_inputsMutex);
    return OutputPlan::refusalFor(path, outputs, m_inputs);
}

bool ConverterPool::cannotConvert() const
{
    if (m_single || m_anyStarted)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_workers.size()) == m_size && m_running == 0;
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
        FileResult result = ConvertWorkbook(*m_single, path, plan,
                                            [this](const QString &p, const OutputList &o) { return refusalFor(p, o); });
        m_deliver(result);
        return;
    }
    if (m_stopped)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.push_back(std::make_unique<Item>(Item{path, std::move(plan), nullptr}));
        m_pending.push_back(m_items.back().get());
    }
    m_workToTake.notify_one();
    // One application per workbook at most: a run of one file starts one.
    if (++m_workbooksAdded > int(m_workers.size()) && int(m_workers.size()) < m_size)
        startWorker();
    deliverWithinWindow();
}

void ConverterPool::addResult(FileResult result)
{
    if (m_single) {
        m_deliver(result);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.push_back(
            std::make_unique<Item>(Item{result.path, {}, std::make_unique<FileResult>(std::move(result))}));
    }
    // Nothing is delivered before an application runs, and every run starts
    // one: a walk of entries that need none must not pile them up meanwhile.
    if (m_workers.empty())
        startWorker();
    deliverWithinWindow();
}

void ConverterPool::deliverWithinWindow()
{
    for (;;) {
        deliverReady();
        bool full = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            full = int(m_items.size()) >= m_window && m_running > 0;
        }
        if (!full || m_stopped)
            return;
        waitForWorkers();
    }
}

void ConverterPool::startWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_running;
    }
    m_workers.emplace_back(QThread::create([this] { work(); }));
    m_workers.back()->start();
}

void ConverterPool::waitForWorkers()
{
    QEventLoop loop;
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
}

bool ConverterPool::finish()
{
    if (m_single)
        return true;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_noMoreItems = true;
    }
    m_workToTake.notify_all();
    // A run without a workbook still starts its application, as one with.
    if (m_workers.empty() && !m_stopped)
        startWorker();
    for (;;) {
        bool idle = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            idle = m_running == 0;
        }
        deliverReady();
        if (idle)
            break;
        waitForWorkers();
    }
    for (const auto &worker : m_workers)
        worker->wait();
    if (!m_anyStarted && m_stopped && !m_workers.empty()) {
        m_started();
        deliverStopAtStart();
    }
    return m_anyStarted;
}

void ConverterPool::deliverStopAtStart()
{
    for (const auto &item : m_items) {
        if (!item->result) {
            FileResult stopped = FileResult::failure(item->path, stoppedWhileStartingText());
            stopped.stopped = true;
            m_deliver(stopped);
            return;
        }
        m_deliver(*item->result);
    }
}

QString ConverterPool::stoppedWhileStartingText()
{
    return QStringLiteral("stopped while starting the office, the program was told to end");
}

void ConverterPool::deliverReady()
{
    // Nothing is delivered before an application has started: a run
    // without one reports that alone.
    if (!m_anyStarted)
        return;
    if (!m_announced) {
        m_announced = true;
        m_started();
    }
    for (;;) {
        std::unique_ptr<FileResult> result;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_items.empty() || m_firstItem > m_lastToDeliver || !m_items.front()->result)
                return;
            result = std::move(m_items.front()->result);
            m_items.pop_front();
            ++m_firstItem;
            // The offices are ended before the stop reaches the pool: the
            // workbooks they held fail first. The first of them is the one
            // in progress; nothing after it is delivered.
            if (m_stopped && result->stopped)
                m_lastToDeliver = m_firstItem - 1;
        }
        m_deliver(*result);
    }
}

void ConverterPool::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_stopped) {
            size_t first = 0;
            while (first < m_items.size() && m_items[first]->result)
                ++first;
            m_lastToDeliver = m_firstItem + first;
        }
        m_stopped = true;
    }
    m_workToTake.notify_all();
    if (m_single) {
        if (m_starting)
            m_single->cancelStart();
        return;
    }
    wake();
}

ConverterPool::Item *ConverterPool::takeNext()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_workToTake.wait(lock, [this] { return m_stopped || m_noMoreItems || !m_pending.empty(); });
    if (m_stopped || m_pending.empty())
        return nullptr;
    Item *item = m_pending.front();
    m_pending.pop_front();
    return item;
}

void ConverterPool::work()
{
    const std::unique_ptr<WorkbookConverter> converter = m_factory();
    // A worker whose application does not start leaves the files to the
    // others; a run where none starts says so.
    if (startConverter(*converter)) {
        m_anyStarted = true;
        wake();
        const Refusal refusal = [this](const QString &path, const OutputList &outputs) {
            return refusalFor(path, outputs);
        };
        for (Item *item = takeNext(); item; item = takeNext())
            finish(item, ConvertWorkbook(*converter, item->path, item->plan, refusal));
        endConverter(*converter);
    }
    workerEnded();
}

void ConverterPool::finish(Item *item, FileResult result)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        item->result = std::make_unique<FileResult>(std::move(result));
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
                                          const Refusal &refusal)
{
    QElapsedTimer clock;
    clock.start();
    FileResult result;
    result.path = path;
    result.status = FileResult::Status::Failed;
    // Checked before the office sees the file, where that gives the true
    // reason, and again after the open: the plan may change meanwhile.
    result.error = refusal(path, plan({}));
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
        result.error = refusal(path, planned);
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
        result.stopped = dynamic_cast<const platform::StoppedError *>(&error) != nullptr;
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
