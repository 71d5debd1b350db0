#include "skin/VEXPopupMenu.h"

#include "platform/gui/SystemMetrics.h"
#include "skin/VEXPublic.h"

#include <QAction>
#include <QPainter>

namespace vex {

TvexPopupMenu::TvexPopupMenu(QWidget *owner) : TvexMenuComponent(owner)
{
    look().UseFor(this);
    look().ApplyStyle(GetOwnerFormStyle(owner));
}

TvexPopupMenu::~TvexPopupMenu()
{
    markDestroying();
    // The item style goes with the look; hand the window back to the
    // application style before it does.
    setStyle(nullptr);
}

QSize TvexPopupMenu::MeasureMenuItem(const QAction *item, const QFontMetrics &canvasFont) const
{
    return look().MeasureMenuItem(TvexMenuItem::of(item, this), canvasFont);
}

void TvexPopupMenu::DrawMenuItem(const QAction *item, QPainter &canvas, const QRect &rect, bool highlighted) const
{
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft && platform::middleEastEnabled();
    look().DrawMenuItem(TvexMenuItem::of(item, this), canvas, rect, highlighted, rightToLeft);
}

void TvexPopupMenu::Popup(int x, int y)
{
    popup(QPoint(x, y));
}

void TvexPopupMenu::loaded()
{
    platform::Component::loaded();
    for (QAction *item : actions())
        look().AttachItemHandlers(item);
}

} // namespace vex
