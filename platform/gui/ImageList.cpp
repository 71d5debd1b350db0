#include "platform/gui/ImageList.h"

#include <QBitmap>

#include <algorithm>

namespace platform {

TImageList::TImageList(QObject *owner) : QObject(owner) {}

void TImageList::setWidth(int width)
{
    m_width = std::max(1, width);
    recut();
}

void TImageList::setHeight(int height)
{
    m_height = std::max(1, height);
    recut();
}

void TImageList::setTransparentColor(TColor color)
{
    m_transparentColor = color;
    recut();
}

void TImageList::setBitmap(const QImage &bitmap)
{
    m_bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
    recut();
}

QPixmap TImageList::image(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    return index < m_cells.size() ? m_cells.at(index) : m_added.at(index - m_cells.size());
}

int TImageList::Add(const QImage &picture)
{
    m_addedSources.append(picture.convertToFormat(QImage::Format_RGB32));
    m_added.append(masked(m_addedSources.last()));
    emit changed();
    return Count() - 1;
}

void TImageList::Clear()
{
    m_bitmap = QImage();
    m_addedSources.clear();
    recut();
}

QPixmap TImageList::masked(const QImage &picture) const
{
    QPixmap pixmap = QPixmap::fromImage(picture);
    if (m_transparentColor >= 0)
        pixmap.setMask(pixmap.createMaskFromColor(toQColor(m_transparentColor)));
    return pixmap;
}

void TImageList::recut()
{
    m_cells.clear();
    if (!m_bitmap.isNull()) {
        // Only whole cells count: leftover columns and rows are no picture.
        for (int y = 0; y + m_height <= m_bitmap.height(); y += m_height) {
            for (int x = 0; x + m_width <= m_bitmap.width(); x += m_width)
                m_cells.append(masked(m_bitmap.copy(x, y, m_width, m_height)));
        }
    }
    m_added.clear();
    for (const QImage &source : std::as_const(m_addedSources))
        m_added.append(masked(source));
    emit changed();
}

} // namespace platform
