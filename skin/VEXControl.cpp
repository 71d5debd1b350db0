#include "skin/VEXControl.h"

#include "skin/VEXButtonParts_p.h"
#include "skin/VEXPublic.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>

namespace vex {

namespace {

using MouseButtonSignal = void (TvexControl::*)(QObject *, Qt::MouseButton, Qt::KeyboardModifiers, int, int);

void emitMouseButton(TvexControl *control, MouseButtonSignal signal, const QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit(control->*signal)(control, event->button(), event->modifiers(), p.x(), p.y());
}

} // namespace

TvexControl::TvexControl(QWidget *parent)
    : QWidget(parent),
      TvexStyleHolder(
          this, [this] { setUIStyle(TvexUIStyle::DeepBlue); }, GetOwnerFormStyle(platform::ownerForm(parent))),
      m_popupHint(this)
{
    // The paint covers every pixel; erasing first would only flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(m_tabStopPolicy);
}

TvexControl::~TvexControl()
{
    markDestroying();
}

void TvexControl::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    CaptionChanged();
    updateMnemonic();
    update();
}

void TvexControl::setUIStyle(TvexUIStyle style)
{
    StoreAndRepaint(this, m_uiStyle, style, [this] { UIStyleChanged(); });
}

void TvexControl::setFileTheme(TvexFileTheme *theme)
{
    m_fileTheme.set(theme);
    setUIStyle(m_uiStyle);
}

void TvexControl::setTransparent(bool value)
{
    StoreAndRepaint(this, m_transparent, value, [this] { TransparentChanged(); });
}

void TvexControl::setTabStop(bool value)
{
    m_tabStop = value;
    setFocusPolicy(value ? m_tabStopPolicy : Qt::NoFocus);
    update();
}

void TvexControl::setTabStopPolicy(Qt::FocusPolicy policy)
{
    m_tabStopPolicy = policy;
    setTabStop(m_tabStop);
}

void TvexControl::setCaptionTakesMnemonic(bool value)
{
    m_captionTakesMnemonic = value;
    updateMnemonic();
}

void TvexControl::Click()
{
    emit OnClick(this);
}

void TvexControl::MnemonicPressed()
{
    if (isEnabled())
        Click();
}

void TvexControl::updateMnemonic()
{
    if (m_mnemonicId)
        releaseShortcut(m_mnemonicId);
    m_mnemonicId = 0;
    if (!m_captionTakesMnemonic)
        return;
    const QKeySequence mnemonic = QKeySequence::mnemonic(m_caption);
    if (!mnemonic.isEmpty())
        m_mnemonicId = grabShortcut(mnemonic);
}

bool TvexControl::event(QEvent *event)
{
    if (m_popupHint.handleEvent(event))
        return true;
    if (event->type() == QEvent::Shortcut && m_mnemonicId
        && static_cast<QShortcutEvent *>(event)->shortcutId() == m_mnemonicId) {
        MnemonicPressed();
        return true;
    }
    return QWidget::event(event);
}

void TvexControl::paintEvent(QPaintEvent *)
{
    if (isDestroying() || width() <= 0 || height() <= 0)
        return;
    QImage buffer(width(), height(), QImage::Format_RGB32);
    {
        QPainter canvas(&buffer);
        canvas.fillRect(buffer.rect(), BackgroundColor());
        if (m_transparent)
            DrawParentBackground(canvas, this);
        PaintFace(canvas);
    }
    QPainter(this).drawImage(0, 0, buffer);
}

void TvexControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_clickArmed = true;
    emitMouseButton(this, &TvexControl::OnMouseDown, event);
}

void TvexControl::doubleClickPressed(QMouseEvent *event, const std::function<void()> &notifyDoubleClick)
{
    QPointer<TvexControl> self(this);
    m_clickArmed = false;
    notifyDoubleClick();
    if (self)
        emitMouseButton(this, &TvexControl::OnMouseDown, event);
}

void TvexControl::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit OnMouseMove(this, event->modifiers(), p.x(), p.y());
}

void TvexControl::mouseReleaseEvent(QMouseEvent *event)
{
    QPointer<TvexControl> self(this);
    if (event->button() == Qt::LeftButton && m_clickArmed) {
        m_clickArmed = false;
        if (rect().contains(event->position().toPoint()))
            Click();
        if (!self)
            return;
    }
    emitMouseButton(this, &TvexControl::OnMouseUp, event);
}

void TvexControl::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
    emit OnEnter(this);
}

void TvexControl::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
    emit OnExit(this);
}

void TvexControl::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        update();
}

// ---------------------------------------------------------------------------
// TvexKeyedControl

void TvexKeyedControl::keyPressEvent(QKeyEvent *event)
{
    QPointer<TvexKeyedControl> self(this);
    emit OnKeyDown(this, event->key(), event->modifiers());
    if (self)
        KeyPressed(event);
}

void TvexKeyedControl::keyReleaseEvent(QKeyEvent *event)
{
    QPointer<TvexKeyedControl> self(this);
    emit OnKeyUp(this, event->key(), event->modifiers());
    if (!self)
        return;
    if (!event->isAutoRepeat() && buttonparts::isPushKey(event->key()) && hasFocus() && isEnabled()
        && PushKeyClicks()) {
        event->accept();
        PushKeyReleased();
        update();
        Click();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

} // namespace vex
