// System colours follow the application palette: each index its role, the
// greyed ones from the disabled group, unknown indices black.
#include "platform/gui/Colors.h"

#include <QApplication>
#include <QPalette>

#include <gtest/gtest.h>

using namespace platform;

namespace {

// Gives every role its own colour in the active group and another one in the
// disabled group, for the life of the object.
class DistinctPalette
{
public:
    DistinctPalette() : m_old(QApplication::palette())
    {
        QPalette palette;
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto r = QPalette::ColorRole(role);
            palette.setColor(QPalette::Active, r, QColor(10 + 3 * role, 20, 30));
            palette.setColor(QPalette::Inactive, r, QColor(10 + 3 * role, 20, 31));
            palette.setColor(QPalette::Disabled, r, QColor(10 + 3 * role, 90, 40));
        }
        QApplication::setPalette(palette);
    }
    ~DistinctPalette() { QApplication::setPalette(m_old); }

    static TColor of(QPalette::ColorGroup group, QPalette::ColorRole role)
    {
        return fromQColor(QApplication::palette().color(group, role));
    }

private:
    QPalette m_old;
};

} // namespace

TEST(SystemColors, EachIndexTakesItsPaletteRole)
{
    const DistinctPalette palette;
    const auto active = [](QPalette::ColorRole role) { return DistinctPalette::of(QPalette::Active, role); };
    EXPECT_EQ(colorToRGB(clBtnFace), active(QPalette::Button));
    EXPECT_EQ(colorToRGB(clWindow), active(QPalette::Base));
    EXPECT_EQ(colorToRGB(clWindowText), active(QPalette::Text));
    EXPECT_EQ(colorToRGB(clMenuText), active(QPalette::WindowText));
    EXPECT_EQ(colorToRGB(clCaptionText), active(QPalette::HighlightedText));
    EXPECT_EQ(colorToRGB(cl3DDkShadow), active(QPalette::Shadow));
    EXPECT_EQ(colorToRGB(cl3DLight), active(QPalette::Midlight));
    EXPECT_EQ(colorToRGB(clInfoBk), active(QPalette::ToolTipBase)) << "the last index";
    EXPECT_EQ(colorToRGB(clScrollBar), active(QPalette::Mid)) << "the first index";

    const TColor greyed = DistinctPalette::of(QPalette::Disabled, QPalette::WindowText);
    EXPECT_EQ(colorToRGB(clGrayText), greyed);
    EXPECT_EQ(colorToRGB(clInactiveCaption), greyed);
    EXPECT_EQ(colorToRGB(clInactiveCaptionText), greyed);
    EXPECT_NE(colorToRGB(clMenuText), greyed) << "only these three come from the disabled group";
}

TEST(SystemColors, UnknownIndicesAreBlackAndPlainColoursStayAsTheyAre)
{
    const DistinctPalette palette;
    for (int index : {COLOR_INFOBK + 1, 0x7F, 0xFF, -1})
        EXPECT_EQ(systemColorRGB(index), clBlack) << index;
    EXPECT_EQ(colorToRGB(systemColor(COLOR_INFOBK + 1)), clBlack);
    EXPECT_EQ(colorToRGB(TColor(0x123456)), TColor(0x123456));
    EXPECT_EQ(toQColor(TColor(0x123456)), QColor(0x56, 0x34, 0x12)) << "stored as 0x00BBGGRR";
}
