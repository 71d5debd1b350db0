#pragma once

#include <QEvent>
#include <QWidget>

namespace platform {

// Sent to a form when what decides its non-client area (border widths,
// border pictures) has changed: whoever draws the form's frame recomputes the
// margins and repaints them, without moving, sizing, raising or activating the
// window. Unhandled, it does nothing.
constexpr QEvent::Type FrameChangedEvent = QEvent::Type(QEvent::User + 0x37);

// Sends FrameChangedEvent to form (synchronously) and schedules a repaint.
void notifyFrameChanged(QWidget *form);

} // namespace platform
