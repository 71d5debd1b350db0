#include "platform/office/CallGate.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <csignal>
#include <pthread.h>

namespace platform::office {

// State shared with the worker thread. The worker may outlive the gate when
// a job is stuck for good, so it owns a reference of its own.
struct CallGate::Shared
{
    std::mutex mutex;
    std::condition_variable wake; // worker: a job or stop arrived
    std::condition_variable idle; // caller: the job ended
    std::function<void()> job;
    std::exception_ptr error;
    bool hasJob = false;
    bool running = false;
    bool stop = false;
    quint64 finishedSerial = 0;
    quint64 serial = 0;
    QObject *waker = nullptr; // set and cleared under mutex by the gate
    std::function<void()> wakeCaller;
    std::thread worker;
};

namespace {
void workerLoop(std::shared_ptr<CallGate::Shared> s);
}

CallGate::CallGate() : m_shared(std::make_shared<Shared>()), m_waker(std::make_unique<QObject>())
{
    m_shared->waker = m_waker.get();
    m_shared->wakeCaller = [this] {
        if (m_loop)
            m_loop->quit();
    };
    auto shared = m_shared;
    m_shared->worker = std::thread([shared] { workerLoop(shared); });
}

CallGate::~CallGate()
{
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->stop = true;
        m_shared->waker = nullptr;
    }
    m_shared->wake.notify_all();
    if (waitIdle(std::chrono::milliseconds(10 * 1000)))
        m_shared->worker.join();
    else
        m_shared->worker.detach(); // stuck in a dead office: let it go
}

bool CallGate::busy() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_waiting || m_shared->hasJob || m_shared->running;
}

bool CallGate::waitIdle(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    return m_shared->idle.wait_for(lock, limit, [this] { return !m_shared->hasJob && !m_shared->running; });
}

CallGate::Outcome CallGate::run(const std::function<void()> &job, std::chrono::milliseconds limit)
{
    submit(job);
    return wait(limit);
}

void CallGate::submit(const std::function<void()> &job)
{
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->job = job;
        m_shared->error = nullptr;
        m_shared->hasJob = true;
        m_submitted = ++m_shared->serial;
    }
    m_shared->wake.notify_all();
}

CallGate::Outcome CallGate::wait(std::chrono::milliseconds limit)
{
    const quint64 serial = m_submitted;
    const auto finished = [this, serial] {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        return m_shared->finishedSerial >= serial;
    };

    m_waiting = true;
    if (QCoreApplication::instance()) {
        // The worker wakes this loop through a queued call on m_waker, which
        // lives in this thread; events keep flowing meanwhile.
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(limit);
        m_loop = &loop;
        while (!finished() && deadline.isActive())
            loop.exec();
        m_loop = nullptr;
    } else {
        std::unique_lock<std::mutex> lock(m_shared->mutex);
        m_shared->idle.wait_for(lock, limit, [this, serial] { return m_shared->finishedSerial >= serial; });
    }
    m_waiting = false;

    if (!finished())
        return Outcome::TimedOut;
    std::exception_ptr error;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        std::swap(error, m_shared->error);
    }
    if (error)
        std::rethrow_exception(error);
    return Outcome::Finished;
}

namespace {
void workerLoop(std::shared_ptr<CallGate::Shared> s)
{
    // An office that dies between calls leaves the UNO bridge writing to a
    // closed pipe: that must fail the write, not end the program. The
    // bridge's threads are started from here and inherit the mask.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    std::unique_lock<std::mutex> lock(s->mutex);
    for (;;) {
        s->wake.wait(lock, [&] { return s->hasJob || s->stop; });
        if (!s->hasJob)
            return;
        std::function<void()> job = std::move(s->job);
        s->hasJob = false;
        s->running = true;
        lock.unlock();
        std::exception_ptr error;
        try {
            job();
        } catch (...) {
            error = std::current_exception();
        }
        job = nullptr;
        lock.lock();
        s->error = error;
        s->running = false;
        s->finishedSerial = s->serial;
        if (s->waker) {
            // Runs in the caller's thread, and not at all once the waker
            // (and with it the gate) is gone.
            QMetaObject::invokeMethod(s->waker, s->wakeCaller, Qt::QueuedConnection);
        }
        s->idle.notify_all();
        if (s->stop)
            return;
    }
}
} // namespace

} // namespace platform::office
