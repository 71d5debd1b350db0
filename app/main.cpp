#include "app/MainWindow.h"
#include "platform/Fonts.h"
#include "platform/FormLoader.h"
#include "platform/MainForm.h"
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
    platform::office::registerExcelApplication();
#endif

    try {
        TFMain FMain;
        platform::setMainForm(&FMain);
        FMain.show();
        return app.exec();
    } catch (const platform::FormError &error) {
        QMessageBox::critical(nullptr, QStringLiteral("Tabulon"), QString::fromUtf8(error.what()));
        return 1;
    }
}
