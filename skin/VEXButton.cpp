#include "skin/VEXButton.h"

#include "platform/SystemMetrics.h"
#include "skin/VEXPublic.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcutEvent>
#include <QTimer>

#include <exception>

namespace vex {

namespace {

bool isEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }
bool isDialogKey(int key) { return isEnterKey(key) || key == Qt::Key_Escape; }
bool isPushKey(int key) { return key == Qt::Key_Space || isEnterKey(key); }

// The picture with every pixel of colour key made see-through.
QImage keyedOut(const QImage &picture, QRgb key)
{
    QImage keyed = picture.convertToFormat(QImage::Format_ARGB32);
    key |= 0xFF000000u;
    for (int y = 0; y < keyed.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            if ((line[x] | 0xFF000000u) == key)
                line[x] = 0;
        }
    }
    return keyed;
}

// The drawn pixels of a keyed picture as a grey silhouette over a white
// shadow one pixel down and right: the usual look of a disabled picture.
QImage embossed(const QImage &keyed)
{
    QImage out(keyed.width() + 1, keyed.height() + 1, QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb grey = qRgb(0x80, 0x80, 0x80);
    for (int y = 0; y < keyed.height(); ++y) {
        for (int x = 0; x < keyed.width(); ++x) {
            if (qAlpha(keyed.pixel(x, y)))
                out.setPixel(x + 1, y + 1, white);
        }
    }
    for (int y = 0; y < keyed.height(); ++y) {
        for (int x = 0; x < keyed.width(); ++x) {
            if (qAlpha(keyed.pixel(x, y)))
                out.setPixel(x, y, grey);
        }
    }
    return out;
}

// Every other pixel along the rectangle's edge inverted, as the platform's
// focus rectangle does; drawing it twice restores the picture.
void drawFocusRect(QPainter &canvas, const QRect &r)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    QList<QPoint> dots;
    auto dot = [&dots](int x, int y) {
        if ((x + y) % 2 == 0)
            dots.append(QPoint(x, y));
    };
    for (int x = r.left(); x <= r.right(); ++x) {
        dot(x, r.top());
        if (r.bottom() != r.top())
            dot(x, r.bottom());
    }
    for (int y = r.top() + 1; y < r.bottom(); ++y) {
        dot(r.left(), y);
        if (r.right() != r.left())
            dot(r.right(), y);
    }
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    canvas.setPen(QPen(QColor(255, 255, 255), 0));
    canvas.drawPoints(dots.constData(), int(dots.size()));
    canvas.restore();
}

// Measures text in r with word breaks and tab expansion, centres the
// measured block in r and draws it there, centred line by line.
void drawCentred(QPainter &canvas, const QRect &r, const QString &text)
{
    const int measure = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs | Qt::TextShowMnemonic;
    QRect block = canvas.fontMetrics().boundingRect(r, measure, text);
    block.moveTo(r.left() + (r.width() - block.width()) / 2, r.top() + (r.height() - block.height()) / 2);
    canvas.drawText(block, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, text);
}

// The colour of a control that takes its colour from its parent: the
// parent's Color when it publishes one, else what the parent's palette shows.
platform::TColor parentColor(const QWidget *control)
{
    const QWidget *parent = control->parentWidget();
    if (!parent)
        return platform::clBtnFace;
    const QVariant color = parent->property("Color");
    bool ok = false;
    const int value = color.toInt(&ok);
    if (color.isValid() && ok)
        return value;
    return platform::fromQColor(parent->palette().color(parent->backgroundRole()));
}

// Watches a form for the dialog keys that no control took and offers them to
// its push buttons.
class DialogKeyFilter : public QObject
{
public:
    explicit DialogKeyFilter(QWidget *form) : QObject(form), m_form(form) { form->installEventFilter(this); }

    static void ensure(QWidget *form)
    {
        for (QObject *child : form->children()) {
            if (dynamic_cast<DialogKeyFilter *>(child))
                return;
        }
        new DialogKeyFilter(form);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_form || event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        if (!isDialogKey(key->key()) || key->isAutoRepeat())
            return false;
        return TvexCustomButton::dispatchDialogKey(m_form, key->key(), key->modifiers());
    }

private:
    QWidget *m_form;
};

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
    : QWidget(parent), m_fileTheme(this, [this] { setUIStyle(TvexUIStyle::DeepBlue); }),
      m_action(this, &QAction::changed, [this] { ActionChanged(); }), m_popupHint(this)
{
    // The paint covers every pixel; erasing first would only flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setUIStyle(GetOwnerFormStyle(platform::ownerForm(parent)));
    m_activeDefault = m_default;
    watchForm();
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now && now->window() == window())
            updateActiveDefault(now);
    });
}

TvexCustomButton::~TvexCustomButton()
{
    markDestroying();
    disconnect(m_focusWatch);
    m_repeat.reset();
}

void TvexCustomButton::setCaption(const QString &caption)
{
    m_caption = caption;
    CaptionChanged();
    updateMnemonic();
    update();
}

void TvexCustomButton::setUIStyle(TvexUIStyle style)
{
    m_uiStyle = style;
    UIStyleChanged();
    update();
}

void TvexCustomButton::setFileTheme(TvexFileTheme *theme)
{
    m_fileTheme.set(theme);
    setUIStyle(m_uiStyle);
}

void TvexCustomButton::setTransparent(bool value)
{
    m_transparent = value;
    TransparentChanged();
    update();
}

void TvexCustomButton::setAutoSize(bool value)
{
    m_autoSize = value;
    ApplyAutoSize();
    update();
}

void TvexCustomButton::setFocusedRectMargin(int value)
{
    m_focusedRectMargin = value;
    update();
}

void TvexCustomButton::setDefault(bool value)
{
    m_default = value;
    rebroadcastFocus();
}

void TvexCustomButton::setTabStop(bool value)
{
    m_tabStop = value;
    setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus);
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
        emit OnClick(this);
}

bool TvexCustomButton::dispatchDialogKey(QWidget *form, int key, Qt::KeyboardModifiers modifiers)
{
    if (!form)
        return false;
    QList<TvexCustomButton *> buttons;
    if (auto *self = qobject_cast<TvexCustomButton *>(form))
        buttons.append(self);
    buttons += form->findChildren<TvexCustomButton *>();
    for (TvexCustomButton *button : std::as_const(buttons)) {
        if (button->dialogKey(key, modifiers))
            return true;
    }
    return false;
}

bool TvexCustomButton::dialogKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool mine = (isEnterKey(key) && m_activeDefault) || (key == Qt::Key_Escape && m_cancel);
    const bool plain = (modifiers & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!mine || !plain || !isVisible() || !isEnabled())
        return false;
    Click();
    return true;
}

void TvexCustomButton::updateActiveDefault(QWidget *focused)
{
    m_activeDefault = qobject_cast<TvexCustomButton *>(focused) ? focused == this : m_default;
    update();
}

void TvexCustomButton::rebroadcastFocus()
{
    QWidget *form = window();
    if (form == this || !parentWidget()) {
        m_activeDefault = m_default;
        return;
    }
    QWidget *focused = form->focusWidget();
    const QList<TvexCustomButton *> buttons = form->findChildren<TvexCustomButton *>();
    for (TvexCustomButton *button : buttons)
        button->updateActiveDefault(focused);
}

void TvexCustomButton::watchForm()
{
    if (QWidget *form = window(); form != this)
        DialogKeyFilter::ensure(form);
}

void TvexCustomButton::updateMnemonic()
{
    if (m_mnemonicId)
        releaseShortcut(m_mnemonicId);
    m_mnemonicId = 0;
    const QKeySequence mnemonic = QKeySequence::mnemonic(m_caption);
    if (!mnemonic.isEmpty())
        m_mnemonicId = grabShortcut(mnemonic);
}

void TvexCustomButton::ApplyAutoSize()
{
    if (!m_autoSize)
        return;
    // The built-in picture of the style itself: a file theme is not asked.
    QImage picture;
    GetBuiltInBitmap(m_uiStyle, ButtonImage, &picture);
    const int w = picture.isNull() ? 74 : picture.width();
    const int h = picture.isNull() ? 21 : picture.height();
    resize(w / 3, h);
}

void TvexCustomButton::CaptionChanged() {}

void TvexCustomButton::FontChanged()
{
    update();
}

void TvexCustomButton::TransparentChanged()
{
    m_drawTransparent = m_transparent;
    update();
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

void TvexCustomButton::UIStyleChanged() {}

void TvexCustomButton::loadFrame(QImage &frame, int index) const
{
    TvexUIStyle style = m_uiStyle;
    try {
        if (UseFileTheme(m_fileTheme, style))
            m_fileTheme->GetImageFrame(ButtonImage, &frame, index, 3);
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

void TvexCustomButton::LoadNormalFrame(QImage &frame) { loadFrame(frame, 1); }
void TvexCustomButton::LoadHotFrame(QImage &frame) { loadFrame(frame, 2); }
void TvexCustomButton::LoadPressedFrame(QImage &frame) { loadFrame(frame, 3); }
void TvexCustomButton::LoadDisabledFrame(QImage &frame) { loadFrame(frame, 1); }

QColor TvexCustomButton::controlColor() const
{
    return platform::toQColor(parentColor(this));
}

void TvexCustomButton::paintEvent(QPaintEvent *)
{
    if (isDestroying() || width() <= 0 || height() <= 0)
        return;
    // Focus asks for a bold caption anew at every paint.
    m_boldRequest = false;
    QImage frame;
    if (!isEnabled())
        LoadDisabledFrame(frame);
    else if (m_pressed)
        LoadPressedFrame(frame);
    else if (m_hot)
        LoadHotFrame(frame);
    else
        LoadNormalFrame(frame);

    QImage buffer(width(), height(), QImage::Format_RGB32);
    {
        QPainter canvas(&buffer);
        canvas.fillRect(buffer.rect(), controlColor());
        if (m_transparent)
            DrawParentBackground(canvas, this);
        DrawSkin(canvas, frame);
        frame = QImage();
        if (hasFocus() && m_tabStop)
            DrawFocus(canvas);
        canvas.setFont(font());
        if (!IsBlankText(m_caption))
            DrawCaption(canvas, m_caption);
    }
    QPainter(this).drawImage(0, 0, buffer);
}

void TvexCustomButton::DrawSkin(QPainter &canvas, const QImage &frame)
{
    if (frame.isNull())
        return;
    QImage face = m_drawTransparent ? keyedOut(frame, frame.pixel(0, 0)) : frame;
    if (!isEnabled()) {
        face = face.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < face.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(face.scanLine(y));
            for (int x = 0; x < face.width(); ++x) {
                const int grey = qGray(line[x]);
                line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
            }
        }
    }
    canvas.drawImage(0, 0, face);
}

void TvexCustomButton::DrawCaption(QPainter &canvas, const QString &text)
{
    canvas.setBrush(Qt::NoBrush);
    QRect r = rect();
    QFont f = font();
    if (m_boldRequest)
        f.setBold(true);
    canvas.setFont(f);
    QColor color = palette().color(QPalette::WindowText);
    if (!isEnabled()) {
        canvas.setPen(QColor(255, 255, 255));
        drawCentred(canvas, r.translated(1, 1), text);
        r = rect();
        color = QColor(0x80, 0x80, 0x80);
    } else if (m_pressed) {
        r.translate(1, 1);
    }
    canvas.setPen(color);
    drawCentred(canvas, r, text);
    m_boldRequest = false;
}

void TvexCustomButton::DrawFocus(QPainter &canvas)
{
    const int m = m_focusedRectMargin;
    drawFocusRect(canvas, QRect(QPoint(m, m), QPoint(width() - m - 1, height() - m - 1)));
}

bool TvexCustomButton::event(QEvent *event)
{
    if (m_popupHint.handleEvent(event))
        return true;
    switch (event->type()) {
    case QEvent::Shortcut:
        if (static_cast<QShortcutEvent *>(event)->shortcutId() == m_mnemonicId && m_mnemonicId) {
            if (isEnabled())
                Click();
            return true;
        }
        break;
    case QEvent::ParentChange:
        watchForm();
        break;
    default:
        break;
    }
    return QWidget::event(event);
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
        m_clickArmed = true;
        m_pressed = true;
        if (!m_repeat) {
            m_repeat = std::make_unique<QTimer>();
            const int interval = qMax(m_interval, 0);
            m_repeat->setInterval(interval);
            connect(m_repeat.get(), &QTimer::timeout, this, [this] { emit OnMouseContinuouslyDown(this); });
            // A zero period would fire at every turn of the event loop.
            if (interval > 0)
                m_repeat->start();
        }
        if (m_tabStop && isEnabled() && isVisible())
            setFocus(Qt::MouseFocusReason);
        update();
    }
    const QPoint p = event->position().toPoint();
    emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TvexCustomButton::mouseMoveEvent(QMouseEvent *event)
{
    QPointer<TvexCustomButton> self(this);
    const QPoint p = event->position().toPoint();
    emit OnMouseMove(this, event->modifiers(), p.x(), p.y());
    if (!self)
        return;
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

void TvexCustomButton::mouseReleaseEvent(QMouseEvent *event)
{
    QPointer<TvexCustomButton> self(this);
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && m_clickArmed) {
        m_clickArmed = false;
        if (rect().contains(p))
            Click();
        if (!self)
            return;
    }
    emit OnMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TvexCustomButton::keyPressEvent(QKeyEvent *event)
{
    QPointer<TvexCustomButton> self(this);
    const int key = event->key();
    emit OnKeyDown(this, key, event->modifiers());
    if (!self)
        return;
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

void TvexCustomButton::keyReleaseEvent(QKeyEvent *event)
{
    QPointer<TvexCustomButton> self(this);
    const int key = event->key();
    emit OnKeyUp(this, key, event->modifiers());
    if (!self)
        return;
    if (!event->isAutoRepeat() && isPushKey(key) && hasFocus() && m_pressed && isEnabled()) {
        event->accept();
        m_pressed = false;
        update();
        Click();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void TvexCustomButton::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
    emit OnEnter(this);
}

void TvexCustomButton::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
    emit OnExit(this);
}

void TvexCustomButton::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        // A disabled button takes no more input, so a held press ends here
        // rather than ticking on until the pointer happens to leave.
        if (!isEnabled()) {
            m_pressed = false;
            m_clickArmed = false;
            stopRepeat();
        }
        EnabledChanged();
        update();
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
    setUIStyle(GetOwnerFormStyle(platform::ownerForm(parent)));
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

void TvexButton::setLayout(TButtonLayout layout)
{
    m_layout = layout;
    update();
}

void TvexButton::setSpacing(int spacing)
{
    m_spacing = spacing;
    update();
}

void TvexButton::UIStyleChanged()
{
    setTransparent(ThemeBool(FileTheme(), UIStyle(), ButtonTransparentBool));
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
    int gw = m_glyph.width();
    const int gh = m_glyph.height();
    const bool twoFrames = gw == 2 * gh;
    if (twoFrames)
        gw = gh;
    const QFontMetrics metrics(font());
    const int tw = metrics.horizontalAdvance(Caption());
    const int th = metrics.height();
    const int sp = m_spacing;
    const int w = width();
    const int h = height();
    switch (m_layout) {
    case blGlyphLeft:
        m_glyphPos = QPoint((w - (tw + gw + sp)) / 2, (h - gh) / 2);
        m_captionPos = QPoint(m_glyphPos.x() + gw + sp, (h - th) / 2);
        break;
    case blGlyphRight:
        m_glyphPos = QPoint((w + tw + sp - gw) / 2, (h - gh) / 2);
        m_captionPos = QPoint(m_glyphPos.x() - tw - sp, (h - th) / 2);
        break;
    case blGlyphTop:
        m_glyphPos = QPoint((w - gw) / 2, (h - (th + gh + sp)) / 2);
        m_captionPos = QPoint((w - tw) / 2, m_glyphPos.y() + gh + sp);
        break;
    case blGlyphBottom:
        m_glyphPos = QPoint((w - gw) / 2, (h + th + sp - gh) / 2);
        m_captionPos = QPoint((w - tw) / 2, m_glyphPos.y() - th - sp);
        break;
    }

    const QImage face = twoFrames ? m_glyph.copy(isEnabled() ? 0 : gw, 0, gw, gh) : m_glyph;
    QImage keyed = m_glyph.hasAlphaChannel() ? face.convertToFormat(QImage::Format_ARGB32)
                                              : keyedOut(face, m_glyph.pixel(0, 0));
    if (!twoFrames && !isEnabled())
        keyed = embossed(keyed);
    canvas.drawImage(m_glyphPos + (isPressed() ? QPoint(1, 1) : QPoint()), keyed);
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
    QPoint at = m_captionPos;
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

void TvexButton::DrawFocus(QPainter &canvas)
{
    if (UIStyle() == TvexUIStyle::MacOS || UIStyle() == TvexUIStyle::BlueGlass)
        setBoldRequest(true);
    else
        TvexCustomButton::DrawFocus(canvas);
}

// ---------------------------------------------------------------------------
// TvexCheckBox

TvexCheckBox::TvexCheckBox(QWidget *parent)
    : QWidget(parent), m_fileTheme(this, [this] { setUIStyle(TvexUIStyle::DeepBlue); }), m_popupHint(this)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    resize(93, 17);
    setTabStop(true);
    m_uiStyle = GetOwnerFormStyle(platform::ownerForm(parent));
}

TvexCheckBox::~TvexCheckBox()
{
    markDestroying();
}

void TvexCheckBox::setChecked(bool value)
{
    if (value == m_checked)
        return;
    m_checked = value;
    update();
    CheckedChanged();
}

void TvexCheckBox::setCaption(const QString &caption)
{
    m_caption = caption;
    updateMnemonic();
    update();
}

void TvexCheckBox::setUIStyle(TvexUIStyle style)
{
    m_uiStyle = style;
    update();
}

void TvexCheckBox::setFileTheme(TvexFileTheme *theme)
{
    m_fileTheme.set(theme);
    setUIStyle(m_uiStyle);
}

void TvexCheckBox::setAutoSize(bool value)
{
    m_autoSize = value;
    update();
}

void TvexCheckBox::setTransparent(bool value)
{
    m_transparent = value;
    update();
}

platform::TColor TvexCheckBox::Color() const
{
    return m_parentColor ? parentColor(this) : m_color;
}

void TvexCheckBox::setColor(platform::TColor color)
{
    m_color = color;
    m_parentColor = false;
    update();
}

void TvexCheckBox::setParentColor(bool value)
{
    m_parentColor = value;
    update();
}

void TvexCheckBox::setTabStop(bool value)
{
    m_tabStop = value;
    // Clicks still focus the control; TabStop only decides the keyboard.
    setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus);
    update();
}

void TvexCheckBox::setBiDiMode(TBiDiMode mode)
{
    m_biDiMode = mode;
    update();
}

void TvexCheckBox::Click()
{
    Toggle();
}

bool TvexCheckBox::FocusVisible() const
{
    return m_tabStop && hasFocus();
}

void TvexCheckBox::CheckedChanged()
{
    if (!isLoading())
        emit OnClick(this);
}

void TvexCheckBox::Toggle()
{
    BeforeToggle();
    setChecked(!m_checked);
}

void TvexCheckBox::updateMnemonic()
{
    if (m_mnemonicId)
        releaseShortcut(m_mnemonicId);
    m_mnemonicId = 0;
    const QKeySequence mnemonic = QKeySequence::mnemonic(m_caption);
    if (!mnemonic.isEmpty())
        m_mnemonicId = grabShortcut(mnemonic);
}

QImage TvexCheckBox::statePicture() const
{
    const int frame = isEnabled() ? (m_checked ? 1 : 2) : (m_checked ? 3 : 4);
    QImage picture;
    try {
        picture = ThemeImageFrame(m_fileTheme, m_uiStyle, PictureKey(), frame, 4);
    } catch (const std::exception &) {
        picture = QImage();
    }
    if (!picture.isNull() && PictureTransparent())
        picture = keyedOut(picture, picture.pixel(0, picture.height() - 1));
    return picture;
}

bool TvexCheckBox::rightToLeft() const
{
    return m_biDiMode == bdRightToLeft && platform::middleEastEnabled();
}

void TvexCheckBox::paintEvent(QPaintEvent *)
{
    if (isDestroying())
        return;
    const QImage picture = statePicture();
    const int pw = picture.width();
    const int ph = picture.height();
    const QFontMetrics metrics(font());
    const int hW = metrics.height();
    if (m_autoSize) {
        const QSize fitted(pw + 8 + metrics.horizontalAdvance(m_caption), qMax(hW + 2, ph) + 4);
        if (fitted != size())
            resize(fitted);
    }
    if (width() <= 0 || height() <= 0)
        return;

    QImage buffer(width(), height(), QImage::Format_RGB32);
    {
        QPainter canvas(&buffer);
        canvas.fillRect(buffer.rect(), platform::toQColor(Color()));
        if (m_transparent)
            DrawParentBackground(canvas, this);
        canvas.setBrush(Qt::NoBrush);
        canvas.setFont(font());
        // The font's own colour in every state: only the picture shows that
        // the control is disabled, and the disabled text colour hardly
        // stands out from the patterns the captions lie on.
        canvas.setPen(palette().color(QPalette::Active, QPalette::WindowText));
        const int y0 = (height() - hW) / 2;
        const int pictureTop = (height() - ph) / 2;
        const int textFlags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic;
        const bool rtl = rightToLeft();
        if (!rtl) {
            if (!picture.isNull())
                canvas.drawImage(1, pictureTop, picture);
            canvas.drawText(QRect(pw + 4, y0, width() - (pw + 4), height() - y0), textFlags | Qt::AlignLeft,
                            m_caption);
        } else {
            if (!picture.isNull())
                canvas.drawImage(width() - pw - 1, pictureTop, picture);
            canvas.drawText(QRect(0, y0, width() - (pw + 4), height() - y0), textFlags | Qt::AlignRight, m_caption);
        }
        if (FocusVisible()) {
            const QRect focus = rtl ? QRect(0, y0, width() - (pw + 4) + 2, hW + 2)
                                    : QRect(pw + 3, y0, width() - (pw + 3), hW + 2);
            drawFocusRect(canvas, focus);
        }
    }
    QPainter(this).drawImage(0, 0, buffer);
}

bool TvexCheckBox::event(QEvent *event)
{
    if (m_popupHint.handleEvent(event))
        return true;
    if (event->type() == QEvent::Shortcut) {
        if (static_cast<QShortcutEvent *>(event)->shortcutId() == m_mnemonicId && m_mnemonicId) {
            if (isEnabled()) {
                if (isVisible())
                    setFocus(Qt::ShortcutFocusReason);
                Click();
            }
            return true;
        }
    }
    return QWidget::event(event);
}

void TvexCheckBox::mousePressEvent(QMouseEvent *event)
{
    QPointer<TvexCheckBox> self(this);
    if (event->button() == Qt::LeftButton)
        m_clickArmed = true;
    const QPoint p = event->position().toPoint();
    emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
    if (self && event->button() == Qt::LeftButton && isEnabled() && isVisible())
        setFocus(Qt::MouseFocusReason);
}

void TvexCheckBox::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit OnMouseMove(this, event->modifiers(), p.x(), p.y());
}

void TvexCheckBox::mouseReleaseEvent(QMouseEvent *event)
{
    QPointer<TvexCheckBox> self(this);
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && m_clickArmed) {
        m_clickArmed = false;
        if (rect().contains(p))
            Click();
        if (!self)
            return;
    }
    emit OnMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TvexCheckBox::keyPressEvent(QKeyEvent *event)
{
    QPointer<TvexCheckBox> self(this);
    emit OnKeyDown(this, event->key(), event->modifiers());
    if (self && !event->text().isEmpty() && !isDialogKey(event->key()))
        emit OnKeyPress(this, event->text());
    if (!self)
        return;
    if (event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    // Enter and Escape go on to the form (default and cancel buttons).
    QWidget::keyPressEvent(event);
}

void TvexCheckBox::keyReleaseEvent(QKeyEvent *event)
{
    QPointer<TvexCheckBox> self(this);
    emit OnKeyUp(this, event->key(), event->modifiers());
    if (!self)
        return;
    if (!event->isAutoRepeat() && KeyToggles() && isPushKey(event->key()) && hasFocus() && isEnabled()) {
        event->accept();
        update();
        Click();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void TvexCheckBox::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
    emit OnEnter(this);
}

void TvexCheckBox::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
    emit OnExit(this);
}

void TvexCheckBox::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        update();
}

// ---------------------------------------------------------------------------
// TvexRadioButton

TvexRadioButton::TvexRadioButton(QWidget *parent) : TvexCheckBox(parent)
{
    // Focus arriving from a radio-group button checks this one, so arrow
    // keys through such a group move the check.
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        if (now == this && old && old != this && ClassName(old) == QLatin1String("TvexRadioGroupButton"))
            Click();
    });
}

TvexRadioButton::~TvexRadioButton()
{
    disconnect(m_focusWatch);
}

void TvexRadioButton::CheckedChanged()
{
    if (!Checked())
        return;
    uncheckGroup();
    if (!isLoading())
        emit OnClick(this);
}

void TvexRadioButton::Toggle()
{
    if (!Checked())
        setChecked(true);
}

void TvexRadioButton::uncheckGroup()
{
    QWidget *parent = parentWidget();
    if (!parent)
        return;
    const QObjectList siblings = parent->children();
    for (QObject *child : siblings) {
        auto *radio = qobject_cast<TvexRadioButton *>(child);
        if (radio && radio != this && radio->GroupIndex() == m_groupIndex)
            radio->setChecked(false);
    }
}

void TvexRadioButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is a double click, not a click.
    QPointer<TvexRadioButton> self(this);
    m_clickArmed = false;
    emit OnDblClick(this);
    if (!self)
        return;
    const QPoint p = event->position().toPoint();
    emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

} // namespace vex
