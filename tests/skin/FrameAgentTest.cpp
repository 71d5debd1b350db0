#include "common/TestSupport.h"
#include "skin/VEXFrameAgent.h"
#include "skin/VEXPublic.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QShortcut>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <type_traits>

using namespace vex;
using testsupport::waitFor;

namespace {

// Records what the agent asks of it; takes Z as its only shortcut.
class RecordingDelegate : public FrameDelegate
{
public:
    QMargins margins{5, 3, 5, 2};
    mutable int bandPaints = 0;
    QList<QKeyCombination> offered;
    int menuRequests = 0;

    QMargins frameMargins() const override { return margins; }
    void paintFrameBand(QPainter &) const override { ++bandPaints; }
    bool frameHostEvent(QEvent *) override { return false; }
    bool frameShortcut(const QKeyEvent *event) override
    {
        offered.append(event->keyCombination());
        return event->keyCombination() == QKeyCombination(Qt::Key_Z);
    }
    int timesOffered(QKeyCombination key) const { return int(offered.count(key)); }
    void frameWindowMenuRequested() override { ++menuRequests; }
};

struct AgentOnHost
{
    AgentOnHost()
    {
        host.setGeometry(100, 100, 300, 200);
        host.setContentsMargins(1, 1, 1, 1);
        frame = new QWidget(&host);
        frame->setGeometry(20, 20, 200, 100);
        edit = new QLineEdit(frame);
        agent = std::make_unique<FrameAgent>(&host, frame, &delegate);
    }
    bool showActive()
    {
        host.show();
        host.activateWindow();
        return QTest::qWaitForWindowActive(&host);
    }

    QWidget host;
    QWidget *frame;
    QLineEdit *edit;
    RecordingDelegate delegate;
    std::unique_ptr<FrameAgent> agent;
};

} // namespace

TEST(FrameAgent, TakesTheHostOverAndGivesEverythingBack)
{
    AgentOnHost a;
    const QSize before(300, 200);
    EXPECT_TRUE(a.host.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(a.host.contentsMargins(), a.delegate.margins);
    EXPECT_TRUE(a.host.hasMouseTracking());
    // The client area keeps its size: the band grows the host.
    EXPECT_EQ(a.host.size(), before + QSize(10 - 2, 5 - 2));

    ASSERT_TRUE(a.showActive());
    EXPECT_TRUE(waitFor([&] { return a.delegate.bandPaints > 0; }));
    // The band lies under the children and lets the mouse through.
    EXPECT_EQ(a.host.childAt(QPoint(2, 2)), nullptr);
    auto directChildren = [&](auto *kind) {
        using Kind = std::remove_pointer_t<decltype(kind)>;
        return a.host.findChildren<Kind *>(Qt::FindDirectChildrenOnly).size();
    };
    EXPECT_EQ(directChildren(static_cast<QWidget *>(nullptr)), 2); // the frame and the band
    EXPECT_EQ(directChildren(static_cast<QShortcut *>(nullptr)), 1);

    a.delegate.margins = QMargins(7, 3, 7, 1);
    a.agent->updateMargins();
    EXPECT_EQ(a.host.contentsMargins(), QMargins(7, 3, 7, 1));

    a.host.setMask(QRegion(0, 0, 50, 50));
    a.agent->release();
    EXPECT_FALSE(a.host.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(a.host.contentsMargins(), QMargins(1, 1, 1, 1));
    EXPECT_FALSE(a.host.hasMouseTracking());
    EXPECT_TRUE(a.host.mask().isEmpty());
    EXPECT_EQ(directChildren(static_cast<QWidget *>(nullptr)), 1);
    EXPECT_EQ(directChildren(static_cast<QShortcut *>(nullptr)), 0);
    // Released once; the destructor has nothing left to give back.
    a.agent.reset();
    EXPECT_EQ(a.host.contentsMargins(), QMargins(1, 1, 1, 1));
}

TEST(FrameAgent, OutlivingItsHostIsHarmless)
{
    RecordingDelegate delegate;
    auto host = std::make_unique<QWidget>();
    auto *frame = new QWidget(host.get());
    FrameAgent agent(host.get(), frame, &delegate);
    host.reset();
    EXPECT_EQ(agent.host(), nullptr);
    agent.updateMargins();
    agent.release();
}

TEST(FrameAgent, KeysAreOfferedBeforeTheFocusWidgetSeesThem)
{
    AgentOnHost a;
    ASSERT_TRUE(a.showActive());
    a.edit->setFocus();
    QWindow *window = a.host.windowHandle();
    ASSERT_NE(window, nullptr);

    // Through the window, as the window system delivers them: a key taken
    // never reaches the focus widget, the others do.
    QTest::keyClick(window, Qt::Key_A);
    QTest::keyClick(window, Qt::Key_Z);
    QTest::keyClick(window, Qt::Key_B);
    EXPECT_EQ(a.edit->text(), "ab");
    EXPECT_EQ(a.delegate.timesOffered(Qt::Key_Z), 1);
    EXPECT_GE(a.delegate.timesOffered(Qt::Key_A), 1);

    // System keys are not shortcuts of the menu.
    QTest::keyClick(window, Qt::Key_X, Qt::AltModifier);
    EXPECT_EQ(a.delegate.timesOffered(QKeyCombination(Qt::AltModifier, Qt::Key_X)), 0);

    // A key the focus widget leaves unused comes up through the host once
    // more, and is offered there too.
    QTest::keyClick(a.edit, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(a.delegate.timesOffered(QKeyCombination(Qt::ControlModifier, Qt::Key_P)), 1);
    // A key sent to the focus widget itself is not offered before it: the
    // edit takes Z as text, and nothing comes up.
    a.edit->clear();
    QTest::keyClick(a.edit, Qt::Key_Z);
    EXPECT_EQ(a.edit->text(), "z");
}

TEST(FrameAgent, AltSpaceOpensTheWindowMenuOnceWhetherOrNotTheWindowIsActive)
{
    AgentOnHost a;
    ASSERT_TRUE(a.showActive());
    a.edit->setFocus();
    QTest::keyClick(a.edit, Qt::Key_Space, Qt::AltModifier);
    EXPECT_EQ(a.delegate.menuRequests, 1);
    EXPECT_TRUE(a.edit->text().isEmpty());

    // Another window is active: the key still comes up from the frame.
    QWidget other;
    other.setGeometry(600, 400, 100, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QTest::keyClick(a.frame, Qt::Key_Space, Qt::AltModifier);
    EXPECT_EQ(a.delegate.menuRequests, 2);
}

TEST(WindowDragger, MovesAndResizesByHandWhereTheSystemDoesNot)
{
    QWidget form;
    form.setGeometry(100, 100, 300, 200);
    form.setMinimumSize(120, 80);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    WindowDragger dragger;
    EXPECT_FALSE(dragger.begin(nullptr, QPoint()));
    EXPECT_FALSE(dragger.follow(QPoint(10, 10)));

    // Offscreen moves nothing itself: the form follows the mouse.
    const QPoint start = form.pos();
    ASSERT_TRUE(dragger.begin(&form, QPoint(500, 500)));
    ASSERT_TRUE(dragger.isFollowing());
    EXPECT_TRUE(dragger.follow(QPoint(530, 480)));
    EXPECT_EQ(form.pos(), start + QPoint(30, -20));
    EXPECT_TRUE(dragger.end());
    EXPECT_FALSE(dragger.end());
    EXPECT_FALSE(dragger.follow(QPoint(0, 0)));

    // The left edge moves, the right one stays, never below the minimum.
    const QRect g = form.geometry();
    ASSERT_TRUE(dragger.begin(&form, QPoint(0, 0), Qt::LeftEdge));
    dragger.follow(QPoint(-40, 0));
    EXPECT_EQ(form.geometry(), g.adjusted(-40, 0, 0, 0));
    dragger.follow(QPoint(1000, 0));
    EXPECT_EQ(form.width(), 120);
    EXPECT_EQ(form.geometry().right(), g.right());
    dragger.end();
}

TEST(WindowStatePolicy, MaximisesToTheWorkAreaAndRestoresTheBoundsFromBefore)
{
    QWidget form;
    form.setGeometry(120, 110, 300, 200);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QRect normal = form.geometry();
    EXPECT_EQ(MaximizedBounds(), GetWorkArea().adjusted(-4, -4, 4, -1));

    WindowStatePolicy states(&form);
    states.maximize();
    EXPECT_TRUE(form.isMaximized());
    EXPECT_TRUE(waitFor([&] { return form.geometry() == MaximizedBounds(); }));
    EXPECT_FALSE(states.isFitting());
    states.restore();
    EXPECT_FALSE(form.isMaximized());
    EXPECT_TRUE(waitFor([&] { return form.geometry() == normal; }));

    // Nothing here iconifies a window: the state goes back to what the
    // window really is, and it can be maximised again.
    states.minimize();
    EXPECT_TRUE(form.isMinimized());
    EXPECT_TRUE(waitFor([&] { return !form.isMinimized(); }));
    EXPECT_TRUE(form.isVisible());
    states.maximize();
    EXPECT_TRUE(waitFor([&] { return form.geometry() == MaximizedBounds(); }));
}
