#include "skin/VEXThemes.h"

#include "skin/VEXPublic.h"
#include "skin/VEXThemeFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPointer>

#include <algorithm>

namespace vex {

namespace {

using K = TvexThemeKind;

struct Row
{
    const char *key;
    TvexThemeKind kind;
    qint32 values[5] = {}; // MacOS, WinXP, DeepBlue, Protein, BlueGlass; 0 in Bitmap rows
    // A Bitmap row's resources are named after the style and this word
    // ("MACOS_" "BUTTON"); none without one.
    const char *bitmapWord = nullptr;
    // The few resources that keep no such rule, one per style.
    const char *const *bitmaps = nullptr;
};

const char *const StyleWords[5] = {"MACOS", "WINXP", "DEEPBLUE", "PROTEIN", "BLUEGLASS"};
// The last three styles share one picture.
const char *const ScrollButtonBitmaps[5] = {"MACOS_SCROLLBUTTON", "WINXP_SCROLLBUTTON", "MORE_SCROLLBUTTON",
                                            "MORE_SCROLLBUTTON", "MORE_SCROLLBUTTON"};

// The built-in theme, one row per element (1..48), one column per style.
const Row Table[ThemeElementCount] = {
    {"ButtonImage", K::Bitmap, {}, "BUTTON"},                                                           // 1
    {"ButtonTransparentBool", K::Boolean, {1, 0, 0, 0, 1}},                                             // 2
    {"CheckBoxImage", K::Bitmap, {}, "CHECKBOX"},                                                       // 3
    {"RadioButtonImage", K::Bitmap, {}, "RADIOBUTTON"},                                                 // 4
    {"TitleBarButtonImage", K::Bitmap, {}, "TITLEBTN"},                                                 // 5
    {"TitleBarButtonTransparentBool", K::Boolean, {0, 0, 0, 1, 1}},                                     // 6
    {"TitleBarButtonLeftOffsetInt", K::Integer, {3, 2, 0, 0, 4}},                                       // 7
    {"TitleBarButtonRightOffsetInt", K::Integer, {-2, -2, 0, 0, -3}},                                   // 8
    {"TitleBarButtonTopInt", K::Integer, {4, 5, 2, 2, 6}},                                              // 9
    {"TitleBarLeftImage", K::Bitmap, {}, "TITLE_LEFT"},                                                 // 10
    {"TitleBarClientImage", K::Bitmap, {}, "TITLE_CLIENT"},                                             // 11
    {"TitleBarRightImage", K::Bitmap, {}, "TITLE_RIGHT"},                                               // 12
    {"FormMinWidthInt", K::Integer, {130, 150, 130, 130, 270}},                                         // 13
    {"FormRoundCornerInt", K::Integer, {0, 13, 0, 0, 11}},                                              // 14
    {"FormBackgroundColor", K::Color, {0xE7E7E7, 0xDEEBEF, 0xE8E8E8, 0xFBFBFB, 0xE7E7E7}},              // 15
    {"FormBorderColor", K::Color, {0x7F7F7F, 0xC82C00, 0x000000, 0x000000, 0x000000}},                  // 16
    {"FormBorderWidthInt", K::Integer, {1, 3, 1, 1, 1}},                                                // 17
    {"MenuSelectedBorderColor", K::Color, {0xC47339, 0xC66931, 0xA04A44, 0xC4302D, 0xEC5E5E}},          // 18
    {"MenuSelectedBackgroundColor", K::Color, {0xC47339, 0xEFD3C6, 0xA04A44, 0xC4302D, 0xEC5E5E}},      // 19
    {"MenuSelectedFontColor", K::Color, {0xFFFFFF, 0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},            // 20
    {"MenuBackgroundColor", K::Color, {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xE7E7E7}},              // 21
    {"MenuFontColor", K::Color, {0x000000, 0x000000, 0x000000, 0x000000, 0x000000}},                    // 22
    {"MenuBarColor", K::Color, {0x000000, 0xCED3D6, 0xCED3D6, 0xCED3D6, 0xCED3D6}},                     // 23
    {"ProgressBarImage", K::Bitmap, {}, "PROGRESSBAR"},                                                 // 24
    {"ControlBorderColor", K::Color, {0x7F7F7F, 0x686868, 0x000000, 0x000000, 0x000000}},               // 25
    {"ControlBackgroundColor", K::Color, {0xE7E7E7, 0xDEEBEF, 0xE8E8E8, 0xFBFBFB, 0xE7E7E7}},           // 26
    {"ControlFontColor", K::Color, {0x000000, 0xCF4602, 0x000000, 0x000000, 0x000000}},                 // 27
    {"TrackBarBarImage", K::Bitmap, {}, "TRACKBAR_BAR"},                                                // 28
    {"TrackBarSliderImage", K::Bitmap, {}, "TRACKBAR_SLIDER"},                                          // 29
    {"TrackBarSliderVImage", K::Bitmap, {}, "TRACKBAR_SLIDER_V"},                                       // 30
    {"ScrollBarBackgroundColor", K::Color, {0xC9C9C9, 0xF9F9F9, 0xF5F5F5, 0xF5F5F5, 0xF4F4F4}},         // 31
    {"ScrollBarButtonImage", K::Bitmap, {}, "SCROLLBAR_BUTTON"},                                        // 32
    {"ScrollBarSliderImage", K::Bitmap, {}, "SCROLLBAR_TRACK"},                                         // 33
    {"CheckListBoxImage", K::Bitmap, {}, "CHECKLIST"},                                                  // 34
    {"ToolBarButtonBorderColor", K::Color, {0x474747, 0xC66931, 0x474747, 0x474747, 0x474747}},         // 35
    {"ToolBarButtonBackgroundColor", K::Color, {0xEFEFEF, 0xEFD3C6, 0xEFEFEF, 0xEFEFEF, 0xEFEFEF}},     // 36
    {"ToolBarButtonDownBackgroundColor", K::Color, {0xD8D8D8, 0xE1AC93, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8}}, // 37
    {"ScrollButtonImage", K::Bitmap, {}, nullptr, ScrollButtonBitmaps},                                 // 38
    {"TabControlTabImage", K::Bitmap, {}, "TAB"},                                                       // 39
    {"TabControlBarImage", K::Bitmap, {}, "TAB_LINE"},                                                  // 40
    {"SideChannelHandleImage", K::Bitmap, {}, "SIDECHENNEL_HANDLE"},                                    // 41
    {"SideChannelBarImage", K::Bitmap, {}, "SIDECHENNEL_BAR"},                                          // 42
    {"TitleBarMinimizedImage", K::Bitmap},                                                              // 43
    {"TitleBarFontColor", K::Color, {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},                // 44
    {"FormLeftBorderImage", K::Bitmap},                                                                 // 45
    {"FormBottomBorderImage", K::Bitmap},                                                               // 46
    {"FormBottomRoundCornerInt", K::Integer, {0, 0, 0, 0, 0}},                                          // 47
    {"MenuMenuBarColor", K::Color, {0xE7E7E7, 0xDEEBEF, 0xE8E8E8, 0xFBFBFB, 0xE7E7E7}},                 // 48
};

const Row *row(int element)
{
    return element >= 1 && element <= ThemeElementCount ? &Table[element - 1] : nullptr;
}

int column(TvexUIStyle style)
{
    const int s = int(style);
    return s >= int(TvexUIStyle::MacOS) && s <= int(TvexUIStyle::BlueGlass) ? s - 1 : -1;
}

} // namespace

QString ThemeElementKey(int element)
{
    const Row *r = row(element);
    return r ? QString::fromLatin1(r->key) : QString();
}

TvexThemeKind ThemeElementKind(int element)
{
    const Row *r = row(element);
    return r ? r->kind : TvexThemeKind::Integer;
}

int ThemeElementByKey(const QString &key)
{
    for (int e = 1; e <= ThemeElementCount; ++e)
        if (key.compare(QLatin1String(Table[e - 1].key), Qt::CaseInsensitive) == 0)
            return e;
    return 0;
}

TvexThemeEntry GetBuiltInEntry(TvexUIStyle style, int element)
{
    TvexThemeEntry entry;
    const Row *r = row(element);
    const int c = column(style);
    if (!r || c < 0)
        return entry; // -1, Integer
    entry.kind = r->kind;
    if (r->kind == TvexThemeKind::Bitmap) {
        entry.value = 0;
        if (r->bitmaps)
            entry.bitmap = QString::fromLatin1(r->bitmaps[c]);
        else if (r->bitmapWord)
            entry.bitmap = QStringLiteral("%1_%2").arg(QLatin1String(StyleWords[c]), QLatin1String(r->bitmapWord));
    } else {
        entry.value = r->values[c];
    }
    return entry;
}

platform::TColor GetBuiltInColor(TvexUIStyle style, int element)
{
    const TvexThemeEntry e = GetBuiltInEntry(style, element);
    return e.kind == TvexThemeKind::Color ? e.value : 0;
}

int GetBuiltInInteger(TvexUIStyle style, int element)
{
    const TvexThemeEntry e = GetBuiltInEntry(style, element);
    return e.kind == TvexThemeKind::Integer ? e.value : -1;
}

bool GetBuiltInBoolean(TvexUIStyle style, int element)
{
    const TvexThemeEntry e = GetBuiltInEntry(style, element);
    return e.kind == TvexThemeKind::Boolean && e.value != 0;
}

QString SkinBitmapPath(const QString &resourceName)
{
    return QStringLiteral(":/skin/") + resourceName + QStringLiteral(".bmp");
}

namespace {

QImage decodeSkinBitmap(const QString &resourceName)
{
    QImage image(SkinBitmapPath(resourceName), "BMP");
    if (image.isNull())
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

// The compiled-in bitmaps, decoded once each. They never change, so the
// cache lives as long as the application object that owns it.
class SkinBitmapCache : public QObject
{
public:
    explicit SkinBitmapCache(QObject *app) : QObject(app) {}

    QImage bitmap(const QString &resourceName)
    {
        auto found = m_bitmaps.constFind(resourceName);
        if (found == m_bitmaps.constEnd())
            found = m_bitmaps.insert(resourceName, decodeSkinBitmap(resourceName));
        return *found;
    }

    static SkinBitmapCache *instance()
    {
        static QPointer<SkinBitmapCache> cache;
        if (!cache && QCoreApplication::instance())
            cache = new SkinBitmapCache(QCoreApplication::instance());
        return cache;
    }

private:
    QHash<QString, QImage> m_bitmaps;
};

} // namespace

QImage LoadSkinBitmap(const QString &resourceName)
{
    if (resourceName.isEmpty())
        return QImage();
    if (SkinBitmapCache *cache = SkinBitmapCache::instance())
        return cache->bitmap(resourceName);
    return decodeSkinBitmap(resourceName);
}

int BoundedThemeInteger(int element, int value)
{
    switch (element) {
    case FormMinWidthInt:
    case FormRoundCornerInt:
    case FormBorderWidthInt:
    case FormBottomRoundCornerInt:
        return std::clamp(value, 0, ThemeSizeLimit);
    case TitleBarButtonLeftOffsetInt:
    case TitleBarButtonRightOffsetInt:
    case TitleBarButtonTopInt:
        return std::clamp(value, -ThemeSizeLimit, ThemeSizeLimit);
    default:
        return value;
    }
}

void LoadBuiltInBitmap(TvexUIStyle style, int element, QImage *bitmap)
{
    if (!bitmap)
        return;
    const TvexThemeEntry e = GetBuiltInEntry(style, element);
    if (e.kind != TvexThemeKind::Bitmap || e.bitmap.isEmpty())
        return;
    // Resources that a style names but the program does not ship (bitmaps of
    // controls outside this program) leave the picture as it was.
    const QImage loaded = LoadSkinBitmap(e.bitmap);
    if (!loaded.isNull())
        *bitmap = loaded;
}

void GetBuiltInBitmap(TvexUIStyle style, int element, QImage *target, int frameIndex, int frameCount)
{
    if (!target)
        return;
    if (frameCount == 0) {
        LoadBuiltInBitmap(style, element, target);
        return;
    }
    QImage strip;
    LoadBuiltInBitmap(style, element, &strip);
    GetFrame(strip, *target, frameCount, frameIndex);
}

QImage LoadMainIcon(int size)
{
    QImageReader reader(QStringLiteral(":/skin/MAINICON.ico"));
    QImage best;
    for (int i = 0; i < qMax(1, reader.imageCount()); ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        const QImage image = reader.read();
        if (image.isNull())
            continue;
        if (image.width() == size)
            return image;
        if (image.width() > best.width())
            best = image;
    }
    return best;
}

// ---- TvexFileThemeMgr ----------------------------------------------------------

TvexFileThemeMgr::TvexFileThemeMgr() = default;
TvexFileThemeMgr::~TvexFileThemeMgr() = default;

bool TvexFileThemeMgr::LoadFile(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile())
        return false;
    m_reader.reset();
    m_pictures.clear();
    m_reader = std::make_unique<TvexThemeFileReader>(fileName);
    return true;
}

bool TvexFileThemeMgr::GetImage(int element, QImage *picture) const
{
    if (!GetImageForOneUse(element, picture))
        return false;
    m_pictures.insert(element, *picture);
    return true;
}

bool TvexFileThemeMgr::GetImageForOneUse(int element, QImage *picture) const
{
    if (!m_reader || !picture)
        return false;
    const auto cached = m_pictures.constFind(element);
    if (cached != m_pictures.constEnd()) {
        *picture = *cached;
        return true;
    }
    QBuffer *stream = m_reader->GetImageStream(ThemeElementKey(element));
    if (!stream)
        return false;
    *picture = decodeImage(stream);
    return true;
}

QImage TvexFileThemeMgr::decodeImage(QBuffer *stream)
{
    QImageReader reader(stream, "BMP");
    // A picture larger than any screen is refused before it is allocated,
    // like one that does not decode: both load as an empty picture, as the
    // element was there.
    const QSize size = reader.size();
    if (size.width() > ThemeSizeLimit || size.height() > ThemeSizeLimit)
        return QImage();
    const QImage image = reader.read();
    return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
}

bool TvexFileThemeMgr::GetBool(int element) const
{
    return m_reader && m_reader->GetBool(ThemeElementKey(element));
}

platform::TColor TvexFileThemeMgr::GetColor(int element) const
{
    return m_reader ? m_reader->GetInt(ThemeElementKey(element)) : 0;
}

int TvexFileThemeMgr::GetInt(int element) const
{
    if (!m_reader)
        return 0;
    // -1, missing or stored, means none to every reader of the value.
    const int value = m_reader->GetInt(ThemeElementKey(element));
    return value == -1 ? -1 : BoundedThemeInteger(element, value);
}

} // namespace vex
