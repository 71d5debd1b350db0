#pragma once

#include <QPointer>
#include <QString>

class QEvent;
class QMenu;
class QPoint;
class QWidget;

namespace vex {

// The context menu and the hint of a skinned control, which every control
// publishes as PopupMenu, ShowHint, ParentShowHint and Hint. A control holds
// one and offers it each event first (handleEvent).
//
// - PopupMenu: a QMenu (a TvexPopupMenu pops up through its Popup) shown on
//   a right click, the Menu key or Shift+F10. A control without one, or a
//   disabled one, leaves the request to its parent, so the parent's menu
//   shows instead.
// - Hint: the tooltip text; only the part before a "|" is shown.
// - ShowHint: whether the hint shows at all. While ParentShowHint is on
//   (the default) it is the ShowHint of the nearest parent that publishes
//   one, and off when no parent does; setting ShowHint turns ParentShowHint
//   off.
class TvexPopupHint
{
public:
    explicit TvexPopupHint(QWidget *control);
    TvexPopupHint(const TvexPopupHint &) = delete;
    TvexPopupHint &operator=(const TvexPopupHint &) = delete;

    QMenu *PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu *menu) { m_popupMenu = menu; }

    bool ShowHint() const;
    void setShowHint(bool show);
    bool ParentShowHint() const { return m_parentShowHint; }
    void setParentShowHint(bool value) { m_parentShowHint = value; }

    // Kept as the control's tooltip, so that tools reading tooltips see it.
    QString Hint() const;
    void setHint(const QString &hint);

    // Pops the menu up for a context-menu request, shows or withholds the
    // hint for a tooltip request, and turns Shift+F10 into a context-menu
    // request. True when the event is taken and goes no further.
    bool handleEvent(QEvent *event);

    // Shows PopupMenu with its top-left corner at the screen point; false
    // when the control has none.
    bool popupAt(const QPoint &globalPos) const;

private:
    QWidget *m_control;
    QPointer<QMenu> m_popupMenu;
    bool m_showHint = false;
    bool m_parentShowHint = true;
};

} // namespace vex
