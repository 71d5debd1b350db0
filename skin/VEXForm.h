#pragma once

// The skinned form frame: a panel dropped on a form that turns the form's
// window into a skinned window.
//
// The form it is created on (its parent, which must be a top-level widget or
// an MDI sub-window) is the host. The frame fills the host's contents
// rectangle, owns the title bar and the menu bar across its top (its
// children aligned to its edges stack under them, VEXFormBand.h) and draws
// the thin non-client band around it; a frame agent (VEXFrameAgent.h) does
// the window's side: it makes the host frameless, keeps the band as the
// host's contents margins, gives the host a sizing band along its edges,
// shapes it with the frame's mask, fits a maximised host to the work area,
// opens the window menu on Alt+Space and offers key presses to the frame's
// menu as shortcuts.
//
// Only the first frame on a host takes it over; a second one, or one whose
// parent is no form, is a plain panel. Deleting the frame, or moving it to
// another parent, gives the host back its flags, margins, mask and handling.

#include "platform/gui/Colors.h"
#include "platform/gui/Component.h"
#include "skin/VEXFrameAgent.h"
#include "skin/VEXMgr.h"
#include "skin/VEXPublic.h"
#include "skin/VEXThemes.h"
#include "skin/VEXTitleBar.h"

#include <QFont>
#include <QImage>
#include <QMargins>
#include <QMenu>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QWidget>

#include <memory>

class QKeyEvent;
class QMdiArea;
class QMouseEvent;
class QPainter;

namespace vex {

class TvexFormBand;
class TvexMenuBar;
class TvexMenuBarButton;

class TvexForm : public QWidget,
                 public TvexStyleHolder,
                 public platform::Component,
                 public TvexSkinnedFrame,
                 private FrameDelegate
{
    Q_OBJECT
    Q_INTERFACES(vex::TvexSkinnedFrame)
    Q_PROPERTY(bool TitleBarCustom READ TitleBarCustom WRITE setTitleBarCustom)
    Q_PROPERTY(vex::TvexFileTheme *FileTheme READ FileTheme WRITE setFileTheme)
    Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle WRITE setUIStyle)
    Q_PROPERTY(bool UIStyleAutoUpdateSub READ UIStyleAutoUpdateSub WRITE setUIStyleAutoUpdateSub)
    Q_PROPERTY(platform::TColor BorderColor READ BorderColor WRITE setBorderColor)
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE setBorderWidth)
    Q_PROPERTY(bool TitleBarVisible READ TitleBarVisible WRITE setTitleBarVisible)
    Q_PROPERTY(Qt::LayoutDirection BiDiMode READ BiDiMode WRITE setBiDiMode)
    Q_PROPERTY(platform::TColor Color READ Color WRITE setColor)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QWidget *FormPanel READ FormPanel WRITE setFormPanel)
    Q_PROPERTY(vex::TvexTitleBarButtons *TitleBarButtons READ TitleBarButtons WRITE setTitleBarButtons)
    Q_PROPERTY(vex::TvexTitleBarSections *TitleBarSections READ TitleBarSections WRITE setTitleBarSections)
    Q_PROPERTY(bool TitleBarDrawAppIcon READ TitleBarDrawAppIcon WRITE setTitleBarDrawAppIcon)
    Q_PROPERTY(QFont Font READ CaptionFont WRITE setCaptionFont)
    Q_PROPERTY(QMenu *Menu READ Menu WRITE setMenu)
    Q_PROPERTY(platform::TColor MenuBarColor READ MenuBarColor WRITE setMenuBarColor)
    Q_PROPERTY(int MenuBarHeight READ MenuBarHeight WRITE setMenuBarHeight)
    Q_PROPERTY(int RoundCorner READ RoundCorner WRITE setRoundCorner)
    Q_PROPERTY(int RoundCornerBottom READ RoundCornerBottom WRITE setRoundCornerBottom)
    Q_PROPERTY(QMenu *PopupMenu READ PopupMenu WRITE setPopupMenu)
    Q_PROPERTY(QString Version READ Version WRITE setVersion)

public:
    // Takes over owner when it is a form that holds no other frame.
    Q_INVOKABLE explicit TvexForm(QWidget *owner = nullptr);
    ~TvexForm() override;

    // -- published properties

    bool TitleBarCustom() const;
    void setTitleBarCustom(bool custom) { toTitleBar(&TvexTitleBar::setCustom, custom); }
    // Re-applies UIStyle when the theme differs from the one held.
    void setFileTheme(TvexFileTheme *theme);
    TvexUIStyle frameStyle() const override { return m_uiStyle; }
    // Applies the style: colours, border, corners and border pictures from
    // the built-in table or the file theme, then hands it on to the title
    // bar, the menu and (with UIStyleAutoUpdateSub) the direct children.
    void setUIStyle(TvexUIStyle style);
    bool UIStyleAutoUpdateSub() const { return m_autoUpdateSub; }
    void setUIStyleAutoUpdateSub(bool update) { m_autoUpdateSub = update; }
    platform::TColor BorderColor() const { return m_borderColor; }
    void setBorderColor(platform::TColor color);
    // The skinned border's width in pixels.
    int BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int width);
    bool TitleBarVisible() const;
    void setTitleBarVisible(bool visible);
    Qt::LayoutDirection BiDiMode() const { return layoutDirection(); }
    void setBiDiMode(Qt::LayoutDirection mode) { setLayoutDirection(mode); }
    // The inner frame colour and, except for MacOS and Protein, the client
    // background.
    platform::TColor Color() const { return m_color; }
    void setColor(platform::TColor color);
    // The title bar's caption (empty without a title bar); setting it also
    // sets the host's window title.
    QString Caption() const;
    void setCaption(const QString &caption);
    QWidget *FormPanel() const { return m_formPanel; }
    // Fills the client area with panel; refuses the frame itself with a
    // message box.
    void setFormPanel(QWidget *panel);
    TvexTitleBarButtons *TitleBarButtons() const;
    void setTitleBarButtons(TvexTitleBarButtons *buttons) { toTitleBar(&TvexTitleBar::setButtons, buttons); }
    TvexTitleBarSections *TitleBarSections() const;
    void setTitleBarSections(TvexTitleBarSections *sections) { toTitleBar(&TvexTitleBar::setSections, sections); }
    bool TitleBarDrawAppIcon() const;
    void setTitleBarDrawAppIcon(bool draw) { toTitleBar(&TvexTitleBar::setDrawAppIcon, draw); }
    // The caption font (the title bar's).
    QFont CaptionFont() const;
    void setCaptionFont(const QFont &font) { toTitleBar(&TvexTitleBar::setFont, font); }
    // The main menu: a QMenu whose actions are the top-level items (a
    // TvexMainMenu, or a plain QMenu drawn in the frame's style), shown in
    // the frame's menu bar.
    QMenu *Menu() const { return m_menu; }
    void setMenu(QMenu *menu);
    platform::TColor MenuBarColor() const { return m_menuBarColor; }
    void setMenuBarColor(platform::TColor color);
    int MenuBarHeight() const { return m_menuBarHeight; }
    void setMenuBarHeight(int height);
    // Radii of the window's top and bottom corners; both read 0 while the
    // title bar is hidden.
    int RoundCorner() const { return shownCorner(&TvexTitleBar::RoundCorner); }
    void setRoundCorner(int radius) { setCorner(&TvexTitleBar::setRoundCorner, radius); }
    int RoundCornerBottom() const { return shownCorner(&TvexTitleBar::RoundCornerBottom); }
    void setRoundCornerBottom(int radius) { setCorner(&TvexTitleBar::setRoundCornerBottom, radius); }
    QMenu *PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu *menu) { m_popupMenu = menu; }
    QString Version() const { return QStringLiteral("5.8"); }
    void setVersion(const QString &) {}

    // -- for the title bar, the menu bar and tests

    // True while the frame has taken over its host.
    bool IsActive() const { return m_host && !isDestroying(); }
    QWidget *Host() const { return m_host; }
    TvexTitleBar *TitleBar() const { return m_titleBar; }
    // The title bar's height if it is shown, else 0.
    int VisibleTitleBarHeight() const;
    // The file theme's left-border picture turned half a turn (null when the
    // style has none) and the height of its bottom-border picture.
    QImage SideBorderPicture() const { return m_sideBorder; }
    int BottomBorderHeight() const { return m_bottomBorderHeight; }
    // The width the title bar's left-border query is answered with.
    int LeftBorderWidth() const { return m_sideBorder.isNull() ? 0 : m_sideBorder.width(); }
    // The host's contents margins while the frame is active.
    QMargins NonClientMargins() const;

    // Repaints the non-client band of the host (and what of it reaches into
    // the frame).
    void PaintFrame();
    // Draws the non-client band in window coordinates.
    void PaintFrame(QPainter &canvas) const;
    // The host's window region for its current size: rounded top corners of
    // RoundCorner, rounded bottom corners of RoundCornerBottom.
    QRegion FrameRegion() const;
    // The border's arcs are drawn over the top corners (a one-pixel border,
    // RoundCorner 11, the title bar shown with its pictures); the region
    // then leaves out what lies outside them.
    bool DrawsTopArcs() const;
    // Gives the host FrameRegion() as its mask.
    void UpdateRegion();

    // Offers a key press to the menu as a shortcut: 1 when a menu item took
    // it, 0 otherwise. Only while the host is the active form.
    int HandleShortCut(const QKeyEvent *event);

    // -- the menu bar (VEXFormMenuBar.cpp)

    // The bar under the title bar that shows Menu; none without a menu, on
    // an MDI child and on an inert frame.
    TvexMenuBar *MenuBar() const;
    // Makes the bar (once) and places it under the title bar.
    void CreateMenuBar();
    // Frees the bar (an MDI child has none) and forgets Menu.
    void DropMenuBar();
    // One button per top-level item of Menu, in its order.
    void RebuildMenuBar();
    // Copies the items' captions and states to their buttons.
    void RefreshMenuBarItems();
    // The bar takes the font of a TvexMainMenu, and repaints.
    void UpdateMenuBarFont();
    // The font the bar's buttons show their captions in: a TvexMainMenu's,
    // else canvasFont (the bar's).
    QFont MenuBarButtonFont(const QFont &canvasFont) const;
    // Paint the bar's background over its Color and each of its buttons, in
    // the style and theme of a TvexMainMenu, else the frame's.
    void DrawMenuBarBackground(TvexMenuBar &bar, QPainter &canvas, const QRect &rect) const;
    void DrawMenuBarButton(TvexMenuBarButton &button, QPainter &canvas, const QRect &rect) const;

    // The screen point where Alt+Space opens the window menu.
    QPoint SystemMenuPoint() const;

    // The host's window-state policy while the frame holds it (the title
    // bar maximises and restores through it).
    WindowStatePolicy *HostWindowStates() const override;

    // How far from the host's outer edges a press starts resizing it.
    static constexpr int SizingBand = FrameAgent::SizingBand;

signals:
    void OnTitleBarCustomBtnsClick(QObject *Sender, int ButtonIndex);
    void OnTitleBarHelpBtnClick(QObject *Sender, int ButtonIndex);
    void OnMouseDown(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void OnMouseMove(QObject *Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    void OnClick(QObject *Sender);
    void OnMouseUp(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void takeOver(QWidget *host);
    void release();

    // The title bar holds what the frame publishes of it; a frame without
    // one drops what is set.
    template <typename Setter, typename Value>
    void toTitleBar(Setter setter, const Value &value)
    {
        if (m_titleBar)
            (m_titleBar->*setter)(value);
    }
    // The corner radii live on the title bar and shape the window.
    int shownCorner(int (TvexTitleBar::*radius)() const) const;
    void setCorner(void (TvexTitleBar::*setRadius)(int), int radius);

    // What the agent asks of the frame.
    QMargins frameMargins() const override { return NonClientMargins(); }
    void paintFrameBand(QPainter &canvas) const override;
    bool frameHostEvent(QEvent *event) override;
    bool frameShortcut(const QKeyEvent *event) override { return HandleShortCut(event) != 0; }
    void frameWindowMenuRequested() override;

    void frameChanged();
    void hostSizeChanged();
    void frameSizeChanged();
    void mdiSizeChanged();
    void keepCaptionBitsCleared();
    void fileThemeRemoved();
    // Clears a TvexMainMenu's link to this frame.
    void forgetMenu();

    // Client background: the style's pattern or Color.
    void paintBackground(QPainter &canvas) const;
    void paintStandardBand(QPainter &canvas, int w, int h) const;
    void paintSideBorderBand(QPainter &canvas, int w, int h) const;
    bool hostMinimized() const;
    bool isMdiChild() const;
    QMdiArea *mdiClient() const;
    platform::TColor hostColor() const;

    QPointer<QWidget> m_host;
    // Places the title bar and the menu bar; the frame's layout while it
    // holds a host.
    TvexFormBand *m_band = nullptr;
    TvexTitleBar *m_titleBar = nullptr;
    QPointer<QWidget> m_menuBar; // made by the menu-bar code; none until then
    std::unique_ptr<FrameAgent> m_agent;
    // Stand-ins for the title bar's collections on a frame that has none, so
    // that a description that stores them still loads.
    TvexTitleBarButtons *m_spareButtons = nullptr;
    TvexTitleBarSections *m_spareSections = nullptr;

    bool m_autoUpdateSub = false;
    platform::TColor m_borderColor = 0;
    int m_borderWidth = 1;
    platform::TColor m_color = platform::clBtnFace;
    QPointer<QWidget> m_formPanel;
    QPointer<QMenu> m_menu;
    QMetaObject::Connection m_menuGone;
    platform::TColor m_menuBarColor = platform::clBtnFace;
    int m_menuBarHeight = 22;
    QPointer<QMenu> m_popupMenu;

    QImage m_sideBorder;
    int m_bottomBorderHeight = 0;
    bool m_clickArmed = false;
};

} // namespace vex
