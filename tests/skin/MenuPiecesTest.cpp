// Sub-menu arrows in popup and drop-down menus (they share the drawing), and
// the popup menu's Images.

#include "MenuBarTestSupport.h"
#include "MenuLookTestSupport.h"

#include "common/TestSupport.h"
#include "platform/gui/ImageList.h"
#include "skin/VEXPopupMenu.h"
#include "skin/VEXPublic.h"

#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using namespace vex;
using menubartest::rgbOf;
using menulooktest::drawItem;
using menulooktest::menuItem;
using testsupport::rgbAt;
using testsupport::waitFor;

namespace {

// The columns of region in which some pixel has colour ink, with the rows
// they cover: a readable outline of a small shape.
QList<QPair<int, int>> inkColumns(const QImage &image, const QRect &region, unsigned ink)
{
    QList<QPair<int, int>> columns; // (x, number of ink rows)
    for (int x = region.left(); x <= region.right(); ++x) {
        int rows = 0;
        for (int y = region.top(); y <= region.bottom(); ++y)
            rows += rgbAt(image, x, y) == ink;
        if (rows)
            columns.append({x, rows});
    }
    return columns;
}

// A list of 16 x 16 pictures in flat colours, the first pixel of each in
// the list's transparent colour.
QImage colourStrip(std::initializer_list<QColor> colours)
{
    QImage strip(int(colours.size()) * 16, 16, QImage::Format_RGB32);
    int i = 0;
    for (const QColor &c : colours) {
        QPainter(&strip).fillRect(i * 16, 0, 16, 16, c);
        strip.setPixel(i * 16, 0, qRgb(255, 0, 255));
        ++i;
    }
    return strip;
}

QImage shotOf(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(SubMenuArrow, DrawnInTheItemsTextColourAtTheTrailingSide)
{
    QWidget form;
    TvexMenuLook look(&form);
    look.ApplyStyle(TvexUIStyle::DeepBlue);
    const QSize size(120, 21);
    const unsigned font = rgbOf(look.FontColor());
    const QRect trailing(90, 0, 30, 21);

    // A triangle 4 columns wide, 7, 5, 3 and 1 rows high, tip 9 pixels in
    // from the right edge, centred on the item's height.
    const QImage plain = drawItem(look, menuItem("More", true), size);
    EXPECT_EQ(inkColumns(plain, trailing, font), (QList<QPair<int, int>>{{108, 7}, {109, 5}, {110, 3}, {111, 1}}));
    EXPECT_EQ(rgbAt(plain, 108, 7), font);
    EXPECT_EQ(rgbAt(plain, 108, 13), font);
    EXPECT_EQ(rgbAt(plain, 108, 6), rgbOf(look.Color()));
    EXPECT_EQ(rgbAt(plain, 111, 10), font);

    // Highlighted: in the selected font colour over the selection.
    const QImage hot = drawItem(look, menuItem("More", true), size, true);
    EXPECT_EQ(inkColumns(hot, trailing, rgbOf(look.SelectedFontColor())).size(), 4);
    EXPECT_EQ(rgbAt(hot, 108, 10), rgbOf(look.SelectedFontColor()));
    EXPECT_EQ(rgbAt(hot, 112, 10), rgbOf(look.SelectedColor()));

    // Right to left: mirrored to the left side, the tip pointing left.
    const QImage mirrored = drawItem(look, menuItem("More", true), size, false, true);
    EXPECT_EQ(inkColumns(mirrored, QRect(0, 0, 30, 21), font),
              (QList<QPair<int, int>>{{8, 1}, {9, 3}, {10, 5}, {11, 7}}));
    EXPECT_TRUE(inkColumns(mirrored, trailing, font).isEmpty());

    // Items without a sub-menu have none.
    TvexMenuItem leaf;
    leaf.caption = QStringLiteral("More");
    EXPECT_TRUE(inkColumns(drawItem(look, leaf, size), trailing, font).isEmpty());
}

TEST(SubMenuArrow, AnOpenMenuShowsThem)
{
    QWidget form;
    form.resize(200, 100);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    // A popup menu: only the item that opens a sub-menu has the arrow.
    TvexPopupMenu popup(&form);
    popup.setUIStyle(TvexUIStyle::WinXP);
    QAction *leaf = popup.addAction(QStringLiteral("Leaf"));
    QMenu sub;
    sub.addAction(QStringLiteral("Inner"));
    QAction *branch = popup.addMenu(&sub);
    branch->setText(QStringLiteral("Branch"));
    popup.AttachItemHandlers(branch);
    popup.popup(form.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
    const unsigned font = rgbOf(popup.FontColor());
    const QImage shot = shotOf(&popup);
    const QRect b = popup.actionGeometry(branch);
    const QRect l = popup.actionGeometry(leaf);
    EXPECT_EQ(inkColumns(shot, QRect(b.right() - 15, b.top(), 16, b.height()), font).size(), 4);
    EXPECT_TRUE(inkColumns(shot, QRect(l.right() - 15, l.top(), 16, l.height()), font).isEmpty());
    popup.hide();
}

TEST(PopupMenuImages, ItemsDrawThePicturesOfTheirImageIndex)
{
    QWidget form;
    form.resize(200, 100);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto list = std::make_unique<platform::TImageList>();
    list->setBitmap(colourStrip({Qt::red, Qt::green}));
    TvexPopupMenu menu(&form);
    menu.setUIStyle(TvexUIStyle::DeepBlue);
    EXPECT_EQ(menu.Images(), nullptr);
    QAction *item = menu.addAction(QStringLiteral("Open"));
    item->setProperty(ImageIndexProperty, 1);
    QAction *beyond = menu.addAction(QStringLiteral("Beyond"));
    beyond->setProperty(ImageIndexProperty, 5);
    menu.setImages(list.get());
    EXPECT_EQ(menu.Images(), list.get());
    menu.popup(form.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));

    // The picture at (L + 4, T + 3), its transparent pixel left out.
    auto imageAt = [&](QAction *action, int dx, int dy) {
        const QRect g = menu.actionGeometry(action);
        return rgbAt(shotOf(&menu), g.left() + 4 + dx, g.top() + 3 + dy);
    };
    EXPECT_EQ(imageAt(item, 5, 5), 0x00FF00u);
    EXPECT_EQ(imageAt(item, 0, 0), rgbOf(menu.BarColor()));
    EXPECT_EQ(imageAt(beyond, 5, 5), rgbOf(menu.BarColor()));

    // A change to the list shows in the menu.
    list->setBitmap(colourStrip({Qt::red, Qt::blue}));
    EXPECT_TRUE(waitFor([&] { return imageAt(item, 5, 5) == 0x0000FFu; }));

    // The list going away leaves the menu with none, and no pictures.
    list.reset();
    EXPECT_EQ(menu.Images(), nullptr);
    EXPECT_TRUE(waitFor([&] { return imageAt(item, 5, 5) == rgbOf(menu.BarColor()); }));
    menu.hide();
}
