#include "TitleBarTestSupport.h"

#include "common/TestSupport.h"
#include "platform/gui/Align.h"
#include "platform/gui/MainForm.h"
#include "platform/gui/WindowEvents.h"
#include "skin/VEXButton.h"
#include "skin/VEXForm.h"
#include "skin/VEXImagePanel.h"
#include "skin/VEXPublic.h"

#include <QFrame>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace vex;
using testsupport::rgbAt;
using testsupport::waitFor;

namespace {

unsigned rgbOf(platform::TColor color)
{
    return platform::toQColor(color).rgb() & 0xFFFFFFu;
}

QImage builtIn(TvexUIStyle style, int element)
{
    QImage image;
    GetBuiltInBitmap(style, element, &image);
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage maxButtonFrame(TvexUIStyle style, int frame)
{
    QImage image;
    GetBuiltInBitmap(style, TitleBarButtonImage, &image, frame, 18);
    return image;
}

// A plain host form with a frame of the given style; the client area is
// `client` at `at`.
struct Skinned
{
    explicit Skinned(TvexUIStyle style, QRect client = QRect(120, 90, 320, 200))
    {
        host.setGeometry(client);
        frame = new TvexForm(&host);
        frame->setUIStyle(style);
    }
    bool show()
    {
        host.show();
        return QTest::qWaitForWindowExposed(&host);
    }
    QImage shot() { return host.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    TvexTitleBarButton *button(TvexTitleBarBtnType type) const
    {
        TvexTitleBarButtons *buttons = frame->TitleBar()->Buttons();
        for (int i = 0; i < buttons->Count(); ++i)
            if (buttons->Items(i)->ButtonType() == type)
                return buttons->Items(i);
        return nullptr;
    }

    QWidget host;
    TvexForm *frame;
};

// The sample theme, owned by form.
TvexFileTheme *graphite(QWidget *form)
{
    auto *theme = new TvexFileTheme(form);
    theme->setThemeFile(QStringLiteral("Graphite.theme"));
    return theme;
}

int answerToLeftBorderQuery(QWidget *host)
{
    TvexLeftBorderWidthQuery query;
    QCoreApplication::sendEvent(host, &query);
    return query.width;
}

// Columns x of the image whose pixels in rows top..bottom all have colour c.
bool columnIs(const QImage &image, int x, int top, int bottom, unsigned c)
{
    for (int y = top; y <= bottom; ++y)
        if (rgbAt(image, x, y) != c)
            return false;
    return true;
}

bool rowIs(const QImage &image, int y, int left, int right, unsigned c)
{
    for (int x = left; x <= right; ++x)
        if (rgbAt(image, x, y) != c)
            return false;
    return true;
}

// ---------------------------------------------------------------------------
// Taking over and giving back

TEST(FormFrame, TakesOverOneHostAndKeepsItsClientArea)
{
    Skinned s(TvexUIStyle::DeepBlue);
    QWidget &host = s.host;
    EXPECT_TRUE(s.frame->IsActive());
    EXPECT_TRUE(host.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(host.contentsMargins(), QMargins(3, 3, 3, 1));
    // The band is added around the stored client area.
    EXPECT_EQ(host.geometry(), QRect(120, 90, 326, 204));
    ASSERT_TRUE(s.show());
    EXPECT_EQ(s.frame->geometry(), QRect(3, 3, 320, 200));
    ASSERT_NE(s.frame->TitleBar(), nullptr);
    EXPECT_EQ(s.frame->TitleBar()->geometry(), QRect(0, 0, 320, 32 - 3));
    EXPECT_EQ(host.minimumHeight(), 50);
    EXPECT_EQ(answerToLeftBorderQuery(&host), 0);

    // A second frame on the same form is a plain panel and leaves it alone.
    auto *second = new TvexForm(&host);
    EXPECT_FALSE(second->IsActive());
    EXPECT_EQ(second->TitleBar(), nullptr);
    second->setCaption(QStringLiteral("ignored"));
    EXPECT_EQ(second->Caption(), QString());
    EXPECT_NE(second->TitleBarButtons(), nullptr); // a description that stores them still loads
    delete second;
    EXPECT_TRUE(host.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(host.contentsMargins(), QMargins(3, 3, 3, 1));

    // So is a frame whose owner is no form.
    TvexForm nested(s.frame);
    EXPECT_FALSE(nested.IsActive());

    s.frame->setVersion(QStringLiteral("1.0"));
    EXPECT_EQ(s.frame->property("Version").toString(), "5.8");
}

TEST(FormFrame, RemovalGivesTheHostItsOwnFrameBack)
{
    QWidget host;
    host.setContentsMargins(2, 2, 2, 2);
    host.setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    host.resize(300, 200);
    const Qt::WindowFlags own = host.windowFlags();
    auto theme = graphite(&host);
    auto *frame = new TvexForm(&host);
    frame->setFileTheme(theme);
    frame->setUIStyle(TvexUIStyle::FromThemeFile);
    frame->setRoundCorner(9);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    EXPECT_EQ(answerToLeftBorderQuery(&host), 4);
    EXPECT_FALSE(host.mask().isEmpty());

    // Moved to another parent, the frame lets go of the host.
    QWidget elsewhere;
    frame->setParent(&elsewhere);
    EXPECT_FALSE(frame->IsActive());
    EXPECT_EQ(host.windowFlags(), own);
    EXPECT_EQ(host.contentsMargins(), QMargins(2, 2, 2, 2));
    EXPECT_TRUE(host.mask().isEmpty());
    EXPECT_EQ(answerToLeftBorderQuery(&host), 0);
    EXPECT_TRUE(host.isVisible());
    // The host's own paint events are its own again.
    host.resize(310, 210);
    EXPECT_TRUE(host.mask().isEmpty());

    // Deleting a frame does the same.
    auto *again = new TvexForm(&host);
    EXPECT_TRUE(again->IsActive());
    EXPECT_EQ(host.contentsMargins(), QMargins(3, 3, 3, 1));
    delete again;
    EXPECT_EQ(host.windowFlags(), own);
    EXPECT_EQ(host.contentsMargins(), QMargins(2, 2, 2, 2));
}

TEST(FormFrame, HostWhoseFlagsAreResetLosesItsCaptionAgain)
{
    Skinned s(TvexUIStyle::MacOS);
    ASSERT_TRUE(s.show());
    s.host.setWindowFlags(Qt::Window);
    EXPECT_TRUE(waitFor([&] { return bool(s.host.windowFlags() & Qt::FramelessWindowHint); }));
    EXPECT_EQ(s.host.contentsMargins(), QMargins(3, 3, 3, 1));
}

// ---------------------------------------------------------------------------
// Painting the band

// The main window's frame: MacOS, border 0x7F7F7F one pixel wide, 0xE7E7E7
// inside, 48 x 23, 48 x 23 and 49 x 23 title pictures.
TEST(FormFramePaint, MacOSBandBordersAndCorners)
{
    Skinned s(TvexUIStyle::MacOS);
    s.frame->setBorderColor(8355711);
    s.frame->setBorderWidth(1);
    s.frame->setColor(15198183);
    ASSERT_TRUE(s.show());
    const QImage shot = s.shot();
    const int w = shot.width(), h = shot.height();
    ASSERT_EQ(QSize(w, h), QSize(326, 204));
    const unsigned border = 0x7F7F7F, inner = 0xE7E7E7;
    const int barBottom = 3 + s.frame->TitleBar()->height(); // 23

    EXPECT_TRUE(columnIs(shot, 0, 0, h - 1, border));
    EXPECT_TRUE(columnIs(shot, w - 1, 0, h - 1, border));
    EXPECT_TRUE(rowIs(shot, h - 1, 0, w - 1, border));
    for (int x : {1, 2, w - 3, w - 2})
        EXPECT_TRUE(columnIs(shot, x, barBottom, h - 2, inner)) << x;
    // The two rows above the bottom border lie in the frame, which draws them.
    for (int y : {h - 3, h - 2})
        EXPECT_TRUE(rowIs(shot, y, 1, w - 2, inner)) << y;

    // The top three rows continue the title pictures from the window's edges.
    const QImage left = builtIn(TvexUIStyle::MacOS, TitleBarLeftImage);
    const QImage right = builtIn(TvexUIStyle::MacOS, TitleBarRightImage);
    const QImage client = builtIn(TvexUIStyle::MacOS, TitleBarClientImage);
    ASSERT_EQ(left.size(), QSize(48, 23));
    for (int y = 0; y < 3; ++y) {
        for (int x = 2; x < 48; ++x)
            EXPECT_EQ(rgbAt(shot, x, y), rgbAt(left, x, y)) << x << "," << y;
        for (int x = w - 48; x <= w - 4; ++x)
            EXPECT_EQ(rgbAt(shot, x, y), rgbAt(right, x - (w - 48), y)) << x << "," << y;
        std::set<unsigned> row;
        for (int x = 0; x < client.width(); ++x)
            row.insert(rgbAt(client, x, y));
        for (int x = 48; x < w - 48; x += 7)
            EXPECT_TRUE(row.count(rgbAt(shot, x, y))) << x << "," << y;
    }
    // Beside the bar, the corner pieces show the pictures' outer columns.
    for (int y = 3; y < barBottom; ++y) {
        EXPECT_EQ(rgbAt(shot, 1, y), rgbAt(left, 0, y)) << y;
        EXPECT_EQ(rgbAt(shot, 2, y), rgbAt(left, 1, y)) << y;
        EXPECT_EQ(rgbAt(shot, w - 3, y), rgbAt(right, 46, y)) << y;
        EXPECT_EQ(rgbAt(shot, w - 2, y), rgbAt(right, 47, y)) << y;
    }
    // The client background is the 8 x 8 pattern, from the frame's corner.
    const QImage pattern = LoadSkinBitmap(QStringLiteral("MACOS_FORM_BACKGROUND"));
    ASSERT_EQ(pattern.size(), QSize(8, 8));
    for (int y = 60; y < 68; ++y)
        for (int x = 100; x < 108; ++x)
            EXPECT_EQ(rgbAt(shot, x, y), rgbAt(pattern, (x - 3) % 8, (y - 3) % 8));
}

TEST(FormFramePaint, WinXPBorderLeavesNoInnerMargin)
{
    Skinned s(TvexUIStyle::WinXP);
    EXPECT_EQ(s.frame->BorderWidth(), 3);
    ASSERT_TRUE(s.show());
    const QImage shot = s.shot();
    const int w = shot.width(), h = shot.height();
    const unsigned border = rgbOf(0xC82C00);
    for (int x : {0, 1, 2, w - 3, w - 2, w - 1})
        EXPECT_TRUE(columnIs(shot, x, 3, h - 1, border)) << x;
    for (int y : {h - 3, h - 2, h - 1})
        EXPECT_TRUE(rowIs(shot, y, 0, w - 1, border)) << y;
    // Corner pieces have no width; the band still starts at column 2.
    const QImage left = builtIn(TvexUIStyle::WinXP, TitleBarLeftImage);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(rgbAt(shot, 0, y), border);
        EXPECT_EQ(rgbAt(shot, 1, y), border);
        for (int x = 2; x < left.width(); ++x)
            EXPECT_EQ(rgbAt(shot, x, y), rgbAt(left, x, y)) << x << "," << y;
    }
}

TEST(FormFramePaint, BlueGlassDrawsItsTopArcsOnlyAtRadiusEleven)
{
    Skinned s(TvexUIStyle::BlueGlass);
    EXPECT_EQ(s.frame->RoundCorner(), 11);
    ASSERT_TRUE(s.show());
    const QImage arcs = s.shot();
    s.frame->TitleBar()->setRoundCorner(10); // the same picture, no arcs
    const QImage plain = s.shot();
    const int w = arcs.width();
    int changed = 0;
    for (int y = 0; y < 12; ++y) {
        for (int x : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) {
            for (int at : {x, w - 1 - x}) {
                if (rgbAt(arcs, at, y) == rgbAt(plain, at, y))
                    continue;
                ++changed;
                EXPECT_EQ(rgbAt(arcs, at, y), 0u) << at << "," << y; // BorderColor
            }
        }
    }
    EXPECT_GT(changed, 8);
    EXPECT_EQ(rgbAt(arcs, 2, 2), 0u);
    EXPECT_EQ(rgbAt(arcs, w - 3, 2), 0u);
}

// Without the title bar the top of the frame is a border line over rows of
// its inner colour, and the arcs of a round top go with the bar.
struct UntitledTop
{
    const char *name;
    TvexUIStyle style;
    std::function<void(TvexForm *)> prepare;
    unsigned border; // all of row 0
    QList<int> innerRows;
    int innerInset; // columns left out at both ends of the inner rows
    unsigned inner;
    int sideColumn; // from row 1 down to sideGap rows above the last
    int sideGap;
    unsigned side;
};

// The case's name in place of its bytes in the test list.
void PrintTo(const UntitledTop &c, std::ostream *os)
{
    *os << c.name;
}

class FormFrameUntitled : public ::testing::TestWithParam<UntitledTop>
{};

TEST_P(FormFrameUntitled, TopIsABorderLineOverTheInnerColour)
{
    const UntitledTop &c = GetParam();
    Skinned s(c.style);
    if (c.prepare)
        c.prepare(s.frame);
    ASSERT_TRUE(s.show());
    s.frame->setTitleBarVisible(false);
    const QImage untitled = s.shot();
    const int w = untitled.width(), h = untitled.height();
    EXPECT_TRUE(rowIs(untitled, 0, 0, w - 1, c.border));
    for (int y : c.innerRows)
        EXPECT_TRUE(rowIs(untitled, y, c.innerInset, w - 1 - c.innerInset, c.inner)) << y;
    EXPECT_TRUE(columnIs(untitled, c.sideColumn, 1, h - 1 - c.sideGap, c.side));
}

INSTANTIATE_TEST_SUITE_P(
    Styles, FormFrameUntitled,
    ::testing::Values(
        // The main window's frame of the band test above.
        UntitledTop{"MacOSOnePixelBorder",
                    TvexUIStyle::MacOS,
                    [](TvexForm *frame) {
                        frame->setBorderColor(8355711);
                        frame->setBorderWidth(1);
                        frame->setColor(15198183);
                    },
                    0x7F7F7F,
                    {1, 2},
                    1,
                    0xE7E7E7,
                    1,
                    1,
                    0xE7E7E7},
        UntitledTop{"WinXP", TvexUIStyle::WinXP, {}, rgbOf(0xC82C00), {1}, 3, rgbOf(0xDEEBEF), 2, 0, rgbOf(0xC82C00)},
        UntitledTop{"BlueGlass", TvexUIStyle::BlueGlass, {}, 0, {2}, 1, rgbOf(0xE7E7E7), 2, 1, rgbOf(0xE7E7E7)}),
    [](const ::testing::TestParamInfo<UntitledTop> &info) { return std::string(info.param.name); });

TEST(FormFramePaint, SideBorderPicturesOfATheme)
{
    QWidget host;
    host.resize(300, 200);
    TvexFileTheme *theme = graphite(&host);
    ASSERT_TRUE(theme->Loaded());
    auto *frame = new TvexForm(&host);
    frame->setFileTheme(theme);
    frame->setUIStyle(TvexUIStyle::FromThemeFile);
    EXPECT_EQ(frame->BorderColor(), 0x302C2A);
    EXPECT_EQ(frame->Color(), 0xDBD9D8);
    EXPECT_EQ(frame->BottomBorderHeight(), 4);
    EXPECT_EQ(host.contentsMargins(), QMargins(5, 3, 5, 5));

    QImage leftEdge, bottom;
    theme->GetImage(FormLeftBorderImage, &leftEdge);
    theme->GetImage(FormBottomBorderImage, &bottom);
    QImage turned = leftEdge.convertToFormat(QImage::Format_RGB32).mirrored(true, true);
    EXPECT_EQ(frame->SideBorderPicture().convertToFormat(QImage::Format_RGB32), turned);

    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    const QImage shot = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int w = shot.width(), h = shot.height();
    const int tv = frame->VisibleTitleBarHeight();
    // The edges are the pictures stretched down the sides; the bottom's
    // middle slice spans the window.
    const int midRow = (tv + h - 4) / 2;
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(rgbAt(shot, x, midRow), rgbAt(leftEdge, x, leftEdge.height() / 2)) << x;
        EXPECT_EQ(rgbAt(shot, w - 4 + x, midRow), rgbAt(turned, x, turned.height() / 2)) << x;
    }
    const unsigned inner = rgbOf(0xDBD9D8);
    EXPECT_TRUE(columnIs(shot, 4, tv + 3, h - 5, inner));
    EXPECT_TRUE(columnIs(shot, w - 5, tv + 3, h - 5, inner));
    EXPECT_TRUE(rowIs(shot, h - 5, 5, w - 6, inner));
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(rgbAt(shot, w / 2, h - 4 + y), rgbAt(bottom, bottom.width() / 2, y)) << y;
}

// ---------------------------------------------------------------------------
// Window region

TEST(FormFrameRegion, SquareAndRoundCorners)
{
    Skinned s(TvexUIStyle::MacOS);
    const int w = s.host.width(), h = s.host.height();
    EXPECT_EQ(s.frame->FrameRegion(), QRegion(0, 0, w + 1, h + 1));
    EXPECT_EQ(s.host.mask(), QRegion(0, 0, w + 1, h + 1));

    s.frame->setRoundCorner(13);
    const QRegion round = s.frame->FrameRegion();
    EXPECT_EQ(s.host.mask(), round);
    EXPECT_FALSE(round.contains(QPoint(0, 0)));
    EXPECT_FALSE(round.contains(QPoint(w - 1, 0)));
    EXPECT_FALSE(round.contains(QPoint(1, 1)));
    EXPECT_TRUE(round.contains(QPoint(7, 0)));
    EXPECT_TRUE(round.contains(QPoint(0, 7)));
    EXPECT_TRUE(round.contains(QPoint(w / 2, 0)));
    EXPECT_TRUE(round.contains(QPoint(0, h - 1)));
    EXPECT_TRUE(round.contains(QPoint(w - 1, h - 1)));
    EXPECT_TRUE(round.contains(QPoint(0, h / 2)));
    // Both top corners lose the same pixels.
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(round.contains(QPoint(x, y)), round.contains(QPoint(w - 1 - x, y))) << x << "," << y;

    s.frame->setRoundCornerBottom(9);
    const QRegion both = s.frame->FrameRegion();
    EXPECT_FALSE(both.contains(QPoint(0, h - 1)));
    EXPECT_FALSE(both.contains(QPoint(w - 1, h - 1)));
    EXPECT_TRUE(both.contains(QPoint(w / 2, h - 1)));
    EXPECT_TRUE(both.contains(QPoint(0, h / 2)));

    // A hidden title bar reads the radii as 0: square at the next update.
    s.frame->setTitleBarVisible(false);
    EXPECT_EQ(s.frame->RoundCorner(), 0);
    EXPECT_EQ(s.frame->RoundCornerBottom(), 0);
    s.frame->UpdateRegion();
    EXPECT_EQ(s.host.mask(), QRegion(0, 0, w + 1, h + 1));
    s.frame->setTitleBarVisible(true);
    EXPECT_EQ(s.frame->RoundCorner(), 13);
    EXPECT_EQ(s.frame->RoundCornerBottom(), 9);
}

TEST(FormFrameRegion, FollowsTheHostsSize)
{
    Skinned s(TvexUIStyle::WinXP);
    ASSERT_TRUE(s.show());
    s.host.resize(500, 300);
    ASSERT_TRUE(waitFor([&] { return s.host.size() == QSize(500, 300); }));
    const QRegion mask = s.host.mask();
    EXPECT_EQ(mask.boundingRect(), QRect(0, 0, 501, 301));
    EXPECT_FALSE(mask.contains(QPoint(499, 0)));
    EXPECT_TRUE(mask.contains(QPoint(499, 299)));
}

// ---------------------------------------------------------------------------
// The hook

TEST(FormFrameHook, ActivationChangesTheCaptionColour)
{
    Skinned s(TvexUIStyle::DeepBlue);
    s.frame->setCaption(QStringLiteral("MMMMMMMM"));
    ASSERT_TRUE(s.show());
    s.host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.host));
    EXPECT_TRUE(s.frame->TitleBar()->FormActive());
    const QImage active = s.frame->TitleBar()->Render();

    QWidget other;
    other.setGeometry(600, 400, 100, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(s.frame->TitleBar()->FormActive());
    const QImage inactive = s.frame->TitleBar()->Render();
    const unsigned inactiveCaption = rgbOf(platform::colorToRGB(platform::clInactiveCaption));
    const QRect caption(30, 0, 120, s.frame->TitleBar()->height());
    bool white = false, grey = false;
    for (int y = caption.top(); y <= caption.bottom(); ++y)
        for (int x = caption.left(); x <= caption.right(); ++x) {
            white = white || rgbAt(active, x, y) == 0xFFFFFF;
            grey = grey || rgbAt(inactive, x, y) == inactiveCaption;
        }
    EXPECT_TRUE(white);
    EXPECT_TRUE(grey);

    s.host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.host));
    EXPECT_TRUE(s.frame->TitleBar()->FormActive());
}

// Counts the host's paint events.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// (Where the maximised window goes is the X11 tests' business: this
// platform places maximised windows itself.)
TEST(FormFrameHook, SizeChangesRepaintAndRefreshTheMaximiseButton)
{
    Skinned s(TvexUIStyle::WinXP);
    ASSERT_TRUE(s.show());
    PaintCounter counter;
    s.host.installEventFilter(&counter);
    const QRect normal = s.host.geometry();
    TvexTitleBarButton *max = s.button(vexMax);
    ASSERT_NE(max, nullptr);
    EXPECT_EQ(max->PicNormal(), maxButtonFrame(TvexUIStyle::WinXP, 7));

    max->PerformClick();
    EXPECT_TRUE(s.host.isMaximized());
    EXPECT_EQ(max->PicNormal(), maxButtonFrame(TvexUIStyle::WinXP, 10));
    ASSERT_TRUE(waitFor([&] { return s.host.size() != normal.size(); }));
    EXPECT_TRUE(waitFor([&] { return counter.paints > 0; }));
    EXPECT_EQ(s.host.mask().boundingRect().size(), s.host.size() + QSize(1, 1));

    // Restored from the window menu, the keyboard's road.
    s.frame->TitleBar()->SystemMenu()->MaximizeItem()->trigger();
    ASSERT_TRUE(waitFor([&] { return s.host.geometry() == normal; }));
    EXPECT_FALSE(s.host.isMaximized());
    EXPECT_EQ(max->PicNormal(), maxButtonFrame(TvexUIStyle::WinXP, 7));
    EXPECT_EQ(s.host.mask().boundingRect().size(), normal.size() + QSize(1, 1));

    // A resize by hand refreshes the band and the region too.
    counter.paints = 0;
    s.host.resize(normal.width() + 30, normal.height());
    EXPECT_TRUE(waitFor([&] { return counter.paints > 0; }));
    EXPECT_EQ(s.host.mask().boundingRect().width(), normal.width() + 31);
}

TEST(FormFrameHook, AltSpaceOpensTheWindowMenuUnderTheMainWindowsTitleBar)
{
    Skinned s(TvexUIStyle::MacOS, QRect(150, 120, 360, 220));
    auto *edit = new QLineEdit(s.frame);
    edit->setGeometry(10, 40, 120, 22);
    platform::setMainForm(&s.host);
    ASSERT_TRUE(s.show());
    s.host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.host));
    edit->setFocus();

    TvexTitleBarPopupMenu *menu = s.frame->TitleBar()->SystemMenu();
    QTest::keyClick(edit, Qt::Key_Space, Qt::AltModifier);
    ASSERT_TRUE(waitFor([&] { return menu->isVisible(); }));
    EXPECT_EQ(menu->pos(), s.host.pos() + QPoint(0, 20));
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_TRUE(menu->MinimizeItem()->isEnabled());
    menu->hide();

    // Other keys go where they were going.
    edit->activateWindow();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("ab"));
    EXPECT_EQ(edit->text(), "ab");
    platform::setMainForm(nullptr);
}

TEST(FormFrameHook, MenuShortcutsAreTakenWhileTheHostIsActive)
{
    Skinned s(TvexUIStyle::MacOS);
    QMenu menu;
    QMenu *file = menu.addMenu(QStringLiteral("&File"));
    QAction *open = file->addAction(QStringLiteral("&Open"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    int opened = 0;
    QObject::connect(open, &QAction::triggered, [&] { ++opened; });
    auto *edit = new QLineEdit(s.frame);
    s.frame->setMenu(&menu);
    ASSERT_TRUE(s.show());
    s.host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&s.host));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(opened, 1);
    QTest::keyClick(edit, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(opened, 1);
    open->setEnabled(false);
    QTest::keyClick(edit, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(opened, 1);
}

// ---------------------------------------------------------------------------
// Styles at run time

TEST(FormFrameStyle, BuiltInStylesAtRunTime)
{
    Skinned s(TvexUIStyle::MacOS);
    ASSERT_TRUE(s.show());
    s.frame->setUIStyle(TvexUIStyle::WinXP);
    EXPECT_EQ(s.frame->BorderColor(), 13118464);
    EXPECT_EQ(s.frame->BorderWidth(), 3);
    EXPECT_EQ(s.frame->Color(), 14609391);
    EXPECT_EQ(s.frame->MenuBarColor(), 14609391);
    EXPECT_EQ(s.frame->RoundCorner(), 13);
    EXPECT_EQ(s.frame->RoundCornerBottom(), 0);
    EXPECT_EQ(s.frame->TitleBar()->UIStyle(), TvexUIStyle::WinXP);
    EXPECT_EQ(s.host.minimumWidth(), 150);
    EXPECT_FALSE(s.host.mask().contains(QPoint(0, 0)));

    // Without a loaded theme, FromThemeFile looks like DeepBlue.
    s.frame->setUIStyle(TvexUIStyle::FromThemeFile);
    EXPECT_EQ(s.frame->UIStyle(), TvexUIStyle::FromThemeFile);
    EXPECT_EQ(s.frame->BorderColor(), 0);
    EXPECT_EQ(s.frame->BorderWidth(), 1);
    EXPECT_EQ(s.frame->Color(), 0xE8E8E8);
    EXPECT_EQ(s.frame->RoundCorner(), 0);
    EXPECT_TRUE(s.host.mask().contains(QPoint(0, 0)));
    EXPECT_EQ(rgbAt(s.shot(), 0, 100), 0u);
}

TEST(FormFrameStyle, FileThemeAppliedAndRemoved)
{
    Skinned s(TvexUIStyle::FromThemeFile);
    auto *button = new TvexButton(s.frame);
    button->setUIStyle(TvexUIStyle::WinXP);
    ASSERT_TRUE(s.show());
    TvexFileTheme *theme = graphite(&s.host);
    s.frame->setUIStyleAutoUpdateSub(true);
    s.frame->setFileTheme(theme);
    EXPECT_EQ(s.frame->BorderColor(), 0x302C2A);
    EXPECT_EQ(s.frame->TitleBar()->FileTheme(), theme);
    EXPECT_EQ(button->FileTheme(), theme);
    EXPECT_EQ(button->UIStyle(), TvexUIStyle::FromThemeFile);
    EXPECT_EQ(s.host.contentsMargins(), QMargins(5, 3, 5, 5));
    EXPECT_EQ(answerToLeftBorderQuery(&s.host), 4);
    EXPECT_EQ(s.frame->TitleBar()->LeftBorderWidth(), 4);
    EXPECT_EQ(s.host.minimumWidth(), 160);

    // Assigning the same theme again re-applies nothing.
    s.frame->setBorderColor(0x123456);
    s.frame->setFileTheme(theme);
    EXPECT_EQ(s.frame->BorderColor(), 0x123456);

    delete theme;
    EXPECT_EQ(s.frame->FileTheme(), nullptr);
    EXPECT_EQ(s.frame->UIStyle(), TvexUIStyle::DeepBlue);
    EXPECT_EQ(s.frame->BorderColor(), 0);
    EXPECT_EQ(s.frame->Color(), 0xE8E8E8);
    EXPECT_TRUE(s.frame->SideBorderPicture().isNull());
    EXPECT_EQ(s.host.contentsMargins(), QMargins(3, 3, 3, 1));
    EXPECT_EQ(button->UIStyle(), TvexUIStyle::DeepBlue);
    EXPECT_EQ(s.frame->TitleBar()->UIStyle(), TvexUIStyle::DeepBlue);
    EXPECT_EQ(answerToLeftBorderQuery(&s.host), 0);
}

TEST(FormFrameStyle, ChildrenFollowOnlyWhenAsked)
{
    Skinned s(TvexUIStyle::MacOS);
    auto *button = new TvexButton(s.frame);
    button->setUIStyle(TvexUIStyle::DeepBlue);
    s.frame->setUIStyle(TvexUIStyle::Protein);
    EXPECT_EQ(button->UIStyle(), TvexUIStyle::DeepBlue);
    s.frame->setUIStyleAutoUpdateSub(true);
    s.frame->setUIStyle(TvexUIStyle::BlueGlass);
    EXPECT_EQ(button->UIStyle(), TvexUIStyle::BlueGlass);
    // Protein's background is its pattern, not Color.
    s.frame->setUIStyle(TvexUIStyle::Protein);
    ASSERT_TRUE(s.show());
    const QImage pattern = LoadSkinBitmap(QStringLiteral("PROTEIN_FORM_BACKGROUND"));
    const QImage shot = s.shot();
    for (int x = 103; x < 111; ++x)
        EXPECT_EQ(rgbAt(shot, x, 103), rgbAt(pattern, (x - 3) % 8, 100 % 8)) << x;
}

// ---------------------------------------------------------------------------
// Properties

TEST(FormFrameProperties, FormPanelCaptionAndTitleBar)
{
    Skinned s(TvexUIStyle::DeepBlue);
    ASSERT_TRUE(s.show());
    const QString refused = titlebartest::messageShownBy([&] { s.frame->setFormPanel(s.frame); });
    EXPECT_EQ(refused, "Sorry, you can't select the Form assign to FormPanel property");
    EXPECT_EQ(s.frame->FormPanel(), nullptr);

    auto *panel = new QFrame(s.frame);
    panel->setFrameShape(QFrame::Box);
    panel->show();
    s.frame->setFormPanel(panel);
    EXPECT_EQ(panel->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(panel->geometry(), QRect(0, s.frame->TitleBar()->height(), 320, 200 - s.frame->TitleBar()->height()));
    delete panel;
    EXPECT_EQ(s.frame->FormPanel(), nullptr);
    auto *image = new TvexImagePanel(s.frame);
    image->setCaption(QStringLiteral("text"));
    image->show();
    s.frame->setFormPanel(image);
    EXPECT_TRUE(image->Caption().isEmpty());

    s.frame->setCaption(QStringLiteral("Caption"));
    EXPECT_EQ(s.host.windowTitle(), "Caption");
    EXPECT_EQ(s.frame->TitleBar()->Caption(), "Caption");
    s.frame->setTitleBarCustom(true);
    s.frame->setUIStyle(TvexUIStyle::MacOS);
    EXPECT_EQ(s.frame->TitleBar()->height(), 32 - 3); // the bar kept its DeepBlue look
    s.frame->setTitleBarCustom(false);
    s.frame->setTitleBarVisible(false);
    EXPECT_EQ(image->y(), 0);
    EXPECT_EQ(s.frame->VisibleTitleBarHeight(), 0);
    s.frame->setTitleBarVisible(true);
    EXPECT_EQ(s.frame->TitleBar()->y(), 0);
    EXPECT_EQ(image->y(), s.frame->TitleBar()->height());
}

// ---------------------------------------------------------------------------
// Sizing band (the platform moves nothing here: the band follows the mouse)

// Presses at `from` (window coordinates), moves by delta and releases there,
// at the same screen point however the window moved meanwhile.
void drag(QWindow *window, QPoint from, QPoint delta)
{
    const QPoint target = window->mapToGlobal(from) + delta;
    QTest::mousePress(window, Qt::LeftButton, {}, from);
    QTest::mouseMove(window, from + delta);
    QTest::mouseRelease(window, Qt::LeftButton, {}, window->mapFromGlobal(target));
}

TEST(FormFrameSizing, EdgesOfTheHostResizeIt)
{
    Skinned s(TvexUIStyle::MacOS);
    auto *edit = new QLineEdit(s.frame);
    platform::setAlign(edit, platform::alBottom);
    ASSERT_TRUE(s.show());
    QWindow *window = s.host.windowHandle();
    const QRect start = s.host.geometry();

    // Right edge, from the host's own band.
    const QPoint right(start.width() - 2, start.height() / 2);
    drag(window, right, QPoint(40, 0));
    EXPECT_EQ(s.host.geometry(), start.adjusted(0, 0, 40, 0));

    // Bottom-left corner, pressed on the child that reaches into the band.
    const QRect wider = s.host.geometry();
    const QPoint corner(2, wider.height() - 3);
    ASSERT_EQ(s.host.childAt(QPoint(5, wider.height() - 3)), edit);
    drag(window, corner, QPoint(-10, 30));
    EXPECT_EQ(s.host.geometry(), wider.adjusted(-10, 0, 0, 30));
    EXPECT_TRUE(edit->text().isEmpty());

    // Never below the minimum size.
    const QRect bigger = s.host.geometry();
    drag(window, QPoint(bigger.width() / 2, 1), QPoint(0, 1000));
    EXPECT_EQ(s.host.height(), s.host.minimumHeight());
    EXPECT_EQ(s.host.geometry().bottom(), bigger.bottom());

    // Away from the edges nothing is resized, nor is a window of fixed size.
    const QRect now = s.host.geometry();
    drag(window, QPoint(60, 40), QPoint(30, 30));
    EXPECT_EQ(s.host.geometry(), now);
    s.host.setFixedSize(s.host.size());
    drag(window, QPoint(now.width() - 2, now.height() / 2), QPoint(40, 0));
    EXPECT_EQ(s.host.geometry(), now);
}

// ---------------------------------------------------------------------------
// MDI children: sub-windows of an MDI area

TEST(FormFrameMdi, ChildFormsInAnMdiArea)
{
    QWidget main;
    main.resize(700, 500);
    auto *area = new QMdiArea(&main);
    area->setGeometry(0, 0, 700, 500);
    platform::setMainForm(&main);
    auto *first = new QMdiSubWindow;
    area->addSubWindow(first);
    first->setGeometry(10, 10, 300, 200);
    auto *second = new QMdiSubWindow;
    area->addSubWindow(second);
    auto *a = new TvexForm(first);
    a->setUIStyle(TvexUIStyle::MacOS);
    auto *b = new TvexForm(second);
    b->setUIStyle(TvexUIStyle::WinXP);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    ASSERT_TRUE(a->IsActive());
    // The sub-window's own layout of its margins gives way to the band.
    EXPECT_EQ(first->contentsMargins(), QMargins(3, 3, 3, 1));
    EXPECT_EQ(first->geometry(), QRect(10, 10, 306, 204));
    EXPECT_EQ(a->geometry(), QRect(3, 3, 300, 200));
    const QImage shot = first->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(columnIs(shot, 0, 0, shot.height() - 1, 0x7F7F7F));

    area->setActiveSubWindow(first);
    EXPECT_TRUE(a->TitleBar()->FormActive());
    EXPECT_FALSE(b->TitleBar()->FormActive());
    area->setActiveSubWindow(second);
    EXPECT_FALSE(a->TitleBar()->FormActive());
    EXPECT_TRUE(b->TitleBar()->FormActive());

    // Maximised in the area, not on the screen, and without its bar.
    first->showMaximized();
    EXPECT_TRUE(waitFor([&] { return first->size() == area->viewport()->size(); }));
    EXPECT_FALSE(a->TitleBarVisible());
    first->showNormal();
    EXPECT_TRUE(waitFor([&] { return first->geometry() == QRect(10, 10, 306, 204); }));
    EXPECT_TRUE(a->TitleBarVisible());
    // A style change leaves a child where it was.
    a->setUIStyle(TvexUIStyle::BlueGlass);
    EXPECT_EQ(first->geometry(), QRect(10, 10, 306, 204));
    platform::setMainForm(nullptr);
}

// ---------------------------------------------------------------------------
// On a real X server without a window manager

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Runs the FormFrameX11 tests in a child process on a virtual X server.
TEST(FormFrameOnX11, RunsOnAVirtualXServer)
{
    if (onX11())
        GTEST_SKIP() << "already on X11";
    testsupport::expectSuitePassesOnXvfb("FormFrameX11", 240000);
}

constexpr unsigned BackdropColor = 0x20C040;

// A flat backdrop under the test windows, so that what the region cuts off
// shows in its colour.
struct Backdrop : QWidget
{
    Backdrop() : QWidget(nullptr, Qt::FramelessWindowHint)
    {
        setAutoFillBackground(true);
        QPalette p = palette();
        p.setColor(QPalette::Window, QColor::fromRgb(BackdropColor));
        setPalette(p);
        setGeometry(QGuiApplication::primaryScreen()->geometry());
        show();
        (void)QTest::qWaitForWindowExposed(this);
    }
};

QImage screenAt(const QRect &area)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// A skinned window over the backdrop.
struct OverBackdrop : Skinned
{
    using Skinned::Skinned;

    // Shows the window on top and waits until the screen shows its frame:
    // until the middle of the given row is no longer the backdrop. *shot
    // gets what the screen then shows of the window.
    bool showUntilDrawn(int row, QImage *shot)
    {
        if (!show())
            return false;
        host.raise();
        const QRect area = host.geometry();
        return waitFor([&] {
            *shot = screenAt(area);
            return rgbAt(*shot, area.width() / 2, row) != BackdropColor;
        });
    }

    Backdrop backdrop;
};

#define REQUIRE_X11()                                                                                                  \
    if (!onX11())                                                                                                      \
    GTEST_SKIP() << "needs an X server (see FormFrameOnX11)"

TEST(FormFrameX11, MovesByItsTitleBarAndResizesFromItsEdges)
{
    REQUIRE_X11();
    Skinned s(TvexUIStyle::MacOS, QRect(100, 100, 320, 200));
    ASSERT_TRUE(s.show());
    QWindow *window = s.host.windowHandle();
    const QRect start = s.host.geometry();
    drag(window, QPoint(150, 12), QPoint(50, 40));
    ASSERT_TRUE(waitFor([&] { return s.host.geometry() == start.translated(50, 40); })) << s.host.x();
    EXPECT_TRUE(waitFor([&] { return window->geometry() == start.translated(50, 40); }));

    const QRect moved = s.host.geometry();
    drag(window, QPoint(moved.width() - 1, moved.height() - 1), QPoint(60, 30));
    EXPECT_TRUE(waitFor([&] { return s.host.geometry() == moved.adjusted(0, 0, 60, 30); }));
    EXPECT_TRUE(waitFor([&] { return s.host.mask().boundingRect().size() == moved.size() + QSize(61, 31); }));
}

TEST(FormFrameX11, MaximisesToTheWorkAreaAndRestores)
{
    REQUIRE_X11();
    Skinned s(TvexUIStyle::WinXP, QRect(80, 70, 300, 180));
    ASSERT_TRUE(s.show());
    const QRect normal = s.host.geometry();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect fitted(work.x() - 4, work.y() - 4, work.width() + 8, work.height() + 3);

    s.button(vexMax)->PerformClick();
    EXPECT_TRUE(waitFor([&] { return s.host.geometry() == fitted; })) << s.host.width() << "x" << s.host.height();
    EXPECT_TRUE(s.host.isMaximized());
    s.button(vexMax)->PerformClick();
    EXPECT_TRUE(waitFor([&] { return s.host.geometry() == normal; }));

    // Maximised and restored by the window system's requests alike.
    s.host.showMaximized();
    EXPECT_TRUE(waitFor([&] { return s.host.geometry() == fitted; }))
        << s.host.geometry().x() << " " << s.host.geometry().y() << " " << s.host.width() << "x" << s.host.height()
        << " max " << s.host.isMaximized() << " win " << s.host.windowHandle()->geometry().width();
    s.host.showNormal();
    EXPECT_TRUE(waitFor([&] { return s.host.geometry() == normal; }));

    // A form created maximised is restored to its bounds of that moment.
    QWidget started;
    started.setGeometry(50, 60, 300, 200);
    started.setWindowState(Qt::WindowMaximized);
    (new TvexForm(&started))->setUIStyle(TvexUIStyle::MacOS);
    started.show();
    EXPECT_TRUE(waitFor([&] { return started.geometry() == fitted; }))
        << started.geometry().x() << " " << started.width() << "x" << started.height() << " max "
        << started.isMaximized();
    started.setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(waitFor([&] { return started.geometry() == QRect(50, 60, 300, 200); }));
}

TEST(FormFrameX11, WindowMenuMinimisesAndClosesFromTheKeyboard)
{
    REQUIRE_X11();
    Skinned s(TvexUIStyle::MacOS, QRect(200, 150, 320, 200));
    platform::setMainForm(&s.host);
    ASSERT_TRUE(s.show());
    TvexTitleBarPopupMenu *menu = s.frame->TitleBar()->SystemMenu();

    QTest::keyClick(s.frame, Qt::Key_Space, Qt::AltModifier);
    ASSERT_TRUE(waitFor([&] { return menu->isVisible(); }));
    EXPECT_EQ(menu->pos(), s.host.pos() + QPoint(0, 20));
    QTest::keyClick(menu, Qt::Key_N);
    EXPECT_TRUE(waitFor([&] { return s.host.isMinimized(); }));
    s.host.showNormal();
    ASSERT_TRUE(waitFor([&] { return !s.host.isMinimized() && s.host.isVisible(); }));

    QTest::keyClick(s.frame, Qt::Key_Space, Qt::AltModifier);
    ASSERT_TRUE(waitFor([&] { return menu->isVisible(); }));
    QTest::keyClick(menu, Qt::Key_C);
    EXPECT_TRUE(waitFor([&] { return !s.host.isVisible(); }));
    platform::setMainForm(nullptr);
}

TEST(FormFrameX11, TitleBarButtonsMinimiseAndClose)
{
    REQUIRE_X11();
    Skinned s(TvexUIStyle::BlueGlass, QRect(120, 120, 320, 200));
    ASSERT_TRUE(s.show());
    s.button(vexMin)->PerformClick();
    EXPECT_TRUE(waitFor([&] { return s.host.isMinimized(); }));
    s.host.showNormal();
    ASSERT_TRUE(waitFor([&] { return !s.host.isMinimized(); }));
    s.button(vexClose)->PerformClick();
    EXPECT_TRUE(waitFor([&] { return !s.host.isVisible(); }));
}

TEST(FormFrameX11, TheRegionShapesTheWindowOnScreen)
{
    REQUIRE_X11();
    OverBackdrop s(TvexUIStyle::WinXP, QRect(300, 200, 320, 200));
    QImage shot;
    ASSERT_TRUE(s.showUntilDrawn(0, &shot));
    const QRect area = s.host.geometry();
    EXPECT_EQ(rgbAt(shot, 0, 0), BackdropColor);
    EXPECT_EQ(rgbAt(shot, area.width() - 1, 0), BackdropColor);
    EXPECT_NE(rgbAt(shot, 0, area.height() - 1), BackdropColor);
    EXPECT_NE(rgbAt(shot, 0, 8), BackdropColor);

    s.frame->setRoundCorner(0);
    EXPECT_TRUE(waitFor([&] { return rgbAt(screenAt(area), 0, 0) != BackdropColor; }));
}

// Where a visible title-bar button lies in the host's window.
QPoint inHostWindow(const Skinned &s, TvexTitleBarBtnType type)
{
    TvexTitleBar *bar = s.frame->TitleBar();
    const TvexTitleBar::Layout layout = bar->ComputeLayout();
    const int index = s.button(type)->Index();
    QRect hit = layout.controlBox.index == index ? layout.controlBox.hit : QRect();
    for (const TvexTitleBar::Layout::Place &place : layout.buttons)
        if (place.index == index)
            hit = place.hit;
    return bar->mapTo(&s.host, hit.center());
}

// The first click opens the window menu, whose popup takes every press that
// follows; the second press of the double click must close the window all
// the same.
TEST(FormFrameX11, DoubleClickOnTheControlBoxClosesTheWindow)
{
    REQUIRE_X11();
    Skinned s(TvexUIStyle::MacOS, QRect(160, 140, 320, 200));
    ASSERT_TRUE(s.show());
    QWindow *window = s.host.windowHandle();
    TvexTitleBarPopupMenu *menu = s.frame->TitleBar()->SystemMenu();
    const QPoint box = inHostWindow(s, vexControlBox);

    // One click: the menu, and the window stays.
    QTest::mouseClick(window, Qt::LeftButton, {}, box);
    ASSERT_TRUE(waitFor([&] { return menu->isVisible(); }));
    EXPECT_TRUE(s.host.isVisible());
    QTest::keyClick(menu, Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !menu->isVisible(); }));
    EXPECT_TRUE(s.host.isVisible());

    // A double click on the caption next to it maximises, not closes.
    QTest::mouseDClick(window, Qt::LeftButton, {}, QPoint(150, 10));
    EXPECT_TRUE(waitFor([&] { return s.host.isMaximized(); }));
    EXPECT_TRUE(s.host.isVisible());
    QTest::mouseDClick(window, Qt::LeftButton, {}, QPoint(150, 10));
    ASSERT_TRUE(waitFor([&] { return !s.host.isMaximized(); }));

    QTest::mouseDClick(window, Qt::LeftButton, {}, inHostWindow(s, vexControlBox));
    EXPECT_TRUE(waitFor([&] { return !s.host.isVisible(); }));
    EXPECT_FALSE(menu->isVisible());
}

// No window manager iconifies the window: it stays on the screen, so the
// frame must go on treating it as shown (drawn, sized from its edges).
TEST(FormFrameX11, MinimiseWithoutAWindowManagerLeavesTheWindowWorking)
{
    REQUIRE_X11();
    OverBackdrop s(TvexUIStyle::MacOS, QRect(140, 120, 320, 200));
    QImage before;
    ASSERT_TRUE(s.showUntilDrawn(5, &before));
    QWindow *window = s.host.windowHandle();
    const QRect area = s.host.geometry();

    QTest::mouseClick(window, Qt::LeftButton, {}, inHostWindow(s, vexMin));
    EXPECT_TRUE(s.host.isMinimized()) << "asked for";
    ASSERT_TRUE(waitFor([&] { return !s.host.isMinimized(); })) << "still believed minimised";
    EXPECT_TRUE(s.host.isVisible());
    // The window looks as it did, band and bar included (the left half: the
    // cursor rests on the minimise button, which shows it).
    const QRect left(area.topLeft(), QSize(area.width() / 2, area.height()));
    EXPECT_TRUE(waitFor([&] { return screenAt(left) == before.copy(0, 0, left.width(), left.height()); }));

    // Its edges size it again.
    drag(window, QPoint(area.width() - 1, area.height() - 1), QPoint(40, 20));
    EXPECT_TRUE(waitFor([&] { return s.host.size() == area.size() + QSize(40, 20); }))
        << s.host.width() << "x" << s.host.height();

    // Minimised from the maximised state, it comes back maximised.
    s.button(vexMax)->PerformClick();
    ASSERT_TRUE(waitFor([&] { return s.host.isMaximized(); }));
    s.button(vexMin)->PerformClick();
    ASSERT_TRUE(waitFor([&] { return !s.host.isMinimized(); }));
    EXPECT_TRUE(s.host.isMaximized());
    s.button(vexMax)->PerformClick();
    EXPECT_TRUE(waitFor([&] { return !s.host.isMaximized() && s.host.size() == area.size() + QSize(40, 20); }));
}

} // namespace
