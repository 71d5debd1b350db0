#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <mutex>

#include <sys/types.h>

#include "platform/TextError.h"
#include "platform/office/ProfileSettings.h"

namespace platform::office {

// A failure of the office or of the bridge, with the text the log shows.
class OfficeFailure : public TextError
{
public:
    using TextError::TextError;
};

class ProfileSlot;

// One headless office process with its own user profile (a profile slot in
// the user's cache, reused by later runs), its own UNO pipe and its own
// temporary folder, which goes with it. The child runs with a UTF-8
// character type, in a process group of its own, and is told to die with
// the thread that started it, so a killed program takes it along.
// Safe to use from several threads (the watchdog kills it from the caller
// while a worker waits on it).
class OfficeProcess
{
public:
    // slot: the profile slot to use (offices run side by side take one
    // each), or kAnySlot for the first free one. It is taken at the first
    // launch() and held, across restarts, until the object goes.
    static constexpr int kAnySlot = -1;
    explicit OfficeProcess(const QString &program, int slot = kAnySlot);
    ~OfficeProcess(); // kills the office if it still runs

    OfficeProcess(const OfficeProcess &) = delete;
    OfficeProcess &operator=(const OfficeProcess &) = delete;

    // Starts (or starts again) the office; throws OfficeFailure.
    void launch();
    QString connectUrl() const;

    // Reaps the process when it has ended. Returns false once it has; a
    // process that is already dying (killed, or its threads exiting) counts
    // as ended at once and is waited for.
    bool isRunning();
    // The exit status once ended: the exit code, or 128 + signal number.
    int exitStatus() const;
    pid_t pid() const;
    // The office's resident memory in bytes; -1 when it does not run.
    qint64 residentBytes() const;

    // Waits up to ms for the process to end by itself.
    bool waitForExit(int ms);
    // Kills the whole process group and reaps it.
    void kill();

    // After the office ended during its start: when it ran on a profile of
    // an earlier run, throws that profile away so that the next launch()
    // makes a fresh one, and returns true; once per process object.
    bool renewDamagedProfile();

    // Ends every office of this program at once (for a signal that ends
    // the program) and removes what they leave; later launches fail.
    static void endAll();
    // True once endAll() was called.
    static bool isEnding();

    static QString defaultProgram();

private:
    bool reapLocked(bool block);
    void takeProfileSlotLocked();
    void removeRunLeftoversLocked();

    QString m_program;
    OfficeRelease m_release;
    int m_slotNumber;
    std::unique_ptr<ProfileSlot> m_slot;
    QTemporaryDir m_temp;
    QString m_pipeName;
    mutable std::mutex m_mutex;
    pid_t m_pid = -1;
    int m_exitStatus = -1;
};

} // namespace platform::office
