#include "platform/SignalBridge.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <stdexcept>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::array<int, 3> kEndingSignals = {SIGINT, SIGTERM, SIGHUP};

// What the handler may touch: plain values, written before the handlers are
// installed and cleared after they are removed.
volatile sig_atomic_t g_writeFd = -1;
volatile sig_atomic_t g_received = 0;
SignalBridge *g_instance = nullptr;
struct sigaction g_previous[kEndingSignals.size()];

void onEndingSignal(int number)
{
    const int savedErrno = errno;
    if (g_received == 0)
        g_received = number;
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    for (int s : kEndingSignals)
        ::sigaction(s, &fallback, nullptr);
    const unsigned char byte = static_cast<unsigned char>(number);
    if (g_writeFd >= 0)
        (void)!::write(g_writeFd, &byte, 1);
    errno = savedErrno;
}

} // namespace

SignalBridge::SignalBridge(QObject *parent) : QObject(parent)
{
    if (g_instance)
        throw std::logic_error("only one SignalBridge at a time");
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("cannot create the signal pipe");
    g_instance = this;
    g_received = 0;
    g_writeFd = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalBridge::readPipe);

    struct sigaction action = {};
    action.sa_handler = onEndingSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kEndingSignals.size(); ++i)
        ::sigaction(kEndingSignals[i], &action, &g_previous[i]);
}

SignalBridge::~SignalBridge()
{
    for (size_t i = 0; i < kEndingSignals.size(); ++i)
        ::sigaction(kEndingSignals[i], &g_previous[i], nullptr);
    g_writeFd = -1;
    g_instance = nullptr;
    m_notifier.reset();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

SignalBridge *SignalBridge::instance()
{
    return g_instance;
}

int SignalBridge::received() const
{
    return g_received;
}

int SignalBridge::exitStatus(int status) const
{
    return g_received ? 128 + g_received : status;
}

void SignalBridge::readPipe()
{
    unsigned char bytes[16];
    while (::read(m_pipe[0], bytes, sizeof bytes) > 0) {}
    if (m_reported || g_received == 0)
        return;
    m_reported = true;
    Q_EMIT endRequested(g_received);
}

} // namespace platform
