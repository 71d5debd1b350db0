#pragma once

#include "platform/gui/Colors.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>

#include <memory>

class QBuffer;

namespace vex {
Q_NAMESPACE

// The visual style of a skinned control. Controls publish it as
//     Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle WRITE setUIStyle)
// and the form loader sets it by name ("MacOS").
enum class TvexUIStyle : quint8 {
    FromThemeFile = 0,
    MacOS = 1,
    WinXP = 2,
    DeepBlue = 3, // also the fallback style
    Protein = 4,
    BlueGlass = 5,
};
Q_ENUM_NS(TvexUIStyle)

// What kind of value a theme element holds; it follows the ending of the
// element's key name ("Image", "Color", "Int", "Bool").
enum class TvexThemeKind : quint8 { Bitmap, Color, Integer, Boolean };
Q_ENUM_NS(TvexThemeKind)

// Theme elements, by number. The enumerator names are the key names that a
// theme file stores.
enum TvexThemeElement : int {
    ButtonImage = 1,
    ButtonTransparentBool = 2,
    CheckBoxImage = 3,
    RadioButtonImage = 4,
    TitleBarButtonImage = 5,
    TitleBarButtonTransparentBool = 6,
    TitleBarButtonLeftOffsetInt = 7,
    TitleBarButtonRightOffsetInt = 8,
    TitleBarButtonTopInt = 9,
    TitleBarLeftImage = 10,
    TitleBarClientImage = 11,
    TitleBarRightImage = 12,
    FormMinWidthInt = 13,
    FormRoundCornerInt = 14,
    FormBackgroundColor = 15,
    FormBorderColor = 16,
    FormBorderWidthInt = 17,
    MenuSelectedBorderColor = 18,
    MenuSelectedBackgroundColor = 19,
    MenuSelectedFontColor = 20,
    MenuBackgroundColor = 21,
    MenuFontColor = 22,
    MenuBarColor = 23,
    ProgressBarImage = 24,
    ControlBorderColor = 25,
    ControlBackgroundColor = 26,
    ControlFontColor = 27,
    TrackBarBarImage = 28,
    TrackBarSliderImage = 29,
    TrackBarSliderVImage = 30,
    ScrollBarBackgroundColor = 31,
    ScrollBarButtonImage = 32,
    ScrollBarSliderImage = 33,
    CheckListBoxImage = 34,
    ToolBarButtonBorderColor = 35,
    ToolBarButtonBackgroundColor = 36,
    ToolBarButtonDownBackgroundColor = 37,
    ScrollButtonImage = 38,
    TabControlTabImage = 39,
    TabControlBarImage = 40,
    SideChannelHandleImage = 41,
    SideChannelBarImage = 42,
    TitleBarMinimizedImage = 43,
    TitleBarFontColor = 44,
    FormLeftBorderImage = 45,
    FormBottomBorderImage = 46,
    FormBottomRoundCornerInt = 47,
    MenuMenuBarColor = 48,
};
constexpr int ThemeElementCount = 48;

// The key name of an element ("ButtonImage"), empty outside 1..48.
QString ThemeElementKey(int element);
// The kind of an element; Integer outside 1..48.
TvexThemeKind ThemeElementKind(int element);
// The element with that key name, compared without regard to case; 0 if none.
int ThemeElementByKey(const QString &key);

// One value of the built-in theme table.
struct TvexThemeEntry
{
    TvexThemeKind kind = TvexThemeKind::Integer;
    qint32 value = -1; // colour (0x00BBGGRR), integer, or Boolean (0/1)
    QString bitmap;    // resource name of a Bitmap entry; empty for "none"
};

// The largest width, height, radius or offset a theme file may give, and the
// largest picture side it may hold: more than any screen shows.
constexpr int ThemeSizeLimit = 16384;
// A theme file's integer for element, bounded: sizes (minimum width, border
// width, corner radii) to 0..ThemeSizeLimit, offsets and the button top to
// -ThemeSizeLimit..ThemeSizeLimit; other elements as they are.
int BoundedThemeInteger(int element, int value);

// Built-in theme lookups. Callers pass element numbers 1..48; a style outside
// MacOS..BlueGlass (FromThemeFile) answers -1 of kind Integer.
TvexThemeEntry GetBuiltInEntry(TvexUIStyle style, int element);
platform::TColor GetBuiltInColor(TvexUIStyle style, int element); // 0 unless a colour
int GetBuiltInInteger(TvexUIStyle style, int element);            // -1 unless an integer
bool GetBuiltInBoolean(TvexUIStyle style, int element);           // false unless a Boolean

// Loads the element's built-in bitmap into *bitmap (Format_RGB32). Leaves
// *bitmap unchanged when bitmap is null, the entry is not a bitmap, or the
// style has no bitmap for it.
void LoadBuiltInBitmap(TvexUIStyle style, int element, QImage *bitmap);

// With frameCount 0: LoadBuiltInBitmap into *target. Otherwise cuts frame
// frameIndex (1-based) out of the strip of frameCount equal frames (GetFrame).
// Does nothing when target is null.
void GetBuiltInBitmap(TvexUIStyle style, int element, QImage *target, int frameIndex = 0, int frameCount = 0);

// A compiled-in skin bitmap by its resource name ("MACOS_MENU_BAR",
// "MENU_CHECKED"), converted to Format_RGB32; a null image when there is none.
QImage LoadSkinBitmap(const QString &resourceName);
// The Qt resource path of a skin bitmap: ":/skin/<NAME>.bmp".
QString SkinBitmapPath(const QString &resourceName);
// The program icon ("MAINICON"), as an image of the given size when the
// resource holds one, else the largest it holds.
QImage LoadMainIcon(int size = 16);

class TvexThemeFileReader;

// Holds the reader of the theme file that a TvexFileTheme has loaded and
// answers elements by number. Not a QObject: a TvexFileTheme owns exactly one.
class TvexFileThemeMgr
{
public:
    TvexFileThemeMgr();
    ~TvexFileThemeMgr();
    TvexFileThemeMgr(const TvexFileThemeMgr &) = delete;
    TvexFileThemeMgr &operator=(const TvexFileThemeMgr &) = delete;

    // False, keeping the current reader, when the file does not exist.
    // Otherwise drops the current reader and reads the file; a reading error
    // (ThemeFileError) propagates and leaves the manager without a reader.
    bool LoadFile(const QString &fileName);

    bool hasReader() const { return m_reader != nullptr; }

    // With a reader and the element in the file: the picture into *picture
    // (Format_RGB32; null when it does not decode or is larger than
    // ThemeSizeLimit on a side) and answers true. Otherwise *picture is
    // untouched and the answer is false. Each picture is decoded once per
    // loaded file; the same image comes back until the next LoadFile.
    bool GetImage(int element, QImage *picture) const;
    // GetImage for a caller that keeps what it cuts out of the picture: one
    // that is not kept yet is decoded for this call only.
    bool GetImageForOneUse(int element, QImage *picture) const;
    bool GetBool(int element) const;              // false without reader
    platform::TColor GetColor(int element) const; // 0 without reader, -1 when missing
    // 0 without reader, -1 when missing (or -1); any other value is bounded
    // by BoundedThemeInteger.
    int GetInt(int element) const;

private:
    static QImage decodeImage(QBuffer *stream);

    std::unique_ptr<TvexThemeFileReader> m_reader;
    mutable QHash<int, QImage> m_pictures;
};

} // namespace vex
