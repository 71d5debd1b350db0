#include "MenuBarTestSupport.h"

#include "platform/gui/FormLoader.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/SystemMetrics.h"
#include "skin/VEXMainMenu.h"
#include "skin/VEXPublic.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace vex;
using namespace menubartest;
using testsupport::rgbAt;

namespace {

// A list of three 16 x 16 pictures in flat colours (red, green, blue) with
// a magenta corner pixel, which is not drawn.
std::unique_ptr<platform::TImageList> colourList()
{
    auto list = std::make_unique<platform::TImageList>();
    QImage strip(48, 16, QImage::Format_RGB32);
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    for (int i = 0; i < 3; ++i) {
        QPainter(&strip).fillRect(i * 16, 0, 16, 16, colours[i]);
        strip.setPixel(i * 16, 0, qRgb(255, 0, 255));
    }
    list->setBitmap(strip);
    return list;
}

QImage drawItem(const TvexMainMenu &menu, const QAction *item, QSize size = QSize(160, 21))
{
    QImage image = testsupport::filledImage(size, Qt::magenta);
    QPainter painter(&image);
    menu.DrawMenuItem(item, painter, QRect(QPoint(0, 0), size), false);
    return image;
}

} // namespace

TEST(MainMenu, AttachesToTheFrameOfItsForm)
{
    SkinnedHost h(TvexUIStyle::WinXP);
    auto *menu = new TvexMainMenu(h.host.get());
    EXPECT_EQ(h.frame->Menu(), menu);
    EXPECT_EQ(menu->Frame(), h.frame);
    EXPECT_EQ(menu->UIStyle(), TvexUIStyle::WinXP);
    ASSERT_NE(h.frame->MenuBar(), nullptr);

    // The frame hands its style on.
    h.frame->setUIStyle(TvexUIStyle::MacOS);
    EXPECT_EQ(menu->UIStyle(), TvexUIStyle::MacOS);
    EXPECT_EQ(menu->MenuItemHeight(), 20);

    // A window's own menu bar gives way to the frame's.
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("Native"));
    auto *frame = new TvexForm(&window);
    auto *windowMenu = new TvexMainMenu(&window);
    EXPECT_EQ(frame->Menu(), windowMenu);
    EXPECT_TRUE(window.menuBar()->isHidden());

    // Without a frame on the form, nothing to attach to.
    QWidget bare;
    TvexMainMenu lonely(&bare);
    EXPECT_EQ(lonely.Frame(), nullptr);
    EXPECT_EQ(lonely.UIStyle(), TvexUIStyle::DeepBlue);
}

TEST(MainMenu, RemovalOfEitherSideClearsTheLink)
{
    SkinnedHost h;
    auto *menu = new TvexMainMenu(h.host.get());
    new TvexMenuAction(menu);
    ASSERT_NE(h.frame->MenuBar(), nullptr);
    delete menu;
    EXPECT_EQ(h.frame->Menu(), nullptr);
    EXPECT_EQ(h.frame->MenuBar(), nullptr);

    auto *kept = new TvexMainMenu(h.host.get());
    ASSERT_EQ(kept->Frame(), h.frame);
    // Another menu for the frame: the first one is let go.
    QMenu plain;
    h.frame->setMenu(&plain);
    EXPECT_EQ(kept->Frame(), nullptr);
    h.frame->setMenu(kept);
    EXPECT_EQ(kept->Frame(), h.frame);
    delete h.frame;
    EXPECT_EQ(kept->Frame(), nullptr);
}

TEST(MainMenu, ImagesSetAndCleared)
{
    SkinnedHost h;
    TvexMainMenu menu(h.host.get());
    EXPECT_EQ(menu.Images(), nullptr);
    // Its own check-mark list stands in: one picture.
    ASSERT_NE(menu.imageList(), nullptr);
    EXPECT_EQ(menu.imageList()->Count(), 1);

    auto *file = new TvexMenuAction(&menu);
    file->setCaption(QStringLiteral("&File"));
    auto *open = new TvexMenuAction(file);
    open->setCaption(QStringLiteral("Open"));
    open->setImageIndex(2);

    std::unique_ptr<platform::TImageList> list = colourList();
    menu.setImages(list.get());
    EXPECT_EQ(menu.Images(), list.get());
    QImage drawn = drawItem(menu, open);
    // Picture 2 at (4, 3), its magenta corner left out.
    EXPECT_EQ(rgbAt(drawn, 4 + 8, 3 + 8), 0x0000FFu);
    EXPECT_EQ(rgbAt(drawn, 4 + 15, 3 + 15), 0x0000FFu);
    EXPECT_EQ(rgbAt(drawn, 4, 3), rgbOf(menu.BarColor()));

    // Pictures added later show too.
    open->setImageIndex(3);
    QImage yellow(16, 16, QImage::Format_RGB32);
    yellow.fill(Qt::yellow);
    list->Add(yellow);
    EXPECT_EQ(rgbAt(drawItem(menu, open), 4 + 8, 3 + 8), 0xFFFF00u);

    // Cleared: the own list again, whose one picture index 3 is beyond.
    menu.setImages(nullptr);
    EXPECT_EQ(menu.Images(), nullptr);
    EXPECT_EQ(menu.imageList()->Count(), 1);
    drawn = drawItem(menu, open);
    EXPECT_EQ(rgbAt(drawn, 4 + 8, 3 + 8), rgbOf(menu.BarColor()));

    // A list that goes away is cleared as well.
    menu.setImages(list.get());
    list.reset();
    EXPECT_EQ(menu.Images(), nullptr);
    EXPECT_EQ(menu.imageList()->Count(), 1);
}

TEST(MainMenu, CheckMarkComesFromItsOwnList)
{
    SkinnedHost h;
    TvexMainMenu menu(h.host.get());
    auto *file = new TvexMenuAction(&menu);
    auto *wrap = new TvexMenuAction(file);
    wrap->setCaption(QStringLiteral("Wrap"));
    wrap->setChecked(true);
    const QImage mark = LoadSkinBitmap(QStringLiteral("MENU_CHECKED"));
    ASSERT_EQ(mark.size(), QSize(16, 16));
    const QImage drawn = drawItem(menu, wrap);
    const unsigned bar = rgbOf(menu.BarColor());
    int compared = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const unsigned m = rgbAt(mark, x, y);
            // White is the list's transparent colour: the bar shows there.
            EXPECT_EQ(rgbAt(drawn, 4 + x, 3 + y), m == 0xFFFFFFu ? bar : m) << x << "," << y;
            compared += m != 0xFFFFFFu;
        }
    }
    EXPECT_GT(compared, 10);
}

TEST(MainMenu, ItemChangesReachTheBar)
{
    SkinnedHost h;
    auto *menu = new TvexMainMenu(h.host.get());
    auto *file = new TvexMenuAction(menu);
    file->setCaption(QStringLiteral("&File"));
    new TvexMenuAction(file);
    auto *view = new TvexMenuAction(menu);
    view->setCaption(QStringLiteral("&View"));
    TvexMenuBar *bar = h.frame->MenuBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(buttonCaptions(bar), (QStringList{"&File", "&View"}));

    file->setCaption(QStringLiteral("&Document"));
    EXPECT_EQ(buttonCaptions(bar), (QStringList{"&Document", "&View"}));
    view->setEnabled(false);
    EXPECT_FALSE(bar->Buttons().at(1)->isEnabled());

    // Items added or taken away at run time get or lose their buttons.
    auto *help = new TvexMenuAction(menu);
    help->setCaption(QStringLiteral("&Help"));
    EXPECT_EQ(buttonCaptions(bar), (QStringList{"&Document", "&View", "&Help"}));
    delete view;
    EXPECT_EQ(buttonCaptions(bar), (QStringList{"&Document", "&Help"}));
    // A sub-item's change keeps the buttons as they are.
    auto *open = new TvexMenuAction(file);
    open->setCaption(QStringLiteral("Open"));
    EXPECT_EQ(buttonCaptions(bar), (QStringList{"&Document", "&Help"}));
}

TEST(MainMenu, UseSystemFontSetsTheBarFont)
{
    SkinnedHost h;
    auto *menu = new TvexMainMenu(h.host.get());
    new TvexMenuAction(menu);
    TvexMenuBar *bar = h.frame->MenuBar();
    menu->setFontName(QStringLiteral("DejaVu Serif"));
    menu->setFontSize(15);
    menu->setUseSystemFont(false);
    EXPECT_EQ(bar->font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(bar->font().pointSize(), 15);
    EXPECT_EQ(h.frame->MenuBarButtonFont(QFont()).pointSize(), 15);
    menu->setUseSystemFont(true);
    EXPECT_EQ(bar->font(), platform::menuFont());
}

TEST(MainMenu, StyleOfTheMenuDrawsTheBar)
{
    SkinnedHost h(TvexUIStyle::MacOS);
    auto *menu = new TvexMainMenu(h.host.get());
    auto *file = new TvexMenuAction(menu);
    file->setCaption(QStringLiteral("&File"));
    new TvexMenuAction(file);
    h.host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.host.get()));
    // The frame is MacOS, the menu WinXP: the bar draws in WinXP.
    menu->setUIStyle(TvexUIStyle::WinXP);
    TvexMenuBarButton *button = h.frame->MenuBar()->Buttons().at(0);
    hover(button);
    const QImage hot = grabbed(button);
    EXPECT_EQ(rgbAt(hot, 0, 0), rgbOf(0xC66931));
    EXPECT_EQ(rgbAt(hot, 2, 2), rgbOf(0xEFD3C6));
    const QImage bar = grabbed(h.frame->MenuBar());
    EXPECT_EQ(rgbAt(bar, bar.width() - 2, 3), rgbOf(h.frame->MenuBarColor()));
}

TEST(MainMenu, ThemeColoursOfTheMenuDrawTheBar)
{
    SkinnedHost h;
    TvexFileTheme theme(h.host.get());
    theme.setThemeFile(QStringLiteral(":/themes/Graphite.theme"));
    ASSERT_TRUE(theme.Loaded());
    auto *menu = new TvexMainMenu(h.host.get());
    auto *file = new TvexMenuAction(menu);
    file->setCaption(QStringLiteral("&File"));
    menu->setFileTheme(&theme);
    menu->setUIStyle(TvexUIStyle::FromThemeFile);
    h.host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.host.get()));
    TvexMenuBarButton *button = h.frame->MenuBar()->Buttons().at(0);
    hover(button);
    const QImage hot = grabbed(button);
    EXPECT_EQ(rgbAt(hot, 0, 0), rgbOf(theme.GetColor(MenuSelectedBorderColor)));
    EXPECT_EQ(rgbAt(hot, 2, 2), rgbOf(theme.GetColor(MenuSelectedBackgroundColor)));
    unhover(button);
    const QImage plain = grabbed(button);
    const unsigned barColor = rgbOf(h.frame->MenuBarColor());
    const platform::TColor expected =
        theme.GetColor(ControlFontColor) == 0x030000 ? 0xFFFFFF : theme.GetColor(MenuFontColor);
    EXPECT_EQ(inkIn(plain, plain.rect(), barColor), rgbOf(expected));
}

TEST(MenuItem, ChecksRadioGroupsAndClicks)
{
    QMenu menu;
    auto *plain = new TvexMenuAction(&menu);
    plain->setChecked(true);
    QSignalSpy clicks(plain, &TvexMenuAction::OnClick);
    plain->trigger();
    // Without AutoCheck a click leaves the mark as it was.
    EXPECT_TRUE(plain->Checked());
    EXPECT_TRUE(plain->isChecked());
    EXPECT_EQ(clicks.count(), 1);
    plain->setAutoCheck(true);
    plain->trigger();
    EXPECT_FALSE(plain->isChecked());

    auto *a = new TvexMenuAction(&menu);
    auto *b = new TvexMenuAction(&menu);
    auto *other = new TvexMenuAction(&menu);
    for (TvexMenuAction *item : {a, b, other}) {
        item->setRadioItem(true);
        item->setAutoCheck(true);
    }
    other->setGroupIndex(1);
    a->setChecked(true);
    other->setChecked(true);
    b->trigger();
    EXPECT_TRUE(b->Checked());
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(other->Checked());
    b->trigger();
    EXPECT_TRUE(b->Checked());

    b->setDefault(true);
    EXPECT_EQ(menu.defaultAction(), b);
    EXPECT_TRUE(b->Default());
    b->setDefault(false);
    EXPECT_EQ(menu.defaultAction(), nullptr);

    plain->setShortCut(QStringLiteral("Ctrl+Shift+S"));
    EXPECT_EQ(plain->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(plain->ShortCut(), QStringLiteral("Ctrl+Shift+S"));
}

// -- loaded from a form description

namespace {

class MenuForm : public QWidget
{
    Q_OBJECT
public:
    int opens = 0;
public slots:
    void Open1Click(QObject *) { ++opens; }
};

const char MenuFormText[] = R"(
object FMenu : MenuForm {
    ClientWidth = 400  ClientHeight = 240
    object vexForm1 : TvexForm {
        UIStyle = WinXP
        MenuBarHeight = 24
    }
    object ImageList1 : TImageList {
        Width = 16  Height = 16
    }
    object MainMenu1 : TvexMainMenu {
        Images = ImageList1
        UIStyle = Protein
        UseSystemFont = false
        object File1 : TMenuItem {
            Caption = "&File"
            object Open1 : TMenuItem { Caption = "&Open..."  ShortCut = "Ctrl+O"  ImageIndex = 0  OnClick = Open1Click }
            object N1 : TMenuItem { Caption = "-" }
            object Exit1 : TMenuItem { Caption = "E&xit"  Enabled = false }
        }
        object Help1 : TMenuItem {
            Caption = "&Help"
            object About1 : TMenuItem { Caption = "&About"  Default = true }
        }
    }
}
)";

} // namespace

TEST(MainMenu, LoadedFromAFormDescription)
{
    platform::FormLoader loader;
    loader.registerClass<TvexForm>(QStringLiteral("TvexForm"));
    loader.registerClass<TvexMainMenu>(QStringLiteral("TvexMainMenu"));
    loader.registerClass<TvexMenuAction>(QStringLiteral("TMenuItem"));
    loader.registerClass<platform::TImageList>(QStringLiteral("TImageList"));
    MenuForm form;
    loader.loadFromText(&form, MenuFormText, QString());

    auto *frame = form.findChild<TvexForm *>(QStringLiteral("vexForm1"));
    auto *menu = form.findChild<TvexMainMenu *>(QStringLiteral("MainMenu1"));
    ASSERT_TRUE(frame && menu);
    EXPECT_EQ(frame->Menu(), menu);
    EXPECT_EQ(menu->UIStyle(), TvexUIStyle::Protein);
    EXPECT_FALSE(menu->UseSystemFont());
    EXPECT_EQ(menu->Images(), form.findChild<platform::TImageList *>(QStringLiteral("ImageList1")));
    ASSERT_NE(frame->MenuBar(), nullptr);
    EXPECT_EQ(buttonCaptions(frame->MenuBar()), (QStringList{"&File", "&Help"}));
    EXPECT_EQ(frame->MenuBar()->ButtonHeight(), 24);

    QMenu *fileMenu = menu->actions().at(0)->menu();
    ASSERT_NE(fileMenu, nullptr);
    const QList<QAction *> items = fileMenu->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items.at(0)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(items.at(0)->property(ImageIndexProperty).toInt(), 0);
    EXPECT_TRUE(items.at(1)->isSeparator());
    EXPECT_FALSE(items.at(2)->isEnabled());
    EXPECT_EQ(menu->actions().at(1)->menu()->defaultAction(), menu->actions().at(1)->menu()->actions().at(0));
    items.at(0)->trigger();
    EXPECT_EQ(form.opens, 1);

    // The drop-downs are measured and drawn by the menu's look.
    EXPECT_EQ(fileMenu->style(), menu->look().itemStyle());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    fileMenu->popup(form.mapToGlobal(QPoint(10, 40)));
    ASSERT_TRUE(testsupport::waitFor([&] { return fileMenu->isVisible(); }));
    EXPECT_EQ(fileMenu->actionGeometry(items.at(0)).height(), menu->MenuItemHeight());
    EXPECT_EQ(fileMenu->actionGeometry(items.at(1)).height(), menu->SeparatorHeight());
    fileMenu->hide();

    // Items added to a drop-down later are drawn the same way.
    auto *more = new TvexMenuAction(menu->actions().at(1));
    auto *deeper = new TvexMenuAction(more);
    deeper->setCaption(QStringLiteral("Deeper"));
    ASSERT_NE(more->menu(), nullptr);
    EXPECT_EQ(more->menu()->style(), menu->look().itemStyle());
}

#include "MainMenuTest.moc"
