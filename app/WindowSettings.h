#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

class QWidget;

// What the main window keeps between starts: the source directory (the
// directory tree's selection), the masks, the output directory, the checked
// output kind and the window's position. They live in
// $XDG_CONFIG_HOME/tabulon/tabulon.conf; without that file the window keeps
// the values of its form description.
class WindowSettings
{
public:
    // The settings file of the current environment.
    static QString filePath();

    // Writes the window's current values; false when the file cannot be written.
    static bool save(const QWidget &window);
    // Puts saved values back into the window's controls. A saved source
    // directory that no longer exists leaves the tree where it started; a
    // saved position is moved onto a screen that exists.
    static void restore(QWidget &window);

    // Where a window with this frame goes so that it lies on one of the
    // screens' available areas: the area holding most of it (the first area
    // when it touches none), clamped so that it fits, its top-left corner
    // first when it is larger than the area.
    static QPoint placeOnScreen(const QRect &frame, const QList<QRect> &availableAreas);
};
