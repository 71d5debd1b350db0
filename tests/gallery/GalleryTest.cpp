#include "GalleryWindow.h"

#include "common/TestSupport.h"
#include "platform/gui/ImageList.h"
#include "skin/VEXButton.h"
#include "skin/VEXForm.h"
#include "skin/VEXFormMenuBar.h"
#include "skin/VEXImagePanel.h"
#include "skin/VEXMainMenu.h"
#include "skin/VEXMgr.h"
#include "skin/VEXPopupMenu.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
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
    EXPECT_EQ(gallery.popupMenu()->actions().size(), 8);
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

TEST(Gallery, PopupMenusWithImagesAndASubMenu)
{
    TFGallery gallery;
    vex::TvexPopupMenu *popup = gallery.popupMenu();
    EXPECT_EQ(popup->Images(), named<platform::TImageList>(gallery, "ImageList1"));
    EXPECT_EQ(named<vex::TvexMenuAction>(gallery, "pmCut")->ImageIndex(), 0);
    QMenu *more = named<vex::TvexMenuAction>(gallery, "pmMore")->menu();
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(more->style(), popup->look().itemStyle());
    EXPECT_EQ(more->actions().size(), 2);
}

TEST(Gallery, AButtonFollowsItsAction)
{
    TFGallery gallery;
    auto *button = named<vex::TvexButton>(gallery, "vexButton1");
    auto *action = named<QAction>(gallery, "acPush");
    ASSERT_TRUE(button && action);
    EXPECT_EQ(button->Action(), action);
    EXPECT_EQ(button->Caption(), QStringLiteral("&Push me"));
    EXPECT_FALSE(button->Glyph().isNull());

    QSignalSpy runs(action, &QAction::triggered);
    button->Click();
    EXPECT_EQ(runs.count(), 1);
    // The action's handler ran, and says so with the caption as it shows.
    EXPECT_EQ(named<QLabel>(gallery, "lStatus")->text(), QStringLiteral("Action \"Push me\""));

    // The Menu menu's item switches the action, and with it the button.
    auto *item = named<vex::TvexMenuAction>(gallery, "miPushEnabled");
    item->trigger();
    EXPECT_FALSE(action->isEnabled());
    EXPECT_FALSE(button->isEnabled());
    item->trigger();
    EXPECT_TRUE(button->isEnabled());
}

TEST(Gallery, PicturePanelsHaveAContextMenuAndControlsHints)
{
    TFGallery gallery;
    gallery.show();
    gallery.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&gallery));
    auto *panel = named<vex::TvexImagePanel>(gallery, "vexImagePanel2");
    EXPECT_EQ(panel->PopupMenu(), gallery.pictureMenu());
    EXPECT_EQ(named<vex::TvexImagePanel>(gallery, "vexImagePanel4")->PopupMenu(), gallery.pictureMenu());

    // A right click opens it; its items change the panel that was clicked.
    const QPoint at = panel->mapTo(&gallery, QPoint(20, 20));
    QTest::mouseClick(gallery.windowHandle(), Qt::RightButton, {}, at);
    ASSERT_TRUE(testsupport::waitFor([&] { return gallery.pictureMenu()->isVisible(); }));
    EXPECT_EQ(gallery.pictureMenu()->PopupComponent(), panel);
    EXPECT_TRUE(named<vex::TvexMenuAction>(gallery, "pmNormal")->Checked());
    named<vex::TvexMenuAction>(gallery, "pmTile")->trigger();
    EXPECT_EQ(panel->DrawStyle(), vex::TvexCustomPanel::vexTile);
    gallery.pictureMenu()->hide();

    // Elsewhere the frame's menu shows.
    QTest::mouseClick(gallery.windowHandle(), Qt::RightButton, {},
                      named<QWidget>(gallery, "lButtons")->mapTo(&gallery, QPoint(2, 2)));
    EXPECT_TRUE(testsupport::waitFor([&] { return gallery.popupMenu()->isVisible(); }));
    gallery.popupMenu()->hide();

    // Hints show over the content panel, whose ShowHint is on.
    auto *button = named<vex::TvexButton>(gallery, "vexButton1");
    EXPECT_TRUE(button->ShowHint());
    EXPECT_TRUE(named<vex::TvexCheckBox>(gallery, "vexCheckBox1")->ShowHint());
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(button, &help);
    EXPECT_TRUE(testsupport::waitFor([] { return QToolTip::text() == QStringLiteral("Runs the Push action"); }));
    QToolTip::hideText();
}

TEST(Gallery, EveryControlIsWhollyVisibleAtTheDefaultSize)
{
    TFGallery gallery;
    gallery.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&gallery));
    auto *content = named<QWidget>(gallery, "pContent");
    ASSERT_NE(content, nullptr);
    const QRect status = named<QWidget>(gallery, "lStatus")->geometry();
    for (QWidget *control : content->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const QRect place(control->mapTo(gallery.frame(), QPoint(0, 0)), control->size());
        EXPECT_TRUE(content->rect().contains(control->geometry())) << qPrintable(control->objectName());
        EXPECT_FALSE(place.intersects(status)) << qPrintable(control->objectName()) << " under the status line";
    }
}
