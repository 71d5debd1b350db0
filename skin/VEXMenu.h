#pragma once

// What the owner-drawn popup menu and the main menu share: the look they
// publish, how applying a style sets it, and how their items are measured and
// drawn.
//
// A menu component (TvexPopupMenu, TvexMainMenu) is a TvexMenuLook and
// publishes the look's properties as its own (TvexMenuComponent,
// VEXMenuBase.h). The look's itemStyle() is a
// QProxyStyle that QMenu windows use to measure (CT_MenuItem) and draw
// (CE_MenuItem) every item and to draw the flat border (PE_FrameMenu);
// AttachItemHandlers hands it to an item's sub-menus, depth first.
//
// Items are QActions. Beyond what QAction holds, an item may carry the
// dynamic property "ImageIndex" (int, -1 when absent): its picture in the
// menu's image list. An item whose caption is exactly "-" is a separator.

#include "platform/gui/Colors.h"
#include "skin/VEXMgr.h"
#include "skin/VEXThemes.h"

#include <QFont>
#include <QFontMetrics>
#include <QList>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

class QAction;
class QMenu;
class QObject;
class QPainter;
class QStyle;

namespace vex {

class TvexMenuItemStyle;

// The name of the dynamic property that selects an item's image.
inline constexpr char ImageIndexProperty[] = "ImageIndex";

// One menu item as measuring and drawing see it.
struct TvexMenuItem
{
    QString caption;  // with "&" before access keys
    QString shortcut; // the shortcut as QKeySequence spells it; empty without one
    bool separator = false;
    bool enabled = true;
    bool checked = false;
    bool isDefault = false;  // the menu's default item, drawn bold
    bool hasSubMenu = false; // drawn with an arrow at its trailing side
    int imageIndex = -1;

    // Describes action as it stands in menu (menu may be null).
    static TvexMenuItem of(const QAction *action, const QMenu *menu);
};

// The program-wide check-mark list of the popup menus: "MENU_CHECKED" with
// white as its transparent colour. Made on first use and freed with the
// application object.
const QPixmap &SharedCheckMark();

// A copy of picture as a disabled item shows it.
QPixmap GreyedImage(const QPixmap &picture);

class TvexMenuLook : public TvexStyleHolder
{
public:
    // holder is the menu component; the look's FileTheme link reports the
    // theme's removal through it.
    explicit TvexMenuLook(QObject *holder);
    ~TvexMenuLook();
    TvexMenuLook(const TvexMenuLook &) = delete;
    TvexMenuLook &operator=(const TvexMenuLook &) = delete;

    // Sets UIStyle, BarWidth, both heights, SeparatorColor and the six style
    // colours from style (and the file theme when style is FromThemeFile).
    void ApplyStyle(TvexUIStyle style);

    void setUIStyle(TvexUIStyle style) { ApplyStyle(style); }
    // Stores the theme and applies the current style again.
    void setFileTheme(TvexFileTheme *theme);

    // Writing either height is ignored while the style is MacOS.
    int MenuItemHeight() const { return m_menuItemHeight; }
    void setMenuItemHeight(int height);
    int SeparatorHeight() const { return m_separatorHeight; }
    void setSeparatorHeight(int height);
    int BarWidth() const { return m_barWidth; }
    void setBarWidth(int width) { m_barWidth = width; }

    platform::TColor BarColor() const { return m_barColor; }
    void setBarColor(platform::TColor c) { m_barColor = c; }
    platform::TColor Color() const { return m_color; }
    void setColor(platform::TColor c) { m_color = c; }
    platform::TColor SeparatorColor() const { return m_separatorColor; }
    void setSeparatorColor(platform::TColor c) { m_separatorColor = c; }
    platform::TColor SelectedBorderColor() const { return m_selectedBorderColor; }
    void setSelectedBorderColor(platform::TColor c) { m_selectedBorderColor = c; }
    platform::TColor SelectedColor() const { return m_selectedColor; }
    void setSelectedColor(platform::TColor c) { m_selectedColor = c; }
    platform::TColor SelectedFontColor() const { return m_selectedFontColor; }
    void setSelectedFontColor(platform::TColor c) { m_selectedFontColor = c; }
    platform::TColor FontColor() const { return m_fontColor; }
    void setFontColor(platform::TColor c) { m_fontColor = c; }
    // Stored only; drawing does not use it.
    platform::TColor BorderColor() const { return m_borderColor; }
    void setBorderColor(platform::TColor c) { m_borderColor = c; }

    bool FlatMenu() const { return m_flatMenu; }
    void setFlatMenu(bool flat) { m_flatMenu = flat; }
    QString FontName() const { return m_fontName; }
    void setFontName(const QString &name) { m_fontName = name; }
    int FontSize() const { return m_fontSize; }
    void setFontSize(int points) { m_fontSize = points; }
    // Stored only: Qt picks glyphs by code point, whatever the character set.
    int FontCharset() const { return m_fontCharset; }
    void setFontCharset(int charset) { m_fontCharset = charset; }
    bool UseSystemFont() const { return m_useSystemFont; }
    void setUseSystemFont(bool use) { m_useSystemFont = use; }

    // The menu's image list, which items index with "ImageIndex"; empty when
    // the menu has none.
    const QList<QPixmap> &images() const { return m_images; }
    void setImages(const QList<QPixmap> &images) { m_images = images; }
    // The check mark of checked items without an image: the shared list's
    // unless a menu sets its own (a null pixmap goes back to the shared one).
    QPixmap checkMark() const;
    // The check mark as drawn on background: dark, or light where that
    // stands out more.
    QPixmap checkMarkOn(const QColor &background) const;
    // What lies behind an item's check mark.
    QColor markBackground(bool highlighted) const;
    void setCheckMark(const QPixmap &mark) { m_checkMark = mark; }

    // The font items are drawn in: the system's menu font, or FontName at
    // FontSize points.
    QFont itemFont() const;

    // Height MenuItemHeight (SeparatorHeight for a separator); width: caption
    // and shortcut in canvasFont, plus BarWidth and 40.
    QSize MeasureMenuItem(const TvexMenuItem &item, const QFontMetrics &canvasFont) const;
    // Draws item into rect. rightToLeft swaps the strip and the texts to the
    // other side (the menu is right to left on a system that supports it).
    void DrawMenuItem(const TvexMenuItem &item, QPainter &canvas, const QRect &rect, bool highlighted,
                      bool rightToLeft) const;
    // The flat border around a menu window whose rectangle is window, in the
    // colour FormBackgroundColor of the style or theme.
    void DrawFlatBorder(QPainter &canvas, const QRect &window) const;

    // The style that makes a QMenu measure and draw its items with this look.
    // It lives as long as the look; menus that use it fall back to the
    // application style afterwards.
    QStyle *itemStyle() const;

    // Makes menu measure and draw its items with this look, and attaches the
    // items that are added to it later.
    void UseFor(QMenu *menu) const;

    // Makes the menus under item (its sub-menu, recursively) use itemStyle()
    // and watches them, so that items added there later are attached too.
    // Captions "-" become separators; shortcut texts are left to the drawing.
    void AttachItemHandlers(QAction *item) const;

private:
    void fillBackground(QPainter &canvas, const QRect &rect, bool rightToLeft) const;

    int m_menuItemHeight = 21;
    int m_separatorHeight = 5;
    int m_barWidth = 26;
    platform::TColor m_barColor = 0;
    platform::TColor m_color = 0;
    platform::TColor m_separatorColor = 0;
    platform::TColor m_selectedBorderColor = 0;
    platform::TColor m_selectedColor = 0;
    platform::TColor m_selectedFontColor = 0;
    platform::TColor m_fontColor = 0;
    platform::TColor m_borderColor = 0;
    bool m_flatMenu = false;
    QString m_fontName = QStringLiteral("MS Sans Serif");
    int m_fontSize = 8;
    int m_fontCharset = 1;
    bool m_useSystemFont = true;
    QList<QPixmap> m_images;
    QPixmap m_checkMark;
    std::unique_ptr<TvexMenuItemStyle> m_itemStyle;
};

} // namespace vex
