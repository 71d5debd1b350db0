#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <mutex>
#include <stdexcept>

#include <sys/types.h>

namespace platform::office {

// A failure of the office or of the bridge, with the text the log shows.
class OfficeFailure : public std::runtime_error
{
public:
    explicit OfficeFailure(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

// One headless office process with its own temporary user profile and its
// own UNO pipe. The child runs in a process group of its own and is told to
// die with the thread that started it, so a killed program takes it along.
// Safe to use from several threads (the watchdog kills it from the caller
// while a worker waits on it).
class OfficeProcess
{
public:
    explicit OfficeProcess(const QString &program);
    ~OfficeProcess();  // kills the office if it still runs

    OfficeProcess(const OfficeProcess &) = delete;
    OfficeProcess &operator=(const OfficeProcess &) = delete;

    // Starts (or starts again) the office; throws OfficeFailure.
    void launch();
    QString connectUrl() const;

    // Reaps the process when it has ended. Returns false once it has.
    bool isRunning();
    // The exit status once ended: the exit code, or 128 + signal number.
    int exitStatus() const;
    pid_t pid() const;

    // Waits up to ms for the process to end by itself.
    bool waitForExit(int ms);
    // Kills the whole process group and reaps it.
    void kill();

    static QString defaultProgram();

private:
    bool reapLocked(bool block);

    QString m_program;
    QTemporaryDir m_profile;
    QString m_pipeName;
    mutable std::mutex m_mutex;
    pid_t m_pid = -1;
    int m_exitStatus = -1;
};

} // namespace platform::office
