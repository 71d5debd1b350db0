// The main window's title bar as the screen shows it: drawn from the
// pictures its form description stores, it must be the same seamless bar as
// the built-in MacOS art, with no seam beside the borders and no square
// behind the control box. The pictures are checked against the built-in art,
// and the window on a virtual X server without a window manager.

#include "common/FakeConverter.h"

#include "app/MainWindow.h"
#include "common/TestSupport.h"
#include "platform/gui/MainForm.h"
#include "skin/VEXForm.h"
#include "skin/VEXPublic.h"
#include "skin/VEXThemes.h"
#include "skin/VEXTitleBar.h"

#include <QCursor>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace vex;
using testsupport::rgbAt;
using testsupport::ScopedEnvironment;
using testsupport::waitFor;

namespace {

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

QImage rgb32(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage builtInFrame(int frame)
{
    QImage image;
    GetBuiltInBitmap(TvexUIStyle::MacOS, TitleBarButtonImage, &image, frame, 18);
    return rgb32(image);
}

QImage builtIn(int element)
{
    QImage image;
    GetBuiltInBitmap(TvexUIStyle::MacOS, element, &image);
    return rgb32(image);
}

TvexForm *frameOf(const TFMain &form)
{
    return form.findChild<TvexForm *>(QStringLiteral("vexForm1"));
}

} // namespace

// The stored pictures are the built-in art's, so every check of that art
// (seamless pieces, the control box on the bar's own rows) holds for them.
TEST(MainWindowPictures, AreTheBuiltInMacOSArt)
{
    const ScopedEnvironment english("LC_ALL", "en_US.UTF-8");
    TFMain form(std::make_unique<FakeConverter>());
    TvexTitleBar *bar = frameOf(form)->TitleBar();
    ASSERT_EQ(bar->Buttons()->Count(), 4);
    for (int i = 0; i < 4; ++i) {
        const TvexTitleBarButton *button = bar->Buttons()->Items(i);
        const int first = button->ButtonType() == vexControlBox ? 1
                          : button->ButtonType() == vexClose    ? 16
                          : button->ButtonType() == vexMax      ? 7
                                                                : 13;
        EXPECT_EQ(rgb32(button->PicNormal()), builtInFrame(first)) << "button " << i;
        EXPECT_EQ(rgb32(button->PicMouseOn()), builtInFrame(first + 1)) << "button " << i;
        EXPECT_EQ(rgb32(button->PicMouseDown()), builtInFrame(first + 2)) << "button " << i;
    }
    EXPECT_EQ(rgb32(bar->LeftSectionPicture()), builtIn(TitleBarLeftImage));
    EXPECT_EQ(rgb32(bar->RightSectionPicture()), builtIn(TitleBarRightImage));
    EXPECT_EQ(rgb32(bar->ClientSectionPicture()), builtIn(TitleBarClientImage));
}

// Runs the MainWindowX11 cases in a child process on a virtual X server.
TEST(MainWindowOnX11, RunsOnAVirtualXServer)
{
    if (onX11())
        GTEST_SKIP() << "already on X11";
    testsupport::expectSuitePassesOnXvfb("MainWindowX11", 240000);
}

TEST(MainWindowX11, TitleBarIsOneSurfaceFromBorderToBorder)
{
    if (!onX11())
        GTEST_SKIP() << "needs an X server (see MainWindowOnX11)";
    const ScopedEnvironment english("LC_ALL", "en_US.UTF-8");
    TFMain form(std::make_unique<FakeConverter>());
    platform::setMainForm(&form);
    form.move(10, 10); // wholly on the test server's 1024 x 768 screen
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // The pointer away from the buttons, so that none shows its hover look.
    QCursor::setPos(form.geometry().bottomRight() + QPoint(20, 20));
    TvexForm *frame = frameOf(form);
    TvexTitleBar *bar = frame->TitleBar();
    const int top = bar->mapTo(&form, QPoint(0, 0)).y();
    const int w = form.width(), rows = top + bar->height();
    // The caption ends well before this column, the buttons start after it.
    const int plain = bar->ComputeLayout().buttonsLeft - 20;
    QImage shot;
    ASSERT_TRUE(waitFor([&] {
        shot = QGuiApplication::primaryScreen()->grabWindow(0, form.x(), form.y(), w, rows).toImage();
        shot = rgb32(shot);
        return rgbAt(shot, plain, rows / 2) != rgbAt(shot, 0, rows / 2);
    }));

    // Every column between the borders, beside the caption and the buttons,
    // is the bar's own gradient: x = 1..4 and W-5..W-2 (the seams of old).
    std::vector<int> columns = {1, 2, 3, 4, 5, w - 6, w - 5, w - 4, w - 3, w - 2};
    for (int y = 0; y < rows; ++y)
        for (int x : columns) {
            if (y >= top + 1 && y < top + 18 && x >= 3 && x < 21)
                continue; // the control box, checked below
            EXPECT_EQ(rgbAt(shot, x, y), rgbAt(shot, plain, y)) << "(" << x << "," << y << ") of " << w;
        }

    // The control box sits on the bar's rows: its square's edges (outside
    // the little sheet in its middle) are the gradient.
    const TvexTitleBar::Layout layout = bar->ComputeLayout();
    const QRect box(bar->mapTo(&form, layout.controlBox.at), QSize(17, 17));
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x : {box.left(), box.left() + 1, box.right() - 1, box.right()})
            EXPECT_EQ(rgbAt(shot, x, y), rgbAt(shot, plain, y)) << "control box (" << x << "," << y << ")";
    platform::setMainForm(nullptr);
}

// The window's caption stands out from its bar, all through its rows.
TEST(MainWindowPictures, CaptionStandsOutFromTheBar)
{
    const ScopedEnvironment english("LC_ALL", "en_US.UTF-8");
    TFMain form(std::make_unique<FakeConverter>());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    TvexTitleBar *bar = frameOf(form)->TitleBar();
    const QImage rendered = bar->Render();
    const QColor caption = QColor::fromRgb(platform::toQRgb(bar->FontColor()));
    const int beside = bar->ComputeLayout().buttonsLeft - 10;
    for (int y = bar->ButtonTop(); y < bar->ButtonTop() + bar->CaptionBand(); ++y)
        EXPECT_GE(ContrastRatio(caption, QColor(rendered.pixel(beside, y))), 4.5) << "row " << y;
}
