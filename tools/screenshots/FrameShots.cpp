// Shows the main window and a small skinned window in every style on the X
// server it runs on and saves what the screen shows, window region included:
//   main.png, main-maximized.png, main-<language>.png (zh_CN, zh_TW, ja_JP),
//   frame-<Style>.png, frame-Graphite.png,
//   frame-<Style>-untitled.png (title bar hidden)
// Run it through frame-shots.sh, which starts a virtual X server.

#include "app/MainWindow.h"
#include "platform/gui/Fonts.h"
#include "platform/gui/MainForm.h"
#include "skin/VEXButton.h"
#include "skin/VEXForm.h"
#include "skin/VEXMgr.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMetaEnum>
#include <QPainter>
#include <QScreen>
#include <QTextStream>
#include <QWindow>

#include <cstdio>

using vex::TvexUIStyle;

namespace {

// A plain backdrop, so that what the window region cuts away shows.
class Backdrop : public QWidget
{
public:
    Backdrop() : QWidget(nullptr, Qt::FramelessWindowHint) {}

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), QColor(0x3A, 0x6E, 0xA5)); }
};

void settle(int ms = 400)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool saveShot(const QString &path, const QRect &area)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRect clipped = area.intersected(screen->geometry());
    const QPixmap shot = screen->grabWindow(0, clipped.x(), clipped.y(), clipped.width(), clipped.height());
    const bool ok = shot.save(path);
    QTextStream(stdout) << (ok ? "wrote " : "FAILED ") << path << " " << shot.width() << "x" << shot.height() << "\n";
    return ok;
}

bool showAndShoot(QWidget *window, const QString &path)
{
    window->show();
    window->raise();
    window->activateWindow();
    settle();
    return saveShot(path, window->geometry().adjusted(-8, -8, 8, 8));
}

QString styleName(TvexUIStyle style)
{
    return QString::fromLatin1(QMetaEnum::fromType<TvexUIStyle>().valueToKey(int(style)));
}

// A small window with a frame of the given style, a button and a label.
struct SampleWindow
{
    explicit SampleWindow(TvexUIStyle style, const QString &caption, vex::TvexFileTheme *theme = nullptr)
    {
        host.move(60, 60);
        host.resize(420, 240);
        frame = new vex::TvexForm(&host);
        frame->setUIStyleAutoUpdateSub(true);
        auto *button = new vex::TvexButton(frame);
        button->setGeometry(24, 60, 90, 27);
        button->setCaption(QStringLiteral("Begin"));
        auto *label = new QLabel(QStringLiteral("The skinned frame in %1").arg(caption), frame);
        label->setGeometry(24, 110, 360, 20);
        if (theme)
            frame->setFileTheme(theme);
        frame->setUIStyle(style);
        frame->setCaption(caption);
    }
    QWidget host;
    vex::TvexForm *frame;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabulon"));
    platform::registerDesignFonts();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);
    bool ok = true;

    Backdrop backdrop;
    backdrop.setGeometry(QGuiApplication::primaryScreen()->geometry());
    backdrop.show();
    settle(200);

    {
        TFMain main;
        platform::setMainForm(&main);
        ok &= showAndShoot(&main, out + QStringLiteral("/main.png"));
        // Maximise through the title bar's own button, as a click would.
        auto *frame = main.findChild<vex::TvexForm *>();
        if (frame && frame->TitleBar()) {
            for (int i = 0; i < frame->TitleBar()->Buttons()->Count(); ++i) {
                vex::TvexTitleBarButton *button = frame->TitleBar()->Buttons()->Items(i);
                if (button->ButtonType() == vex::vexMax) {
                    button->PerformClick();
                    break;
                }
            }
            settle();
            ok &= saveShot(out + QStringLiteral("/main-maximized.png"), QGuiApplication::primaryScreen()->geometry());
        }
        platform::setMainForm(nullptr);
    }

    // The main window in its other languages: captions that must fit.
    const QByteArray language = qgetenv("LC_ALL");
    for (const char *locale : {"zh_CN", "zh_TW", "ja_JP"}) {
        qputenv("LC_ALL", QByteArray(locale) + ".UTF-8");
        TFMain main;
        ok &= showAndShoot(&main, out + QStringLiteral("/main-%1.png").arg(QLatin1String(locale)));
    }
    qputenv("LC_ALL", language);

    for (TvexUIStyle style : {TvexUIStyle::MacOS, TvexUIStyle::WinXP, TvexUIStyle::DeepBlue, TvexUIStyle::Protein,
                              TvexUIStyle::BlueGlass}) {
        SampleWindow sample(style, styleName(style));
        ok &= showAndShoot(&sample.host, out + QStringLiteral("/frame-%1.png").arg(styleName(style)));
        sample.frame->setTitleBarVisible(false);
        sample.frame->UpdateRegion();
        settle(200);
        ok &= saveShot(out + QStringLiteral("/frame-%1-untitled.png").arg(styleName(style)),
                       sample.host.geometry().adjusted(-8, -8, 8, 8));
    }

    {
        QWidget owner;
        vex::TvexFileTheme theme(&owner);
        theme.setThemeFile(QStringLiteral("Graphite.theme"));
        if (!theme.Loaded()) {
            std::fprintf(stderr, "the sample theme did not load\n");
            ok = false;
        }
        SampleWindow sample(TvexUIStyle::FromThemeFile, QStringLiteral("Graphite"), &theme);
        ok &= showAndShoot(&sample.host, out + QStringLiteral("/frame-Graphite.png"));
    }
    return ok ? 0 : 1;
}
