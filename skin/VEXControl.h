#pragma once

#include "platform/gui/Component.h"
#include "skin/VEXMgr.h"
#include "skin/VEXPopupHint.h"
#include "skin/VEXThemes.h"

#include <QColor>
#include <QMenu>
#include <QString>
#include <QWidget>

#include <functional>

class QKeyEvent;
class QPainter;

namespace vex {

// What every skinned control has in common: its style and file-theme link
// (which falls back to DeepBlue when the theme goes), a caption whose access
// key clicks the control, the context menu and hint, a click on the release
// of a press that began inside, the mouse and focus notifications, and a
// paint that draws into an off-screen image and copies it in one block.
//
// Derived controls override the hooks for what differs: what a click does
// (Click), how the face is painted (PaintFace), what lies under it
// (BackgroundColor), and what follows a change of caption, style or
// transparency. Every emitted notification may delete the control; the base
// checks after each one before touching itself again, and so must overrides
// that call it first.
//
// Every skinned control publishes the caption, transparency, tab stop,
// context menu and hint properties declared here.
class TvexControl : public QWidget, public TvexStyleHolder, public platform::Component
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)
    Q_PROPERTY(bool TabStop READ TabStop WRITE setTabStop)
    Q_PROPERTY(QMenu *PopupMenu READ PopupMenu WRITE setPopupMenu)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE setShowHint)
    Q_PROPERTY(bool ParentShowHint READ ParentShowHint WRITE setParentShowHint)
    Q_PROPERTY(QString Hint READ Hint WRITE setHint)

public:
    explicit TvexControl(QWidget *parent = nullptr);
    ~TvexControl() override;

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);

    void setUIStyle(TvexUIStyle style);

    // Holds the theme and applies the current style again.
    void setFileTheme(TvexFileTheme *theme);

    // Paint the parent's background under the face.
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool value);

    // Whether the Tab key stops on the control; clicks may still focus it.
    bool TabStop() const { return m_tabStop; }
    void setTabStop(bool value);

    // Context menu and hint (see TvexPopupHint).
    QMenu *PopupMenu() const { return m_popupHint.PopupMenu(); }
    void setPopupMenu(QMenu *menu) { m_popupHint.setPopupMenu(menu); }
    bool ShowHint() const { return m_popupHint.ShowHint(); }
    void setShowHint(bool show) { m_popupHint.setShowHint(show); }
    bool ParentShowHint() const { return m_popupHint.ParentShowHint(); }
    void setParentShowHint(bool value) { m_popupHint.setParentShowHint(value); }
    QString Hint() const { return m_popupHint.Hint(); }
    void setHint(const QString &hint) { m_popupHint.setHint(hint); }

    // What a release inside the control after a press inside it does; the
    // base fires OnClick.
    virtual void Click();

signals:
    void OnClick(QObject *Sender);
    void OnMouseDown(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void OnMouseUp(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void OnMouseMove(QObject *Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    void OnEnter(QObject *Sender);
    void OnExit(QObject *Sender);

protected:
    // Paints the face into the back buffer, which already holds the
    // background colour and, when transparent, the parent's background.
    virtual void PaintFace(QPainter &canvas) = 0;
    // The colour the back buffer starts with.
    virtual QColor BackgroundColor() const = 0;

    virtual void CaptionChanged() {}
    virtual void UIStyleChanged() {}
    virtual void TransparentChanged() {}
    // The caption's access key was pressed; the base clicks an enabled
    // control.
    virtual void MnemonicPressed();

    // A control whose caption is a label only (a panel) takes no access key.
    void setCaptionTakesMnemonic(bool value);
    // The focus policy TabStop switches on: Tab only, or Tab and clicks.
    void setTabStopPolicy(Qt::FocusPolicy policy);

    // Forgets a press so that the next release does not click.
    void disarmClick() { m_clickArmed = false; }
    // Handles the second press of a double click as no click of its own:
    // runs notifyDoubleClick, then fires OnMouseDown.
    void doubleClickPressed(QMouseEvent *event, const std::function<void()> &notifyDoubleClick);

    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateMnemonic();

    QString m_caption;
    bool m_transparent = false;
    bool m_tabStop = true;
    Qt::FocusPolicy m_tabStopPolicy = Qt::TabFocus;
    bool m_captionTakesMnemonic = true;
    bool m_clickArmed = false;
    int m_mnemonicId = 0;
    TvexPopupHint m_popupHint;
};

// A skinned control that takes the keyboard and has a style of its own to
// publish: the push button, the check box and the radio button. Every key
// press and release is reported before the control acts on it; releasing
// Space or Enter while the control has the focus clicks it.
class TvexKeyedControl : public TvexControl
{
    Q_OBJECT
    Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle WRITE setUIStyle)
    Q_PROPERTY(vex::TvexFileTheme *FileTheme READ FileTheme WRITE setFileTheme)

public:
    using TvexControl::TvexControl;

signals:
    void OnKeyDown(QObject *Sender, int Key, Qt::KeyboardModifiers Shift);
    void OnKeyUp(QObject *Sender, int Key, Qt::KeyboardModifiers Shift);
    void OnKeyPress(QObject *Sender, const QString &Key);

protected:
    // What the control does with a key press, after OnKeyDown (and only
    // while the control is still there).
    virtual void KeyPressed(QKeyEvent *event) = 0;
    // Whether releasing Space or Enter clicks the control now; and what
    // changes just before that click.
    virtual bool PushKeyClicks() const { return true; }
    virtual void PushKeyReleased() {}

    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
};

} // namespace vex
