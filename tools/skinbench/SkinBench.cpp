// Paints a skinned push button and a check box again and again with a theme
// file whose button picture is large, and prints what one paint costs in
// time and what the process needed in memory at its peak.
//   tabulon-skinbench [picture width] [picture height] [paints]

#include "ThemeFileWriter.h"
#include "skin/VEXButton.h"
#include "skin/VEXMgr.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

namespace {

// A figure of /proc/self/status in MiB: VmHWM (the peak resident size since
// the last resetPeak) or VmRSS (resident now).
double statusMiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

QByteArray bmp(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, 128));
    return themepack::bmpFile(image);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int w = args.value(1, QStringLiteral("8000")).toInt();
    const int h = args.value(2, QStringLiteral("2000")).toInt();
    const int paints = args.value(3, QStringLiteral("50")).toInt();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.theme"));
    {
        themepack::ThemeFileWriter writer;
        writer.addImage(QStringLiteral("ButtonImage"), bmp(w, h));
        writer.addImage(QStringLiteral("CheckBoxImage"), bmp(w, h / 4));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(writer.build()) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const double before = statusMiB("VmRSS:");

    QWidget form;
    form.resize(400, 200);
    auto *theme = new vex::TvexFileTheme(&form);
    theme->setThemeFile(path);
    auto *button = new vex::TvexButton(&form);
    button->setGeometry(10, 10, 200, 60);
    button->setFileTheme(theme);
    button->setUIStyle(vex::TvexUIStyle::FromThemeFile);
    auto *box = new vex::TvexCheckBox(&form);
    box->setGeometry(10, 100, 200, 40);
    box->setFileTheme(theme);
    box->setUIStyle(vex::TvexUIStyle::FromThemeFile);

    resetPeak();
    QElapsedTimer clock;
    clock.start();
    button->grab();
    box->grab();
    const double first = clock.nsecsElapsed() / 1e6;
    const double firstPeak = statusMiB("VmHWM:");
    resetPeak();
    clock.restart();
    for (int i = 0; i < paints; ++i) {
        button->grab();
        box->grab();
    }
    const double each = clock.nsecsElapsed() / 1e6 / qMax(1, paints);
    const double laterPeak = statusMiB("VmHWM:");

    QTextStream out(stdout);
    out << "picture " << w << "x" << h << ", " << paints << " paints of a button and a check box\n";
    out << "first paint (decodes):  " << QString::number(first, 'f', 1) << " ms\n";
    out << "each later paint:       " << QString::number(each, 'f', 2) << " ms\n";
    out << "resident before paints: " << QString::number(before, 'f', 1) << " MiB\n";
    out << "peak during first:      " << QString::number(firstPeak, 'f', 1) << " MiB\n";
    out << "peak during later ones: " << QString::number(laterPeak, 'f', 1) << " MiB\n";
    out << "resident after paints:  " << QString::number(statusMiB("VmRSS:"), 'f', 1) << " MiB\n";
    return 0;
}
