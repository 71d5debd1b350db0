#include "platform/gui/Fonts.h"

#include "common/TestSupport.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// How much ink a line of text leaves, in fully dark pixels.
double inkOf(const QFont &font, const QString &text)
{
    QImage image = testsupport::filledImage({400, 40}, Qt::white);
    {
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(4, 26, text);
    }
    double ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += (255 - qGray(image.pixel(x, y))) / 255.0;
    return ink;
}

} // namespace

// Captions are asked for in bold Tahoma at 11 px; bold must come out clearly
// heavier than regular, whichever face the match settles on.
TEST(DesignFonts, BoldTahomaCaptionIsHeavierThanRegular)
{
    if (!QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")))
        GTEST_SKIP() << "no Tahoma on this system";
    platform::registerDesignFonts();
    platform::registerDesignFonts(); // a second call changes nothing
    ASSERT_TRUE(QFontDatabase::families().contains(QStringLiteral("Tahoma")));

    QFont regular(QStringLiteral("Tahoma"));
    regular.setPixelSize(11);
    QFont bold = regular;
    bold.setBold(true);
    EXPECT_EQ(QFontInfo(bold).family(), QStringLiteral("Tahoma"));

    const QString caption = QStringLiteral("Tabulon - lllll HHH");
    const double light = inkOf(regular, caption), heavy = inkOf(bold, caption);
    EXPECT_GT(light, 0.0);
    EXPECT_GT(heavy, light * 1.3) << "bold ink " << heavy << " against regular " << light;
}

TEST(DesignFonts, MsSansSerifFallsBackToTahoma)
{
    if (!QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")))
        GTEST_SKIP() << "no Tahoma on this system";
    platform::registerDesignFonts();
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("Tahoma"));
}
