#include "MenuBarTestSupport.h"

#include "platform/gui/Align.h"
#include "skin/VEXPublic.h"
#include "skin/VEXThemes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vex;
using namespace menubartest;
using testsupport::ModalScript;
using testsupport::rgbAt;
using testsupport::waitFor;

namespace {

// A form with a frame of the given style whose Menu is a plain menu with
// "&File" (Open, Close), "&Edit" (Copy) and "&Help" (no sub-items).
struct MenuHost : SkinnedHost
{
    explicit MenuHost(TvexUIStyle style = TvexUIStyle::DeepBlue) : SkinnedHost(style)
    {
        menu = new QMenu(host.get());
        file = addTopItem(menu, QStringLiteral("&File"), {QStringLiteral("Open"), QStringLiteral("Close")});
        edit = addTopItem(menu, QStringLiteral("&Edit"), {QStringLiteral("Copy")});
        help = addTopItem(menu, QStringLiteral("&Help"));
        frame->setMenu(menu);
    }

    TvexMenuBar *bar() const { return frame->MenuBar(); }
    TvexMenuBarButton *button(int i) const { return bar()->Buttons().at(i); }

    QMenu *menu = nullptr;
    QAction *file = nullptr;
    QAction *edit = nullptr;
    QAction *help = nullptr;
};

// A bar whose captions are drawn without smoothing, shown so that the
// buttons have their laid-out sizes.
void showCrisp(MenuHost &h)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    h.bar()->setFont(font);
    h.host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.host.get()));
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Ends whatever modal menu loop a failed step left running.
void closeMenus(std::initializer_list<QMenu *> menus)
{
    for (QMenu *menu : menus)
        menu->hide();
}

} // namespace

TEST(MenuBar, BuiltUnderTheTitleBarRebuiltAndDroppedWithTheMenu)
{
    MenuHost h;
    ASSERT_NE(h.bar(), nullptr);
    EXPECT_EQ(h.bar()->Frame(), h.frame);
    EXPECT_EQ(buttonCaptions(h.bar()), (QStringList{"&File", "&Edit", "&Help"}));
    h.host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.host.get()));
    EXPECT_EQ(h.bar()->y(), h.frame->TitleBar()->y() + h.frame->TitleBar()->height());
    EXPECT_EQ(h.bar()->height(), 22);
    // Buttons stand left to right in the menu's order.
    const QList<TvexMenuBarButton *> buttons = h.bar()->Buttons();
    EXPECT_EQ(buttons.at(0)->x(), 0);
    EXPECT_LT(buttons.at(0)->x(), buttons.at(1)->x());
    EXPECT_LT(buttons.at(1)->x(), buttons.at(2)->x());

    // A panel aligned to the top of the frame stays under the bar.
    auto *panel = new QWidget(h.frame);
    panel->resize(50, 40);
    panel->show();
    platform::setAlign(panel, platform::alTop);
    EXPECT_EQ(panel->y(), h.bar()->y() + h.bar()->height());

    addTopItem(h.menu, QStringLiteral("&Tools"), {QStringLiteral("Options")});
    h.frame->RebuildMenuBar();
    EXPECT_EQ(buttonCaptions(h.bar()), (QStringList{"&File", "&Edit", "&Help", "&Tools"}));

    const QPointer<TvexMenuBar> old = h.bar();
    h.frame->setMenu(nullptr);
    EXPECT_EQ(h.frame->MenuBar(), nullptr);
    EXPECT_EQ(h.frame->Menu(), nullptr);
    ASSERT_TRUE(old);
    EXPECT_TRUE(old->isHidden());
    flushDeletes();
    EXPECT_FALSE(old);
    // The space of the bar goes back to the panel.
    EXPECT_EQ(panel->y(), h.frame->TitleBar()->height());

    // A new menu makes a new bar; freeing that menu takes the bar away.
    auto *other = new QMenu(h.host.get());
    addTopItem(other, QStringLiteral("&View"), {QStringLiteral("Zoom")});
    h.frame->setMenu(other);
    ASSERT_NE(h.bar(), nullptr);
    EXPECT_EQ(buttonCaptions(h.bar()), QStringList{"&View"});
    delete other;
    EXPECT_EQ(h.frame->MenuBar(), nullptr);
    EXPECT_EQ(h.frame->Menu(), nullptr);
}

TEST(MenuBar, NoneOnAnMdiChildOrAnInertFrame)
{
    QMdiArea area;
    auto *child = area.addSubWindow(new QWidget);
    auto *frame = new TvexForm(child);
    QMenu menu;
    addTopItem(&menu, QStringLiteral("&File"), {QStringLiteral("Open")});
    frame->setMenu(&menu);
    EXPECT_EQ(frame->Menu(), &menu);
    EXPECT_EQ(frame->MenuBar(), nullptr);
    frame->RebuildMenuBar();
    EXPECT_EQ(frame->MenuBar(), nullptr);

    // A second frame on a form is a plain panel: it stores the menu only.
    SkinnedHost h;
    auto *second = new TvexForm(h.host.get());
    second->setMenu(&menu);
    EXPECT_EQ(second->Menu(), &menu);
    EXPECT_EQ(second->MenuBar(), nullptr);
}

TEST(MenuBar, CaptionsAndStatesReachTheButtons)
{
    MenuHost h;
    h.file->setText(QStringLiteral("&Document"));
    h.edit->setEnabled(false);
    // A plain menu does not report its changes: the frame is told.
    EXPECT_EQ(h.button(0)->text(), QStringLiteral("&File"));
    h.frame->RefreshMenuBarItems();
    EXPECT_EQ(h.button(0)->text(), QStringLiteral("&Document"));
    EXPECT_FALSE(h.button(1)->isEnabled());
    EXPECT_TRUE(h.button(2)->isEnabled());

    h.host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.host.get()));
    const int narrow = h.button(2)->width();
    h.help->setText(QStringLiteral("&Help and information"));
    h.frame->RefreshMenuBarItems();
    EXPECT_TRUE(waitFor([&] { return h.button(2)->width() > narrow; })) << narrow;

    // A hidden top-level item has no button to show.
    h.edit->setVisible(false);
    h.frame->RefreshMenuBarItems();
    const auto packed = [&] { return h.button(2)->x() == h.button(0)->x() + h.button(0)->width(); };
    EXPECT_TRUE(waitFor([&] { return !h.button(1)->isVisible() && packed(); }));
    EXPECT_FALSE(h.button(1)->isVisible());
    EXPECT_EQ(h.button(2)->x(), h.button(0)->x() + h.button(0)->width());
}

TEST(MenuBar, HeightReachesTheBarAndEveryButton)
{
    MenuHost h;
    h.host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(h.host.get()));
    h.frame->setMenuBarHeight(30);
    EXPECT_EQ(h.frame->MenuBarHeight(), 30);
    EXPECT_TRUE(waitFor([&] { return h.bar()->height() == 30; }));
    EXPECT_EQ(h.bar()->height(), 30);
    for (TvexMenuBarButton *button : h.bar()->Buttons())
        EXPECT_EQ(button->height(), 30);

    // Stored without a bar, taken by the next one.
    h.frame->setMenu(nullptr);
    h.frame->setMenuBarHeight(26);
    h.frame->setMenu(h.menu);
    EXPECT_TRUE(waitFor([&] { return h.bar()->height() == 26 && h.button(0)->height() == 26; }));
    EXPECT_EQ(h.bar()->height(), 26);
    EXPECT_EQ(h.button(0)->height(), 26);
}

TEST(MenuBar, ColorFollowsMenuBarColorAndTheStyle)
{
    MenuHost h(TvexUIStyle::WinXP);
    EXPECT_EQ(h.bar()->Color(), h.frame->Color());
    h.frame->setMenuBarColor(0x123456);
    EXPECT_EQ(h.bar()->Color(), 0x123456);
    showCrisp(h);
    const QImage bar = grabbed(h.bar());
    EXPECT_EQ(rgbAt(bar, bar.width() - 3, 5), rgbOf(0x123456));
    // Applying a style resets it to the style's frame colour.
    h.frame->setUIStyle(TvexUIStyle::Protein);
    EXPECT_EQ(h.bar()->Color(), 0xFBFBFB);
}

TEST(MenuBar, MacOSBackgroundAndHotButton)
{
    MenuHost h(TvexUIStyle::MacOS);
    showCrisp(h);
    const QImage barPicture = LoadSkinBitmap(QStringLiteral("MACOS_MENU_BAR"));
    const QImage select = LoadSkinBitmap(QStringLiteral("MACOS_MENU_SELECT"));
    ASSERT_EQ(barPicture.size(), QSize(1, 22));
    ASSERT_EQ(select.size(), QSize(1, 21));

    // The 1 x 22 picture stretched over the bar, past the last button too.
    QImage bar = grabbed(h.bar());
    for (int y = 0; y < 22; ++y)
        EXPECT_EQ(rgbAt(bar, bar.width() - 2, y), rgbAt(barPicture, 0, y)) << "row " << y;
    // A plain button shows the bar under its caption.
    TvexMenuBarButton *file = h.button(0);
    QImage normal = grabbed(file);
    EXPECT_EQ(rgbAt(normal, 1, 1), rgbAt(barPicture, 0, 1));
    EXPECT_EQ(inkIn(normal, normal.rect(), rgbAt(normal, 1, 12)), 0x000000u);

    hover(file);
    EXPECT_TRUE(file->IsHot());
    const QImage hot = grabbed(file);
    // The 1 x 21 selection picture stretched over the button's 22 rows.
    for (int y = 0; y < hot.height(); ++y) {
        // Nearest neighbour: the source row under the centre of row y.
        const int row = int((y + 0.5) * select.height() / hot.height());
        EXPECT_EQ(rgbAt(hot, 1, y), rgbAt(select, 0, row)) << "row " << y;
        EXPECT_EQ(rgbAt(hot, hot.width() - 1, y), rgbAt(select, 0, row)) << "row " << y;
    }
    // White caption.
    const QRect caption(4, 2, hot.width() - 8, hot.height() - 4);
    EXPECT_EQ(inkIn(hot, caption, rgbAt(select, 0, 10)), 0xFFFFFFu);
    unhover(file);
    EXPECT_FALSE(file->IsHot());
    EXPECT_EQ(grabbed(file), normal);
}

TEST(MenuBar, WinXPHotSelectedAndDisabledButtons)
{
    MenuHost h(TvexUIStyle::WinXP);
    h.edit->setEnabled(false);
    h.frame->RefreshMenuBarItems();
    showCrisp(h);
    const unsigned barColor = rgbOf(h.frame->MenuBarColor());
    const unsigned fill = rgbOf(0xEFD3C6), outline = rgbOf(0xC66931);

    TvexMenuBarButton *file = h.button(0);
    const int w = file->width(), hgt = file->height();
    hover(file);
    QImage hot = grabbed(file);
    EXPECT_EQ(rgbAt(hot, 0, 0), outline);
    EXPECT_EQ(rgbAt(hot, w - 1, hgt - 1), outline);
    EXPECT_EQ(rgbAt(hot, w - 1, hgt / 2), outline);
    EXPECT_EQ(rgbAt(hot, 1, 1), fill);
    EXPECT_EQ(inkIn(hot, QRect(2, 2, w - 4, hgt - 4), fill), 0x000000u);
    const auto hotInk = inkColumns(hot, QRect(2, 2, w - 4, hgt - 4), fill);

    // Selected: fill and outline end 2 pixels short of the right edge, the
    // caption stays centred between left + 2 and that point.
    file->setDown(true);
    EXPECT_TRUE(file->IsSelected());
    QImage down = grabbed(file);
    EXPECT_EQ(rgbAt(down, w - 1, hgt / 2), barColor);
    EXPECT_EQ(rgbAt(down, w - 2, hgt / 2), barColor);
    EXPECT_EQ(rgbAt(down, w - 3, hgt / 2), outline);
    EXPECT_EQ(rgbAt(down, w - 3, 0), outline);
    EXPECT_EQ(rgbAt(down, w - 4, 1), fill);
    EXPECT_EQ(rgbAt(down, 0, hgt / 2), outline);
    const auto downInk = inkColumns(down, QRect(2, 2, w - 6, hgt - 4), fill);
    EXPECT_EQ(downInk, hotInk);
    file->setDown(false);
    unhover(file);

    // Neither: the bar's colour and a black caption; disabled: grey.
    QImage plain = grabbed(file);
    EXPECT_EQ(rgbAt(plain, 0, 0), barColor);
    EXPECT_EQ(inkIn(plain, plain.rect(), barColor), 0x000000u);
    QImage disabled = grabbed(h.button(1));
    EXPECT_EQ(inkIn(disabled, disabled.rect(), barColor), 0x808080u);
    // A disabled button does not light up under the mouse.
    hover(h.button(1));
    EXPECT_FALSE(h.button(1)->IsHot());
}

TEST(MenuBar, OtherBuiltInStylesUseTheirSelectionColours)
{
    const QPair<TvexUIStyle, platform::TColor> styles[] = {
        {TvexUIStyle::DeepBlue, 0xA04A44}, {TvexUIStyle::Protein, 0xC4302D}, {TvexUIStyle::BlueGlass, 0xEC5E5E}};
    for (const auto &[style, selected] : styles) {
        MenuHost h(style);
        showCrisp(h);
        hover(h.button(0));
        const QImage hot = grabbed(h.button(0));
        EXPECT_EQ(rgbAt(hot, 0, 0), rgbOf(selected)) << int(style);
        EXPECT_EQ(rgbAt(hot, 3, 3), rgbOf(selected)) << int(style);
        EXPECT_EQ(inkIn(hot, QRect(2, 2, hot.width() - 4, hot.height() - 4), rgbOf(selected)), 0xFFFFFFu) << int(style);
        // Only MacOS has a bar picture.
        const QImage bar = grabbed(h.bar());
        EXPECT_EQ(rgbAt(bar, bar.width() - 2, 3), rgbOf(h.frame->MenuBarColor())) << int(style);
    }
}

TEST(MenuBar, ButtonsRunTheirItemsAndDropTheirSubMenusDown)
{
    MenuHost h;
    showCrisp(h);
    QSignalSpy helpRun(h.help, &QAction::triggered);
    QTest::mouseClick(h.button(2), Qt::LeftButton);
    EXPECT_EQ(helpRun.count(), 1);

    // Pressing File drops its sub-menu down under the button; moving onto
    // Edit while it is open opens Edit's instead.
    QMenu *fileMenu = h.file->menu();
    QMenu *editMenu = h.edit->menu();
    QPoint fileAt, editAt;
    bool fileWasSelected = false;
    ModalScript script({{[&] { return fileMenu->isVisible(); },
                         [&] {
                             fileAt = fileMenu->pos();
                             fileWasSelected = h.button(0)->IsSelected();
                             const QPoint overEdit = h.button(1)->mapToGlobal(QPoint(5, 5));
                             QMouseEvent move(QEvent::MouseMove, fileMenu->mapFromGlobal(QPointF(overEdit)),
                                              QPointF(overEdit), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
                             QCoreApplication::sendEvent(fileMenu, &move);
                         }},
                        {[&] { return editMenu->isVisible(); },
                         [&] {
                             editAt = editMenu->pos();
                             editMenu->hide();
                         }}},
                       [&] {
                           closeMenus({fileMenu, editMenu});
                       });
    QTest::mousePress(h.button(0), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(waitFor([&] { return script.finished() && !fileMenu->isVisible() && !h.button(0)->IsSelected(); }))
        << "stopped at step " << script.failedStep();
    EXPECT_EQ(fileAt, h.button(0)->mapToGlobal(QPoint(0, h.button(0)->height())));
    EXPECT_TRUE(fileWasSelected);
    EXPECT_EQ(editAt, h.button(1)->mapToGlobal(QPoint(0, h.button(1)->height())));
    EXPECT_FALSE(fileMenu->isVisible());
    EXPECT_FALSE(h.button(0)->IsSelected());
}

TEST(MenuBar, AccessKeysOpenDropDownsAndArrowsMoveOn)
{
    MenuHost h;
    showCrisp(h);
    h.host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(h.host.get()));
    QMenu *fileMenu = h.file->menu();
    QMenu *editMenu = h.edit->menu();
    bool fileOpened = false, editOpened = false;
    ModalScript script({{[&] { return fileMenu->isVisible(); },
                         [&] {
                             fileOpened = h.button(0)->IsSelected();
                             // Right moves on to the next drop-down.
                             QTest::keyClick(fileMenu, Qt::Key_Right);
                         }},
                        {[&] { return editMenu->isVisible(); },
                         [&] {
                             editOpened = !fileMenu->isVisible();
                             editMenu->hide();
                         }}},
                       [&] {
                           closeMenus({fileMenu, editMenu});
                       });
    QTest::keyClick(h.host.get(), Qt::Key_F, Qt::AltModifier);
    EXPECT_TRUE(waitFor([&] { return script.finished() && !editMenu->isVisible(); }))
        << "stopped at step " << script.failedStep();
    EXPECT_TRUE(fileOpened);
    EXPECT_TRUE(editOpened);
    EXPECT_FALSE(editMenu->isVisible());
}

TEST(MenuBar, AnItemThatDropsTheMenuLeavesNoDanglingButton)
{
    MenuHost h;
    showCrisp(h);
    // The item's handler takes the whole bar away while its button is
    // being clicked.
    QObject::connect(h.help, &QAction::triggered, h.frame, [&] { h.frame->setMenu(nullptr); });
    QTest::mouseClick(h.button(2), Qt::LeftButton);
    EXPECT_EQ(h.frame->MenuBar(), nullptr);
    flushDeletes();
    // Whatever was still queued for the gone button is delivered now.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// -- shortcuts

namespace {

struct ShortcutHost : MenuHost
{
    ShortcutHost()
    {
        open = file->menu()->actions().at(0);
        open->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
        edit->menu()->actions().at(0)->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));
        edit->setEnabled(false);
        editor = new QLineEdit(frame);
        editor->move(10, 80);
    }
    QAction *open = nullptr;
    QLineEdit *editor = nullptr;
};

bool showActive(QWidget *w)
{
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowExposed(w) && QTest::qWaitForWindowActive(w);
}

} // namespace

TEST(ShortCuts, RunTheItemWhileTheHostIsActiveOnly)
{
    ShortcutHost h;
    QSignalSpy opened(h.open, &QAction::triggered);
    QSignalSpy copied(h.edit->menu()->actions().at(0), &QAction::triggered);
    ASSERT_TRUE(showActive(h.host.get()));
    h.editor->setFocus();

    QTest::keyClick(h.editor, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(opened.count(), 1);
    // The text field does not see a key the menu took.
    EXPECT_TRUE(h.editor->text().isEmpty());
    // An item under a disabled top-level item does not run.
    QTest::keyClick(h.editor, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(copied.count(), 0);
    // Keys that are no shortcut pass on.
    QTest::keyClick(h.editor, Qt::Key_A);
    EXPECT_EQ(h.editor->text(), QStringLiteral("a"));

    // With another form active, the key belongs to that form.
    QWidget other;
    auto *otherEditor = new QLineEdit(&other);
    ASSERT_TRUE(showActive(&other));
    otherEditor->setFocus();
    QTest::keyClick(otherEditor, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(opened.count(), 1);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(h.frame->HandleShortCut(&press), 0);

    ASSERT_TRUE(showActive(h.host.get()));
    EXPECT_EQ(h.frame->HandleShortCut(&press), 1);
    EXPECT_EQ(opened.count(), 2);
}

TEST(ShortCuts, NotWhileAMenuIsOpen)
{
    ShortcutHost h;
    QSignalSpy opened(h.open, &QAction::triggered);
    ASSERT_TRUE(showActive(h.host.get()));
    QMenu popup;
    popup.addAction(QStringLiteral("Something"));
    popup.popup(h.host->mapToGlobal(QPoint(20, 20)));
    ASSERT_TRUE(testsupport::waitFor([&] { return popup.isVisible(); }));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(h.frame->HandleShortCut(&press), 0);
    popup.hide();
    EXPECT_EQ(h.frame->HandleShortCut(&press), 1);
    EXPECT_EQ(opened.count(), 1);
}
