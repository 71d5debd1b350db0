// Starts one office on the profile slot that the cache directory gives
// ($XDG_CACHE_HOME), connects to it and prints, in milliseconds, the time
// from the launch to the first working connection and the processor time
// (user + system) the office had used by then, then ends it. Used by
// office-profile.sh to compare a fresh profile with a reused one.
#include "platform/office/OfficeProcess.h"
#include "platform/office/UnoOffice.h"

#include <QCoreApplication>
#include <QFile>

#include <chrono>
#include <cstdio>

#include <unistd.h>

using namespace platform::office;

namespace {

// utime + stime of the process, from /proc/PID/stat; -1 when unreadable.
double processorMs(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The fields after the command name, which may hold spaces: state is 3rd.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = fields.at(11).toDouble() + fields.at(12).toDouble();
    return ticks * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    try {
        UnoOffice::localContext(); // our own UNO runtime, the same for both
        OfficeProcess process(QString{});
        UnoOffice uno;
        const auto start = std::chrono::steady_clock::now();
        uno.connect(process, start + std::chrono::seconds(60));
        const auto connected = std::chrono::steady_clock::now();
        const double processor = processorMs(process.pid());
        uno.terminate();
        process.waitForExit(10 * 1000);
        std::printf("%.1f %.0f\n", std::chrono::duration<double, std::milli>(connected - start).count(), processor);
        return 0;
    } catch (const OfficeFailure &failure) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.message()));
        return 1;
    }
}
