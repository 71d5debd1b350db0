// The push button's link to an action.

#include "ControlTestKit.h"

#include "common/TestSupport.h"
#include "skin/VEXButton.h"

#include <QAction>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace controltest;
using vex::TvexButton;

namespace {

// A 16 x 16 picture in one colour, its top-left pixel magenta.
QImage picture(QColor colour)
{
    QImage image = testsupport::filledImage({16, 16}, colour);
    image.setPixel(0, 0, qRgb(255, 0, 255));
    return image;
}

QIcon iconOf(QColor colour)
{
    QPixmap pixmap = QPixmap::fromImage(picture(colour));
    pixmap.setMask(pixmap.createMaskFromColor(Qt::magenta));
    return QIcon(pixmap);
}

QPoint middle(QWidget *w)
{
    return QPoint(w->width() / 2, w->height() / 2);
}

} // namespace

TEST(ButtonAction, TakesTheActionsStateAndFollowsItsChanges)
{
    FlatForm form;
    TvexButton button(&form);
    button.resize(120, 40);
    button.setCaption(QStringLiteral("Own"));
    QAction action(QStringLiteral("&Go"));
    action.setEnabled(false);
    action.setIcon(iconOf(Qt::red));

    button.setAction(&action);
    EXPECT_EQ(button.Action(), &action);
    EXPECT_EQ(button.Caption(), QStringLiteral("&Go"));
    EXPECT_FALSE(button.isEnabled());
    ASSERT_FALSE(button.Glyph().isNull());
    EXPECT_EQ(button.Glyph().size(), QSize(16, 16));

    action.setText(QStringLiteral("&Run"));
    action.setEnabled(true);
    action.setIcon(iconOf(Qt::blue));
    EXPECT_EQ(button.Caption(), QStringLiteral("&Run"));
    EXPECT_TRUE(button.isEnabled());

    // The icon is drawn as the glyph, its transparent pixel left out.
    ASSERT_TRUE(form.showActive());
    const QImage shot = grabImage(&button);
    const QPoint g = button.glyphPosition();
    EXPECT_EQ(rgb(shot, g.x() + 8, g.y() + 8), 0x0000FFu);
    EXPECT_EQ(countColor(shot, Magenta), 0);

    // An action without an icon takes its glyph away again.
    action.setIcon(QIcon());
    EXPECT_TRUE(button.Glyph().isNull());

    // A glyph of the button's own stays whatever the action shows.
    button.setGlyph(picture(Qt::green));
    action.setIcon(iconOf(Qt::red));
    EXPECT_EQ(rgb(button.Glyph(), 8, 8), 0x00FF00u);
}

TEST(ButtonAction, AClickTriggersTheActionThenFiresOnClick)
{
    FlatForm form;
    auto *button = new TvexButton(&form);
    button->move(10, 10);
    QAction action(QStringLiteral("&Go"));
    QStringList order;
    QObject::connect(&action, &QAction::triggered, [&] { order << QStringLiteral("action"); });
    QObject::connect(button, &TvexButton::OnClick, [&] { order << QStringLiteral("click"); });
    button->setAction(&action);
    ASSERT_TRUE(form.showActive());

    mouseClick(button, middle(button));
    EXPECT_EQ(order, (QStringList{"action", "click"}));

    // The access key of the action's caption clicks too.
    order.clear();
    QTest::keyClick(&form, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(order, (QStringList{"action", "click"}));

    // A disabled action disables the button: a click does nothing.
    order.clear();
    action.setEnabled(false);
    mouseClick(button, middle(button));
    EXPECT_TRUE(order.isEmpty());

    // A handler of the action that deletes the button ends the click there.
    action.setEnabled(true);
    QPointer<TvexButton> guard(button);
    QObject::connect(&action, &QAction::triggered, button, [button] { delete button; });
    order.clear();
    mouseClick(button, middle(button));
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(order, (QStringList{"action"}));
}

TEST(ButtonAction, AnActionThatGoesAwayLeavesTheButtonAsItWas)
{
    FlatForm form;
    TvexButton button(&form);
    auto action = std::make_unique<QAction>(QStringLiteral("&Save"));
    action->setIcon(iconOf(Qt::red));
    button.setAction(action.get());
    QSignalSpy clicks(&button, &TvexButton::OnClick);
    action.reset();
    EXPECT_EQ(button.Action(), nullptr);
    EXPECT_EQ(button.Caption(), QStringLiteral("&Save"));
    EXPECT_FALSE(button.Glyph().isNull());
    button.Click();
    EXPECT_EQ(clicks.count(), 1);

    // Another action replaces the first; the first no longer reaches it.
    QAction first(QStringLiteral("First"));
    QAction second(QStringLiteral("Second"));
    button.setAction(&first);
    button.setAction(&second);
    first.setText(QStringLiteral("Changed"));
    EXPECT_EQ(button.Caption(), QStringLiteral("Second"));
    QSignalSpy firstRuns(&first, &QAction::triggered);
    button.Click();
    EXPECT_EQ(firstRuns.count(), 0);
}
