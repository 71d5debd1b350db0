#include "platform/Fonts.h"

#include <QDir>
#include <QFontDatabase>

namespace platform {

void registerDesignFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QDir dir(QStringLiteral("/usr/share/wine/fonts"));
    for (const char *name : {"tahoma.ttf", "tahomabd.ttf", "ms_sans_serif.ttf"}) {
        if (dir.exists(QLatin1String(name)))
            QFontDatabase::addApplicationFont(dir.filePath(QLatin1String(name)));
    }
}

} // namespace platform
