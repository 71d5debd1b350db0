#pragma once

// Writing Windows bitmap files at a chosen depth (4, 8, 24 or 32 bits per pixel),
// which QImageWriter cannot do for 4 bits, and reducing an image to a palette.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>
#include <QString>

namespace skinart {

// The distinct colours of an image, in order of first appearance (row-major).
QList<QRgb> distinctColors(const QImage &image);

// A palette of at most maxColors colours for image: its own colours when they
// fit, otherwise a median cut that always keeps the colours of `keep` (the
// key colour) exactly.
QList<QRgb> makePalette(const QImage &image, int maxColors, const QList<QRgb> &keep);

// The bytes of a BMP file of the image (RGB32 expected) at bitsPerPixel 4, 8,
// 24 or 32. Pixels are mapped to the nearest palette colour for 4 and 8 bits.
QByteArray encodeBmp(const QImage &image, int bitsPerPixel, const QList<QRgb> &palette = {});

// The depth stored in a BMP file's header, 0 when it is not one.
int bmpBitsPerPixel(const QByteArray &bytes);

} // namespace skinart
