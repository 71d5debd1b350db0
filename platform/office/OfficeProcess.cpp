#include "platform/office/OfficeProcess.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <atomic>
#include <chrono>
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
}

OfficeProcess::OfficeProcess(const QString &program)
    : m_program(program.isEmpty() ? defaultProgram() : program),
      m_profile(QDir::tempPath() + QStringLiteral("/tabulon-office-XXXXXX"))
{
    m_pipeName = QStringLiteral("tabulon_%1_%2_%3")
                     .arg(::getpid())
                     .arg(pipeCounter.fetch_add(1))
                     .arg(QFileInfo(m_profile.path()).fileName().section('-', -1));
}

OfficeProcess::~OfficeProcess()
{
    kill();
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
    if (!m_profile.isValid())
        throw OfficeFailure(QStringLiteral("cannot create a temporary profile directory"));
    if (!QFileInfo(m_program).isExecutable())
        throw OfficeFailure(QStringLiteral("%1 is not an executable program").arg(m_program));

    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls are allowed in a threaded program.
    const QByteArray profileUrl = QUrl::fromLocalFile(m_profile.path()).toEncoded();
    std::vector<QByteArray> args = {
        QFile::encodeName(m_program),
        "--headless", "--invisible", "--norestore", "--nologo", "--nodefault", "--nolockcheck",
        "-env:UserInstallation=" + profileUrl,
        "--accept=pipe,name=" + m_pipeName.toUtf8() + ";urp;StarOffice.ComponentContext",
    };
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid < 0)
        throw OfficeFailure(QStringLiteral("cannot start the office: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);  // the parent died before the death signal was armed
        const int devnull = ::open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            ::dup2(devnull, STDIN_FILENO);
            ::dup2(devnull, STDOUT_FILENO);
            ::dup2(devnull, STDERR_FILENO);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);  // also from here, so the group exists before any kill
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
        m_exitStatus = 255;  // reaped elsewhere: gone all the same
    m_pid = -1;
    return true;
}

bool OfficeProcess::isRunning()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !reapLocked(false);
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
