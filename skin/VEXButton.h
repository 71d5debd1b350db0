#pragma once

#include "platform/gui/Colors.h"
#include "platform/gui/Component.h"
#include "platform/gui/ComponentLink.h"
#include "skin/VEXControl.h"
#include "skin/VEXMgr.h"
#include "skin/VEXPublic.h"
#include "skin/VEXThemes.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <memory>

class QPainter;
class QTimer;

namespace vex {

// A push button drawn from the "ButtonImage" strip of its style (normal,
// mouse over, pressed). This class holds the state machine, the keyboard and
// mouse handling and the frame choice; TvexButton adds the stretched face,
// the glyph and the published surface.
class TvexCustomButton : public TvexKeyedControl
{
    Q_OBJECT

public:
    explicit TvexCustomButton(QWidget *parent = nullptr);
    ~TvexCustomButton() override;

    // When switched on, the button takes the size of one frame of its style.
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool value);

    int FocusedRectMargin() const { return m_focusedRectMargin; }
    void setFocusedRectMargin(int value) { StoreAndRepaint(this, m_focusedRectMargin, value); }

    // Period of OnMouseContinuouslyDown while the left button is held; 0 or
    // less never ticks.
    int MouseContinuouslyDownInterval() const { return m_interval; }
    void setMouseContinuouslyDownInterval(int value) { m_interval = value; }

    // Written into the parent form's "ModalResult" on every click.
    int ModalResult() const { return m_modalResult; }
    void setModalResult(int value) { m_modalResult = value; }

    // Enter clicks a Default button while the focus is on a control that is
    // no push button; Escape clicks a Cancel button.
    bool Default() const { return m_default; }
    void setDefault(bool value);
    bool Cancel() const { return m_cancel; }
    void setCancel(bool value) { m_cancel = value; }

    // Kept for form descriptions that store it: reads 0, ignores writes.
    uint ResHandle() const { return 0; }
    void setResHandle(uint) {}

    // The action the button follows: its caption (with the "&" of its access
    // key), enabled state and picture become the button's when it is set and
    // whenever the action changes; a click triggers it. The link is dropped
    // when the action goes away, and the button keeps what it had taken.
    QAction *Action() const { return m_action; }
    void setAction(QAction *action) { m_action.set(action); }

    // Clicks the button as a mouse release inside it would: triggers the
    // Action, then fires OnClick.
    void Click() override;

    bool isHot() const { return m_hot; }
    bool isPressed() const { return m_pressed; }
    bool isActiveDefault() const { return m_activeDefault; }
    bool isRepeating() const { return m_repeat != nullptr; }

    // Offers a dialog key (Enter, Escape) to the push buttons of form, in
    // child order; true when one of them clicked.
    static bool dispatchDialogKey(QWidget *form, int key, Qt::KeyboardModifiers modifiers);

signals:
    void OnMouseEnter(QObject *Sender);
    void OnMouseExit(QObject *Sender);
    void OnMouseContinuouslyDown(QObject *Sender);

protected:
    virtual void ApplyAutoSize();
    virtual void FontChanged();
    virtual void EnabledChanged();
    virtual void DrawSkin(QPainter &canvas, const QImage &frame);
    virtual void DrawCaption(QPainter &canvas, const QString &text);
    virtual void DrawFocus(QPainter &canvas);
    virtual void LoadNormalFrame(QImage &frame);
    virtual void LoadHotFrame(QImage &frame);
    virtual void LoadPressedFrame(QImage &frame);
    virtual void LoadDisabledFrame(QImage &frame);
    // Takes the linked action's caption and enabled state.
    virtual void ActionChanged();
    // Whether the focused caption is drawn bold instead of a focus
    // rectangle; decided by the style, never by the paint.
    virtual bool FocusDrawsBold() const { return false; }

    // Frame index (1-based) of the three-frame strip, from the file theme
    // or the built-in style.
    void loadFrame(QImage &frame, int index) const;
    // The colour behind an opaque face: the parent's Color.
    QColor BackgroundColor() const override;
    void PaintFace(QPainter &canvas) override;
    void TransparentChanged() override;

    bool drawTransparent() const { return m_drawTransparent; }
    // True while the caption of this paint is to be bold: the button has the
    // focus and its style shows focus so.
    bool boldRequest() const;

    bool event(QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void KeyPressed(QKeyEvent *event) override;
    // A push key pressed on the button holds it down until released.
    bool PushKeyClicks() const override { return m_pressed; }
    void PushKeyReleased() override { m_pressed = false; }
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void pointerEntered();
    void pointerLeft();
    void startRepeat();
    void stopRepeat();
    bool dialogKey(int key, Qt::KeyboardModifiers modifiers);
    void updateActiveDefault(QWidget *focused);
    void rebroadcastFocus();
    void watchForm();
    bool focusShown() const;

    bool m_drawTransparent = false;
    bool m_autoSize = false;
    int m_focusedRectMargin = 2;
    int m_interval = 100;
    int m_modalResult = 0;
    bool m_default = false;
    bool m_cancel = false;

    bool m_hot = false;
    bool m_pressed = false;
    bool m_activeDefault = false;
    bool m_pointerInside = false; // Qt holds back leave/enter while the mouse is grabbed
    std::unique_ptr<QTimer> m_repeat;
    QMetaObject::Connection m_focusWatch;
    platform::ComponentLink<QAction> m_action;
};

// The push button with its published surface: style and file-theme binding,
// the face stretched over the whole button with its corners kept, and an
// optional glyph beside the caption.
class TvexButton : public TvexCustomButton
{
    Q_OBJECT
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(QImage Glyph READ Glyph WRITE setGlyph)
    Q_PROPERTY(vex::TvexButton::TButtonLayout Layout READ Layout WRITE setLayout)
    Q_PROPERTY(int Spacing READ Spacing WRITE setSpacing)
    Q_PROPERTY(int FocusedRectMargin READ FocusedRectMargin WRITE setFocusedRectMargin)
    Q_PROPERTY(
        int MouseContinuouslyDownInterval READ MouseContinuouslyDownInterval WRITE setMouseContinuouslyDownInterval)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE setModalResult)
    Q_PROPERTY(bool Default READ Default WRITE setDefault)
    Q_PROPERTY(bool Cancel READ Cancel WRITE setCancel)
    Q_PROPERTY(uint ResHandle READ ResHandle WRITE setResHandle)
    Q_PROPERTY(QAction *Action READ Action WRITE setAction)

public:
    enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
    Q_ENUM(TButtonLayout)

    Q_INVOKABLE explicit TvexButton(QWidget *parent = nullptr);
    ~TvexButton() override;

    // A glyph twice as wide as high holds two frames: enabled, disabled. A
    // glyph with an alpha channel is drawn with it; any other has the colour
    // of its top-left pixel keyed out.
    QImage Glyph() const { return m_glyph; }
    void setGlyph(const QImage &glyph);

    TButtonLayout Layout() const { return m_layout; }
    void setLayout(TButtonLayout layout) { StoreAndRepaint(this, m_layout, layout); }

    int Spacing() const { return m_spacing; }
    void setSpacing(int spacing) { StoreAndRepaint(this, m_spacing, spacing); }

    // Where the glyph and the caption beside it go, for the glyph, caption,
    // font, layout, spacing and size the button has now.
    QPoint glyphPosition() const { return placeGlyph().glyph; }
    QPoint captionPosition() const { return placeGlyph().caption; }

protected:
    void UIStyleChanged() override;
    bool FocusDrawsBold() const override;
    // Also takes the action's icon as the glyph, unless a glyph of the
    // button's own is set.
    void ActionChanged() override;
    void DrawSkin(QPainter &canvas, const QImage &frame) override;
    void DrawCaption(QPainter &canvas, const QString &text) override;

private:
    struct GlyphPlace
    {
        QPoint glyph;
        QPoint caption;
    };
    GlyphPlace placeGlyph() const;
    void drawGlyph(QPainter &canvas);

    QImage m_glyph;
    bool m_glyphFromAction = false;
    TButtonLayout m_layout = blGlyphLeft;
    int m_spacing = 4;
};

// A two-state check box drawn from the four-frame "CheckBoxImage" strip
// (checked, unchecked, checked disabled, unchecked disabled) followed by its
// caption on one line.
class TvexCheckBox : public TvexKeyedControl
{
    Q_OBJECT
    Q_PROPERTY(bool Checked READ Checked WRITE setChecked)
    Q_PROPERTY(vex::TvexCheckBox::TCheckBoxState State READ State WRITE setState)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(int Color READ Color WRITE setColor)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE setParentColor)
    Q_PROPERTY(vex::TvexCheckBox::TBiDiMode BiDiMode READ BiDiMode WRITE setBiDiMode)

public:
    enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };
    Q_ENUM(TCheckBoxState)
    enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
    Q_ENUM(TBiDiMode)

    Q_INVOKABLE explicit TvexCheckBox(QWidget *parent = nullptr);
    ~TvexCheckBox() override;

    bool Checked() const { return m_checked; }
    void setChecked(bool value);

    // cbGrayed unchecks: the control has two states only.
    TCheckBoxState State() const { return m_checked ? cbChecked : cbUnchecked; }
    void setState(TCheckBoxState state) { setChecked(state == cbChecked); }

    // Keeps the control the size of its picture and caption: fitted again
    // whenever the caption, the style, the font or the size changes.
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool value);

    // The background when not transparent; the parent's Color while
    // ParentColor is on. Setting it turns ParentColor off.
    platform::TColor Color() const;
    void setColor(platform::TColor color);
    bool ParentColor() const { return m_parentColor; }
    void setParentColor(bool value) { StoreAndRepaint(this, m_parentColor, value); }

    TBiDiMode BiDiMode() const { return m_biDiMode; }
    void setBiDiMode(TBiDiMode mode) { StoreAndRepaint(this, m_biDiMode, mode); }

    // A click: toggles (a radio button: checks) as a release inside would.
    void Click() override;

    // The picture and the caption side by side, with the margins AutoSize
    // keeps.
    QSize sizeHint() const override;

signals:
    void OnDblClick(QObject *Sender);

protected:
    virtual bool FocusVisible() const;
    virtual bool PictureTransparent() const { return false; }
    virtual int PictureKey() const { return CheckBoxImage; }
    virtual void CheckedChanged();
    virtual void BeforeToggle() {}
    virtual void Toggle();

    // The state frame (1..4) for the current state, keyed when transparent.
    QImage statePicture() const;
    bool rightToLeft() const;

    QColor BackgroundColor() const override;
    void PaintFace(QPainter &canvas) override;
    void CaptionChanged() override;
    void UIStyleChanged() override;
    void MnemonicPressed() override;

    void mousePressEvent(QMouseEvent *event) override;
    void KeyPressed(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitToContents();

    bool m_checked = false;
    bool m_autoSize = true;
    platform::TColor m_color = platform::clWindow;
    bool m_parentColor = true;
    TBiDiMode m_biDiMode = bdLeftToRight;
};

// A radio button: a click checks it and unchecks the radio buttons of the
// same GroupIndex under the same parent.
class TvexRadioButton : public TvexCheckBox
{
    Q_OBJECT
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE setGroupIndex)

public:
    Q_INVOKABLE explicit TvexRadioButton(QWidget *parent = nullptr);
    ~TvexRadioButton() override;

    int GroupIndex() const { return m_groupIndex; }
    void setGroupIndex(int value) { m_groupIndex = value; }

protected:
    bool PictureTransparent() const override { return true; }
    int PictureKey() const override { return RadioButtonImage; }
    void CheckedChanged() override;
    void Toggle() override;
    // Space and Enter do not check a radio button.
    bool PushKeyClicks() const override { return false; }

    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void uncheckGroup();

    int m_groupIndex = 0;
    QMetaObject::Connection m_focusWatch;
};

} // namespace vex
