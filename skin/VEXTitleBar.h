#pragma once

// The caption strip of a skinned window: the title bar, its buttons and
// title pieces (two collections) and its window menu.
//
// Loading from a form description: Buttons and Sections are QObject
// properties holding a collection object with
//     Q_INVOKABLE void clear();        // called first: stored items replace the defaults
//     Q_INVOKABLE QObject *add();      // one new item per stored item
// after which the loader sets the item's properties by name in stored order
// (UIStyle, ButtonType, Transparent, Top, ControlBoxMenu, Visible, PicNormal,
// PicMouseOn, PicMouseDown for a button; AutoSize, Width, Align, Picture,
// Stretch for a section). Pictures are QImage. Assigning another collection
// object to Buttons or Sections copies it item by item.
//
// The host window is asked for the width of its frame's left-border picture
// with a TvexLeftBorderWidthQuery (event type 9923) at every paint; a window
// that does not answer counts as 0.

#include "platform/gui/Colors.h"
#include "platform/gui/Component.h"
#include "skin/VEXFrameAgent.h"
#include "skin/VEXMgr.h"
#include "skin/VEXPopupMenu.h"
#include "skin/VEXPublic.h"
#include "skin/VEXThemes.h"

#include <QEvent>
#include <QFont>
#include <QImage>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <utility>

class QAction;

namespace vex {

// Kinds of title-bar buttons and alignments of title pieces, in a namespace
// of their own so that the form loader finds them by name.
namespace TitleBarTypes {
Q_NAMESPACE
enum TvexTitleBarBtnType { vexMax, vexMin, vexClose, vexHelp, vexControlBox, vexCustom };
Q_ENUM_NS(TvexTitleBarBtnType)
enum TvexTitleBarAlign { vexLeft, vexRight, vexClient };
Q_ENUM_NS(TvexTitleBarAlign)
} // namespace TitleBarTypes
using namespace TitleBarTypes;

// Sent to the host window: a skinned frame answers with the width of its
// left-border picture (0 when it has none) and accepts the event.
class TvexLeftBorderWidthQuery : public QEvent
{
public:
    static constexpr QEvent::Type EventType = QEvent::Type(9923);
    TvexLeftBorderWidthQuery() : QEvent(EventType) {}
    int width = 0;
};

class TvexTitleBar;
class TvexTitleBarButtons;
class TvexTitleBarSections;

// What the title bar's two collections share: an ordered list of owned
// items, each dropped from the list when something deletes it, copied item
// by item, and every change repainting the bar.
void RepaintTitleBar(TvexTitleBar *bar);

// The collections as a form description fills them.
class TvexTitleBarItemList : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE QObject *add() { return addItem(); }
    Q_INVOKABLE void clear() { clearItems(); }

protected:
    // Owned by parent, else by bar; bar may be null for a collection that
    // only serves as a source to copy.
    TvexTitleBarItemList(TvexTitleBar *bar, QObject *parent);

    virtual QObject *addItem() = 0;
    virtual void clearItems() = 0;
};

template <typename Collection, typename Item>
class TvexTitleBarCollection : public TvexTitleBarItemList
{
public:
    explicit TvexTitleBarCollection(TvexTitleBar *bar, QObject *parent = nullptr)
        : TvexTitleBarItemList(bar, parent), m_bar(bar)
    {}

    TvexTitleBar *Bar() const { return m_bar; }

    Item *Add()
    {
        auto *self = static_cast<Collection *>(this);
        auto *item = new Item(self);
        m_items.append(item);
        QObject::connect(item, &QObject::destroyed, self, [this, item] {
            if (m_dying)
                return;
            m_items.removeOne(item);
            Changed();
        });
        Changed();
        return item;
    }
    void Delete(int index) { delete m_items.value(index); }
    int Count() const { return int(m_items.size()); }
    Item *Items(int index) const { return m_items.value(index); }
    int IndexOf(const Item *item) const { return m_items.indexOf(const_cast<Item *>(item)); }

    // Replaces the items by copies of source's, in order.
    void Assign(const Collection &source)
    {
        if (&source == this)
            return;
        clearItems();
        for (int i = 0; i < source.Count(); ++i)
            Add()->Assign(*source.Items(i));
    }

    // Repaints the owning bar; items call it after every change.
    void Changed() { RepaintTitleBar(m_bar); }

protected:
    ~TvexTitleBarCollection() override
    {
        m_dying = true;
        qDeleteAll(std::exchange(m_items, {}));
    }

    QObject *addItem() override { return Add(); }
    void clearItems() override
    {
        qDeleteAll(std::exchange(m_items, {}));
        Changed();
    }

private:
    TvexTitleBar *m_bar;
    QList<Item *> m_items;
    bool m_dying = false;
};

class TvexTitleBarButton : public QObject
{
    Q_OBJECT
    Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle WRITE setUIStyle)
    Q_PROPERTY(vex::TitleBarTypes::TvexTitleBarBtnType ButtonType READ ButtonType WRITE setButtonType)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)
    Q_PROPERTY(int Top READ Top WRITE setTop)
    Q_PROPERTY(QMenu *ControlBoxMenu READ ControlBoxMenu WRITE setControlBoxMenu)
    Q_PROPERTY(bool Visible READ Visible WRITE setVisible)
    Q_PROPERTY(QImage PicNormal READ PicNormal WRITE setPicNormal)
    Q_PROPERTY(QImage PicMouseOn READ PicMouseOn WRITE setPicMouseOn)
    Q_PROPERTY(QImage PicMouseDown READ PicMouseDown WRITE setPicMouseDown)

public:
    // Made by TvexTitleBarButtons::Add: a visible vexCustom button in DeepBlue.
    explicit TvexTitleBarButton(TvexTitleBarButtons *collection);

    TvexTitleBarButtons *Collection() const { return m_collection; }
    TvexTitleBar *Bar() const;
    int Index() const;

    TvexUIStyle UIStyle() const { return m_uiStyle; }
    // Stores the style and reloads the pictures (ApplyStyle).
    void setUIStyle(TvexUIStyle style);
    TvexTitleBarBtnType ButtonType() const { return m_buttonType; }
    // Refuses, with a message box, a second control box in the collection
    // (the button itself counts).
    void setButtonType(TvexTitleBarBtnType type);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool transparent) { changeTo(m_transparent, transparent); }
    // Stored only: the bar places every button at its own button top.
    int Top() const { return m_top; }
    void setTop(int top) { changeTo(m_top, top); }
    QMenu *ControlBoxMenu() const { return m_controlBoxMenu; }
    void setControlBoxMenu(QMenu *menu) { m_controlBoxMenu = menu; }
    bool Visible() const { return m_visible; }
    void setVisible(bool visible) { changeTo(m_visible, visible); }
    QImage PicNormal() const { return m_picNormal; }
    void setPicNormal(const QImage &picture) { changeTo(m_picNormal, picture); }
    QImage PicMouseOn() const { return m_picMouseOn; }
    void setPicMouseOn(const QImage &picture) { changeTo(m_picMouseOn, picture); }
    QImage PicMouseDown() const { return m_picMouseDown; }
    void setPicMouseDown(const QImage &picture) { changeTo(m_picMouseDown, picture); }

    // Reloads Transparent, the pictures and Top from the button's style.
    void ApplyStyle();
    // For a vexMax button of a bar that is not Custom: the restore frames
    // while the host window is maximised, else the maximise frames.
    void UpdateMaxButtonPictures();
    // The button's window action (none for vexHelp and vexCustom).
    void PerformClick();
    // Copies Visible, ButtonType, Transparent, Top, UIStyle, the pictures and
    // ControlBoxMenu, in this order.
    void Assign(const TvexTitleBarButton &source);

    static const QString ControlBoxTakenMessage;

private:
    template <typename T>
    void changeTo(T &field, const T &value)
    {
        field = value;
        changed();
    }
    void loadFrames(int first);
    void changed();

    TvexTitleBarButtons *m_collection;
    TvexUIStyle m_uiStyle = TvexUIStyle::DeepBlue;
    TvexTitleBarBtnType m_buttonType = vexCustom;
    bool m_transparent = false;
    int m_top = 2;
    QPointer<QMenu> m_controlBoxMenu;
    bool m_visible = true;
    QImage m_picNormal;
    QImage m_picMouseOn;
    QImage m_picMouseDown;
};

class TvexTitleBarButtons : public TvexTitleBarCollection<TvexTitleBarButtons, TvexTitleBarButton>
{
    Q_OBJECT

public:
    using TvexTitleBarCollection::TvexTitleBarCollection;
};

class TvexTitleBarSection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(int Width READ Width WRITE setWidth)
    Q_PROPERTY(vex::TitleBarTypes::TvexTitleBarAlign Align READ Align WRITE setAlign)
    Q_PROPERTY(QImage Picture READ Picture WRITE setPicture)
    Q_PROPERTY(bool Stretch READ Stretch WRITE setStretch)

public:
    explicit TvexTitleBarSection(TvexTitleBarSections *collection);

    TvexTitleBarSections *Collection() const { return m_collection; }
    int Index() const;

    bool AutoSize() const { return m_autoSize; }
    // Either value makes Width the picture's width when there is a picture.
    void setAutoSize(bool autoSize);
    int Width() const { return m_width; }
    void setWidth(int width);
    TvexTitleBarAlign Align() const { return m_align; }
    // Refuses, with a message box, a second vexClient section (the section
    // itself counts); vexClient forces Stretch.
    void setAlign(TvexTitleBarAlign align);
    QImage Picture() const { return m_picture; }
    void setPicture(const QImage &picture);
    bool Stretch() const { return m_stretch; }
    void setStretch(bool stretch);

    // Copies Width, Align, Picture, Stretch and AutoSize, in this order.
    void Assign(const TvexTitleBarSection &source);

    static const QString ClientTakenMessage;

private:
    void changed();

    TvexTitleBarSections *m_collection;
    bool m_autoSize = false;
    int m_width = 10;
    TvexTitleBarAlign m_align = vexLeft;
    QImage m_picture;
    bool m_stretch = false;
};

class TvexTitleBarSections : public TvexTitleBarCollection<TvexTitleBarSections, TvexTitleBarSection>
{
    Q_OBJECT

public:
    using TvexTitleBarCollection::TvexTitleBarCollection;
};

// The window menu of a title bar: minimise, maximise/restore, a separator and
// close, enabled from the bar's visible buttons at every popup.
class TvexTitleBarPopupMenu : public TvexPopupMenu
{
    Q_OBJECT

public:
    explicit TvexTitleBarPopupMenu(QWidget *owner = nullptr);

    // How far right the menu opens in right-to-left layout.
    static constexpr int RightToLeftShift = 176;

    TvexTitleBar *TitleBar() const { return m_titleBar; }
    void setTitleBar(TvexTitleBar *bar) { m_titleBar = bar; }

    QAction *MinimizeItem() const { return m_minimize; }
    QAction *MaximizeItem() const { return m_maximize; }
    QAction *CloseItem() const { return m_close; }

    // Moves 176 pixels to the right in right-to-left layout and enables the
    // commands that the bar's visible buttons offer, then shows the menu.
    void Popup(int x, int y) override;

    // Enables items 0, 1 and 3 from the bar's visible buttons.
    void UpdateItems();

private:
    void minimizeHost();
    void maximizeOrRestoreHost();
    void closeHost();

    QPointer<TvexTitleBar> m_titleBar;
    QAction *m_minimize;
    QAction *m_maximize;
    QAction *m_close;
};

class TvexTitleBar : public QWidget, public TvexStyleHolder, public platform::Component
{
    Q_OBJECT
    Q_PROPERTY(bool Custom READ Custom WRITE setCustom)
    Q_PROPERTY(vex::TvexFileTheme *FileTheme READ FileTheme WRITE setFileTheme)
    Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle WRITE setUIStyle)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(Qt::LayoutDirection BiDiMode READ BiDiMode WRITE setBiDiMode)
    Q_PROPERTY(int Height READ Height WRITE setHeight)
    Q_PROPERTY(vex::TvexTitleBarSections *Sections READ Sections WRITE setSections)
    Q_PROPERTY(vex::TvexTitleBarButtons *Buttons READ Buttons WRITE setButtons)
    Q_PROPERTY(int ButtonInterval READ ButtonInterval WRITE setButtonInterval)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(platform::TColor FontColor READ FontColor WRITE setFontColor)
    Q_PROPERTY(bool FormActive READ FormActive WRITE setFormActive)
    Q_PROPERTY(int LeftBtnXOffset READ LeftBtnXOffset WRITE setLeftBtnXOffset)
    Q_PROPERTY(int RightBtnXOffset READ RightBtnXOffset WRITE setRightBtnXOffset)
    Q_PROPERTY(bool DrawAppIcon READ DrawAppIcon WRITE setDrawAppIcon)
    Q_PROPERTY(int RoundCorner READ RoundCorner WRITE setRoundCorner)
    Q_PROPERTY(int RoundCornerBottom READ RoundCornerBottom WRITE setRoundCornerBottom)

public:
    // Top-aligned in owner (a skinned frame places it in its band instead),
    // with the default buttons (control box, close, maximise, minimise) and
    // the look of the style of owner's frame.
    Q_INVOKABLE explicit TvexTitleBar(QWidget *owner = nullptr);
    ~TvexTitleBar() override;

    // With Custom, assigning UIStyle only stores it and the maximise button
    // keeps its pictures.
    bool Custom() const { return m_custom; }
    void setCustom(bool custom) { m_custom = custom; }
    // Re-applies the style but keeps the caption colour.
    void setFileTheme(TvexFileTheme *theme);
    void setUIStyle(TvexUIStyle style);
    bool AutoSize() const { return m_autoSize; }
    // Either value sets the height from section 0's picture (false without
    // sections).
    void setAutoSize(bool autoSize);
    Qt::LayoutDirection BiDiMode() const { return layoutDirection(); }
    void setBiDiMode(Qt::LayoutDirection mode) { setLayoutDirection(mode); }
    int Height() const { return height(); }
    void setHeight(int height);
    TvexTitleBarSections *Sections() const { return m_sections; }
    void setSections(TvexTitleBarSections *sections);
    TvexTitleBarButtons *Buttons() const { return m_buttons; }
    void setButtons(TvexTitleBarButtons *buttons);
    int ButtonInterval() const { return m_buttonInterval; }
    void setButtonInterval(int interval) { StoreAndRepaint(this, m_buttonInterval, interval); }
    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption) { StoreAndRepaint(this, m_caption, caption); }
    // Font is the widget's own font (QWidget::setFont), the caption font;
    // its colour is FontColor.
    platform::TColor FontColor() const { return m_fontColor; }
    void setFontColor(platform::TColor color) { StoreAndRepaint(this, m_fontColor, color); }
    bool FormActive() const { return m_formActive; }
    void setFormActive(bool active) { StoreAndRepaint(this, m_formActive, active); }
    int LeftBtnXOffset() const { return m_leftBtnXOffset; }
    void setLeftBtnXOffset(int offset) { StoreAndRepaint(this, m_leftBtnXOffset, offset); }
    int RightBtnXOffset() const { return m_rightBtnXOffset; }
    void setRightBtnXOffset(int offset) { StoreAndRepaint(this, m_rightBtnXOffset, offset); }
    bool DrawAppIcon() const { return m_drawAppIcon; }
    void setDrawAppIcon(bool draw) { StoreAndRepaint(this, m_drawAppIcon, draw); }
    // Stored only; the frame reads them.
    int RoundCorner() const { return m_roundCorner; }
    void setRoundCorner(int radius) { m_roundCorner = radius; }
    int RoundCornerBottom() const { return m_roundCornerBottom; }
    void setRoundCornerBottom(int radius) { m_roundCornerBottom = radius; }

    // For the frame.
    void RefreshMaxButtons();
    QImage LeftSectionPicture() const;
    QImage RightSectionPicture() const;
    QImage ClientSectionPicture() const;
    bool HasAllSections() const { return m_sections->Count() == 3; }
    TvexTitleBarPopupMenu *SystemMenu() const { return m_windowMenu; }

    // The window that holds the bar (none when the bar is a window itself).
    QWidget *HostForm() const;
    // The parent is a skinned frame (a TvexForm).
    bool OnSkinnedFrame() const;
    // Maximises, restores and minimises HostForm(): the frame's policy for
    // it, or the bar's own.
    WindowStatePolicy *HostWindowStates();
    // BiDiMode is right to left and the system supports such languages.
    bool RightToLeftLayout() const;
    // What the host window answers to the left-border width query.
    int LeftBorderWidth() const;

    // Where the buttons and the caption go at the bar's current width, with
    // the hot button for the cursor at cursor (bar coordinates), if any.
    struct Layout
    {
        struct Place
        {
            int index = -1;
            QPoint at; // where the picture is drawn
            QRect hit; // hit rectangle; its far edges count as inside (InRect)
        };
        QList<Place> buttons; // right-side buttons, in collection order
        Place controlBox;     // index -1 without a visible control box
        int captionLeft = 0;  // L: where the left part ends
        int buttonsLeft = 0;  // x: left edge of the leftmost right-side button
        int hot = -1;
    };
    Layout ComputeLayout(std::optional<QPoint> cursor = std::nullopt) const;

    int ButtonTop() const { return m_buttonTop; }
    int CaptionBand() const { return m_captionBand; }
    // The button under the cursor as the last mouse event over the bar
    // reported it; -1 for none.
    int HotButton() const { return ComputeLayout(cursorInBar()).hot; }
    bool Pressed() const { return m_pressed; }
    // The caption as a paint draws it now (shortened with "...").
    QString DrawnCaption() const;

    // The bar as a paint draws it now.
    QImage Render();

signals:
    void OnCustomBtnsClick(QObject *Sender, int ButtonIndex);
    void OnHelpBtnClick(QObject *Sender, int ButtonIndex);
    void OnResize(QObject *Sender);

protected:
    virtual void DrawSections(QImage &bitmap);
    virtual void DrawButtonsAndCaption(QImage &bitmap);

    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void applyStyle();
    void loadLook(bool themeMode);
    std::optional<QPoint> cursorInBar() const;
    void trackCursor(const QMouseEvent *event);
    void beginWindowDrag(const QMouseEvent *event);
    void buttonReleased(int index);
    void watchForSecondPress(QMenu *menu);
    bool isSecondPressOnControlBox(const QMouseEvent *press) const;
    QString shortenedCaption(const Layout &layout) const;
    QImage appIcon() const;

    bool m_custom = false;
    bool m_autoSize = false;
    TvexTitleBarSections *m_sections;
    TvexTitleBarButtons *m_buttons;
    TvexTitleBarPopupMenu *m_windowMenu;
    int m_buttonInterval = 0;
    QString m_caption;
    platform::TColor m_fontColor = platform::clWhite;
    bool m_formActive = true;
    int m_leftBtnXOffset = 0;
    int m_rightBtnXOffset = 0;
    bool m_drawAppIcon = false;
    int m_roundCorner = 0;
    int m_roundCornerBottom = 0;

    bool m_pressed = false;
    int m_hot = -1;
    // The button the left press went down on, -1 for none: only a release
    // over that same button clicks, as with any other push button.
    int m_pressedButton = -1;
    int m_captionBand = 0;
    int m_buttonTop = 0;
    bool m_keepFontColor = false;

    // The cursor as the last mouse event over the bar reported it (global);
    // none once it has left.
    std::optional<QPoint> m_cursor;
    WindowDragger m_dragger;
    std::unique_ptr<WindowStatePolicy> m_ownStates;
    bool m_ignoreRelease = false;
    // The menu that the control box opened on a release, watched for the
    // second press of a double click, which its popup would swallow; and
    // when the left button went down before that release.
    QPointer<QMenu> m_controlBoxPopup;
    quint64 m_pressTime = 0;
};

} // namespace vex
