#pragma once

// Helpers of the tests of the item look that popup and drop-down menus
// share: one item drawn alone over a magenta background, so that every
// pixel the look leaves alone is known.

#include "common/TestSupport.h"
#include "skin/VEXMenu.h"

#include <QImage>
#include <QPainter>

namespace menulooktest {

inline QImage drawItem(const vex::TvexMenuLook &look, const vex::TvexMenuItem &item, QSize size,
                       bool highlighted = false, bool rightToLeft = false)
{
    QImage image = testsupport::filledImage(size, Qt::magenta);
    QPainter painter(&image);
    look.DrawMenuItem(item, painter, QRect(QPoint(0, 0), size), highlighted, rightToLeft);
    return image;
}

inline vex::TvexMenuItem menuItem(const QString &caption, bool hasSubMenu = false)
{
    vex::TvexMenuItem item;
    item.caption = caption;
    item.hasSubMenu = hasSubMenu;
    return item;
}

} // namespace menulooktest
