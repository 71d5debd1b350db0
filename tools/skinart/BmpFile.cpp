#include "BmpFile.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>

namespace skinart {

QList<QRgb> distinctColors(const QImage &image)
{
    QList<QRgb> out;
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) | 0xFF000000u;
            if (!seen.contains(c)) {
                seen.insert(c);
                out.append(c);
            }
        }
    return out;
}

namespace {

struct Weighted
{
    QRgb color;
    int count;
};

int channel(QRgb c, int axis)
{
    return axis == 0 ? qRed(c) : axis == 1 ? qGreen(c) : qBlue(c);
}

QRgb average(const std::vector<Weighted> &box)
{
    qint64 r = 0, g = 0, b = 0, n = 0;
    for (const Weighted &w : box) {
        r += qint64(qRed(w.color)) * w.count;
        g += qint64(qGreen(w.color)) * w.count;
        b += qint64(qBlue(w.color)) * w.count;
        n += w.count;
    }
    return n ? qRgb(int(r / n), int(g / n), int(b / n)) : qRgb(0, 0, 0);
}

int distance(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return dr * dr * 3 + dg * dg * 4 + db * db * 2;
}

int nearest(const QList<QRgb> &palette, QRgb c)
{
    int best = 0, bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < palette.size(); ++i) {
        const int d = distance(palette[i], c);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    return best;
}

} // namespace

QList<QRgb> makePalette(const QImage &image, int maxColors, const QList<QRgb> &keep)
{
    QList<QRgb> own = distinctColors(image);
    if (own.size() <= maxColors)
        return own;

    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000u];
    QList<QRgb> result;
    for (QRgb k : keep) {
        k |= 0xFF000000u;
        if (counts.remove(k))
            result.append(k);
    }
    std::vector<std::vector<Weighted>> boxes(1);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        boxes[0].push_back({it.key(), it.value()});
    // Hash order differs from run to run; the output must not.
    std::sort(boxes[0].begin(), boxes[0].end(), [](const Weighted &a, const Weighted &b) { return a.color < b.color; });

    const int wanted = maxColors - int(result.size());
    while (int(boxes.size()) < wanted) {
        // Split the box with the widest channel range, weighted by population.
        int pick = -1, pickAxis = 0;
        qint64 pickScore = 0;
        for (int i = 0; i < int(boxes.size()); ++i) {
            if (boxes[i].size() < 2)
                continue;
            qint64 pixels = 0;
            for (const Weighted &w : boxes[i])
                pixels += w.count;
            for (int axis = 0; axis < 3; ++axis) {
                int lo = 255, hi = 0;
                for (const Weighted &w : boxes[i]) {
                    lo = std::min(lo, channel(w.color, axis));
                    hi = std::max(hi, channel(w.color, axis));
                }
                const qint64 score = qint64(hi - lo) * (hi - lo) * (1 + pixels / 8);
                if (score > pickScore) {
                    pickScore = score;
                    pick = i;
                    pickAxis = axis;
                }
            }
        }
        if (pick < 0)
            break;
        std::vector<Weighted> &box = boxes[pick];
        std::stable_sort(box.begin(), box.end(), [pickAxis](const Weighted &a, const Weighted &b) {
            return channel(a.color, pickAxis) < channel(b.color, pickAxis);
        });
        qint64 total = 0, half = 0;
        for (const Weighted &w : box)
            total += w.count;
        size_t cut = 0;
        while (cut < box.size() - 1 && half + box[cut].count <= total / 2)
            half += box[cut++].count;
        if (cut == 0)
            cut = 1;
        std::vector<Weighted> upper(box.begin() + qsizetype(cut), box.end());
        box.resize(cut);
        boxes.push_back(std::move(upper));
    }
    for (const auto &box : boxes)
        result.append(average(box));
    return result;
}

static void put16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

static void put32(QByteArray &out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

QByteArray encodeBmp(const QImage &source, int bitsPerPixel, const QList<QRgb> &givenPalette)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    QList<QRgb> palette;
    if (bitsPerPixel <= 8) {
        palette = givenPalette.isEmpty() ? makePalette(image, 1 << bitsPerPixel, {qRgb(255, 0, 255)}) : givenPalette;
        while (palette.size() < (1 << bitsPerPixel))
            palette.append(qRgb(0, 0, 0));
    }
    const int rowBytes = ((w * bitsPerPixel + 31) / 32) * 4;
    const quint32 paletteBytes = quint32(palette.size()) * 4;
    const quint32 pixelOffset = 14 + 40 + paletteBytes;
    const quint32 fileSize = pixelOffset + quint32(rowBytes) * quint32(h);

    QByteArray out;
    out.append("BM");
    put32(out, fileSize);
    put32(out, 0);
    put32(out, pixelOffset);
    put32(out, 40);
    put32(out, quint32(w));
    put32(out, quint32(h)); // bottom-up rows
    put16(out, 1);
    put16(out, quint16(bitsPerPixel));
    put32(out, 0); // BI_RGB
    put32(out, quint32(rowBytes) * quint32(h));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, bitsPerPixel <= 8 ? quint32(palette.size()) : 0);
    put32(out, 0);
    for (QRgb c : palette) {
        out.append(char(qBlue(c)));
        out.append(char(qGreen(c)));
        out.append(char(qRed(c)));
        out.append(char(0));
    }
    QHash<QRgb, int> index;
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, y) | 0xFF000000u;
            if (bitsPerPixel == 24 || bitsPerPixel == 32) {
                // 32 bits: blue, green, red and an unused byte, as the
                // pictures a form description stores.
                const int at = x * bitsPerPixel / 8;
                row[at] = char(qBlue(c));
                row[at + 1] = char(qGreen(c));
                row[at + 2] = char(qRed(c));
                continue;
            }
            auto it = index.find(c);
            if (it == index.end())
                it = index.insert(c, nearest(palette, c));
            if (bitsPerPixel == 8)
                row[x] = char(*it);
            else if (x % 2 == 0)
                row[x / 2] = char(row[x / 2] | (*it << 4));
            else
                row[x / 2] = char(row[x / 2] | *it);
        }
        out.append(row);
    }
    return out;
}

int bmpBitsPerPixel(const QByteArray &bytes)
{
    if (bytes.size() < 30 || !bytes.startsWith("BM"))
        return 0;
    return int(quint8(bytes[28])) | (int(quint8(bytes[29])) << 8);
}

} // namespace skinart
