#include "app/MainWindow.h"
#include "platform/SignalBridge.h"
#include "platform/gui/Fonts.h"
#include "platform/gui/FormLoader.h"
#include "platform/gui/MainForm.h"
#ifdef TABULON_WITH_OFFICE
#include "platform/office/OfficeBridge.h"
#endif

#include <QApplication>
#include <QMessageBox>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabulon"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tabulon"));
    platform::registerDesignFonts();
#ifdef TABULON_WITH_OFFICE
    // LibreOffice serves "excel.application"; without it a run says it cannot start.
    // The window keeps its office ready between runs.
    platform::office::OfficeOptions office;
    office.keepReadyMs = platform::office::kDefaultKeepReadyMs;
    platform::office::registerExcelApplication(office);
#endif
    // SIGINT, SIGTERM, SIGHUP end the program as closing the window does;
    // the office goes at once, so a run in progress cannot keep it alive.
    platform::SignalBridge endSignals;
    QObject::connect(&endSignals, &platform::SignalBridge::endRequested, &app, [] {
#ifdef TABULON_WITH_OFFICE
        platform::office::endAllOffices();
#endif
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    });

    try {
        TFMain FMain;
        platform::setMainForm(&FMain);
        FMain.show();
        return endSignals.exitStatus(app.exec());
    } catch (const platform::FormError &error) {
        QMessageBox::critical(nullptr, QStringLiteral("Tabulon"), QString::fromUtf8(error.what()));
        return 1;
    }
}
