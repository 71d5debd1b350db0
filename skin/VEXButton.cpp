#include "skin/VEXButton.h"

#include "skin/VEXButtonParts_p.h"
#include "skin/VEXPublic.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <exception>

namespace vex {

using namespace buttonparts;

namespace {

void storeModalResult(QWidget *form, int result)
{
    if (auto *dialog = qobject_cast<QDialog *>(form))
        dialog->setResult(result);
    form->setProperty("ModalResult", result);
}

} // namespace

// ---------------------------------------------------------------------------
// TvexCustomButton

TvexCustomButton::TvexCustomButton(QWidget *parent)
    : TvexKeyedControl(parent), m_action(this, &QAction::changed, [this] { ActionChanged(); })
{
    setMouseTracking(true);
    m_activeDefault = m_default;
    watchForm();
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now && now->window() == window())
            updateActiveDefault(now);
    });
}

TvexCustomButton::~TvexCustomButton()
{
    disconnect(m_focusWatch);
    m_repeat.reset();
}

void TvexCustomButton::setAutoSize(bool value)
{
    StoreAndRepaint(this, m_autoSize, value, [this] { ApplyAutoSize(); });
}

void TvexCustomButton::setDefault(bool value)
{
    m_default = value;
    rebroadcastFocus();
}

void TvexCustomButton::Click()
{
    if (m_pressed) {
        stopRepeat();
        m_pressed = false;
        update();
    }
    if (parentWidget())
        storeModalResult(window(), m_modalResult);
    QPointer<TvexCustomButton> self(this);
    if (QAction *action = m_action)
        action->trigger();
    if (self)
        TvexKeyedControl::Click();
}

void TvexCustomButton::ApplyAutoSize()
{
    if (!m_autoSize)
        return;
    // The built-in picture of the style itself: a file theme is not asked.
    QImage picture;
    GetBuiltInBitmap(UIStyle(), ButtonImage, &picture);
    const int w = picture.isNull() ? 74 : picture.width();
    const int h = picture.isNull() ? 21 : picture.height();
    resize(w / 3, h);
}

void TvexCustomButton::FontChanged()
{
    update();
}

void TvexCustomButton::TransparentChanged()
{
    m_drawTransparent = Transparent();
}

void TvexCustomButton::EnabledChanged() {}

void TvexCustomButton::ActionChanged()
{
    const QAction *action = m_action;
    if (!action || isDestroying())
        return;
    setCaption(action->text());
    setEnabled(action->isEnabled());
}

void TvexCustomButton::loadFrame(QImage &frame, int index) const
{
    TvexUIStyle style = UIStyle();
    TvexFileTheme *theme = FileTheme();
    try {
        if (UseFileTheme(theme, style))
            theme->GetImageFrame(ButtonImage, &frame, index, 3);
        else
            GetBuiltInBitmap(style, ButtonImage, &frame, index, 3);
    } catch (const std::exception &) {
        frame = QImage();
    }
    if (frame.isNull()) {
        // A built-in picture that cannot be had, or a theme picture that
        // cannot be decoded: paint on over a plain face of the usual size.
        frame = QImage(74, 21, QImage::Format_RGB32);
        frame.fill(QColor(255, 255, 255));
    }
}

void TvexCustomButton::LoadNormalFrame(QImage &frame)
{
    loadFrame(frame, 1);
}
void TvexCustomButton::LoadHotFrame(QImage &frame)
{
    loadFrame(frame, 2);
}
void TvexCustomButton::LoadPressedFrame(QImage &frame)
{
    loadFrame(frame, 3);
}
void TvexCustomButton::LoadDisabledFrame(QImage &frame)
{
    loadFrame(frame, 1);
}

QColor TvexCustomButton::BackgroundColor() const
{
    return platform::toQColor(parentColor(this));
}

bool TvexCustomButton::focusShown() const
{
    return hasFocus() && TabStop();
}

bool TvexCustomButton::boldRequest() const
{
    return focusShown() && FocusDrawsBold();
}

void TvexCustomButton::PaintFace(QPainter &canvas)
{
    QImage frame;
    if (!isEnabled())
        LoadDisabledFrame(frame);
    else if (m_pressed)
        LoadPressedFrame(frame);
    else if (m_hot)
        LoadHotFrame(frame);
    else
        LoadNormalFrame(frame);
    DrawSkin(canvas, frame);
    frame = QImage();
    if (focusShown())
        DrawFocus(canvas);
    canvas.setFont(font());
    if (!IsBlankText(Caption()))
        DrawCaption(canvas, Caption());
}

void TvexCustomButton::DrawSkin(QPainter &canvas, const QImage &frame)
{
    if (frame.isNull())
        return;
    QImage face = m_drawTransparent ? KeyedOut(frame, frame.pixel(0, 0)) : frame;
    if (!isEnabled())
        face = greyed(face);
    canvas.drawImage(0, 0, face);
}

void TvexCustomButton::DrawCaption(QPainter &canvas, const QString &text)
{
    canvas.setBrush(Qt::NoBrush);
    QRect r = rect();
    QFont f = font();
    if (boldRequest())
        f.setBold(true);
    canvas.setFont(f);
    QColor color = palette().color(QPalette::WindowText);
    if (!isEnabled()) {
        canvas.setPen(QColor(255, 255, 255));
        drawCentred(canvas, r.translated(1, 1), text);
        color = QColor(0x80, 0x80, 0x80);
    } else if (m_pressed) {
        r.translate(1, 1);
    }
    canvas.setPen(color);
    drawCentred(canvas, r, text);
}

void TvexCustomButton::DrawFocus(QPainter &canvas)
{
    if (FocusDrawsBold())
        return;
    const int m = m_focusedRectMargin;
    drawFocusRect(canvas, QRect(QPoint(m, m), QPoint(width() - m - 1, height() - m - 1)));
}

bool TvexCustomButton::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange)
        watchForm();
    return TvexKeyedControl::event(event);
}

void TvexCustomButton::pointerEntered()
{
    m_pointerInside = true;
    m_hot = true;
    update();
    emit OnMouseEnter(this);
}

void TvexCustomButton::pointerLeft()
{
    m_pointerInside = false;
    m_hot = false;
    m_pressed = false;
    stopRepeat();
    update();
    emit OnMouseExit(this);
}

void TvexCustomButton::startRepeat()
{
    if (m_repeat)
        return;
    m_repeat = std::make_unique<QTimer>();
    const int interval = qMax(m_interval, 0);
    m_repeat->setInterval(interval);
    connect(m_repeat.get(), &QTimer::timeout, this, [this] { emit OnMouseContinuouslyDown(this); });
    // A zero period would fire at every turn of the event loop.
    if (interval > 0)
        m_repeat->start();
}

void TvexCustomButton::stopRepeat()
{
    m_repeat.reset();
}

void TvexCustomButton::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    if (!m_pointerInside)
        pointerEntered();
}

void TvexCustomButton::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (m_pointerInside)
        pointerLeft();
}

void TvexCustomButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        startRepeat();
        if (TabStop() && isEnabled() && isVisible())
            setFocus(Qt::MouseFocusReason);
        update();
    }
    TvexKeyedControl::mousePressEvent(event);
}

void TvexCustomButton::mouseMoveEvent(QMouseEvent *event)
{
    QPointer<TvexCustomButton> self(this);
    TvexKeyedControl::mouseMoveEvent(event);
    if (!self)
        return;
    const QPoint p = event->position().toPoint();
    const bool outside = p.x() < 0 || p.y() < 0 || p.x() > width() || p.y() > height();
    if (outside) {
        m_hot = false;
        m_pressed = false;
        update();
        // While a mouse button is held Qt sends no leave or enter: the moves
        // tell when the pointer crosses the edge.
        if (m_pointerInside && event->buttons() != Qt::NoButton)
            pointerLeft();
    } else if (!m_pointerInside) {
        pointerEntered();
    }
}

void TvexCustomButton::KeyPressed(QKeyEvent *event)
{
    QPointer<TvexCustomButton> self(this);
    const int key = event->key();
    if (isDialogKey(key)) {
        // The form sees Enter and Escape before the focused button does.
        event->accept();
        if (event->isAutoRepeat() || dispatchDialogKey(window(), key, event->modifiers()) || !self)
            return;
        if (key == Qt::Key_Escape) {
            // Nobody cancels: whoever hosts the form may still want it.
            event->ignore();
            return;
        }
    }
    if (isPushKey(key) && hasFocus() && isEnabled()) {
        event->accept();
        m_pressed = true;
        update();
        return;
    }
    if (!event->text().isEmpty())
        emit OnKeyPress(this, event->text());
    if (self)
        QWidget::keyPressEvent(event);
}

void TvexCustomButton::changeEvent(QEvent *event)
{
    TvexKeyedControl::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        // A disabled button takes no more input, so a held press ends here
        // rather than ticking on until the pointer happens to leave.
        if (!isEnabled()) {
            m_pressed = false;
            disarmClick();
            stopRepeat();
        }
        EnabledChanged();
        break;
    case QEvent::FontChange:
        FontChanged();
        break;
    default:
        break;
    }
}

void TvexCustomButton::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (m_pointerInside)
        pointerLeft();
}

// ---------------------------------------------------------------------------
// TvexButton

TvexButton::TvexButton(QWidget *parent) : TvexCustomButton(parent)
{
    // Again through the setter now that the style can set Transparent.
    setUIStyle(UIStyle());
    resize(80, 27);
}

TvexButton::~TvexButton() = default;

void TvexButton::setGlyph(const QImage &glyph)
{
    m_glyph = glyph;
    m_glyphFromAction = false;
    update();
}

void TvexButton::ActionChanged()
{
    TvexCustomButton::ActionChanged();
    const QAction *action = Action();
    if (!action || isDestroying() || (!m_glyph.isNull() && !m_glyphFromAction))
        return;
    const QIcon icon = action->icon();
    if (icon.isNull()) {
        m_glyph = QImage();
    } else {
        const QList<QSize> sizes = icon.availableSizes();
        const QSize size = sizes.isEmpty() ? QSize(16, 16) : sizes.first();
        m_glyph = icon.pixmap(size).toImage();
    }
    m_glyphFromAction = !m_glyph.isNull();
    update();
}

void TvexButton::UIStyleChanged()
{
    setTransparent(ThemeBool(FileTheme(), UIStyle(), ButtonTransparentBool));
}

bool TvexButton::FocusDrawsBold() const
{
    return UIStyle() == TvexUIStyle::MacOS || UIStyle() == TvexUIStyle::BlueGlass;
}

TvexButton::GlyphPlace TvexButton::placeGlyph() const
{
    const int gh = m_glyph.height();
    const int gw = m_glyph.width() == 2 * gh ? gh : m_glyph.width();
    const QFontMetrics metrics(font());
    const int tw = metrics.horizontalAdvance(Caption());
    const int th = metrics.height();
    const int sp = m_spacing;
    const int w = width();
    const int h = height();
    GlyphPlace at;
    switch (m_layout) {
    case blGlyphLeft:
        at.glyph = QPoint((w - (tw + gw + sp)) / 2, (h - gh) / 2);
        at.caption = QPoint(at.glyph.x() + gw + sp, (h - th) / 2);
        break;
    case blGlyphRight:
        at.glyph = QPoint((w + tw + sp - gw) / 2, (h - gh) / 2);
        at.caption = QPoint(at.glyph.x() - tw - sp, (h - th) / 2);
        break;
    case blGlyphTop:
        at.glyph = QPoint((w - gw) / 2, (h - (th + gh + sp)) / 2);
        at.caption = QPoint((w - tw) / 2, at.glyph.y() + gh + sp);
        break;
    case blGlyphBottom:
        at.glyph = QPoint((w - gw) / 2, (h + th + sp - gh) / 2);
        at.caption = QPoint((w - tw) / 2, at.glyph.y() - th - sp);
        break;
    }
    return at;
}

void TvexButton::DrawSkin(QPainter &canvas, const QImage &frame)
{
    canvas.setFont(font());
    DrawNineSlice(frame, canvas, rect(), drawTransparent());
    if (!m_glyph.isNull())
        drawGlyph(canvas);
}

void TvexButton::drawGlyph(QPainter &canvas)
{
    const int gh = m_glyph.height();
    const bool twoFrames = m_glyph.width() == 2 * gh;
    const int gw = twoFrames ? gh : m_glyph.width();
    const QImage face = twoFrames ? m_glyph.copy(isEnabled() ? 0 : gw, 0, gw, gh) : m_glyph;
    QImage keyed =
        m_glyph.hasAlphaChannel() ? face.convertToFormat(QImage::Format_ARGB32) : KeyedOut(face, m_glyph.pixel(0, 0));
    if (!twoFrames && !isEnabled())
        keyed = embossed(keyed);
    canvas.drawImage(placeGlyph().glyph + (isPressed() ? QPoint(1, 1) : QPoint()), keyed);
}

void TvexButton::DrawCaption(QPainter &canvas, const QString &text)
{
    if (m_glyph.isNull()) {
        TvexCustomButton::DrawCaption(canvas, text);
        return;
    }
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic;
    auto inFrom = [this](QPoint p) { return QRect(p.x(), p.y(), width() - p.x(), height() - p.y()); };
    canvas.setBrush(Qt::NoBrush);
    canvas.setFont(font());
    QPoint at = placeGlyph().caption;
    QColor color = palette().color(QPalette::WindowText);
    if (!isEnabled()) {
        canvas.setPen(QColor(255, 255, 255));
        canvas.drawText(inFrom(at + QPoint(1, 1)), flags, text);
        color = QColor(0x80, 0x80, 0x80);
    } else if (isPressed()) {
        at += QPoint(1, 1);
    }
    canvas.setPen(color);
    canvas.drawText(inFrom(at), flags, text);
}

} // namespace vex
