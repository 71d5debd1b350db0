// tabulon-appicons DIR: writes every size that the program icon holds as
// DIR/<size>x<size>/apps/tabulon.png, the layout of the hicolor icon theme.
// Only the sizes drawn for the icon are written: scaled pixel art blurs.
#include "skin/VEXThemes.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        err << "usage: tabulon-appicons DIR\n";
        return 64;
    }
    const QDir out(arguments.at(1));
    int written = 0;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage icon = vex::LoadMainIcon(size);
        if (icon.width() != size || icon.height() != size)
            continue;
        const QString dir = out.filePath(QStringLiteral("%1x%1/apps").arg(size));
        const QString file = dir + QStringLiteral("/tabulon.png");
        if (!QDir().mkpath(dir) || !icon.save(file, "PNG")) {
            err << "tabulon-appicons: cannot write " << file << '\n';
            return 1;
        }
        ++written;
    }
    if (written == 0) {
        err << "tabulon-appicons: the program icon holds no image\n";
        return 1;
    }
    return 0;
}
