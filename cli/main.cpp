#include "cli/BatchRun.h"
#include "platform/SignalBridge.h"
#include "platform/office/OfficeBridge.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstring>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabulon-batch"));
    // SIGINT, SIGTERM, SIGHUP: the office goes first, so that the call in
    // progress returns; the run then stops (see run()) and everything the
    // office left is removed before the program ends with 128 + signal.
    platform::SignalBridge endSignals;
    QObject::connect(&endSignals, &platform::SignalBridge::endRequested, &app,
                     [] { platform::office::endAllOffices(); });
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int status = batch::run(QCoreApplication::arguments().mid(1), out, err);
    if (endSignals.received()) {
        err << "tabulon-batch: stopped by signal " << endSignals.received() << " ("
            << QString::fromLocal8Bit(::strsignal(endSignals.received())) << ")\n";
        err.flush();
    }
    return endSignals.exitStatus(status);
}
