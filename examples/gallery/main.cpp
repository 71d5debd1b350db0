// The skin gallery: a skinned window that shows every skinned control in the
// style or theme file of one's choice.
//
//     tabulon-gallery [--skin MacOS|WinXP|DeepBlue|Protein|BlueGlass]
//                     [--theme FILE] [--open-menu N] [--popup] [--ready FILE]
//
// --theme loads a theme file and shows it (a bare name is looked for where
// themes are kept, "Graphite.theme" is compiled in). For screenshots,
// --open-menu drops down the N-th menu of the bar (from 0) and --popup opens
// the popup menu; --ready writes the window's geometry to FILE once the
// window has settled, as "WIDTHxHEIGHT+X+Y".

#include "GalleryWindow.h"

#include "platform/gui/Fonts.h"
#include "platform/gui/FormLoader.h"
#include "platform/gui/MainForm.h"
#include "skin/VEXForm.h"
#include "skin/VEXFormMenuBar.h"
#include "skin/VEXMainMenu.h"
#include "skin/VEXPopupMenu.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QMessageBox>
#include <QMetaEnum>
#include <QTimer>

#include <cstdio>

namespace {

// Highlights the second item of an open menu, so that a screenshot shows
// both looks.
void highlightSecondItem(QMenu *menu)
{
    const QList<QAction *> items = menu->actions();
    if (items.size() > 1)
        menu->setActiveAction(items.at(1));
}

void writeGeometry(const QString &file, const QRect &area)
{
    QFile out(file);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.write(QStringLiteral("%1x%2+%3+%4\n")
                      .arg(area.width())
                      .arg(area.height())
                      .arg(area.x())
                      .arg(area.y())
                      .toLatin1());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabulon skin gallery"));
    platform::registerDesignFonts();

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Every skinned control in every style."));
    options.addHelpOption();
    const QCommandLineOption style(QStringLiteral("skin"), QStringLiteral("The built-in style to show."),
                                   QStringLiteral("name"));
    const QCommandLineOption theme(QStringLiteral("theme"), QStringLiteral("A theme file to show."),
                                   QStringLiteral("file"));
    const QCommandLineOption openMenu(QStringLiteral("open-menu"), QStringLiteral("Drop down the N-th menu."),
                                      QStringLiteral("N"));
    const QCommandLineOption popup(QStringLiteral("popup"), QStringLiteral("Open the popup menu."));
    const QCommandLineOption ready(QStringLiteral("ready"),
                                   QStringLiteral("Write the window's geometry here when it is shown."),
                                   QStringLiteral("file"));
    options.addOptions({style, theme, openMenu, popup, ready});
    options.process(app);

    try {
        TFGallery gallery;
        platform::setMainForm(&gallery);
        if (options.isSet(style)) {
            bool ok = false;
            const int value =
                QMetaEnum::fromType<vex::TvexUIStyle>().keyToValue(options.value(style).toLatin1().constData(), &ok);
            if (!ok) {
                std::fprintf(stderr, "unknown style %s\n", qPrintable(options.value(style)));
                return 2;
            }
            gallery.applyStyle(vex::TvexUIStyle(value));
        }
        if (options.isSet(theme) && !gallery.loadTheme(options.value(theme), true)) {
            std::fprintf(stderr, "the theme file %s did not load\n", qPrintable(options.value(theme)));
            return 2;
        }
        gallery.show();
        gallery.activateWindow();

        if (options.isSet(openMenu)) {
            const int index = options.value(openMenu).toInt();
            QTimer::singleShot(300, &gallery, [&gallery, index] {
                vex::TvexMenuBar *bar = gallery.frame()->MenuBar();
                if (!bar || index < 0 || index >= bar->Buttons().size())
                    return;
                vex::TvexMenuBarButton *button = bar->Buttons().at(index);
                if (QMenu *menu = button->Item() ? button->Item()->menu() : nullptr)
                    QTimer::singleShot(150, menu, [menu] { highlightSecondItem(menu); });
                button->Open(); // returns when the drop-down closes
            });
        } else if (options.isSet(popup)) {
            QTimer::singleShot(300, &gallery, [&gallery] {
                const QPoint at = gallery.frame()->mapToGlobal(QPoint(380, 120));
                gallery.popupMenu()->Popup(at.x(), at.y());
                QTimer::singleShot(150, gallery.popupMenu(), [&gallery] { highlightSecondItem(gallery.popupMenu()); });
            });
        }
        if (options.isSet(ready)) {
            const QString file = options.value(ready);
            QTimer::singleShot(1000, &gallery, [&gallery, file] { writeGeometry(file, gallery.frameGeometry()); });
        }
        const int result = app.exec();
        platform::setMainForm(nullptr);
        return result;
    } catch (const platform::FormError &error) {
        QMessageBox::critical(nullptr, QStringLiteral("Tabulon skin gallery"), QString::fromUtf8(error.what()));
        return 1;
    }
}
