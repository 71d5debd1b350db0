// The built-in pictures and the sample theme's, looked at as a person would:
// title pieces that meet without seams, round radios whose edges are blended
// instead of stair-stepped, and keyed pictures without near-key pixels that
// would survive keying as a pink fringe.

#include "skin/VEXMgr.h"
#include "skin/VEXThemes.h"

#include <QSet>
#include <cmath>
#include <gtest/gtest.h>

using namespace vex;

namespace {

constexpr QRgb Key = 0xFF00FF;

QImage builtIn(TvexUIStyle style, int element)
{
    QImage image;
    GetBuiltInBitmap(style, element, &image);
    return image.convertToFormat(QImage::Format_RGB32);
}

QRgb at(const QImage &image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

// Close to the key colour without being it: such pixels are drawn.
bool nearKey(QRgb c)
{
    return c != Key && qRed(c) > 0xC0 && qBlue(c) > 0xC0 && qGreen(c) < 0x60;
}

int nearKeyPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += nearKey(at(image, x, y)) ? 1 : 0;
    return count;
}

struct Radio
{
    QString name;
    QImage strip;
};

std::vector<Radio> smallRadios()
{
    std::vector<Radio> radios;
    for (TvexUIStyle style : {TvexUIStyle::WinXP, TvexUIStyle::DeepBlue, TvexUIStyle::Protein, TvexUIStyle::BlueGlass})
        radios.push_back({GetBuiltInEntry(style, RadioButtonImage).bitmap, builtIn(style, RadioButtonImage)});
    TvexFileTheme theme;
    theme.setThemeFile(QStringLiteral("Graphite.theme"));
    QImage graphite;
    theme.GetImage(RadioButtonImage, &graphite);
    radios.push_back({QStringLiteral("Graphite RadioButtonImage"), graphite.convertToFormat(QImage::Format_RGB32)});
    return radios;
}

} // namespace

TEST(SkinArt, MacOSTitlePiecesAreOneSurface)
{
    const QImage left = builtIn(TvexUIStyle::MacOS, TitleBarLeftImage);
    const QImage client = builtIn(TvexUIStyle::MacOS, TitleBarClientImage);
    const QImage right = builtIn(TvexUIStyle::MacOS, TitleBarRightImage);
    ASSERT_EQ(left.height(), 23);
    ASSERT_EQ(client.height(), 23);
    ASSERT_EQ(right.height(), 23);
    // Every column of every piece is the client's column: no rim shows up as
    // a seam where the pieces reach under the frame's borders.
    for (const QImage *piece : {&left, &right})
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < piece->width(); ++x)
                ASSERT_EQ(at(*piece, x, y), at(client, 0, y)) << "column " << x << " row " << y;
}

TEST(SkinArt, MacOSControlBoxSitsOnTheBarRowsItCovers)
{
    // On the frame the buttons are drawn at y = 1 and the control box one row
    // higher, over pieces drawn from row 3: the box's background must be the
    // bar's rows from 3 on, the other buttons' from 4 on.
    const QImage strip = builtIn(TvexUIStyle::MacOS, TitleBarButtonImage);
    const QImage bar = builtIn(TvexUIStyle::MacOS, TitleBarClientImage);
    ASSERT_EQ(strip.height(), 17);
    const int s = strip.width() / 18;
    for (int frame = 0; frame < 18; frame += 3) {
        const int firstRow = frame == 0 ? 3 : 4;
        for (int y = 0; y < s; ++y)
            EXPECT_EQ(at(strip, frame * s, y), at(bar, 0, firstRow + y)) << "frame " << frame << " row " << y;
    }
}

TEST(SkinArt, SmallRadiosAreRoundWithBlendedRims)
{
    for (const Radio &radio : smallRadios()) {
        ASSERT_EQ(radio.strip.size(), QSize(52, 13)) << qPrintable(radio.name);
        for (int f = 0; f < 4; ++f) {
            QSet<QRgb> rim;
            for (int y = 0; y < 13; ++y)
                for (int x = 0; x < 13; ++x) {
                    const QRgb c = at(radio.strip, f * 13 + x, y);
                    const double d = std::hypot(x + 0.5 - 6.5, y + 0.5 - 6.5);
                    // Clearly outside the circle: key; clearly inside: drawn.
                    if (d > 6.6) {
                        EXPECT_EQ(c, Key)
                            << qPrintable(radio.name) << " frame " << f + 1 << " (" << x << "," << y << ")";
                    } else if (d < 5.4) {
                        EXPECT_NE(c, Key)
                            << qPrintable(radio.name) << " frame " << f + 1 << " (" << x << "," << y << ")";
                    }
                    if (d > 5.0 && d < 6.6 && c != Key)
                        rim.insert(c);
                }
            // A smooth rim goes through several shades; a stepped one has one.
            EXPECT_GE(rim.size(), 3) << qPrintable(radio.name) << " frame " << f + 1;
            EXPECT_EQ(at(radio.strip, f * 13, 12), Key) << qPrintable(radio.name) << " bottom-left key";
        }
        EXPECT_EQ(nearKeyPixels(radio.strip), 0) << qPrintable(radio.name);
    }
}

TEST(SkinArt, KeyedPicturesHaveNoPinkFringe)
{
    for (TvexUIStyle style :
         {TvexUIStyle::MacOS, TvexUIStyle::WinXP, TvexUIStyle::DeepBlue, TvexUIStyle::Protein, TvexUIStyle::BlueGlass})
        for (int element : {ButtonImage, CheckBoxImage, RadioButtonImage, TitleBarButtonImage, TitleBarLeftImage,
                            TitleBarClientImage, TitleBarRightImage})
            EXPECT_EQ(nearKeyPixels(builtIn(style, element)), 0) << qPrintable(GetBuiltInEntry(style, element).bitmap);
    TvexFileTheme theme;
    theme.setThemeFile(QStringLiteral("Graphite.theme"));
    ASSERT_TRUE(theme.Loaded());
    for (int element : {ButtonImage, CheckBoxImage, RadioButtonImage, TitleBarButtonImage, TitleBarLeftImage,
                        TitleBarClientImage, TitleBarRightImage, FormLeftBorderImage, FormBottomBorderImage}) {
        QImage picture;
        theme.GetImage(element, &picture);
        ASSERT_FALSE(picture.isNull()) << qPrintable(ThemeElementKey(element));
        EXPECT_EQ(nearKeyPixels(picture.convertToFormat(QImage::Format_RGB32)), 0)
            << qPrintable(ThemeElementKey(element));
    }
}

TEST(SkinArt, SampleThemeBottomBorderIsOpaque)
{
    // The theme's bottom corners are square: a keyed corner pixel would let
    // the window under the form show through.
    TvexFileTheme theme;
    theme.setThemeFile(QStringLiteral("Graphite.theme"));
    QImage bottom;
    theme.GetImage(FormBottomBorderImage, &bottom);
    bottom = bottom.convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(bottom.isNull());
    for (int y = 0; y < bottom.height(); ++y)
        for (int x = 0; x < bottom.width(); ++x)
            EXPECT_NE(at(bottom, x, y), Key) << "(" << x << "," << y << ")";
}
