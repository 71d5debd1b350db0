#include "skin/VEXPublic.h"
#include "skin/VEXThemes.h"

#include <QFile>
#include <QMetaEnum>
#include <gtest/gtest.h>

using namespace vex;

namespace {

const TvexUIStyle BuiltIn[] = {TvexUIStyle::MacOS, TvexUIStyle::WinXP, TvexUIStyle::DeepBlue, TvexUIStyle::Protein,
                               TvexUIStyle::BlueGlass};

int bmpDepth(const QString &name)
{
    QFile file(SkinBitmapPath(name));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(30);
    return head.size() == 30 ? int(quint8(head[28])) | (int(quint8(head[29])) << 8) : 0;
}

} // namespace

TEST(ThemeTable, StyleEnumIsSetByName)
{
    const QMetaEnum e = QMetaEnum::fromType<TvexUIStyle>();
    bool ok = false;
    EXPECT_EQ(e.keyToValue("MacOS", &ok), 1);
    EXPECT_TRUE(ok);
    EXPECT_EQ(e.keyToValue("FromThemeFile"), 0);
    EXPECT_EQ(e.keyToValue("BlueGlass"), 5);
    EXPECT_EQ(sizeof(TvexUIStyle), 1u);
}

TEST(ThemeTable, KeyNamesAndKindsFollowTheEnding)
{
    EXPECT_EQ(ThemeElementKey(ButtonImage), "ButtonImage");
    EXPECT_EQ(ThemeElementKey(MenuMenuBarColor), "MenuMenuBarColor");
    EXPECT_EQ(ThemeElementKey(0), QString());
    EXPECT_EQ(ThemeElementKey(49), QString());
    for (int e = 1; e <= ThemeElementCount; ++e) {
        const QString key = ThemeElementKey(e);
        const TvexThemeKind kind = ThemeElementKind(e);
        if (key.endsWith("Image"))
            EXPECT_EQ(kind, TvexThemeKind::Bitmap) << qPrintable(key);
        else if (key.endsWith("Color"))
            EXPECT_EQ(kind, TvexThemeKind::Color) << qPrintable(key);
        else if (key.endsWith("Int"))
            EXPECT_EQ(kind, TvexThemeKind::Integer) << qPrintable(key);
        else
            EXPECT_TRUE(key.endsWith("Bool") && kind == TvexThemeKind::Boolean) << qPrintable(key);
        EXPECT_EQ(ThemeElementByKey(key.toLower()), e);
    }
    EXPECT_EQ(ThemeElementByKey("NoSuchThing"), 0);
}

TEST(ThemeTable, LookupsAnswerOnlyForTheirKind)
{
    EXPECT_EQ(GetBuiltInColor(TvexUIStyle::MacOS, MenuBackgroundColor), 0x000000);
    EXPECT_EQ(GetBuiltInColor(TvexUIStyle::WinXP, FormBorderColor), 0xC82C00);
    EXPECT_EQ(GetBuiltInColor(TvexUIStyle::BlueGlass, MenuSelectedBorderColor), 0xEC5E5E);
    EXPECT_EQ(GetBuiltInInteger(TvexUIStyle::MacOS, TitleBarButtonRightOffsetInt), -2);
    EXPECT_EQ(GetBuiltInInteger(TvexUIStyle::BlueGlass, FormMinWidthInt), 270);
    EXPECT_EQ(GetBuiltInInteger(TvexUIStyle::WinXP, FormRoundCornerInt), 13);
    EXPECT_TRUE(GetBuiltInBoolean(TvexUIStyle::MacOS, ButtonTransparentBool));
    EXPECT_FALSE(GetBuiltInBoolean(TvexUIStyle::WinXP, ButtonTransparentBool));
    EXPECT_TRUE(GetBuiltInBoolean(TvexUIStyle::Protein, TitleBarButtonTransparentBool));

    // Asked for another kind: the neutral answer of the lookup.
    EXPECT_EQ(GetBuiltInInteger(TvexUIStyle::MacOS, FormBackgroundColor), -1);
    EXPECT_EQ(GetBuiltInColor(TvexUIStyle::MacOS, FormMinWidthInt), 0);
    EXPECT_FALSE(GetBuiltInBoolean(TvexUIStyle::MacOS, TitleBarButtonTopInt));
    EXPECT_EQ(GetBuiltInColor(TvexUIStyle::MacOS, ButtonTransparentBool), 0);

    const TvexThemeEntry bitmap = GetBuiltInEntry(TvexUIStyle::Protein, ScrollButtonImage);
    EXPECT_EQ(bitmap.kind, TvexThemeKind::Bitmap);
    EXPECT_EQ(bitmap.bitmap, "MORE_SCROLLBUTTON");
    EXPECT_EQ(GetBuiltInEntry(TvexUIStyle::WinXP, ScrollButtonImage).bitmap, "WINXP_SCROLLBUTTON");
    EXPECT_TRUE(GetBuiltInEntry(TvexUIStyle::MacOS, FormLeftBorderImage).bitmap.isEmpty());

    // The other pictures are named after their style and element, every
    // picture row in every style.
    EXPECT_EQ(GetBuiltInEntry(TvexUIStyle::BlueGlass, TrackBarSliderVImage).bitmap, "BLUEGLASS_TRACKBAR_SLIDER_V");
    EXPECT_EQ(GetBuiltInEntry(TvexUIStyle::DeepBlue, SideChannelHandleImage).bitmap, "DEEPBLUE_SIDECHENNEL_HANDLE");
    const QStringList words = {"MACOS_", "WINXP_", "DEEPBLUE_", "PROTEIN_", "BLUEGLASS_"};
    int named = 0;
    for (int element = 1; element <= ThemeElementCount; ++element) {
        if (ThemeElementKind(element) != TvexThemeKind::Bitmap || element == ScrollButtonImage)
            continue;
        for (int style = int(TvexUIStyle::MacOS); style <= int(TvexUIStyle::BlueGlass); ++style) {
            const QString name = GetBuiltInEntry(TvexUIStyle(style), element).bitmap;
            if (name.isEmpty())
                continue;
            ++named;
            EXPECT_TRUE(name.startsWith(words.at(style - 1))) << qPrintable(name);
        }
    }
    EXPECT_EQ(named, 5 * 18);
}

TEST(ThemeTable, FromThemeFileAnswersMinusOneOfKindInteger)
{
    const TvexThemeEntry e = GetBuiltInEntry(TvexUIStyle::FromThemeFile, ButtonImage);
    EXPECT_EQ(e.kind, TvexThemeKind::Integer);
    EXPECT_EQ(e.value, -1);
    EXPECT_EQ(GetBuiltInInteger(TvexUIStyle::FromThemeFile, TitleBarButtonTopInt), -1);
    EXPECT_EQ(GetBuiltInInteger(TvexUIStyle::FromThemeFile, FormBackgroundColor), -1);
    EXPECT_EQ(GetBuiltInColor(TvexUIStyle::FromThemeFile, FormBackgroundColor), 0);
    EXPECT_FALSE(GetBuiltInBoolean(TvexUIStyle::FromThemeFile, ButtonTransparentBool));

    QImage untouched(3, 2, QImage::Format_RGB32);
    untouched.fill(Qt::red);
    LoadBuiltInBitmap(TvexUIStyle::FromThemeFile, ButtonImage, &untouched);
    EXPECT_EQ(untouched.size(), QSize(3, 2));
    LoadBuiltInBitmap(TvexUIStyle::MacOS, FormBackgroundColor, &untouched); // not a bitmap
    EXPECT_EQ(untouched.size(), QSize(3, 2));
    LoadBuiltInBitmap(TvexUIStyle::MacOS, FormLeftBorderImage, &untouched); // (none)
    EXPECT_EQ(untouched.size(), QSize(3, 2));
    LoadBuiltInBitmap(TvexUIStyle::MacOS, ButtonImage, nullptr); // no crash
    GetBuiltInBitmap(TvexUIStyle::MacOS, ButtonImage, nullptr, 1, 3);
}

struct Expected
{
    TvexUIStyle style;
    int element;
    QSize size;
    int bits;
    int frames;
};

TEST(BuiltInBitmaps, SizesDepthsAndFrames)
{
    using S = TvexUIStyle;
    const Expected all[] = {
        {S::MacOS, ButtonImage, {252, 23}, 8, 3},
        {S::WinXP, ButtonImage, {54, 21}, 8, 3},
        {S::DeepBlue, ButtonImage, {222, 21}, 4, 3},
        {S::Protein, ButtonImage, {222, 21}, 8, 3},
        {S::BlueGlass, ButtonImage, {231, 27}, 8, 3},
        {S::MacOS, CheckBoxImage, {60, 17}, 8, 4},
        {S::WinXP, CheckBoxImage, {52, 13}, 8, 4},
        {S::DeepBlue, CheckBoxImage, {52, 13}, 4, 4},
        {S::Protein, CheckBoxImage, {52, 13}, 4, 4},
        {S::BlueGlass, CheckBoxImage, {52, 13}, 4, 4},
        {S::MacOS, RadioButtonImage, {64, 17}, 8, 4},
        {S::WinXP, RadioButtonImage, {52, 13}, 8, 4},
        {S::DeepBlue, RadioButtonImage, {52, 13}, 4, 4},
        {S::Protein, RadioButtonImage, {52, 13}, 4, 4},
        {S::BlueGlass, RadioButtonImage, {52, 13}, 4, 4},
        {S::MacOS, TitleBarButtonImage, {306, 17}, 24, 18},
        {S::WinXP, TitleBarButtonImage, {378, 21}, 24, 18},
        {S::DeepBlue, TitleBarButtonImage, {342, 19}, 4, 18},
        {S::Protein, TitleBarButtonImage, {342, 19}, 4, 18},
        {S::BlueGlass, TitleBarButtonImage, {342, 19}, 4, 18},
        {S::MacOS, TitleBarLeftImage, {48, 23}, 8, 1},
        {S::WinXP, TitleBarLeftImage, {35, 29}, 8, 1},
        {S::DeepBlue, TitleBarLeftImage, {97, 32}, 8, 1},
        {S::Protein, TitleBarLeftImage, {441, 23}, 8, 1},
        {S::BlueGlass, TitleBarLeftImage, {162, 33}, 8, 1},
        {S::MacOS, TitleBarClientImage, {49, 23}, 8, 1},
        {S::WinXP, TitleBarClientImage, {37, 29}, 8, 1},
        {S::DeepBlue, TitleBarClientImage, {98, 32}, 4, 1},
        {S::Protein, TitleBarClientImage, {1, 23}, 4, 1},
        {S::BlueGlass, TitleBarClientImage, {179, 33}, 8, 1},
        {S::MacOS, TitleBarRightImage, {48, 23}, 8, 1},
        {S::WinXP, TitleBarRightImage, {35, 29}, 8, 1},
        {S::DeepBlue, TitleBarRightImage, {97, 32}, 8, 1},
        {S::Protein, TitleBarRightImage, {1, 23}, 8, 1},
        {S::BlueGlass, TitleBarRightImage, {101, 33}, 8, 1},
    };
    for (const Expected &x : all) {
        const QString name = GetBuiltInEntry(x.style, x.element).bitmap;
        SCOPED_TRACE(name.toStdString());
        QImage whole;
        LoadBuiltInBitmap(x.style, x.element, &whole);
        ASSERT_FALSE(whole.isNull());
        EXPECT_EQ(whole.size(), x.size);
        EXPECT_EQ(whole.format(), QImage::Format_RGB32);
        EXPECT_EQ(bmpDepth(name), x.bits);
        QImage frame;
        GetBuiltInBitmap(x.style, x.element, &frame, x.frames, x.frames);
        EXPECT_EQ(frame.size(), QSize(x.size.width() / x.frames, x.size.height()));
    }
}

TEST(BuiltInBitmaps, FixedNameBitmapsAndIcon)
{
    const struct
    {
        const char *name;
        QSize size;
        int bits;
    } fixed[] = {{"MACOS_MENU_BAR", {1, 22}, 4},
                 {"MACOS_MENU_SELECT", {1, 21}, 8},
                 {"MENU_CHECKED", {16, 16}, 4},
                 {"MACOS_FORM_BACKGROUND", {8, 8}, 4},
                 {"PROTEIN_FORM_BACKGROUND", {8, 8}, 4}};
    for (const auto &f : fixed) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(LoadSkinBitmap(f.name).size(), f.size);
        EXPECT_EQ(bmpDepth(f.name), f.bits);
    }
    EXPECT_TRUE(LoadSkinBitmap("NO_SUCH_BITMAP").isNull());
    EXPECT_EQ(LoadMainIcon(16).size(), QSize(16, 16));
    EXPECT_EQ(LoadMainIcon(32).size(), QSize(32, 32));
}

TEST(BuiltInBitmaps, KeyColourWhereDrawingLeavesPixelsOut)
{
    const unsigned magenta = 0xFF00FF;
    auto rgb = [](const QImage &i, int x, int y) { return i.pixel(x, y) & 0xFFFFFFu; };
    for (TvexUIStyle style : BuiltIn) {
        SCOPED_TRACE(int(style));
        // Radio frames: key around the mark and in the bottom-left pixel.
        for (int f = 1; f <= 4; ++f) {
            QImage radio;
            GetBuiltInBitmap(style, RadioButtonImage, &radio, f, 4);
            EXPECT_EQ(rgb(radio, 0, radio.height() - 1), magenta);
            EXPECT_EQ(rgb(radio, radio.width() - 1, 0), magenta);
            EXPECT_NE(rgb(radio, radio.width() / 2, radio.height() / 2), magenta);
            QImage check;
            GetBuiltInBitmap(style, CheckBoxImage, &check, f, 4);
            EXPECT_NE(rgb(check, 0, check.height() - 1), magenta);
        }
        // Transparent button styles are keyed at the curved ends, the others not.
        const bool keyed = GetBuiltInBoolean(style, ButtonTransparentBool);
        for (int f = 1; f <= 3; ++f) {
            QImage button;
            GetBuiltInBitmap(style, ButtonImage, &button, f, 3);
            EXPECT_EQ(rgb(button, 0, 0) == magenta, keyed);
            EXPECT_EQ(rgb(button, button.width() - 1, button.height() - 1) == magenta, keyed);
            EXPECT_NE(rgb(button, button.width() / 2, button.height() / 2), magenta);
        }
        // Transparent title-button styles key the bottom-left pixel of every frame.
        const bool titleKeyed = GetBuiltInBoolean(style, TitleBarButtonTransparentBool);
        for (int f = 1; f <= 18; ++f) {
            QImage button;
            GetBuiltInBitmap(style, TitleBarButtonImage, &button, f, 18);
            EXPECT_EQ(rgb(button, 0, button.height() - 1) == magenta, titleKeyed) << f;
        }
    }
}

TEST(BuiltInBitmaps, StatesLookDifferent)
{
    for (TvexUIStyle style : BuiltIn) {
        SCOPED_TRACE(int(style));
        QImage a, b, c;
        GetBuiltInBitmap(style, ButtonImage, &a, 1, 3);
        GetBuiltInBitmap(style, ButtonImage, &b, 2, 3);
        GetBuiltInBitmap(style, ButtonImage, &c, 3, 3);
        EXPECT_NE(a, b);
        EXPECT_NE(b, c);
        EXPECT_NE(a, c);
        QImage frames[4];
        for (int f = 0; f < 4; ++f)
            GetBuiltInBitmap(style, CheckBoxImage, &frames[f], f + 1, 4);
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j)
                EXPECT_NE(frames[i], frames[j]) << i << " " << j;
        // Each title-button triple (normal, hot, pressed) differs within itself.
        for (int first = 4; first <= 16; first += 3) {
            QImage n, h, p;
            GetBuiltInBitmap(style, TitleBarButtonImage, &n, first, 18);
            GetBuiltInBitmap(style, TitleBarButtonImage, &h, first + 1, 18);
            GetBuiltInBitmap(style, TitleBarButtonImage, &p, first + 2, 18);
            EXPECT_NE(n, h) << first;
            EXPECT_NE(h, p) << first;
        }
        // Maximise and restore frames are different pictures.
        QImage max, restore;
        GetBuiltInBitmap(style, TitleBarButtonImage, &max, 8, 18);
        GetBuiltInBitmap(style, TitleBarButtonImage, &restore, 11, 18);
        EXPECT_NE(max, restore);
    }
}

TEST(BuiltInBitmaps, GetBuiltInBitmapCutsTheNamedFrame)
{
    QImage strip, middle;
    LoadBuiltInBitmap(TvexUIStyle::DeepBlue, ButtonImage, &strip);
    GetBuiltInBitmap(TvexUIStyle::DeepBlue, ButtonImage, &middle, 2, 3);
    ASSERT_EQ(middle.size(), QSize(74, 21));
    EXPECT_EQ(middle, strip.copy(74, 0, 74, 21));
    QImage whole;
    GetBuiltInBitmap(TvexUIStyle::DeepBlue, ButtonImage, &whole, 2, 0);
    EXPECT_EQ(whole.size(), QSize(222, 21));
}

TEST(BuiltInBitmaps, OpaqueTitleButtonsMatchTheBarBehindThem)
{
    // Opaque styles draw their buttons over the bar at the style's button top,
    // so the frame's corner pixel must be the bar's own colour at that row.
    for (TvexUIStyle style : {TvexUIStyle::WinXP, TvexUIStyle::DeepBlue}) {
        QImage client, frame;
        LoadBuiltInBitmap(style, TitleBarClientImage, &client);
        GetBuiltInBitmap(style, TitleBarButtonImage, &frame, 16, 18);
        const int top = GetBuiltInInteger(style, TitleBarButtonTopInt);
        EXPECT_EQ(frame.pixel(0, 0), client.pixel(0, top)) << int(style);
    }
}
