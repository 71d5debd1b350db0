#pragma once

#include <QObject>

QT_FORWARD_DECLARE_CLASS(QEventLoop)

#include <chrono>
#include <exception>
#include <functional>
#include <memory>

namespace platform::office {

// Runs blocking office calls on a worker thread of its own while the calling
// thread keeps handling its events, so a caller on the GUI thread sees a
// blocking call during which the window still paints and takes input.
// Calls are made from one thread (the one that created the gate).
class CallGate
{
public:
    CallGate();
    ~CallGate(); // waits for a running job only if it finishes by itself

    CallGate(const CallGate &) = delete;
    CallGate &operator=(const CallGate &) = delete;

    enum class Outcome { Finished, TimedOut };

    // Runs job on the worker and waits at most limit for it. An exception
    // thrown by the job is rethrown here. On TimedOut the job still runs:
    // the caller must make it end (kill the office) and then waitIdle().
    Outcome run(const std::function<void()> &job, std::chrono::milliseconds limit);

    // run() in two halves, for a job that goes on while the caller does
    // other things: submit() hands the job to the worker and returns at once,
    // wait() then waits for it as run() does (and rethrows its exception).
    // One job at a time: a submitted job is waited for before the next.
    void submit(const std::function<void()> &job);
    Outcome wait(std::chrono::milliseconds limit);

    // True while a job of this gate runs (also during the caller's wait).
    bool busy() const;

    // Waits up to limit for a timed-out job to end; false if it is stuck.
    bool waitIdle(std::chrono::milliseconds limit);

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<QObject> m_waker; // lives in the calling thread
    QEventLoop *m_loop = nullptr;
    quint64 m_submitted = 0; // serial of the last job handed to the worker
    bool m_waiting = false;
};

} // namespace platform::office
