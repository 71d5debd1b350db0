#include "platform/office/OfficeProcess.h"

#include "platform/office/Leftovers.h"
#include "platform/office/OfficeBridge.h"
#include "platform/office/OfficeEnvironment.h"
#include "platform/office/ProfileSlot.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform::office {

namespace {
std::atomic<int> pipeCounter{0};

// The folder in the private temporary folder for a profile that cannot be
// kept in the cache.
const char *const kOwnProfiles = "/profiles";

// The offices of this program, so that a signal can end them all. Signals
// are process-wide, so this is too; never destroyed, as offices may outlive
// static destructors.
struct Registry
{
    std::mutex mutex;
    std::set<OfficeProcess *> offices;
    std::atomic<bool> ending{false};
};

Registry &registry()
{
    static auto *instance = new Registry;
    return *instance;
}

// Whether an unreaped child is already on its way out. A killed office is
// torn down thread by thread and its memory given back over tens of
// milliseconds, and waitpid() reports it only after the last thread is
// gone; meanwhile its leader shows as a zombie and the kill stays pending
// in the shared signal set from the moment kill() returned. A caller that
// took it for running would hand the next call to an office that cannot
// answer any more.
bool isBeingTornDown(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    const quint64 kill = quint64(1) << (SIGKILL - 1);
    for (const QByteArray &line : status.readAll().split('\n')) {
        const int colon = line.indexOf(':');
        const QByteArray key = line.left(colon);
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (key == "State" && (value.startsWith('Z') || value.startsWith('X')))
            return true;
        if ((key == "ShdPnd" || key == "SigPnd") && (value.toULongLong(nullptr, 16) & kill))
            return true;
    }
    return false;
}

std::vector<char *> pointers(std::vector<QByteArray> &strings)
{
    std::vector<char *> result;
    for (auto &s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}
} // namespace

OfficeProcess::OfficeProcess(const QString &program, int slot)
    : m_program(program.isEmpty() ? defaultProgram() : program), m_release(OfficeRelease::of(m_program)),
      m_slotNumber(slot), m_temp(privateTempTemplate(QDir::tempPath()))
{
    m_pipeName = pipeName(pipeCounter.fetch_add(1), QFileInfo(m_temp.path()).fileName().section('-', -1));
    std::lock_guard<std::mutex> lock(registry().mutex);
    registry().offices.insert(this);
}

OfficeProcess::~OfficeProcess()
{
    {
        std::lock_guard<std::mutex> lock(registry().mutex);
        registry().offices.erase(this);
    }
    kill();
}

void OfficeProcess::endAll()
{
    Registry &r = registry();
    r.ending = true; // before any kill: a launch that saw it unset is killed below
    std::lock_guard<std::mutex> lock(r.mutex);
    for (OfficeProcess *office : r.offices) {
        office->kill();
        office->m_temp.remove();
    }
}

void endAllOffices()
{
    OfficeProcess::endAll();
}

bool OfficeProcess::isEnding()
{
    return registry().ending;
}

bool OfficeProcess::renewDamagedProfile()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_slot && m_slot->wasUsedBefore() && m_slot->renew();
}

void OfficeProcess::takeProfileSlotLocked()
{
    if (m_slot)
        return;
    if (m_slotNumber == kAnySlot) {
        try {
            m_slot = ProfileSlot::takeFree();
        } catch (const OfficeFailure &) {
            // A cache that cannot be written (a read-only home): a profile
            // of this office alone, which goes with its temporary folder.
            m_slot = ProfileSlot::takeFree(m_temp.path() + QLatin1String(kOwnProfiles));
        }
        return;
    }
    m_slot = ProfileSlot::take(m_slotNumber);
    if (!m_slot)
        throw OfficeFailure(QStringLiteral("office profile %1 is in use by another office").arg(m_slotNumber));
}

// What an office leaves when it is killed: its pipe's socket and files in
// its temporary folder. The folder itself stays for a restart, and so does
// a profile kept there.
void OfficeProcess::removeRunLeftoversLocked()
{
    ::unlink(QFile::encodeName(pipeSocketPath(m_pipeName)).constData());
    if (!m_temp.isValid())
        return;
    QDir temp(m_temp.path());
    for (const QFileInfo &entry :
         temp.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.absoluteFilePath() == m_temp.path() + QLatin1String(kOwnProfiles))
            continue;
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.absoluteFilePath()).removeRecursively();
        else
            QFile::remove(entry.absoluteFilePath());
    }
}

QString OfficeProcess::defaultProgram()
{
    return QStringLiteral(TABULON_OFFICE_PROGRAM_DIR "/soffice.bin");
}

QString OfficeProcess::connectUrl() const
{
    return QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(m_pipeName);
}

void OfficeProcess::launch()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pid > 0 && !reapLocked(false))
        return;
    if (registry().ending)
        throw OfficeFailure(QStringLiteral("the program is ending"));
    static std::once_flag leftoversRemoved;
    std::call_once(leftoversRemoved, [] { removeLeftovers(QDir::tempPath(), pipeDirectory()); });
    if (!m_temp.isValid())
        throw OfficeFailure(QStringLiteral("cannot create a temporary folder in %1: %2")
                                .arg(QDir::toNativeSeparators(QDir::tempPath()), m_temp.errorString()));
    if (!QFileInfo(m_program).isExecutable())
        throw OfficeFailure(QStringLiteral("%1 is not an executable program").arg(m_program));
    takeProfileSlotLocked();
    // Before every launch: a profile made anew after a failed start needs it too.
    settleProfile(m_slot->profilePath(), m_release);

    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls are allowed in a threaded program.
    std::vector<QByteArray> args = {
        QFile::encodeName(m_program),
        "--headless",
        "--invisible",
        "--norestore",
        "--nologo",
        "--nodefault",
        "--nolockcheck",
        "-env:UserInstallation=" + m_slot->installationUrl(),
        "--accept=pipe,name=" + m_pipeName.toUtf8() + ";urp;StarOffice.ComponentContext",
    };
    std::vector<QByteArray> environment = officeEnvironment(QFile::encodeName(m_temp.path()));
    const std::vector<char *> argv = pointers(args);
    const std::vector<char *> envp = pointers(environment);
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid < 0)
        throw OfficeFailure(
            QStringLiteral("cannot start the office: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (pid == 0) {
        // The office gets no signal mask of ours (the launching worker blocks SIGPIPE).
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127); // the parent died before the death signal was armed
        const int devnull = ::open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            ::dup2(devnull, STDIN_FILENO);
            ::dup2(devnull, STDOUT_FILENO);
            ::dup2(devnull, STDERR_FILENO);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid); // also from here, so the group exists before any kill
    m_pid = pid;
    m_exitStatus = -1;
}

bool OfficeProcess::reapLocked(bool block)
{
    if (m_pid <= 0)
        return true;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(m_pid, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0)
        return false;
    if (r == m_pid)
        m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    else
        m_exitStatus = 255; // reaped elsewhere: gone all the same
    m_pid = -1;
    removeRunLeftoversLocked();
    return true;
}

bool OfficeProcess::isRunning()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (reapLocked(false))
        return false;
    if (!isBeingTornDown(m_pid))
        return true;
    // Ends in moments: waiting for it gives the true exit status and frees
    // its profile and pipe for the office that replaces it.
    reapLocked(true);
    return false;
}

int OfficeProcess::exitStatus() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_exitStatus;
}

pid_t OfficeProcess::pid() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pid;
}

qint64 OfficeProcess::residentBytes() const
{
    const pid_t pid = this->pid();
    if (pid <= 0)
        return -1;
    // "size resident shared ..." in pages.
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const qint64 pages = statm.readLine().simplified().split(' ').value(1).toLongLong(&ok);
    return ok ? pages * ::sysconf(_SC_PAGESIZE) : -1;
}

bool OfficeProcess::waitForExit(int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (isRunning()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void OfficeProcess::kill()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pid <= 0)
        return;
    ::kill(-m_pid, SIGKILL);
    ::kill(m_pid, SIGKILL);
    reapLocked(true);
}

} // namespace platform::office
