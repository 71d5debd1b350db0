#pragma once

#include "platform/gui/Colors.h"
#include "platform/gui/Component.h"
#include "platform/gui/ComponentLink.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPixmap>

namespace platform {

// A list of equally sized pictures that menus and other controls index by
// number. A form description stores the pictures as one bitmap that is cut
// into Width x Height cells, row by row:
//
//     object ImageList1 : TImageList {
//         Width = 16  Height = 16
//         TransparentColor = 16711935            # pixels of this colour are not drawn
//         Bitmap = picture("pictures/menu_images.bmp")
//     }
//
// Pictures added in code (Add) follow those of the bitmap. Every change emits
// changed().
class TImageList : public QObject, public Component
{
    Q_OBJECT
    Q_PROPERTY(int Width READ Width WRITE setWidth)
    Q_PROPERTY(int Height READ Height WRITE setHeight)
    Q_PROPERTY(platform::TColor TransparentColor READ TransparentColor WRITE setTransparentColor)
    Q_PROPERTY(QImage Bitmap READ Bitmap WRITE setBitmap)

public:
    Q_INVOKABLE explicit TImageList(QObject *owner = nullptr);

    int Width() const { return m_width; }
    void setWidth(int width);
    int Height() const { return m_height; }
    void setHeight(int height);
    // Pixels of this colour are left out when a picture is drawn; a
    // negative value (none) keeps every pixel.
    TColor TransparentColor() const { return m_transparentColor; }
    void setTransparentColor(TColor color);
    QImage Bitmap() const { return m_bitmap; }
    void setBitmap(const QImage &bitmap);

    int Count() const { return int(m_cells.size() + m_added.size()); }
    // The pictures by index, masked with TransparentColor.
    QList<QPixmap> images() const { return m_cells + m_added; }
    QPixmap image(int index) const;

    // Appends picture (masked with TransparentColor); answers its index.
    int Add(const QImage &picture);
    void Clear();

signals:
    void changed();

private:
    QPixmap masked(const QImage &picture) const;
    void recut();

    int m_width = 16;
    int m_height = 16;
    TColor m_transparentColor = clFuchsia;
    QImage m_bitmap;
    QList<QImage> m_addedSources;
    QList<QPixmap> m_cells;
    QList<QPixmap> m_added;
};

// A component's non-owning reference to an image list (a menu's Images):
// the holder hears when another list is set, when the list's pictures change
// and when the list goes away.
using TImageListLink = ComponentLink<TImageList>;

} // namespace platform
