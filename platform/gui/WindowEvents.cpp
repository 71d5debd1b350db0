#include "platform/gui/WindowEvents.h"

#include <QCoreApplication>

namespace platform {

void notifyFrameChanged(QWidget *form)
{
    if (!form)
        return;
    QEvent event(FrameChangedEvent);
    QCoreApplication::sendEvent(form, &event);
    form->update();
}

} // namespace platform
