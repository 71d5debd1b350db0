#include "skin/VEXPopupHint.h"

#include "skin/VEXPopupMenu.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QToolTip>
#include <QVariant>
#include <QWidget>

namespace vex {

namespace {

bool isContextMenuKey(const QKeyEvent *key)
{
    return key->key() == Qt::Key_F10 && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier;
}

} // namespace

TvexPopupHint::TvexPopupHint(QWidget *control) : m_control(control) {}

bool TvexPopupHint::ShowHint() const
{
    if (!m_parentShowHint)
        return m_showHint;
    for (const QWidget *parent = m_control->parentWidget(); parent; parent = parent->parentWidget()) {
        const QVariant show = parent->property("ShowHint");
        if (show.isValid())
            return show.toBool();
    }
    return false;
}

void TvexPopupHint::setShowHint(bool show)
{
    m_showHint = show;
    m_parentShowHint = false;
}

QString TvexPopupHint::Hint() const
{
    return m_control->toolTip();
}

void TvexPopupHint::setHint(const QString &hint)
{
    m_control->setToolTip(hint);
}

bool TvexPopupHint::popupAt(const QPoint &globalPos) const
{
    if (!m_popupMenu)
        return false;
    if (auto *skinned = qobject_cast<TvexPopupMenu *>(m_popupMenu.data())) {
        skinned->setPopupComponent(m_control);
        skinned->Popup(globalPos.x(), globalPos.y());
    } else
        m_popupMenu->popup(globalPos);
    return true;
}

bool TvexPopupHint::handleEvent(QEvent *event)
{
    // A disabled control takes no input: its parent answers a right click.
    const bool enabled = m_control->isEnabled();
    switch (event->type()) {
    case QEvent::ContextMenu: {
        if (!enabled)
            return false;
        auto *request = static_cast<QContextMenuEvent *>(event);
        // From the keyboard the menu opens at the control, not wherever the
        // pointer happens to be.
        const QPoint at = request->reason() == QContextMenuEvent::Keyboard ? m_control->mapToGlobal(QPoint(0, 0))
                                                                           : request->globalPos();
        if (!popupAt(at))
            return false; // on to the parent, whose menu may show
        request->accept();
        return true;
    }
    case QEvent::KeyPress: {
        if (!enabled || !isContextMenuKey(static_cast<QKeyEvent *>(event)))
            return false;
        // The same request as the Menu key: a control without a menu leaves
        // it to its parents.
        QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(0, 0), m_control->mapToGlobal(QPoint(0, 0)));
        QApplication::sendEvent(m_control, &request);
        event->accept();
        return true;
    }
    case QEvent::ToolTip: {
        const QString hint = Hint().section(QLatin1Char('|'), 0, 0);
        if (hint.isEmpty())
            return false; // the parent's hint, if it has one
        if (ShowHint())
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), hint, m_control);
        else
            QToolTip::hideText();
        event->accept();
        return true;
    }
    default:
        return false;
    }
}

} // namespace vex
