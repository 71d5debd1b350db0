#include "platform/gui/Fonts.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QRawFont>

namespace platform {

namespace {

// The width of the stem of "l" in a font file, in pixels at 100 px.
qreal stemWidth(const QString &file)
{
    const QRawFont font(file, 100);
    if (!font.isValid())
        return 0;
    const QList<quint32> glyphs = font.glyphIndexesForString(QStringLiteral("l"));
    return glyphs.isEmpty() ? 0 : font.boundingRect(glyphs.first()).width();
}

// Some free stand-ins ship a "Bold" face whose stems are as thin as the
// regular ones (only the spacing is wider). Registered, it wins the match
// for a bold request and bold text comes out light; left out, Qt thickens
// the regular face instead.
bool isReallyBolder(const QString &regularFile, const QString &boldFile)
{
    const qreal regular = stemWidth(regularFile);
    return regular > 0 && stemWidth(boldFile) > regular * 1.15;
}

} // namespace

void registerDesignFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QDir dir(QStringLiteral("/usr/share/wine/fonts"));
    const QString regular = dir.filePath(QStringLiteral("tahoma.ttf"));
    const QString bold = dir.filePath(QStringLiteral("tahomabd.ttf"));
    if (QFile::exists(regular))
        QFontDatabase::addApplicationFont(regular);
    if (QFile::exists(bold) && isReallyBolder(regular, bold))
        QFontDatabase::addApplicationFont(bold);
    // The "MS Sans Serif" found on Linux is a bitmap font without an 11-pixel
    // size; scaled, it loses letters. Its outline successor looks like Tahoma.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma"));
}

} // namespace platform
