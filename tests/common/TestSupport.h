#pragma once

#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace testsupport {

// Waits, processing events, until pred() holds or ms elapse; returns pred().
bool waitFor(const std::function<bool()> &pred, int ms = 5000);

// Writes data to dir/relative, creating parent directories; returns the path.
QString writeFile(const QString &dir, const QString &relative, const QByteArray &data = "x");

// The bytes of the file at path, or "(unreadable)".
QByteArray fileBytes(const QString &path);

// What a run's line says after the workbook's path when it will not write
// an output: the output would be the workbook itself, or another input.
QString refusedAsItself(const QString &output);
QString refusedAsInput(const QString &output);

// Everything in dir, hidden entries included, as sorted relative paths.
QStringList everythingIn(const QString &dir);

// The id of a process that has ended (a child that exited at once), or -1.
qint64 goneProcessId();

// A picture of the given size in one colour (32-bit RGB).
QImage filledImage(QSize size, QColor colour);

// The colour of a pixel as 0x00RRGGBB, for readable expectations.
unsigned rgbAt(const QImage &image, int x, int y);

// Sets (or, given Unset, removes) an environment variable for the life of
// the object and then puts the old value (or its absence) back, also when an
// ASSERT_* leaves the test early.
class ScopedEnvironment
{
public:
    enum UnsetTag { Unset };
    ScopedEnvironment(const char *name, const QByteArray &value);
    ScopedEnvironment(const char *name, UnsetTag);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    QByteArray m_name;
    QByteArray m_old;
    bool m_had;
};

// Processes events until a timer of the given period has fired `periods`
// times: long enough for any timer of that period that was running before
// to have fired too. For checking that something does *not* happen on a
// timer without sleeping a fixed time. Answers false if the reference timer
// itself did not get there within a generous bound.
bool letPeriodsPass(int periodMs, int periods);

// Drives a modal loop (a menu's, a dialog's) from inside: each step's action
// runs once, in order, as soon as its condition holds, checked every few
// milliseconds. When a step's condition does not come true within
// timeoutMs, `escape` runs so that the loop ends and the test can report
// the step it stopped at (failedStep(), -1 when all ran).
class ModalScript
{
public:
    struct Step
    {
        std::function<bool()> ready;
        std::function<void()> action;
    };
    ModalScript(std::vector<Step> steps, std::function<void()> escape, int timeoutMs = 10000);
    ~ModalScript();
    ModalScript(const ModalScript &) = delete;
    ModalScript &operator=(const ModalScript &) = delete;

    bool finished() const { return m_next >= int(m_steps.size()); }
    int failedStep() const { return m_failed; }

private:
    void poll();

    std::vector<Step> m_steps;
    std::function<void()> m_escape;
    int m_timeoutMs;
    int m_next = 0;
    int m_failed = -1;
    std::unique_ptr<QTimer> m_timer;
    QElapsedTimer m_sinceStep;
};

// The outcome of a GoogleTest program run as a child, read from its XML
// report rather than from its console text.
struct ChildTestRun
{
    QString error; // why the run or its report failed; empty when it ran
    int exitCode = -1;
    int tests = 0; // cases run (not counting skipped ones)
    int skipped = 0;
    QStringList failures; // "Suite.Case: message" of each failed case
    QString output;       // the child's console text, for failure messages

    bool passed() const { return error.isEmpty() && exitCode == 0 && failures.isEmpty() && tests > 0; }
};

// Runs this test program again as a child for the cases that match filter,
// with env added to (or overriding) this process's environment; a child
// that outlives timeoutMs is killed and the run answers that as its error.
ChildTestRun runThisProgram(const QString &filter, const QProcessEnvironment &env, int timeoutMs);

// The same under xvfb-run, on a fresh virtual X server with the xcb
// platform. Answers error "xvfb-run is not installed" when there is none.
ChildTestRun runThisProgramOnXvfb(const QString &filter, const QProcessEnvironment &env, int timeoutMs);

// The number of cases of this program in the given suite, for comparing a
// child run's count with.
int registeredCases(const char *suite);

// Runs this program's cases of suite on a fresh virtual X server and
// reports them as the calling case: its failures, and a failure unless every
// case of the suite ran. Skips the calling case when xvfb-run is missing.
void expectSuitePassesOnXvfb(const char *suite, int timeoutMs);

// Parses a GoogleTest XML report into run (tests, skipped, failures).
bool readGoogleTestReport(const QString &path, ChildTestRun *run);

// Makes path the process's current directory for the life of the object.
class ScopedCurrentDirectory
{
public:
    explicit ScopedCurrentDirectory(const QString &path);
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory &) = delete;
    ScopedCurrentDirectory &operator=(const ScopedCurrentDirectory &) = delete;

private:
    QString m_old;
};

} // namespace testsupport

#include <ostream>

// Readable QStrings in the failure messages of EXPECT_EQ.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
