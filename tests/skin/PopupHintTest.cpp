// Context menus (PopupMenu) and hints (ShowHint, Hint) of the skinned
// controls: panels, push buttons, check boxes and radio buttons.

#include "ControlTestKit.h"

#include "common/TestSupport.h"
#include "skin/VEXButton.h"
#include "skin/VEXImagePanel.h"
#include "skin/VEXPopupMenu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

#include <functional>

using namespace controltest;
using testsupport::waitFor;

namespace {

// One skinned control of each kind, made on parent.
struct ControlKind
{
    const char *name;
    std::function<QWidget *(QWidget *)> make;
};

const ControlKind Kinds[] = {
    {"TvexImagePanel", [](QWidget *p) -> QWidget * { return new vex::TvexImagePanel(p); }},
    {"TvexButton", [](QWidget *p) -> QWidget * { return new vex::TvexButton(p); }},
    {"TvexCheckBox", [](QWidget *p) -> QWidget * { return new vex::TvexCheckBox(p); }},
    {"TvexRadioButton", [](QWidget *p) -> QWidget * { return new vex::TvexRadioButton(p); }},
};

void setMenu(QWidget *control, QMenu *menu)
{
    ASSERT_TRUE(control->setProperty("PopupMenu", QVariant::fromValue(menu))) << control->metaObject()->className();
}

// A right click as the window system delivers it.
void rightClick(QWidget *w, QPoint local)
{
    QTest::mouseClick(windowOf(w), Qt::RightButton, {}, inWindow(w, local));
}

bool shownAt(QMenu *menu, QPoint global)
{
    return waitFor([&] { return menu->isVisible() && menu->pos() == global; }, 2000);
}

void closeMenu(QMenu *menu)
{
    menu->hide();
    waitFor([&] { return !menu->isVisible(); }, 2000);
}

// Whether menu shows at global; it is closed again either way.
bool shownAtThenClosed(QMenu *menu, QPoint global)
{
    const bool shown = shownAt(menu, global);
    closeMenu(menu);
    return shown;
}

// Shift+F10, the keyboard's request for a context menu, to w once it has
// the focus; false when it never gets it.
bool pressMenuKeys(QWidget *w)
{
    w->setFocus();
    if (!waitFor([&] { return w->hasFocus(); }, 2000))
        return false;
    QTest::keyClick(w, Qt::Key_F10, Qt::ShiftModifier);
    return true;
}

// Asks w for its tooltip at its middle, as hovering does.
void requestHint(QWidget *w)
{
    const QPoint at(w->width() / 2, w->height() / 2);
    QHelpEvent help(QEvent::ToolTip, at, w->mapToGlobal(at));
    QApplication::sendEvent(w, &help);
}

bool tipShows(const QString &text)
{
    return waitFor([&] { return QToolTip::isVisible() && QToolTip::text() == text; }, 2000);
}

bool tipHidden()
{
    return waitFor([] { return !QToolTip::isVisible(); }, 2000);
}

} // namespace

TEST(ControlPopupMenu, RightClickMenuKeyAndShiftF10OpenIt)
{
    for (const ControlKind &kind : Kinds) {
        SCOPED_TRACE(kind.name);
        FlatForm form;
        form.move(20, 20);
        QWidget *control = kind.make(&form);
        control->setGeometry(30, 40, 100, 30);
        control->setFocusPolicy(Qt::StrongFocus);
        vex::TvexPopupMenu menu(&form);
        menu.addAction(QStringLiteral("Item"));
        setMenu(control, &menu);
        EXPECT_EQ(control->property("PopupMenu").value<QMenu *>(), &menu);
        ASSERT_TRUE(form.showActive());

        // At the pointer for a click.
        rightClick(control, QPoint(10, 5));
        EXPECT_TRUE(shownAt(&menu, control->mapToGlobal(QPoint(10, 5))));
        EXPECT_EQ(menu.PopupComponent(), control);
        closeMenu(&menu);

        // At the control for the keyboard, whatever the pointer's place.
        QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(60, 20), control->mapToGlobal(QPoint(60, 20)));
        QApplication::sendEvent(control, &menuKey);
        EXPECT_TRUE(shownAtThenClosed(&menu, control->mapToGlobal(QPoint(0, 0))));

        ASSERT_TRUE(pressMenuKeys(control));
        EXPECT_TRUE(shownAtThenClosed(&menu, control->mapToGlobal(QPoint(0, 0))));
    }
}

TEST(ControlPopupMenu, WithoutOneTheParentsMenuShows)
{
    FlatForm form;
    auto *panel = new vex::TvexImagePanel(&form);
    panel->setGeometry(10, 10, 250, 150);
    auto *button = new vex::TvexButton(panel);
    button->move(20, 20);
    auto *check = new vex::TvexCheckBox(panel);
    check->move(20, 80);
    QMenu panelMenu;
    panelMenu.addAction(QStringLiteral("Panel item"));
    panel->setPopupMenu(&panelMenu);
    ASSERT_TRUE(form.showActive());

    rightClick(button, QPoint(5, 5));
    EXPECT_TRUE(shownAtThenClosed(&panelMenu, button->mapToGlobal(QPoint(5, 5))));

    // Shift+F10 on a control without a menu goes the same way; a request
    // from the keyboard opens the menu at the control that shows it.
    ASSERT_TRUE(pressMenuKeys(check));
    EXPECT_TRUE(shownAtThenClosed(&panelMenu, panel->mapToGlobal(QPoint(0, 0))));

    // Nor does a disabled control show its own.
    QMenu buttonMenu;
    button->setPopupMenu(&buttonMenu);
    button->setEnabled(false);
    rightClick(button, QPoint(5, 5));
    EXPECT_TRUE(shownAt(&panelMenu, button->mapToGlobal(QPoint(5, 5))));
    EXPECT_FALSE(buttonMenu.isVisible());
    closeMenu(&panelMenu);
    button->setEnabled(true);

    // A menu that goes away leaves no dangling link.
    {
        QMenu gone;
        button->setPopupMenu(&gone);
    }
    EXPECT_EQ(button->PopupMenu(), nullptr);
    rightClick(button, QPoint(5, 5));
    EXPECT_TRUE(shownAtThenClosed(&panelMenu, button->mapToGlobal(QPoint(5, 5))));
}

TEST(ControlHint, ShowsOnlyWithShowHintAndFollowsTheParent)
{
    for (const ControlKind &kind : Kinds) {
        SCOPED_TRACE(kind.name);
        FlatForm form;
        auto *holder = new QWidget(&form);
        holder->setGeometry(0, 0, 300, 200);
        QWidget *control = kind.make(holder);
        control->setGeometry(30, 40, 100, 30);
        ASSERT_TRUE(control->setProperty("Hint", QStringLiteral("Converts|Converts every workbook")));
        EXPECT_EQ(control->toolTip(), QStringLiteral("Converts|Converts every workbook"));
        ASSERT_TRUE(form.showActive());

        // Off by default: no parent says otherwise.
        EXPECT_FALSE(control->property("ShowHint").toBool());
        EXPECT_TRUE(control->property("ParentShowHint").toBool());
        requestHint(control);
        EXPECT_TRUE(tipHidden());

        // The parent's ShowHint, and only the short part before "|".
        holder->setProperty("ShowHint", true);
        EXPECT_TRUE(control->property("ShowHint").toBool());
        requestHint(control);
        EXPECT_TRUE(tipShows(QStringLiteral("Converts")));

        // A ShowHint of its own wins over the parent's.
        control->setProperty("ShowHint", false);
        EXPECT_FALSE(control->property("ParentShowHint").toBool());
        requestHint(control);
        EXPECT_TRUE(tipHidden());

        // Without a hint of its own, the parent's hint shows.
        control->setProperty("ShowHint", true);
        control->setProperty("Hint", QString());
        holder->setToolTip(QStringLiteral("The holder"));
        requestHint(control);
        EXPECT_TRUE(tipShows(QStringLiteral("The holder")));
        QToolTip::hideText();
        EXPECT_TRUE(tipHidden());
    }
}
