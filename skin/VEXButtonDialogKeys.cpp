// The form-wide Enter/Escape policy of the push buttons: which button is the
// active default, and how a dialog key that no control took reaches the
// Default or Cancel button.

#include "skin/VEXButton.h"

#include "skin/VEXButtonParts_p.h"

#include <QKeyEvent>

namespace vex {

using namespace buttonparts;

namespace {

// Watches a form for the dialog keys that no control took and offers them to
// its push buttons.
class DialogKeyFilter : public QObject
{
public:
    explicit DialogKeyFilter(QWidget *form) : QObject(form), m_form(form) { form->installEventFilter(this); }

    static void ensure(QWidget *form)
    {
        for (QObject *child : form->children()) {
            if (dynamic_cast<DialogKeyFilter *>(child))
                return;
        }
        new DialogKeyFilter(form);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_form || event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        if (!isDialogKey(key->key()) || key->isAutoRepeat())
            return false;
        return TvexCustomButton::dispatchDialogKey(m_form, key->key(), key->modifiers());
    }

private:
    QWidget *m_form;
};

} // namespace

bool TvexCustomButton::dispatchDialogKey(QWidget *form, int key, Qt::KeyboardModifiers modifiers)
{
    if (!form)
        return false;
    QList<TvexCustomButton *> buttons;
    // A button that is a window of its own is its own form.
    if (auto *self = qobject_cast<TvexCustomButton *>(form))
        buttons.append(self);
    buttons += form->findChildren<TvexCustomButton *>();
    for (TvexCustomButton *button : std::as_const(buttons)) {
        if (button->dialogKey(key, modifiers))
            return true;
    }
    return false;
}

bool TvexCustomButton::dialogKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool mine = (isEnterKey(key) && m_activeDefault) || (key == Qt::Key_Escape && m_cancel);
    const bool plain = (modifiers & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!mine || !plain || !isVisible() || !isEnabled())
        return false;
    Click();
    return true;
}

void TvexCustomButton::updateActiveDefault(QWidget *focused)
{
    m_activeDefault = qobject_cast<TvexCustomButton *>(focused) ? focused == this : m_default;
    update();
}

void TvexCustomButton::rebroadcastFocus()
{
    QWidget *form = window();
    if (form == this || !parentWidget()) {
        m_activeDefault = m_default;
        return;
    }
    QWidget *focused = form->focusWidget();
    const QList<TvexCustomButton *> buttons = form->findChildren<TvexCustomButton *>();
    for (TvexCustomButton *button : buttons)
        button->updateActiveDefault(focused);
}

void TvexCustomButton::watchForm()
{
    if (QWidget *form = window(); form != this)
        DialogKeyFilter::ensure(form);
}

} // namespace vex
