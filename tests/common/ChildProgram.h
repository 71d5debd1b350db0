#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace testsupport {

// How long a child program may run before it is taken for hung: shorter than
// the per-case limit of the slowest suites, so that a hang fails the case with
// the child's output rather than stopping the whole test program.
constexpr int kChildTimeoutMs = 150000;

// What a child program did: its exit code and what it printed.
struct ProgramRun
{
    int status = -1;   // the exit code; -1 when it crashed, did not start or was killed
    QString out;       // standard output as printed
    QStringList lines; // the non-empty lines of out
    QString err;       // standard error, then why the run failed, if it did
};

// A program started as a child, whose output lines can be read while it runs.
// A child still running when the object goes is killed.
class RunningProgram
{
public:
    // command: the program, then its arguments.
    explicit RunningProgram(const QStringList &command,
                            const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    ~RunningProgram();
    RunningProgram(const RunningProgram &) = delete;
    RunningProgram &operator=(const RunningProgram &) = delete;

    QProcess &process() { return m_process; }
    qint64 processId() const { return m_process.processId(); }
    bool started() { return m_process.waitForStarted(); }

    // The complete non-empty lines printed so far.
    const QStringList &lines();
    // Processes events until at least count lines are out; false after ms.
    bool waitForLines(int count, int ms);

    // Waits up to ms for the child to end, kills it if it has not, and reads
    // the rest of its output. True when it exited by itself in time.
    bool finish(int ms = kChildTimeoutMs);
    // After finish(): whether it had to be killed for running past the limit,
    // the exit code (-1 when it crashed or was killed) and
    // standard error.
    bool timedOut() const { return m_timedOut; }
    int status() const { return m_result.status; }
    QString err() const { return m_result.err; }
    const ProgramRun &result() const { return m_result; }

private:
    void readOutput();

    QProcess m_process;
    QByteArray m_out;
    qsizetype m_parsed = 0;
    QStringList m_lines;
    ProgramRun m_result;
    bool m_timedOut = false;
};

// Runs command to its end (killing it after timeoutMs) and answers what it
// did.
ProgramRun runProgram(const QStringList &command,
                      const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
                      int timeoutMs = kChildTimeoutMs);

} // namespace testsupport
