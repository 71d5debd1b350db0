#include "skin/VEXImagePanel.h"

#include "platform/gui/Align.h"
#include "skin/VEXPublic.h"

#include <QMouseEvent>
#include <QPainter>

namespace vex {

TvexCustomPanel::TvexCustomPanel(QWidget *parent) : TvexControl(parent), m_brushColor(platform::clBtnFace)
{
    // The caption is a label: it takes no access key. Focus, when switched
    // on, comes by Tab and by clicks.
    setCaptionTakesMnemonic(false);
    setTabStopPolicy(Qt::StrongFocus);
    setTabStop(false);
    PrepareBackground();
    update();
}

TvexCustomPanel::~TvexCustomPanel() = default;

void TvexCustomPanel::setPicture(const QImage &picture)
{
    m_picture = picture;
    PictureChanged();
    PrepareBackground();
    update();
}

void TvexCustomPanel::TransparentChanged()
{
    if (!m_picture.isNull())
        SyncPictureTransparency();
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

void TvexCustomPanel::CaptionChanged()
{
    PanelCaptionChanged(m_captionRect);
    placeCaption();
}

void TvexCustomPanel::placeCaption()
{
    // A blank caption draws nothing and leaves the last place as it was.
    if (!IsBlankText(Caption()))
        m_captionRect = rect();
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
    if (m_pictureTransparent != Transparent())
        m_pictureTransparent = Transparent();
}

QColor TvexCustomPanel::BackgroundColor() const
{
    // Whatever neither the parent nor the picture covers shows the fill.
    return platform::toQColor(m_brushColor);
}

void TvexCustomPanel::PaintFace(QPainter &canvas)
{
    if (!m_picture.isNull())
        drawPicture(canvas);
    drawCaption(canvas);
}

void TvexCustomPanel::drawPicture(QPainter &canvas) const
{
    const QImage picture =
        m_pictureTransparent ? KeyedOut(m_picture, m_picture.pixel(0, m_picture.height() - 1)) : m_picture;
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

void TvexCustomPanel::drawCaption(QPainter &canvas) const
{
    if (IsBlankText(Caption()))
        return;
    static const Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
    canvas.setFont(font());
    canvas.setPen(palette().color(QPalette::WindowText));
    canvas.setBrush(Qt::NoBrush);
    const int flags = Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::AlignVCenter | horizontal[m_alignment];
    canvas.drawText(rect(), flags, Caption());
}

void TvexCustomPanel::resizeEvent(QResizeEvent *event)
{
    TvexControl::resizeEvent(event);
    placeCaption();
    emit OnResize(this);
    update();
}

void TvexCustomPanel::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is no click of its own.
    doubleClickPressed(event, [this] { emit OnDblClick(this); });
}

TvexImagePanel::TvexImagePanel(QWidget *parent) : TvexCustomPanel(parent) {}

} // namespace vex
