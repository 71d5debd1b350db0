#pragma once

// The skinned frame's menu bar: a flat tool bar under the title bar with one
// tool button per top-level item of the frame's Menu. The frame makes,
// fills and drops it (TvexForm::CreateMenuBar and its siblings) and paints
// its background and buttons (DrawMenuBarBackground, DrawMenuBarButton).
//
// A button is tied to its menu item: pressing it drops the item's sub-menu
// down under it, or runs the item when it has no sub-items. While one
// drop-down is open, moving the mouse onto another button, or Left and
// Right, opens that button's drop-down instead.
//
// The bar wraps: buttons that do not fit beside the others start a new row
// under them, and the bar grows by one button height per row, so every
// item stays within reach in a narrow window.

#include "platform/gui/Colors.h"

#include <QAction>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>

#include <functional>
#include <memory>

class QMenu;
class QStyle;

namespace vex {

class TvexForm;
class TvexMenuBarButton;

class TvexMenuBar : public QToolBar
{
    Q_OBJECT
    Q_PROPERTY(platform::TColor Color READ Color WRITE setColor)

public:
    // A bar of frame, which becomes its parent.
    explicit TvexMenuBar(TvexForm *frame);
    ~TvexMenuBar() override;

    // The frame that made the bar (none once that frame is gone).
    TvexForm *Frame() const { return m_frame; }

    // The background colour under the pictures and buttons.
    platform::TColor Color() const { return m_color; }
    void setColor(platform::TColor color);

    // The height of the bar and of each of its buttons.
    int ButtonHeight() const { return m_buttonHeight; }
    void setButtonHeight(int height);

    // The buttons in order, left to right.
    QList<TvexMenuBarButton *> Buttons() const;
    // The number of rows the visible buttons take at the bar's width.
    int RowCount() const { return m_rows; }
    // Appends a button tied to item.
    TvexMenuBarButton *AddButton(QAction *item);
    void ClearButtons();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class TvexMenuBarButton;
    class LayoutStyle;

    // Called by a button just before its drop-down opens and after it closed.
    void dropDownOpening(TvexMenuBarButton *button, QMenu *menu);
    void dropDownClosed(TvexMenuBarButton *button, QMenu *menu);
    // Closes the open drop-down and opens that of button instead.
    void switchTo(TvexMenuBarButton *button);
    TvexMenuBarButton *neighbour(TvexMenuBarButton *button, int step) const;
    TvexMenuBarButton *buttonAt(const QPoint &global) const;
    // Places the visible buttons in rows at the bar's width and makes the
    // bar as high as the rows.
    void wrapButtons();

    QPointer<TvexForm> m_frame;
    platform::TColor m_color = platform::clBtnFace;
    int m_buttonHeight = 22;
    std::unique_ptr<QStyle> m_layoutStyle;
    QList<QPointer<TvexMenuBarButton>> m_buttons;
    int m_rows = 1;
    bool m_wrapping = false;
    QPointer<TvexMenuBarButton> m_open;
    QPointer<QMenu> m_openMenu;
};

class TvexMenuBarButton : public QToolButton
{
    Q_OBJECT

public:
    TvexMenuBarButton(QAction *item, TvexMenuBar *bar);

    // The menu item the button stands for (none once it is gone).
    QAction *Item() const { return m_item; }
    TvexMenuBar *Bar() const { return m_bar; }

    // Copies the item's caption, enabled state and visibility.
    void RefreshFromItem();

    // The mouse is over the button.
    bool IsHot() const { return m_hot; }
    // The button is pressed or its drop-down is open.
    bool IsSelected() const { return isDown(); }

    // Drops the item's sub-menu down, or runs the item without one.
    void Open();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    friend class TvexMenuBar;
    void setHot(bool hot);
    // Gives the button the item's current sub-menu to drop down.
    QMenu *syncDropDown();
    // Tells the bar that sub drops down from this button, runs show (which
    // returns once the drop-down has closed), then tells the bar it closed;
    // the button, the bar and sub may all be gone by then.
    void dropDown(QMenu *sub, const std::function<void()> &show);

    QPointer<QAction> m_item;
    TvexMenuBar *m_bar;
    bool m_hot = false;
};

} // namespace vex
