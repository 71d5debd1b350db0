#include "app/MainWindow.h"
#include "platform/Fonts.h"
#include "platform/FormLoader.h"
#include "platform/MainForm.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabulon"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tabulon"));
    platform::registerDesignFonts();

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
