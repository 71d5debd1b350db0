#pragma once

#include "platform/Colors.h"
#include "platform/Component.h"
#include "platform/ImageList.h"
#include "skin/VEXMenu.h"
#include "skin/VEXMgr.h"
#include "skin/VEXThemes.h"

#include <QMenu>
#include <QPointer>

namespace vex {

// A popup menu that draws every item itself, in the colours of a visual style
// or file theme, or with the MacOS style's bitmaps. Its items are its QActions
// (see VEXMenu.h for the "ImageIndex" item property and "-" separators).
class TvexPopupMenu : public QMenu, public platform::Component, public TvexMenuLook
{
    Q_OBJECT
    Q_PROPERTY(platform::TImageList *Images READ Images WRITE setImages)
    Q_PROPERTY(bool OwnerDraw READ OwnerDraw WRITE setOwnerDraw)
    Q_PROPERTY(vex::TvexFileTheme *FileTheme READ FileTheme WRITE setFileTheme)
    Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle WRITE setUIStyle)
    Q_PROPERTY(int MenuItemHeight READ MenuItemHeight WRITE setMenuItemHeight)
    Q_PROPERTY(int SeparatorHeight READ SeparatorHeight WRITE setSeparatorHeight)
    Q_PROPERTY(int BarWidth READ BarWidth WRITE setBarWidth)
    Q_PROPERTY(platform::TColor BarColor READ BarColor WRITE setBarColor)
    Q_PROPERTY(platform::TColor Color READ Color WRITE setColor)
    Q_PROPERTY(platform::TColor SeparatorColor READ SeparatorColor WRITE setSeparatorColor)
    Q_PROPERTY(platform::TColor SelectedBorderColor READ SelectedBorderColor WRITE setSelectedBorderColor)
    Q_PROPERTY(platform::TColor SelectedColor READ SelectedColor WRITE setSelectedColor)
    Q_PROPERTY(platform::TColor SelectedFontColor READ SelectedFontColor WRITE setSelectedFontColor)
    Q_PROPERTY(platform::TColor FontColor READ FontColor WRITE setFontColor)
    Q_PROPERTY(platform::TColor BorderColor READ BorderColor WRITE setBorderColor)
    Q_PROPERTY(bool FlatMenu READ FlatMenu WRITE setFlatMenu)
    Q_PROPERTY(QString FontName READ FontName WRITE setFontName)
    Q_PROPERTY(int FontSize READ FontSize WRITE setFontSize)
    Q_PROPERTY(int FontCharset READ FontCharset WRITE setFontCharset)
    Q_PROPERTY(bool UseSystemFont READ UseSystemFont WRITE setUseSystemFont)

public:
    // Takes the style of the frame on owner (GetOwnerFormStyle).
    Q_INVOKABLE explicit TvexPopupMenu(QWidget *owner = nullptr);
    ~TvexPopupMenu() override;

    bool OwnerDraw() const { return true; }
    void setOwnerDraw(bool) {}

    // The image list whose pictures the items' "ImageIndex" draw; none by
    // default. Check marks come from the list all popup menus share either way.
    platform::TImageList *Images() const { return m_images; }
    void setImages(platform::TImageList *images);

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

    // The shared look, as the item style and the frame's bar see it.
    TvexMenuLook &look() { return *this; }
    const TvexMenuLook &look() const { return *this; }

private:
    void syncImages();

    platform::TImageListLink m_images;
    QPointer<QWidget> m_popupComponent;
};

} // namespace vex
