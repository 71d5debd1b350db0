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
class TvexPopupMenu : public QMenu, public platform::Component
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

    TvexFileTheme *FileTheme() const { return m_look.FileTheme(); }
    void setFileTheme(TvexFileTheme *theme) { m_look.setFileTheme(theme); }
    TvexUIStyle UIStyle() const { return m_look.UIStyle(); }
    void setUIStyle(TvexUIStyle style) { m_look.setUIStyle(style); }
    int MenuItemHeight() const { return m_look.MenuItemHeight(); }
    void setMenuItemHeight(int height) { m_look.setMenuItemHeight(height); }
    int SeparatorHeight() const { return m_look.SeparatorHeight(); }
    void setSeparatorHeight(int height) { m_look.setSeparatorHeight(height); }
    int BarWidth() const { return m_look.BarWidth(); }
    void setBarWidth(int width) { m_look.setBarWidth(width); }
    platform::TColor BarColor() const { return m_look.BarColor(); }
    void setBarColor(platform::TColor c) { m_look.setBarColor(c); }
    platform::TColor Color() const { return m_look.Color(); }
    void setColor(platform::TColor c) { m_look.setColor(c); }
    platform::TColor SeparatorColor() const { return m_look.SeparatorColor(); }
    void setSeparatorColor(platform::TColor c) { m_look.setSeparatorColor(c); }
    platform::TColor SelectedBorderColor() const { return m_look.SelectedBorderColor(); }
    void setSelectedBorderColor(platform::TColor c) { m_look.setSelectedBorderColor(c); }
    platform::TColor SelectedColor() const { return m_look.SelectedColor(); }
    void setSelectedColor(platform::TColor c) { m_look.setSelectedColor(c); }
    platform::TColor SelectedFontColor() const { return m_look.SelectedFontColor(); }
    void setSelectedFontColor(platform::TColor c) { m_look.setSelectedFontColor(c); }
    platform::TColor FontColor() const { return m_look.FontColor(); }
    void setFontColor(platform::TColor c) { m_look.setFontColor(c); }
    platform::TColor BorderColor() const { return m_look.BorderColor(); }
    void setBorderColor(platform::TColor c) { m_look.setBorderColor(c); }
    bool FlatMenu() const { return m_look.FlatMenu(); }
    void setFlatMenu(bool flat) { m_look.setFlatMenu(flat); }
    QString FontName() const { return m_look.FontName(); }
    void setFontName(const QString &name) { m_look.setFontName(name); }
    int FontSize() const { return m_look.FontSize(); }
    void setFontSize(int points) { m_look.setFontSize(points); }
    int FontCharset() const { return m_look.FontCharset(); }
    void setFontCharset(int charset) { m_look.setFontCharset(charset); }
    bool UseSystemFont() const { return m_look.UseSystemFont(); }
    void setUseSystemFont(bool use) { m_look.setUseSystemFont(use); }

    // The image list whose pictures the items' "ImageIndex" draw; none by
    // default. Check marks come from the list all popup menus share either way.
    platform::TImageList *Images() const { return m_images; }
    void setImages(platform::TImageList *images);

    // Makes this menu measure and draw item and, depth first, its sub-items.
    void AttachItemHandlers(QAction *item) { m_look.AttachItemHandlers(item); }

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

    TvexMenuLook &look() { return m_look; }
    const TvexMenuLook &look() const { return m_look; }

private:
    void syncImages();

    TvexMenuLook m_look;
    platform::TImageListLink m_images;
    QPointer<QWidget> m_popupComponent;
};

} // namespace vex
