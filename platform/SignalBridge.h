#pragma once

#include <QObject>

#include <memory>

QT_FORWARD_DECLARE_CLASS(QSocketNotifier)

namespace platform {

// Turns the signals that ask a program to end (SIGINT, SIGTERM, SIGHUP)
// into the Qt signal endRequested, emitted on the thread that made the
// bridge as soon as its event loop runs, also inside a nested one. The
// handler itself only writes to a pipe, which is all that is safe there.
//
// After the first of them the signals take their default action again, so
// a second one ends a program that is stuck in its clean-up.
//
// One bridge at a time; it restores the previous handlers when destroyed.
class SignalBridge : public QObject
{
    Q_OBJECT
public:
    explicit SignalBridge(QObject *parent = nullptr);
    ~SignalBridge() override;

    // The first ending signal received so far, 0 when none; also when it
    // came in before the event loop could report it.
    int received() const;
    // The exit status for a program that ends because of the signal that
    // was received (128 + its number), or status when none was.
    int exitStatus(int status) const;

    // The bridge in place, or null.
    static SignalBridge *instance();

Q_SIGNALS:
    void endRequested(int signalNumber);

private:
    void readPipe();

    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_reported = false;
};

} // namespace platform
