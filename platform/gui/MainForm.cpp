#include "platform/gui/MainForm.h"

#include <QPointer>

namespace platform {

// The one piece of application-wide state the toolkit needs; a QPointer so a
// destroyed main form reads as none.
static QPointer<QWidget> &mainFormSlot()
{
    static QPointer<QWidget> slot;
    return slot;
}

QWidget *mainForm()
{
    return mainFormSlot().data();
}

void setMainForm(QWidget *form)
{
    mainFormSlot() = form;
}

} // namespace platform
