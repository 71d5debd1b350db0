#pragma once

#include "platform/gui/Colors.h"
#include "platform/gui/Component.h"
#include "platform/gui/ImageList.h"
#include "skin/VEXMenu.h"
#include "skin/VEXMgr.h"
#include "skin/VEXThemes.h"

#include <QMenu>

namespace vex {

// The menu component that is its own look: what the popup menu and the main
// menu publish alike. A menu that must do more when the style, the theme or
// the font choice changes overrides those three setters; the others store
// into the look.
class TvexMenuComponent : public QMenu, public platform::Component, public TvexMenuLook
{
    Q_OBJECT
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
    Q_PROPERTY(platform::TImageList *Images READ Images WRITE setImages)

public:
    explicit TvexMenuComponent(QWidget *owner = nullptr)
        : QMenu(owner), TvexMenuLook(this), m_images(this, &platform::TImageList::changed, [this] { ImagesChanged(); })
    {}

    bool OwnerDraw() const { return true; }
    void setOwnerDraw(bool) {}

    virtual void setFileTheme(TvexFileTheme *theme) { TvexMenuLook::setFileTheme(theme); }
    virtual void setUIStyle(TvexUIStyle style) { TvexMenuLook::setUIStyle(style); }
    virtual void setUseSystemFont(bool use) { TvexMenuLook::setUseSystemFont(use); }

    // The image list whose pictures the items' "ImageIndex" draw; none by
    // default. A list that goes away leaves the menu with none.
    platform::TImageList *Images() const { return m_images; }
    void setImages(platform::TImageList *images)
    {
        m_images.set(images);
        update();
    }

    // The shared look, as the item style and the frame's bar see it.
    TvexMenuLook &look() { return *this; }
    const TvexMenuLook &look() const { return *this; }

protected:
    // Images was set, or the list changed or went away: the look takes the
    // pictures the menu draws now, Images' or none. Check marks come from the
    // list all popup menus share unless a menu gives the look its own.
    virtual void ImagesChanged()
    {
        look().setImages(Images() ? Images()->images() : QList<QPixmap>());
        update();
    }

private:
    platform::TImageListLink m_images;
};

} // namespace vex
