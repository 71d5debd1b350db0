// Starts one office on the profile slot that the cache directory gives
// ($XDG_CACHE_HOME), connects to it and prints, in milliseconds, the time
// from the launch to the first working connection, then ends it. Used by
// office-profile.sh to compare a fresh profile with a reused one.
#include "platform/office/OfficeProcess.h"
#include "platform/office/UnoOffice.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>

using namespace platform::office;

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
        uno.terminate();
        process.waitForExit(10 * 1000);
        std::printf("%.1f\n", std::chrono::duration<double, std::milli>(connected - start).count());
        return 0;
    } catch (const OfficeFailure &failure) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.message()));
        return 1;
    }
}
