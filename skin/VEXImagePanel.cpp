#include "skin/VEXImagePanel.h"

#include "platform/Align.h"
#include "skin/VEXPublic.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace vex {

namespace {

// The picture with every pixel of its bottom-left colour made see-through.
QImage keyedOut(const QImage &picture)
{
    QImage keyed = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = keyed.pixel(0, keyed.height() - 1) | 0xFF000000u;
    for (int y = 0; y < keyed.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            if ((line[x] | 0xFF000000u) == key)
                line[x] = 0;
        }
    }
    return keyed;
}

} // namespace

TvexCustomPanel::TvexCustomPanel(QWidget *parent)
    : QWidget(parent), m_brushColor(platform::clBtnFace), m_popupHint(this)
{
    // The paint covers every pixel; erasing first would only flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    PrepareBackground();
    update();
}

TvexCustomPanel::~TvexCustomPanel()
{
    markDestroying();
}

void TvexCustomPanel::setPicture(const QImage &picture)
{
    m_picture = picture;
    PictureChanged();
    PrepareBackground();
    update();
}

void TvexCustomPanel::setTransparent(bool value)
{
    m_transparent = value;
    if (!m_picture.isNull())
        SyncPictureTransparency();
    update();
}

void TvexCustomPanel::setAutoSize(bool value)
{
    m_autoSize = value;
    if (!m_picture.isNull())
        ApplyPictureSize();
}

void TvexCustomPanel::setDrawStyle(TvexDrawStyle value)
{
    m_drawStyle = value;
    PrepareBackground();
    update();
}

void TvexCustomPanel::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    PanelCaptionChanged(m_captionRect);
    update();
}

void TvexCustomPanel::setAlignment(TAlignment value)
{
    m_alignment = value;
    update();
}

void TvexCustomPanel::setColor(platform::TColor color)
{
    m_color = color;
    PrepareBackground();
    update();
}

void TvexCustomPanel::setBorderWidth(int value)
{
    m_borderWidth = qMax(0, value);
    setContentsMargins(m_borderWidth, m_borderWidth, m_borderWidth, m_borderWidth);
    platform::realign(this);
    update();
}

void TvexCustomPanel::setTabStop(bool value)
{
    setFocusPolicy(value ? Qt::StrongFocus : Qt::NoFocus);
}

void TvexCustomPanel::PrepareBackground()
{
    m_brushColor = m_color;
}

void TvexCustomPanel::PanelCaptionChanged(const QRect &) {}

void TvexCustomPanel::PictureChanged()
{
    if (!m_picture.isNull()) {
        if (m_autoSize)
            ApplyPictureSize();
        SyncPictureTransparency();
    }
    PrepareBackground();
    update();
}

void TvexCustomPanel::ApplyPictureSize()
{
    if (!m_autoSize)
        return;
    const platform::TAlign a = platform::align(this);
    if (a != platform::alTop && a != platform::alBottom && a != platform::alClient)
        resize(m_picture.width(), height());
    if (a != platform::alLeft && a != platform::alRight && a != platform::alClient)
        resize(width(), m_picture.height());
}

void TvexCustomPanel::SyncPictureTransparency()
{
    if (m_pictureTransparent != m_transparent)
        m_pictureTransparent = m_transparent;
}

bool TvexCustomPanel::event(QEvent *event)
{
    if (m_popupHint.handleEvent(event))
        return true;
    return QWidget::event(event);
}

void TvexCustomPanel::paintEvent(QPaintEvent *)
{
    if (isDestroying() || width() <= 0 || height() <= 0)
        return;
    QImage buffer(width(), height(), QImage::Format_RGB32);
    {
        QPainter canvas(&buffer);
        // Whatever neither the parent nor the picture covers shows the fill.
        canvas.fillRect(buffer.rect(), platform::toQColor(m_brushColor));
        if (m_transparent)
            DrawParentBackground(canvas, this);
        if (!m_picture.isNull())
            drawPicture(canvas);
        drawCaption(canvas);
    }
    QPainter(this).drawImage(0, 0, buffer);
}

void TvexCustomPanel::drawPicture(QPainter &canvas) const
{
    const QImage picture = m_pictureTransparent ? keyedOut(m_picture) : m_picture;
    switch (m_drawStyle) {
    case vexStretch:
        canvas.drawImage(rect(), picture);
        break;
    case vexTile:
        TileDraw(canvas, picture, rect());
        break;
    case vexNormal:
        canvas.drawImage(0, 0, picture);
        break;
    }
}

void TvexCustomPanel::drawCaption(QPainter &canvas)
{
    if (IsBlankText(m_caption))
        return;
    static const Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
    canvas.setFont(font());
    canvas.setPen(palette().color(QPalette::WindowText));
    canvas.setBrush(Qt::NoBrush);
    const int flags = Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::AlignVCenter | horizontal[m_alignment];
    canvas.drawText(rect(), flags, m_caption);
    m_captionRect = rect();
}

void TvexCustomPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit OnResize(this);
    update();
}

void TvexCustomPanel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::EnabledChange)
        update();
}

void TvexCustomPanel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_clickArmed = true;
    const QPoint p = event->position().toPoint();
    emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TvexCustomPanel::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is no click of its own.
    m_clickArmed = false;
    QPointer<TvexCustomPanel> self(this);
    emit OnDblClick(this);
    if (!self)
        return;
    const QPoint p = event->position().toPoint();
    emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TvexCustomPanel::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit OnMouseMove(this, event->modifiers(), p.x(), p.y());
}

void TvexCustomPanel::mouseReleaseEvent(QMouseEvent *event)
{
    QPointer<TvexCustomPanel> self(this);
    if (event->button() == Qt::LeftButton && m_clickArmed) {
        m_clickArmed = false;
        if (rect().contains(event->position().toPoint()))
            emit OnClick(this);
        if (!self)
            return;
    }
    const QPoint p = event->position().toPoint();
    emit OnMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TvexCustomPanel::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    emit OnEnter(this);
}

void TvexCustomPanel::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    emit OnExit(this);
}

TvexImagePanel::TvexImagePanel(QWidget *parent) : TvexCustomPanel(parent) {}

} // namespace vex
