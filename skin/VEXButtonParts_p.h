#pragma once

// Pieces the push button and the check box draw and decide with; private to
// the skin library.

#include "platform/gui/Colors.h"

#include <QImage>
#include <QRect>
#include <QString>

class QPainter;
class QWidget;

namespace vex::buttonparts {

inline bool isEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}
inline bool isDialogKey(int key)
{
    return isEnterKey(key) || key == Qt::Key_Escape;
}
inline bool isPushKey(int key)
{
    return key == Qt::Key_Space || isEnterKey(key);
}

// The drawn pixels of a keyed picture as a grey silhouette over a white
// shadow one pixel down and right: the usual look of a disabled picture.
QImage embossed(const QImage &keyed);

// A copy of picture in shades of grey, its transparency kept.
QImage greyed(const QImage &picture);

// Every other pixel along the rectangle's edge inverted, as the platform's
// focus rectangle does; drawing it twice restores the picture.
void drawFocusRect(QPainter &canvas, const QRect &r);

// Measures text in r with word breaks and tab expansion, centres the
// measured block in r and draws it there, centred line by line.
void drawCentred(QPainter &canvas, const QRect &r, const QString &text);

// The colour of a control that takes its colour from its parent: the
// parent's Color when it publishes one, else what the parent's palette shows.
platform::TColor parentColor(const QWidget *control);

} // namespace vex::buttonparts
