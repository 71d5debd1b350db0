// The frame's painting: the non-client band of the host, the client
// background, and the host's window region.

#include "skin/VEXForm.h"

#include "skin/VEXPublic.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace vex {

using platform::TColor;
using platform::toQColor;

namespace {

// Fills the rectangle with exclusive right and bottom edges, as the band is
// laid out; empty rectangles draw nothing.
void fill(QPainter &canvas, int left, int top, int right, int bottom, const QColor &color)
{
    if (right > left && bottom > top)
        canvas.fillRect(QRect(left, top, right - left, bottom - top), color);
}

void drawStretched(QPainter &canvas, int left, int top, int right, int bottom, const QImage &picture)
{
    if (right > left && bottom > top && !picture.isNull())
        canvas.drawImage(QRect(left, top, right - left, bottom - top), picture);
}

QImage blankBitmap(int width, int height)
{
    if (width <= 0 || height <= 0)
        return {};
    QImage bitmap(width, height, QImage::Format_RGB32);
    bitmap.fill(Qt::white);
    return bitmap;
}

// What rounding with an e x e ellipse takes off the top-left corner of a
// rectangle at (0, 0).
QRegion topLeftCut(int e)
{
    const int s = (e + 1) / 2;
    return QRegion(0, 0, s, s) - QRegion(QRect(0, 0, e, e), QRegion::Ellipse);
}

// The cut mirrored into another corner of the rectangle (left, top, right,
// bottom with exclusive far edges), so that all four corners lose the same
// pixels.
QRegion cutAt(const QRegion &cut, Qt::Corner corner, int left, int top, int right, int bottom)
{
    const bool mirrorX = corner == Qt::TopRightCorner || corner == Qt::BottomRightCorner;
    const bool mirrorY = corner == Qt::BottomLeftCorner || corner == Qt::BottomRightCorner;
    QRegion out;
    for (const QRect &r : cut) {
        const int x = mirrorX ? right - 1 - r.right() : left + r.left();
        const int y = mirrorY ? bottom - 1 - r.bottom() : top + r.top();
        out += QRect(x, y, r.width(), r.height());
    }
    return out;
}

// A rectangle whose four corners are rounded with an e x e ellipse. The
// rectangle reaches one pixel past the window's right edge `w` and, for the
// lower part, its bottom edge `h`; the corners are cut at the visible edges
// so that both sides look alike.
QRegion roundedBox(const QRect &box, int e, int w, int h)
{
    QRegion region(box);
    if (e < 2)
        return region;
    const QRegion cut = topLeftCut(e);
    const int left = box.left(), top = box.top();
    const int right = std::min(box.left() + box.width(), w);
    const int bottom = std::min(box.top() + box.height(), h);
    for (Qt::Corner corner : {Qt::TopLeftCorner, Qt::TopRightCorner, Qt::BottomLeftCorner, Qt::BottomRightCorner})
        region -= cutAt(cut, corner, left, top, right, bottom);
    return region;
}

// The border's arcs over the top corners of a window w wide, with corner
// radius r: bounding boxes with exclusive far edges, counter-clockwise.
void drawTopArcs(QPainter &canvas, int w, int r)
{
    canvas.setBrush(Qt::NoBrush);
    canvas.drawArc(QRect(w - 2 * r + 1, -1, 2 * r - 1, 2 * r - 1), 0, 90 * 16);
    canvas.drawArc(QRect(-1, -1, 2 * r - 1, 2 * r - 1), 90 * 16, 90 * 16);
}

// What of a window w wide lies outside the arcs over its top corners, row
// by row, as the arcs are drawn: the region leaves it out, so that no title
// colour shows beyond the arcs.
QRegion outsideTopArcs(int w, int r)
{
    QImage arcs(w, r + 1, QImage::Format_RGB32);
    arcs.fill(Qt::white);
    {
        QPainter p(&arcs);
        p.setPen(Qt::black);
        drawTopArcs(p, w, r);
    }
    QRegion outside;
    const int reach = std::min(w, r + 1);
    for (int y = 0; y <= r; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(arcs.constScanLine(y));
        int left = 0;
        while (left < reach && line[left] != qRgb(0, 0, 0))
            ++left;
        if (left < reach)
            outside += QRect(0, y, left, 1);
        int right = w - 1;
        while (right >= w - reach && line[right] != qRgb(0, 0, 0))
            --right;
        if (right >= w - reach)
            outside += QRect(right + 1, y, w - right, 1); // to the region's far edge, w + 1
    }
    return outside;
}

} // namespace

// ---------------------------------------------------------------------------
// Client background

void TvexForm::paintEvent(QPaintEvent *)
{
    if (isDestroying())
        return;
    QImage buffer(size(), QImage::Format_RGB32);
    if (buffer.isNull())
        return;
    {
        QPainter canvas(&buffer);
        paintBackground(canvas);
    }
    QPainter canvas(this);
    canvas.drawImage(0, 0, buffer);
    // What of the band reaches into the frame (the bottom rows) is drawn
    // over the background, under the children.
    if (IsActive() && !hostMinimized()) {
        canvas.translate(-pos());
        PaintFrame(canvas);
    }
}

void TvexForm::paintBackground(QPainter &canvas) const
{
    const QRect client(QPoint(0, 0), size());
    const char *pattern = m_uiStyle == TvexUIStyle::MacOS     ? "MACOS_FORM_BACKGROUND"
                          : m_uiStyle == TvexUIStyle::Protein ? "PROTEIN_FORM_BACKGROUND"
                                                              : nullptr;
    if (pattern) {
        const QImage tile = LoadSkinBitmap(QLatin1String(pattern));
        if (!tile.isNull()) {
            // The brush repeats from the frame's top-left corner.
            canvas.fillRect(client, QBrush(QPixmap::fromImage(tile)));
            return;
        }
    }
    canvas.fillRect(client, toQColor(m_color));
}

// ---------------------------------------------------------------------------
// Non-client band

void TvexForm::PaintFrame()
{
    if (!IsActive() || hostMinimized())
        return;
    // Painting happens in the host's paint event (through the hook) and in
    // the frame's own; the whole host is asked for, since the band also
    // reaches into the frame.
    m_host->update();
}

void TvexForm::PaintFrame(QPainter &canvas) const
{
    if (!IsActive() || hostMinimized())
        return;
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const int w = m_host->width(), h = m_host->height();
    if (m_sideBorder.isNull())
        paintStandardBand(canvas, w, h);
    else
        paintSideBorderBand(canvas, w, h);
    canvas.restore();
}

void TvexForm::paintStandardBand(QPainter &canvas, int w, int h) const
{
    // A theme's -1 for a missing width counts as no border.
    const int bw = std::max(0, m_borderWidth);
    const int tv = VisibleTitleBarHeight();
    const QColor border = toQColor(m_borderColor);
    const QColor inner = toQColor(m_color);

    fill(canvas, 0, 0, bw, h, border);
    fill(canvas, 0, h - bw, w, h, border);
    fill(canvas, w - bw, 0, w, h, border);

    if (bw < 4) {
        fill(canvas, bw, tv, 3, h - bw, inner);
        fill(canvas, bw, h - 3, w - bw, h - bw, inner);
        fill(canvas, w - 3, tv, w - bw, h - bw, inner);
        if (m_menuBar && m_menuBar->isVisible()) {
            const QColor bar = toQColor(m_menuBarColor);
            const int mh = m_menuBar->height();
            fill(canvas, bw, tv + 3, 3, tv + 3 + mh, bar);
            fill(canvas, w - 3, tv + 3, w - bw, tv + 3 + mh, bar);
        }
    }

    const bool titleShown = TitleBarVisible();
    const QImage left = m_titleBar ? m_titleBar->LeftSectionPicture() : QImage();
    const QImage right = m_titleBar ? m_titleBar->RightSectionPicture() : QImage();
    const QImage client = m_titleBar ? m_titleBar->ClientSectionPicture() : QImage();
    const bool pictures =
        m_titleBar && m_titleBar->HasAllSections() && !left.isNull() && !right.isNull() && !client.isNull();

    if (titleShown && pictures && bw < 4) {
        // Corner pieces: what of the title pictures lies beside the bar,
        // inside the border.
        QImage piece = blankBitmap(3 - bw, left.height());
        if (!piece.isNull()) {
            QPainter p(&piece);
            p.drawImage(0, 0, left);
            canvas.drawImage(bw, 0, piece);
            if (right.width() < 3)
                p.drawImage(piece.rect(), right);
            else
                p.drawImage(2 - right.width(), 0, right);
            p.end();
            canvas.drawImage(w - 3, 0, piece);
        }
        // The top band continues the pictures up to the window's top edge.
        QImage band = blankBitmap(w - 5, 3);
        if (!band.isNull()) {
            QPainter p(&band);
            p.drawImage(-2, 0, left);
            const int x1 = left.width() - 2;
            const int x2 = band.width() - right.width() + 3;
            p.drawImage(x2, 0, right);
            drawStretched(p, x1, 0, x2, client.height(), client);
            p.end();
            canvas.drawImage(2, 0, band);
        }
        if (DrawsTopArcs()) {
            canvas.setPen(border);
            drawTopArcs(canvas, w, RoundCorner());
        }
    } else if (!titleShown) {
        fill(canvas, 0, 0, w, 1, border);
        fill(canvas, bw, 1, w - bw, 3, inner);
    }
}

void TvexForm::paintSideBorderBand(QPainter &canvas, int w, int h) const
{
    const int sw = m_sideBorder.width();
    const int tv = VisibleTitleBarHeight();
    const QColor inner = toQColor(m_color);
    const TvexFileTheme *theme = m_fileTheme;

    QImage bottom, leftEdge;
    if (theme) {
        theme->GetImage(FormBottomBorderImage, &bottom);
        theme->GetImage(FormLeftBorderImage, &leftEdge);
    }
    int b = 0;
    if (!bottom.isNull()) {
        DrawThreeSlice(bottom, canvas, QRect(0, h - bottom.height(), w, bottom.height()), false, false);
        b = bottom.height();
    }
    drawStretched(canvas, 0, tv, sw, h - b, leftEdge);
    drawStretched(canvas, w - sw, tv, w, h - b, m_sideBorder);

    fill(canvas, sw, tv, sw + 1, h - b, inner);
    fill(canvas, sw + 1, h - b - 1, w - sw - 1, h - b, inner);
    fill(canvas, w - sw - 1, tv, w - sw, h - b, inner);
    if (m_menuBar && m_menuBar->isVisible()) {
        const QColor bar = toQColor(m_menuBarColor);
        const int mh = m_menuBar->height();
        fill(canvas, sw, tv + 3, sw + 1, tv + 3 + mh, bar);
        fill(canvas, w - sw - 1, tv + 3, w - sw, tv + 3 + mh, bar);
    }

    const QImage left = m_titleBar ? m_titleBar->LeftSectionPicture() : QImage();
    const QImage right = m_titleBar ? m_titleBar->RightSectionPicture() : QImage();
    const QImage client = m_titleBar ? m_titleBar->ClientSectionPicture() : QImage();
    const bool pictures =
        m_titleBar && m_titleBar->HasAllSections() && !left.isNull() && !right.isNull() && !client.isNull();
    if (TitleBarVisible() && pictures) {
        QImage piece = blankBitmap(sw + 2, left.height());
        if (!piece.isNull()) {
            QPainter p(&piece);
            p.drawImage(0, 0, left);
            canvas.drawImage(0, 0, piece);
            if (right.width() < piece.width())
                p.drawImage(piece.rect(), right);
            else
                p.drawImage(piece.width() - right.width(), 0, right);
            p.end();
            canvas.drawImage(w - piece.width(), 0, piece);
        }
        QImage band = blankBitmap(w - 2 * sw, 3);
        if (!band.isNull()) {
            QPainter p(&band);
            p.drawImage(1 - sw, 0, left);
            const int x1 = left.width() - sw;
            const int x2 = band.width() - right.width() + sw;
            p.drawImage(x2, 0, right);
            drawStretched(p, x1, 0, x2, client.height(), client);
            p.end();
            canvas.drawImage(sw, 0, band);
        }
    } else {
        const QColor top = m_menuBar ? toQColor(m_menuBarColor) : toQColor(hostColor());
        fill(canvas, sw, 0, w - sw, 3, top);
    }
}

TColor TvexForm::hostColor() const
{
    const QVariant stored = m_host ? m_host->property("Color") : QVariant();
    if (stored.isValid())
        return stored.toInt();
    return m_host ? platform::fromQColor(m_host->palette().color(QPalette::Window)) : platform::clBtnFace;
}

// ---------------------------------------------------------------------------
// Window region

QRegion TvexForm::FrameRegion() const
{
    if (!m_host)
        return {};
    const int w = m_host->width(), h = m_host->height();
    const int half = h / 2;
    const int r = std::max(0, RoundCorner());
    const int rb = std::max(0, RoundCornerBottom());

    // Each half is rounded at all four corners and squared again where it
    // meets the other half.
    QRegion top = roundedBox(QRect(0, 0, w + 1, half + 1), r, w, h);
    top += QRegion(0, half - 2 * r, 2 * r, 2 * r);
    top += QRegion(w - 2 * r, half - 2 * r, 2 * r, 2 * r);
    if (DrawsTopArcs())
        top -= outsideTopArcs(w, r);

    QRegion bottom = roundedBox(QRect(0, half, w + 1, h + 1 - half), rb, w, h);
    bottom += QRegion(0, half, 2 * rb, 2 * rb);
    bottom += QRegion(w - 2 * rb, half, 2 * rb, 2 * rb);

    return top + bottom;
}

bool TvexForm::DrawsTopArcs() const
{
    if (!m_host || !m_sideBorder.isNull() || m_borderWidth != 1 || RoundCorner() != 11 || !TitleBarVisible()
        || !m_titleBar || !m_titleBar->HasAllSections())
        return false;
    return !m_titleBar->LeftSectionPicture().isNull() && !m_titleBar->RightSectionPicture().isNull()
           && !m_titleBar->ClientSectionPicture().isNull();
}

void TvexForm::UpdateRegion()
{
    if (!IsActive())
        return;
    m_host->setMask(FrameRegion());
}

} // namespace vex
