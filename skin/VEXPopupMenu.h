#pragma once

#include "platform/gui/Colors.h"
#include "platform/gui/Component.h"
#include "platform/gui/ImageList.h"
#include "skin/VEXMenu.h"
#include "skin/VEXMenuBase.h"
#include "skin/VEXMgr.h"
#include "skin/VEXThemes.h"

#include <QMenu>
#include <QPointer>

namespace vex {

// A popup menu that draws every item itself, in the colours of a visual style
// or file theme, or with the MacOS style's bitmaps. Its items are its QActions
// (see VEXMenu.h for the "ImageIndex" item property and "-" separators).
class TvexPopupMenu : public TvexMenuComponent
{
    Q_OBJECT

public:
    // Takes the style of the frame on owner (GetOwnerFormStyle).
    Q_INVOKABLE explicit TvexPopupMenu(QWidget *owner = nullptr);
    ~TvexPopupMenu() override;

    QSize MeasureMenuItem(const QAction *item, const QFontMetrics &canvasFont) const;
    void DrawMenuItem(const QAction *item, QPainter &canvas, const QRect &rect, bool highlighted) const;

    // Shows the menu with its top-left corner at the screen point (x, y).
    virtual void Popup(int x, int y);

    // The control whose context menu this was opened as, for the items'
    // handlers; none when it was opened otherwise, or the control is gone.
    QWidget *PopupComponent() const { return m_popupComponent; }
    void setPopupComponent(QWidget *control) { m_popupComponent = control; }

    // Attaches every top-level item, in order.
    void loaded() override;

private:
    QPointer<QWidget> m_popupComponent;
};

} // namespace vex
