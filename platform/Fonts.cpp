#include "platform/Fonts.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>

namespace platform {

void registerDesignFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QDir dir(QStringLiteral("/usr/share/wine/fonts"));
    for (const char *name : {"tahoma.ttf", "tahomabd.ttf"}) {
        if (dir.exists(QLatin1String(name)))
            QFontDatabase::addApplicationFont(dir.filePath(QLatin1String(name)));
    }
    // The "MS Sans Serif" found on Linux is a bitmap font without an 11-pixel
    // size; scaled, it loses letters. Its outline successor looks like Tahoma.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma"));
}

} // namespace platform
