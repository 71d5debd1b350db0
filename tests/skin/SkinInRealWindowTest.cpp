// The skin's faults as a person meets them: real windows on a virtual X
// server without a window manager, the pointer moved by the X server
// (QCursor::setPos warps it), and what the screen then shows read back
// pixel by pixel.

#include "MenuBarTestSupport.h"
#include "TitleBarTestSupport.h"

#include "common/TestSupport.h"
#include "skin/VEXForm.h"
#include "skin/VEXFormMenuBar.h"
#include "skin/VEXMgr.h"
#include "skin/VEXPublic.h"
#include "skin/VEXTitleBar.h"

#include "ThemeFileWriter.h"

#include <QCursor>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

using namespace vex;
using testsupport::ModalScript;
using testsupport::rgbAt;
using testsupport::waitFor;

namespace {

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

#define REQUIRE_X11()                                                                                                  \
    if (!onX11())                                                                                                      \
    GTEST_SKIP() << "needs an X server (see SkinOnX11)"

QImage screenAt(const QRect &area)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// A shown window with a frame of the given style.
struct Shown
{
    Shown(TvexUIStyle style, QRect at, TvexFileTheme *theme = nullptr)
    {
        host.setGeometry(at);
        frame = new TvexForm(&host);
        if (theme)
            frame->setFileTheme(theme);
        frame->setUIStyle(style);
    }
    bool show()
    {
        host.show();
        host.raise();
        host.activateWindow();
        return QTest::qWaitForWindowExposed(&host);
    }
    QWidget host;
    TvexForm *frame = nullptr;
};

// The gallery's menu: five top-level items with drop-downs.
QMenu *galleryMenu(QWidget *owner)
{
    auto *menu = new QMenu(owner);
    for (const char *caption : {"&File", "&Style", "&Menu", "&Grey", "&Help"})
        menubartest::addTopItem(menu, QString::fromLatin1(caption), {QStringLiteral("One"), QStringLiteral("Two")});
    return menu;
}

// The colour of a hot or selected menu-bar button's face in style.
unsigned hotFace(TvexUIStyle style)
{
    if (style == TvexUIStyle::MacOS) {
        const QImage select = LoadSkinBitmap(QStringLiteral("MACOS_MENU_SELECT"));
        return select.pixel(0, select.height() / 2) & 0xFFFFFF;
    }
    return menubartest::rgbOf(GetBuiltInColor(style, MenuSelectedBackgroundColor));
}

int pixelsOf(const QImage &image, unsigned rgb)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += rgbAt(image, x, y) == rgb ? 1 : 0;
    return count;
}

// The screen at a button's place.
QImage onScreen(const QWidget *widget)
{
    return screenAt(QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()));
}

// Where a visible title-bar button of the given kind lies, in the host
// window's coordinates.
QPoint titleButtonAt(const Shown &s, TvexTitleBarBtnType type)
{
    TvexTitleBar *bar = s.frame->TitleBar();
    const TvexTitleBar::Layout layout = bar->ComputeLayout();
    for (const TvexTitleBar::Layout::Place &place : layout.buttons)
        if (bar->Buttons()->Items(place.index)->ButtonType() == type)
            return bar->mapTo(&s.host, place.hit.center());
    return {};
}

} // namespace

// Runs the SkinX11 cases in a child process on a virtual X server.
TEST(SkinOnX11, RunsOnAVirtualXServer)
{
    if (onX11())
        GTEST_SKIP() << "already on X11";
    testsupport::expectSuitePassesOnXvfb("SkinX11", 240000);
}

// The drop-down holds the pointer while it is open, so the button never
// hears it leave; once the drop-down closes (Escape, or a click elsewhere)
// the button must look as the pointer's place says.
TEST(SkinX11, MenuBarButtonDropsItsHighlightWhenItsDropDownCloses)
{
    REQUIRE_X11();
    for (TvexUIStyle style : {TvexUIStyle::MacOS, TvexUIStyle::WinXP})
        for (bool byEscape : {true, false}) {
            SCOPED_TRACE(std::string(byEscape ? "closed by Escape" : "closed by a click elsewhere") + " in style "
                         + std::to_string(int(style)));
            // Each window elsewhere, so that it never opens under the pointer.
            static int round = 0;
            Shown s(style, QRect(60 + 90 * (round % 4), 60 + 60 * (round % 4), 420, 260));
            ++round;
            s.frame->setMenu(galleryMenu(&s.host));
            ASSERT_TRUE(s.show());
            TvexMenuBarButton *file = s.frame->MenuBar()->Buttons().at(0);
            QMenu *dropDown = file->Item()->menu();
            const QPoint away = s.host.mapToGlobal(QPoint(300, 200));

            QCursor::setPos(away);
            QTest::qWait(50);
            QCursor::setPos(file->mapToGlobal(file->rect().center()));
            ASSERT_TRUE(waitFor([&] { return file->IsHot(); }));
            ModalScript script({{[&] { return dropDown->isVisible(); },
                                 [&] {
                                     QCursor::setPos(away);
                                     if (byEscape)
                                         QTest::keyClick(dropDown, Qt::Key_Escape);
                                     else
                                         QTest::mouseClick(s.host.windowHandle(), Qt::LeftButton, {},
                                                           s.host.mapFromGlobal(away));
                                 }}},
                               [&] { dropDown->hide(); });
            QTest::mousePress(file, Qt::LeftButton, {}, file->rect().center());
            ASSERT_TRUE(waitFor([&] { return script.finished() && !dropDown->isVisible(); }))
                << "stopped at step " << script.failedStep();
            // The press went to the drop-down's loop; end it, as the hand does.
            QTest::mouseRelease(file, Qt::LeftButton, {}, file->mapFromGlobal(away));
            EXPECT_TRUE(waitFor([&] { return !file->IsHot() && !file->IsSelected(); }));
            EXPECT_TRUE(waitFor([&] { return pixelsOf(onScreen(file), hotFace(style)) == 0; }))
                << "the screen still shows the highlight";
        }
}

// A bar too narrow for its buttons wraps them into rows, every one of them
// on the screen and opening its drop-down under the pointer.
TEST(SkinX11, NarrowMenuBarWrapsItsButtonsWithinReach)
{
    REQUIRE_X11();
    Shown s(TvexUIStyle::WinXP, QRect(100, 100, 150, 240));
    s.frame->setMenu(galleryMenu(&s.host));
    ASSERT_TRUE(s.show());
    TvexMenuBar *bar = s.frame->MenuBar();
    ASSERT_TRUE(waitFor([&] { return bar->RowCount() > 1; })) << "one row of " << bar->width() << " px";
    EXPECT_EQ(bar->height(), bar->RowCount() * bar->ButtonHeight());
    EXPECT_EQ(s.frame->TitleBar()->geometry().bottom() + 1, bar->y()) << "the bar stays under the title bar";

    const QRect screenArea = s.host.geometry();
    for (TvexMenuBarButton *button : bar->Buttons()) {
        SCOPED_TRACE(button->text().toStdString());
        const QRect place(button->mapToGlobal(QPoint(0, 0)), button->size());
        EXPECT_TRUE(bar->rect().contains(button->geometry())) << "within the bar";
        EXPECT_TRUE(screenArea.contains(place)) << "within the window";
        QMenu *dropDown = button->Item()->menu();
        ModalScript script({{[&] { return dropDown->isVisible(); }, [&] { dropDown->hide(); }}},
                           [&] { dropDown->hide(); });
        QCursor::setPos(place.center());
        ASSERT_TRUE(waitFor([&] { return button->IsHot(); }));
        QTest::mousePress(button, Qt::LeftButton, {}, button->rect().center());
        EXPECT_TRUE(waitFor([&] { return script.finished(); })) << "its drop-down did not open";
        QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center());
    }
    // Wide again: one row, and the client area takes the room back.
    s.host.resize(600, 240);
    EXPECT_TRUE(waitFor([&] { return bar->RowCount() == 1 && bar->height() == bar->ButtonHeight(); }));
}

// A theme may ask for a window wider than any screen: the window stays
// within the work area, and its title-bar buttons on the screen.
TEST(SkinX11, ThemeMinimumWidthIsBoundedByTheWorkArea)
{
    REQUIRE_X11();
    QTemporaryDir dir;
    themepack::ThemeFileWriter writer;
    writer.addInteger(QStringLiteral("FormMinWidthInt"), ThemeSizeLimit);
    writer.addInteger(QStringLiteral("TitleBarButtonTopInt"), 4);
    for (int element : {TitleBarButtonImage, TitleBarLeftImage, TitleBarClientImage, TitleBarRightImage}) {
        QImage picture;
        GetBuiltInBitmap(TvexUIStyle::MacOS, element, &picture);
        writer.addImage(ThemeElementKey(element), themepack::bmpFile(picture));
    }
    const QString path = dir.filePath(QStringLiteral("wide.theme"));
    ASSERT_TRUE(titlebartest::writeBytes(path, writer.build()));
    TvexFileTheme theme;
    theme.setThemeFile(path);
    ASSERT_TRUE(theme.Loaded());

    Shown s(TvexUIStyle::FromThemeFile, QRect(40, 40, 400, 240), &theme);
    ASSERT_TRUE(s.show());
    const QRect work = s.host.screen()->availableGeometry();
    EXPECT_LE(s.host.minimumWidth(), work.width());
    EXPECT_LE(s.host.width(), work.width());
    const QPoint close = s.host.mapToGlobal(titleButtonAt(s, vexClose));
    EXPECT_TRUE(work.contains(close)) << close.x() << "," << close.y();
    // And it works from there.
    QTest::mouseClick(s.host.windowHandle(), Qt::LeftButton, {}, titleButtonAt(s, vexClose));
    EXPECT_TRUE(waitFor([&] { return !s.host.isVisible(); }));
}

// A press on one title-bar button and a release over another clicks
// neither; a press and release on the same one clicks it.
TEST(SkinX11, TitleBarButtonClicksOnlyWhereThePressBegan)
{
    REQUIRE_X11();
    Shown s(TvexUIStyle::MacOS, QRect(120, 120, 360, 220));
    ASSERT_TRUE(s.show());
    QWindow *window = s.host.windowHandle();
    const QPoint close = titleButtonAt(s, vexClose), max = titleButtonAt(s, vexMax), min = titleButtonAt(s, vexMin);
    TvexTitleBar *bar = s.frame->TitleBar();

    QTest::mousePress(window, Qt::LeftButton, {}, close);
    QTest::mouseMove(window, max);
    // While the press lasts only its own button may look pressed.
    const QImage maxPressed = bar->Buttons()->Items(2)->PicMouseDown();
    const QImage shown = screenAt(QRect(s.host.mapToGlobal(max) - QPoint(8, 8), QSize(17, 17)));
    EXPECT_NE(shown, maxPressed.convertToFormat(QImage::Format_RGB32));
    QTest::mouseRelease(window, Qt::LeftButton, {}, max);
    QTest::mousePress(window, Qt::LeftButton, {}, min);
    QTest::mouseRelease(window, Qt::LeftButton, {}, close);
    QTest::qWait(100);
    EXPECT_TRUE(s.host.isVisible());
    EXPECT_FALSE(s.host.isMaximized());
    EXPECT_FALSE(s.host.isMinimized());

    QTest::mouseClick(window, Qt::LeftButton, {}, max);
    EXPECT_TRUE(waitFor([&] { return s.host.isMaximized(); }));
}

// BlueGlass draws black arcs over its round top corners: the window shows
// nothing of the title bar beyond them.
TEST(SkinX11, BlueGlassShowsNoTitleColourOutsideItsCornerArcs)
{
    REQUIRE_X11();
    QWidget backdrop(nullptr, Qt::FramelessWindowHint);
    backdrop.setAutoFillBackground(true);
    QPalette p = backdrop.palette();
    p.setColor(QPalette::Window, QColor(0x20, 0xC0, 0x40));
    backdrop.setPalette(p);
    backdrop.setGeometry(QGuiApplication::primaryScreen()->geometry());
    backdrop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop));
    Shown s(TvexUIStyle::BlueGlass, QRect(200, 150, 320, 200));
    ASSERT_TRUE(s.show());
    const unsigned border = menubartest::rgbOf(s.frame->BorderColor()), back = 0x20C040;
    const QRect area = s.host.geometry();
    QImage shot;
    ASSERT_TRUE(waitFor([&] {
        shot = screenAt(area);
        return rgbAt(shot, area.width() / 2, 0) != back;
    }));
    const int w = area.width(), r = s.frame->RoundCorner();
    ASSERT_EQ(r, 11);
    // Along each of the top r rows, from the window's edge inwards: the
    // backdrop, then the arc, then the title bar; never the title bar first.
    for (int y = 0; y <= r; ++y)
        for (bool fromLeft : {true, false}) {
            for (int i = 0; i < r + 2; ++i) {
                const int x = fromLeft ? i : w - 1 - i;
                const unsigned c = rgbAt(shot, x, y);
                if (c == back)
                    continue;
                EXPECT_EQ(c, border) << "(" << x << "," << y << ") is the first pixel inside the window";
                break;
            }
        }
}
