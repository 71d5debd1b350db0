#include "MenuBarTestSupport.h"
#include "MenuLookTestSupport.h"
#include "TitleBarTestSupport.h"

#include "common/TestSupport.h"
#include "skin/VEXPopupMenu.h"
#include "skin/VEXPublic.h"

#include <QAction>
#include <QLocale>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using namespace vex;
using menubartest::inkIn;
using menubartest::rgbOf;
using menulooktest::drawItem;
using menulooktest::menuItem;
using testsupport::rgbAt;

namespace {

int inkPixels(const QImage &image, const QRect &region, unsigned background)
{
    int n = 0;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            n += rgbAt(image, x, y) != background;
    return n;
}

int lowestInkRow(const QImage &image, const QRect &region, unsigned background)
{
    int row = -1;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            if (rgbAt(image, x, y) != background)
                row = y;
    return row;
}

// What a style gives a popup menu that takes it.
struct StyleLook
{
    TvexUIStyle style;
    int itemHeight;
    int separatorHeight;
    platform::TColor separatorColor;
    platform::TColor selectedColor;
};

void expectLook(const TvexPopupMenu &menu, const StyleLook &want)
{
    SCOPED_TRACE(int(want.style));
    EXPECT_EQ(menu.UIStyle(), want.style);
    EXPECT_EQ(menu.MenuItemHeight(), want.itemHeight);
    EXPECT_EQ(menu.SeparatorHeight(), want.separatorHeight);
    EXPECT_EQ(menu.SeparatorColor(), want.separatorColor);
    EXPECT_EQ(menu.SelectedColor(), want.selectedColor);
}

} // namespace

TEST(PopupMenu, StartsWithTheStyleOfTheOwnerFormsFrame)
{
    QWidget form;
    auto *frame = new titlebartest::TvexForm(&form);
    frame->setUIStyle(TvexUIStyle::MacOS);
    TvexPopupMenu mac(&form);
    expectLook(mac, {TvexUIStyle::MacOS, 20, 12, 0, 0xC47339});
    mac.setMenuItemHeight(30);
    mac.setSeparatorHeight(3);
    EXPECT_EQ(mac.MenuItemHeight(), 20);
    EXPECT_EQ(mac.SeparatorHeight(), 12);
    mac.setOwnerDraw(false);
    EXPECT_TRUE(mac.OwnerDraw());

    QWidget plain;
    TvexPopupMenu deepBlue(&plain);
    expectLook(deepBlue, {TvexUIStyle::DeepBlue, 21, 5, 0x848284, 0xA04A44});
    EXPECT_EQ(deepBlue.SelectedFontColor(), 0xFFFFFF);
    EXPECT_EQ(deepBlue.BarColor(), 0xCED3D6);
    EXPECT_EQ(deepBlue.Color(), 0xFFFFFF);
    deepBlue.setMenuItemHeight(30);
    EXPECT_EQ(deepBlue.MenuItemHeight(), 30);
}

TEST(PopupMenu, ApplyingAStyleResetsTheMeasuresAndColours)
{
    QWidget form;
    TvexPopupMenu menu(&form);
    menu.setBarWidth(40);
    menu.setSelectedColor(0x123456);
    menu.setUIStyle(TvexUIStyle::WinXP);
    EXPECT_EQ(menu.BarWidth(), 26);
    EXPECT_EQ(menu.SelectedColor(), 0xEFD3C6);
    EXPECT_EQ(menu.SelectedBorderColor(), 0xC66931);
    EXPECT_EQ(menu.SelectedFontColor(), 0);

    // FromThemeFile without a loaded theme takes DeepBlue's colours but keeps
    // the stored style; the theme going away makes the style DeepBlue.
    auto *theme = new TvexFileTheme(&form);
    menu.setFileTheme(theme);
    menu.setUIStyle(TvexUIStyle::FromThemeFile);
    EXPECT_EQ(menu.UIStyle(), TvexUIStyle::FromThemeFile);
    EXPECT_EQ(menu.SelectedColor(), 0xA04A44);
    delete theme;
    EXPECT_EQ(menu.FileTheme(), nullptr);
    EXPECT_EQ(menu.UIStyle(), TvexUIStyle::DeepBlue);
}

TEST(PopupMenu, SeparatorsAreExactlyTheDashCaption)
{
    QWidget form;
    TvexPopupMenu menu(&form);
    QAction *open = menu.addAction("&Open");
    QAction *dash = menu.addAction("-");
    QAction *spaced = menu.addAction(" -");
    open->setShortcut(QKeySequence("Ctrl+O"));
    const QFontMetrics fm(menu.font());
    EXPECT_TRUE(dash->isSeparator());
    EXPECT_FALSE(spaced->isSeparator());
    EXPECT_EQ(menu.MeasureMenuItem(dash, fm).height(), 5);
    EXPECT_EQ(menu.MeasureMenuItem(spaced, fm).height(), 21);
    EXPECT_EQ(menu.MeasureMenuItem(open, fm).width(),
              fm.horizontalAdvance("&Open") + fm.horizontalAdvance(open->shortcut().toString(QKeySequence::NativeText))
                  + 26 + 40);

    // In the open menu every item is as wide as the widest measured one and
    // as high as its kind; the window border is 3 pixels.
    menu.popup(QPoint(50, 50));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    const int widest = menu.MeasureMenuItem(open, fm).width();
    EXPECT_EQ(menu.actionGeometry(open), QRect(3, 3, widest, 21));
    EXPECT_EQ(menu.actionGeometry(dash), QRect(3, 24, widest, 5));
    EXPECT_EQ(menu.actionGeometry(spaced), QRect(3, 29, widest, 21));
    EXPECT_EQ(menu.width(), widest + 6);
    menu.hide();
}

// Text without antialiasing, so that ink has exactly the text colour.
class PopupMenuDrawing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QFont crisp = QApplication::font("QMenu");
        crisp.setStyleStrategy(QFont::NoAntialias);
        QApplication::setFont(crisp, "QMenu");
    }
    void TearDown() override { QApplication::setFont(m_saved, "QMenu"); }

private:
    QFont m_saved = QApplication::font("QMenu");
};

TEST_F(PopupMenuDrawing, NormalSeparatorAndHighlightedItemsInWinXP)
{
    QWidget form;
    TvexMenuLook look(&form);
    look.ApplyStyle(TvexUIStyle::WinXP);
    const QSize size(120, 21);

    const QImage plain = drawItem(look, menuItem("Open"), size);
    EXPECT_EQ(rgbAt(plain, 0, 0), rgbOf(0xCED3D6)); // the strip
    EXPECT_EQ(rgbAt(plain, 25, 20), rgbOf(0xCED3D6));
    EXPECT_EQ(rgbAt(plain, 26, 0), rgbOf(0xFFFFFF)); // the rest
    EXPECT_EQ(rgbAt(plain, 119, 20), rgbOf(0xFFFFFF));

    TvexMenuItem separator = menuItem("-");
    separator.separator = true;
    const QImage line = drawItem(look, separator, QSize(120, 5));
    EXPECT_EQ(rgbAt(line, 29, 2), rgbOf(0xFFFFFF));
    EXPECT_EQ(rgbAt(line, 30, 2), rgbOf(0x848284));
    EXPECT_EQ(rgbAt(line, 117, 2), rgbOf(0x848284));
    EXPECT_EQ(rgbAt(line, 118, 2), rgbOf(0xFFFFFF));
    EXPECT_EQ(rgbAt(line, 60, 1), rgbOf(0xFFFFFF));
    EXPECT_EQ(rgbAt(line, 60, 3), rgbOf(0xFFFFFF));

    const QImage hot = drawItem(look, menuItem("Open"), size, true);
    EXPECT_EQ(rgbAt(hot, 0, 0), rgbOf(0xC66931)); // outline
    EXPECT_EQ(rgbAt(hot, 119, 20), rgbOf(0xC66931));
    EXPECT_EQ(rgbAt(hot, 1, 1), rgbOf(0xEFD3C6)); // fill
    EXPECT_EQ(rgbAt(hot, 20, 18), rgbOf(0xEFD3C6));
    EXPECT_EQ(inkIn(hot, QRect(30, 4, 60, 16), rgbOf(0xEFD3C6)), rgbOf(0x000000));

    // Disabled and highlighted: the normal background and grey text.
    TvexMenuItem disabled = menuItem("||||");
    disabled.enabled = false;
    const QImage grey = drawItem(look, disabled, size, true);
    EXPECT_EQ(rgbAt(grey, 0, 0), rgbOf(0xCED3D6));
    EXPECT_EQ(rgbAt(grey, 119, 20), rgbOf(0xFFFFFF));
    EXPECT_EQ(inkIn(grey, QRect(30, 4, 60, 16), rgbOf(0xFFFFFF)), 0x808080u);

    // Right to left the strip changes sides and the caption is right-aligned.
    const QImage mirrored = drawItem(look, menuItem("Open"), size, false, true);
    EXPECT_EQ(rgbAt(mirrored, 119, 0), rgbOf(0xCED3D6));
    EXPECT_EQ(rgbAt(mirrored, 94, 0), rgbOf(0xCED3D6));
    EXPECT_EQ(rgbAt(mirrored, 93, 0), rgbOf(0xFFFFFF));
    EXPECT_GT(inkPixels(mirrored, QRect(60, 4, 30, 16), rgbOf(0xFFFFFF)), 0);
    EXPECT_EQ(inkPixels(mirrored, QRect(0, 0, 40, 21), rgbOf(0xFFFFFF)), 0);
}

TEST_F(PopupMenuDrawing, MacOSItemsAreTheStretchedBitmaps)
{
    QWidget form;
    TvexMenuLook look(&form);
    look.ApplyStyle(TvexUIStyle::MacOS);
    const QImage bar = LoadSkinBitmap("MACOS_MENU_BAR");
    const QImage select = LoadSkinBitmap("MACOS_MENU_SELECT");
    ASSERT_EQ(bar.size(), QSize(1, 22));
    ASSERT_EQ(select.size(), QSize(1, 21));

    const QImage plain = drawItem(look, menuItem("Open"), QSize(100, 20));
    const QImage hot = drawItem(look, menuItem("Open"), QSize(100, 20), true);
    TvexMenuItem separator = menuItem("-");
    separator.separator = true;
    const QImage line = drawItem(look, separator, QSize(100, 12));
    for (int y = 0; y < 20; ++y) {
        EXPECT_EQ(rgbAt(plain, 2, y), rgbAt(bar, 0, y)) << y;
        EXPECT_EQ(rgbAt(hot, 99, y), rgbAt(select, 0, y)) << y;
    }
    for (int y = 0; y < 12; ++y)
        EXPECT_EQ(rgbAt(line, 50, y), rgbAt(bar, 0, y)) << y;
    // Highlighted captions are white over the selection bitmap.
    EXPECT_EQ(inkIn(hot, QRect(30, 4, 50, 14), rgbAt(select, 0, 10)), 0xFFFFFFu);
}

TEST_F(PopupMenuDrawing, CheckMarksImagesDefaultItemsAndAccessKeys)
{
    QWidget form;
    TvexMenuLook look(&form);
    look.ApplyStyle(TvexUIStyle::DeepBlue);
    QPixmap red(16, 16);
    red.fill(Qt::red);
    look.setImages({red});
    const QSize size(150, 21);
    const QImage mark = LoadSkinBitmap("MENU_CHECKED");
    ASSERT_EQ(mark.size(), QSize(16, 16));

    // Checked with an index beyond the list: the check mark, no image. White
    // is the mark's transparent colour.
    TvexMenuItem checked = menuItem("Wrap");
    checked.checked = true;
    checked.imageIndex = 1;
    const QImage withMark = drawItem(look, checked, size);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const unsigned expected = rgbAt(mark, x, y) == 0xFFFFFF ? rgbOf(look.BarColor()) : rgbAt(mark, x, y);
            ASSERT_EQ(rgbAt(withMark, 4 + x, 3 + y), expected) << x << "," << y;
        }
    }

    // Checked with a valid image: a black frame around a SelectedColor box,
    // the image on top.
    checked.imageIndex = 0;
    const QImage boxed = drawItem(look, checked, size);
    EXPECT_EQ(rgbAt(boxed, 2, 1), 0u);
    EXPECT_EQ(rgbAt(boxed, 20, 19), 0u);
    EXPECT_EQ(rgbAt(boxed, 3, 2), rgbOf(0xA04A44));
    EXPECT_EQ(rgbAt(boxed, 3, 10), rgbOf(0xA04A44));
    EXPECT_EQ(rgbAt(boxed, 19, 2), rgbOf(0xA04A44));
    EXPECT_EQ(rgbAt(boxed, 4, 3), 0xFF0000u);
    EXPECT_EQ(rgbAt(boxed, 19, 18), 0xFF0000u);

    // The default item is bold: more ink for the same caption.
    TvexMenuItem bold = menuItem("Menu");
    bold.isDefault = true;
    const QRect text(30, 4, 100, 17);
    EXPECT_GT(inkPixels(drawItem(look, bold, size), text, rgbOf(0xFFFFFF)),
              inkPixels(drawItem(look, menuItem("Menu"), size), text, rgbOf(0xFFFFFF)));

    // "&" underlines the access key below the caption instead of being drawn.
    EXPECT_GT(lowestInkRow(drawItem(look, menuItem("&Menu"), size), text, rgbOf(0xFFFFFF)),
              lowestInkRow(drawItem(look, menuItem("Menu"), size), text, rgbOf(0xFFFFFF)));

    // The shortcut ends 16 pixels before the right edge.
    TvexMenuItem shortcut = menuItem("Open");
    shortcut.shortcut = "Ctrl+O";
    const QImage withShortcut = drawItem(look, shortcut, size);
    const int width = QFontMetrics(look.itemFont()).horizontalAdvance("Ctrl+O");
    EXPECT_GT(inkPixels(withShortcut, QRect(150 - 16 - width, 4, width, 17), rgbOf(0xFFFFFF)), 0);
    EXPECT_EQ(inkPixels(withShortcut, QRect(150 - 15, 0, 15, 21), rgbOf(0xFFFFFF)), 0);
}

TEST_F(PopupMenuDrawing, FlatBorderRingsInTheFormBackgroundColour)
{
    QWidget form;
    TvexMenuLook look(&form);
    look.ApplyStyle(TvexUIStyle::WinXP);
    QImage image = testsupport::filledImage({40, 30}, Qt::magenta);
    QPainter painter(&image);
    look.DrawFlatBorder(painter, image.rect());
    painter.end();
    const unsigned border = rgbOf(0xDEEBEF);
    EXPECT_EQ(rgbAt(image, 0, 0), 0xFF00FFu); // the pen never reaches it
    EXPECT_EQ(rgbAt(image, 1, 0), border);
    EXPECT_EQ(rgbAt(image, 39, 0), border);
    EXPECT_EQ(rgbAt(image, 39, 29), border);
    EXPECT_EQ(rgbAt(image, 0, 29), border);
    EXPECT_EQ(rgbAt(image, 0, 1), 0u);
    EXPECT_EQ(rgbAt(image, 38, 28), 0u);
    EXPECT_EQ(rgbAt(image, 1, 2), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(image, 37, 27), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(image, 2, 3), 0xFF00FFu);
}

TEST(PopupMenu, DrawsTheOpenMenuAndAttachesItsSubMenus)
{
    QWidget form;
    TvexPopupMenu menu(&form);
    menu.setUIStyle(TvexUIStyle::WinXP);
    menu.setFlatMenu(true);
    QAction *open = menu.addAction("Open");
    QMenu *sub = menu.addMenu("More");
    QAction *inner = sub->addAction("Inner");
    menu.loaded();
    EXPECT_EQ(sub->style(), menu.look().itemStyle());
    EXPECT_FALSE(inner->isShortcutVisibleInContextMenu());
    // Items added later are attached at once.
    QAction *later = sub->addAction("-");
    EXPECT_TRUE(later->isSeparator());

    menu.popup(QPoint(40, 40));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    menu.setActiveAction(open);
    const QImage shot = menu.grab().toImage();
    const QRect item = menu.actionGeometry(open);
    EXPECT_EQ(rgbAt(shot, item.left(), item.top()), rgbOf(0xC66931));
    EXPECT_EQ(rgbAt(shot, item.left() + 1, item.top() + 1), rgbOf(0xEFD3C6));
    const QRect other = menu.actionGeometry(menu.actions().at(1));
    EXPECT_EQ(rgbAt(shot, other.left(), other.top()), rgbOf(0xCED3D6));
    EXPECT_EQ(rgbAt(shot, 0, 1), 0u); // flat border
    EXPECT_EQ(rgbAt(shot, 1, 0), rgbOf(0xDEEBEF));
    menu.hide();
}

TEST(PopupMenu, RightToLeftNeedsASystemThatSupportsIt)
{
    QWidget form;
    TvexPopupMenu menu(&form);
    QAction *item = menu.addAction("Open");
    menu.setLayoutDirection(Qt::RightToLeft);
    auto stripAtRight = [&] {
        QImage image(100, 21, QImage::Format_RGB32);
        QPainter painter(&image);
        menu.DrawMenuItem(item, painter, image.rect(), false);
        return rgbAt(image, 99, 0) == rgbOf(menu.BarColor());
    };
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_FALSE(stripAtRight());
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
    EXPECT_TRUE(stripAtRight());
    QLocale::setDefault(saved);
}

TEST(PopupMenu, OneCheckMarkForTheWholeProgram)
{
    QWidget form;
    TvexPopupMenu first(&form), second(&form);
    ASSERT_FALSE(SharedCheckMark().isNull());
    EXPECT_EQ(SharedCheckMark().size(), QSize(16, 16));
    EXPECT_EQ(first.look().checkMark().cacheKey(), SharedCheckMark().cacheKey());
    EXPECT_EQ(second.look().checkMark().cacheKey(), SharedCheckMark().cacheKey());
}

namespace {

// The height the menu window takes when it is shown now.
int shownHeight(QMenu &menu)
{
    menu.popup(QPoint(30, 30));
    if (!QTest::qWaitForWindowExposed(&menu))
        return -1;
    const int height = menu.height();
    menu.hide();
    return height;
}

} // namespace

// QMenu measures its items once; every later style must be measured again,
// whichever style the menu was first shown in.
TEST(PopupMenu, MeasuresItsItemsAgainAfterEveryStyleChange)
{
    const QList<TvexUIStyle> styles = {TvexUIStyle::MacOS,   TvexUIStyle::WinXP,     TvexUIStyle::DeepBlue,
                                       TvexUIStyle::Protein, TvexUIStyle::BlueGlass, TvexUIStyle::MacOS};
    auto fill = [](TvexPopupMenu &menu) {
        for (const char *caption : {"Cu&t", "&Copy", "&Paste", "-", "Select &all"})
            menu.addAction(QString::fromLatin1(caption));
        menu.loaded();
    };
    QWidget form;
    TvexPopupMenu menu(&form);
    fill(menu);
    for (TvexUIStyle style : styles) {
        SCOPED_TRACE(int(style));
        menu.setUIStyle(style);
        TvexPopupMenu fresh(&form);
        fresh.setUIStyle(style);
        fill(fresh);
        const int height = shownHeight(menu);
        EXPECT_EQ(height, shownHeight(fresh));
        // The window's border of 3 on each side around four items and a separator.
        EXPECT_EQ(height, 6 + 4 * menu.MenuItemHeight() + menu.SeparatorHeight());
    }
    // A height written while shown in a style that allows it takes effect too.
    menu.setUIStyle(TvexUIStyle::WinXP);
    EXPECT_EQ(shownHeight(menu), 6 + 4 * 21 + 5);
    menu.setMenuItemHeight(30);
    EXPECT_EQ(shownHeight(menu), 6 + 4 * 30 + 5);
}

TEST(PopupMenu, TheWindowMenuFollowsItsBarFromWinXPToMacOS)
{
    titlebartest::BorderedHost host;
    auto *bar = new TvexTitleBar(&host);
    bar->setUIStyle(TvexUIStyle::WinXP);
    TvexTitleBarPopupMenu *menu = bar->SystemMenu();
    EXPECT_EQ(shownHeight(*menu), 6 + 3 * 21 + 5);
    bar->setUIStyle(TvexUIStyle::MacOS);
    EXPECT_EQ(shownHeight(*menu), 78);
}
