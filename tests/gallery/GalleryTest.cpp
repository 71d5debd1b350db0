#include "GalleryWindow.h"

#include "common/TestSupport.h"
#include "platform/ImageList.h"
#include "skin/VEXButton.h"
#include "skin/VEXForm.h"
#include "skin/VEXFormMenuBar.h"
#include "skin/VEXMainMenu.h"
#include "skin/VEXMgr.h"
#include "skin/VEXPopupMenu.h"

#include <QTest>
#include <gtest/gtest.h>

using vex::TvexUIStyle;

namespace {

QStringList captions(const vex::TvexMenuBar *bar)
{
    QStringList list;
    for (const vex::TvexMenuBarButton *button : bar->Buttons())
        list << button->text();
    return list;
}

template <typename T>
T *named(const QWidget &form, const char *name)
{
    return form.findChild<T *>(QLatin1String(name));
}

} // namespace

TEST(Gallery, LoadsEveryControlWithItsMenus)
{
    TFGallery gallery;
    vex::TvexForm *frame = gallery.frame();
    EXPECT_EQ(frame->UIStyle(), TvexUIStyle::MacOS);
    EXPECT_EQ(frame->Menu(), gallery.mainMenu());
    EXPECT_EQ(frame->PopupMenu(), gallery.popupMenu());
    ASSERT_NE(frame->MenuBar(), nullptr);
    EXPECT_EQ(captions(frame->MenuBar()), (QStringList{"&File", "&Style", "&Menu", "&Disabled", "&Help"}));
    EXPECT_FALSE(frame->MenuBar()->Buttons().at(3)->isEnabled());
    ASSERT_NE(gallery.mainMenu()->Images(), nullptr);
    EXPECT_EQ(gallery.mainMenu()->Images()->Count(), 3);
    EXPECT_EQ(gallery.popupMenu()->actions().size(), 6);
    EXPECT_FALSE(named<vex::TvexButton>(gallery, "vexButton2")->Glyph().isNull());
    EXPECT_TRUE(named<vex::TvexRadioButton>(gallery, "rbMacOS")->Checked());
    EXPECT_TRUE(named<vex::TvexMenuAction>(gallery, "miMacOS")->Checked());
}

TEST(Gallery, StyleReachesNestedControlsMenusAndChoices)
{
    TFGallery gallery;
    gallery.applyStyle(TvexUIStyle::WinXP);
    EXPECT_EQ(named<vex::TvexButton>(gallery, "vexButton1")->UIStyle(), TvexUIStyle::WinXP);
    EXPECT_EQ(named<vex::TvexCheckBox>(gallery, "vexCheckBox1")->UIStyle(), TvexUIStyle::WinXP);
    EXPECT_EQ(gallery.mainMenu()->UIStyle(), TvexUIStyle::WinXP);
    EXPECT_EQ(gallery.popupMenu()->UIStyle(), TvexUIStyle::WinXP);
    EXPECT_TRUE(named<vex::TvexRadioButton>(gallery, "rbWinXP")->Checked());
    EXPECT_FALSE(named<vex::TvexRadioButton>(gallery, "rbMacOS")->Checked());
    EXPECT_TRUE(named<vex::TvexMenuAction>(gallery, "miWinXP")->Checked());
    EXPECT_FALSE(named<vex::TvexMenuAction>(gallery, "miMacOS")->Checked());

    // The menu's radio items choose too.
    named<vex::TvexMenuAction>(gallery, "miProtein")->trigger();
    EXPECT_EQ(gallery.frame()->UIStyle(), TvexUIStyle::Protein);
    EXPECT_TRUE(named<vex::TvexRadioButton>(gallery, "rbProtein")->Checked());
}

TEST(Gallery, ThemeFileShownEverywhere)
{
    TFGallery gallery;
    EXPECT_FALSE(gallery.loadTheme(QStringLiteral("NoSuchTheme.theme"), true));
    EXPECT_EQ(gallery.frame()->UIStyle(), TvexUIStyle::MacOS);
    ASSERT_TRUE(gallery.loadTheme(QStringLiteral("Graphite.theme"), true));
    auto *theme = named<vex::TvexFileTheme>(gallery, "vexFileTheme1");
    EXPECT_EQ(gallery.frame()->UIStyle(), TvexUIStyle::FromThemeFile);
    auto *button = named<vex::TvexButton>(gallery, "vexButton1");
    EXPECT_EQ(button->UIStyle(), TvexUIStyle::FromThemeFile);
    EXPECT_EQ(button->FileTheme(), theme);
    EXPECT_EQ(gallery.mainMenu()->FileTheme(), theme);
    EXPECT_EQ(gallery.mainMenu()->SelectedColor(), theme->GetColor(vex::MenuSelectedBackgroundColor));
    EXPECT_TRUE(named<vex::TvexRadioButton>(gallery, "rbThemeFile")->Checked());
}

TEST(Gallery, MenuShortcutsChooseTheStyle)
{
    TFGallery gallery;
    gallery.show();
    gallery.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&gallery));
    QWidget *focus = named<QWidget>(gallery, "eThemeFile");
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key_5, Qt::ControlModifier);
    EXPECT_EQ(gallery.frame()->UIStyle(), TvexUIStyle::BlueGlass);
    EXPECT_TRUE(named<vex::TvexMenuAction>(gallery, "miBlueGlass")->Checked());
}

TEST(Gallery, GlyphHasOnlyTheExactKeyAroundItsShape)
{
    // Smoothed edges blended with the key colour are not keyed out and show
    // as a pink fringe on the button.
    TFGallery gallery;
    const QImage glyph = named<vex::TvexButton>(gallery, "vexButton2")->Glyph().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(glyph.isNull());
    const QRgb key = glyph.pixel(0, 0) & 0xFFFFFF;
    EXPECT_EQ(key, 0xFF00FFu);
    int keyed = 0;
    for (int y = 0; y < glyph.height(); ++y)
        for (int x = 0; x < glyph.width(); ++x) {
            const QRgb c = glyph.pixel(x, y) & 0xFFFFFF;
            keyed += c == key ? 1 : 0;
            const bool nearKey = c != key && qRed(c) > 0xC0 && qBlue(c) > 0xC0 && qGreen(c) < 0x60;
            EXPECT_FALSE(nearKey) << "(" << x << "," << y << ") is " << std::hex << c;
        }
    EXPECT_GT(keyed, 0);
    EXPECT_LT(keyed, glyph.width() * glyph.height());
}
