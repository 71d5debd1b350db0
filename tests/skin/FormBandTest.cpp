// The frame's title bar and menu bar across its top, and the frame's
// edge-aligned children under them, whatever order things happen in.

#include "MenuBarTestSupport.h"

#include "platform/gui/Align.h"
#include "skin/VEXForm.h"
#include "skin/VEXFormMenuBar.h"

#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

using namespace vex;
using menubartest::addTopItem;
using menubartest::SkinnedHost;

namespace {

// A child of the frame of the given height, aligned to its top from the
// stored position top.
QWidget *topAligned(TvexForm *frame, int top, int height)
{
    auto *child = new QWidget(frame);
    child->setGeometry(0, top, 10, height);
    child->show();
    platform::setAlign(child, platform::alTop);
    return child;
}

int bandBottom(const TvexForm *frame)
{
    const TvexMenuBar *bar = frame->MenuBar();
    return bar ? bar->y() + bar->height() : frame->VisibleTitleBarHeight();
}

} // namespace

TEST(FormBand, TitleBarStaysOnTopWhateverTheChildrenStoreAndWhenTheyAreAligned)
{
    SkinnedHost s(TvexUIStyle::DeepBlue);
    TvexForm *frame = s.frame;
    // Stored above the bar, before the window is shown.
    QWidget *early = topAligned(frame, -40, 30);
    s.host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.host.get()));
    const int bar = frame->TitleBar()->height();
    ASSERT_GT(bar, 0);
    EXPECT_EQ(frame->TitleBar()->geometry(), QRect(0, 0, frame->width(), bar));
    EXPECT_EQ(early->geometry(), QRect(0, bar, frame->width(), 30));

    // Aligned after the window is shown, also from above the bar: it goes
    // before the first child, still under the bar.
    QWidget *late = topAligned(frame, -100, 20);
    EXPECT_EQ(frame->TitleBar()->y(), 0);
    EXPECT_EQ(late->y(), bar);
    EXPECT_EQ(early->y(), bar + 20);

    frame->resize(frame->width() - 10, frame->height());
    EXPECT_EQ(frame->TitleBar()->geometry(), QRect(0, 0, frame->width(), bar));
    EXPECT_EQ(late->geometry(), QRect(0, bar, frame->width(), 20));

    frame->setTitleBarVisible(false);
    EXPECT_EQ(late->y(), 0);
    EXPECT_EQ(early->y(), 20);
    frame->setTitleBarVisible(true);
    EXPECT_EQ(frame->TitleBar()->y(), 0);
    EXPECT_EQ(late->y(), bar);
}

TEST(FormBand, MenuBarMadeAfterTheChildrenGoesBetweenThemAndTheTitleBar)
{
    SkinnedHost s(TvexUIStyle::WinXP);
    TvexForm *frame = s.frame;
    s.host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.host.get()));
    QWidget *child = topAligned(frame, 0, 25);
    const int bar = frame->TitleBar()->height();
    EXPECT_EQ(child->y(), bar);

    auto *menu = new QMenu(s.host.get());
    addTopItem(menu, QStringLiteral("&File"), {QStringLiteral("Open")});
    frame->setMenu(menu);
    ASSERT_NE(frame->MenuBar(), nullptr);
    EXPECT_EQ(frame->TitleBar()->y(), 0);
    EXPECT_EQ(frame->MenuBar()->y(), bar);
    EXPECT_EQ(child->y(), bar + frame->MenuBar()->height());

    // A taller bar pushes the children down; so does a title bar shown
    // again above it.
    frame->setMenuBarHeight(30);
    EXPECT_EQ(frame->MenuBar()->height(), 30);
    EXPECT_EQ(child->y(), bar + 30);
    frame->setTitleBarVisible(false);
    EXPECT_EQ(frame->MenuBar()->y(), 0);
    EXPECT_EQ(child->y(), 30);
    frame->setTitleBarVisible(true);
    EXPECT_EQ(frame->MenuBar()->y(), bar);
    EXPECT_EQ(child->y(), bar + 30);

    // Dropping the menu gives its room back at once.
    frame->setMenu(nullptr);
    EXPECT_EQ(frame->MenuBar(), nullptr);
    EXPECT_EQ(child->y(), bar);
}

TEST(FormBand, StyleThatChangesTheTitleBarHeightMovesTheChildren)
{
    SkinnedHost s(TvexUIStyle::DeepBlue);
    TvexForm *frame = s.frame;
    auto *menu = new QMenu(s.host.get());
    addTopItem(menu, QStringLiteral("&File"));
    frame->setMenu(menu);
    QWidget *child = topAligned(frame, 5, 25);
    auto *panel = new QWidget(frame);
    panel->show();
    platform::setAlign(panel, platform::alClient);
    s.host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.host.get()));

    QList<int> heights;
    for (TvexUIStyle style : {TvexUIStyle::MacOS, TvexUIStyle::WinXP, TvexUIStyle::Protein, TvexUIStyle::BlueGlass,
                              TvexUIStyle::DeepBlue}) {
        frame->setUIStyle(style);
        const int bar = frame->TitleBar()->height();
        heights << bar;
        EXPECT_EQ(frame->TitleBar()->geometry(), QRect(0, 0, frame->width(), bar)) << int(style);
        EXPECT_EQ(frame->MenuBar()->y(), bar) << int(style);
        EXPECT_EQ(child->y(), bandBottom(frame)) << int(style);
        EXPECT_EQ(panel->geometry(), QRect(0, child->y() + 25, frame->width(), frame->height() - child->y() - 25))
            << int(style);
    }
    // The styles do differ in height, so the children did move.
    std::sort(heights.begin(), heights.end());
    EXPECT_NE(heights.first(), heights.last());
}
