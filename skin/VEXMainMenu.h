#pragma once

// The owner-drawn main menu of a skinned window, and the menu items that a
// form description stores.
//
// A main menu is a model, never shown itself: a QMenu whose actions are the
// top-level items; an item with sub-items carries them in its sub-menu
// (QAction::menu()). The skinned frame of the form shows the top-level items
// as buttons of its menu bar and drops the sub-menus down from them; those
// drop-downs are measured and drawn by the main menu's look, like a popup
// menu's items (VEXMenu.h).
//
// Stored form (items nest inside the menu and inside each other):
//
//     object MainMenu1 : TvexMainMenu {
//         UIStyle = MacOS
//         Images = ImageList1                       # optional: a TImageList
//         object File1 : TMenuItem {
//             Caption = "&File"
//             object Open1 : TMenuItem {
//                 Caption = "&Open..."  ShortCut = "Ctrl+O"  ImageIndex = 0
//                 OnClick = Open1Click
//             }
//             object N1 : TMenuItem { Caption = "-" }
//             object Wrap1 : TMenuItem { Caption = "&Wrap"  AutoCheck = true  Checked = true }
//         }
//     }
//
// A main menu created on a form attaches itself to the first TvexForm placed
// directly on that form; a frame can also name it in its Menu property.

#include "platform/gui/Colors.h"
#include "platform/gui/Component.h"
#include "platform/gui/ImageList.h"
#include "skin/VEXMenu.h"
#include "skin/VEXMenuBase.h"
#include "skin/VEXMgr.h"
#include "skin/VEXThemes.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include <memory>

class QActionEvent;

namespace vex {

class TvexForm;

class TvexMainMenu : public TvexMenuComponent
{
    Q_OBJECT

public:
    // Takes the style of the frame on the owner's form and attaches itself
    // to that frame.
    Q_INVOKABLE explicit TvexMainMenu(QWidget *owner = nullptr);
    ~TvexMainMenu() override;

    // These also repaint the frame's bar, or have it take the new font.
    void setFileTheme(TvexFileTheme *theme) override;
    void setUIStyle(TvexUIStyle style) override;
    void setUseSystemFont(bool use) override;

    // The image list that items index with "ImageIndex": Images, or the
    // menu's own check-mark list while Images is none (or goes away).
    platform::TImageList *imageList() const;

    // Makes the menu measure and draw item and, depth first, its sub-items.
    void AttachItemHandlers(QAction *item);
    QSize MeasureMenuItem(const QAction *item, const QFontMetrics &canvasFont) const;
    void DrawMenuItem(const QAction *item, QPainter &canvas, const QRect &rect, bool highlighted) const;

    // The frame that shows the menu; the frame sets and clears it.
    TvexForm *Frame() const { return m_frame; }
    void setFrame(TvexForm *frame) { m_frame = frame; }

    // Attaches every top-level item, then has the frame rebuild its bar.
    void loaded() override;

protected:
    void ImagesChanged() override;
    void actionEvent(QActionEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void attachToFrame();
    void repaintBar();
    // Watches item's sub-menus, depth first, for their items' changes.
    void watchItem(QAction *item);
    void itemEvent(QActionEvent *event, bool topLevel);

    std::unique_ptr<platform::TImageList> m_checkMarks;
    QPointer<TvexForm> m_frame;
    QList<QPointer<QMenu>> m_watched;
    bool m_inItemEvent = false;
};

// A menu item as a form description stores it (class name "TMenuItem"). It
// places itself in the menu it is created in, or in the sub-menu of the item
// it is created in (which that item makes on demand).
class TvexMenuAction : public QAction, public platform::Component
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QString ShortCut READ ShortCut WRITE setShortCut)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool Visible READ isVisible WRITE setVisible)
    Q_PROPERTY(bool Checked READ Checked WRITE setChecked)
    Q_PROPERTY(bool AutoCheck READ AutoCheck WRITE setAutoCheck)
    Q_PROPERTY(bool RadioItem READ RadioItem WRITE setRadioItem)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE setGroupIndex)
    Q_PROPERTY(bool Default READ Default WRITE setDefault)
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE setImageIndex)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)

public:
    Q_INVOKABLE explicit TvexMenuAction(QObject *parent = nullptr);
    ~TvexMenuAction() override;

    QString Caption() const { return text(); }
    void setCaption(const QString &caption);
    // The shortcut in its portable spelling ("Ctrl+O"); empty for none.
    QString ShortCut() const { return shortcut().toString(QKeySequence::PortableText); }
    void setShortCut(const QString &keys) { setShortcut(QKeySequence(keys, QKeySequence::PortableText)); }
    bool Checked() const { return m_checked; }
    void setChecked(bool checked);
    // Clicking toggles the check mark (or, for a radio item, sets it).
    bool AutoCheck() const { return m_autoCheck; }
    void setAutoCheck(bool autoCheck);
    // A checked radio item unchecks the other radio items of its GroupIndex
    // in the same menu.
    bool RadioItem() const { return m_radioItem; }
    void setRadioItem(bool radio) { m_radioItem = radio; }
    int GroupIndex() const { return m_groupIndex; }
    void setGroupIndex(int index) { m_groupIndex = index; }
    // The menu's default item, drawn bold.
    bool Default() const;
    void setDefault(bool isDefault);
    int ImageIndex() const { return m_imageIndex; }
    void setImageIndex(int index);

    // The sub-menu that holds this item's sub-items, made on first use.
    QMenu *subMenu();

signals:
    void OnClick(QObject *Sender);

private:
    void clicked();
    void uncheckGroupMates();
    QMenu *containingMenu() const;

    std::unique_ptr<QMenu> m_subMenu;
    bool m_checked = false;
    bool m_autoCheck = false;
    bool m_radioItem = false;
    int m_groupIndex = 0;
    int m_imageIndex = -1;
    bool m_default = false;
};

} // namespace vex
