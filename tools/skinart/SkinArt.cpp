// Draws the built-in skin bitmaps of the five styles and writes them as BMP
// files at the depths the toolkit expects, plus the program icon.
//
//     tabulon-skinart <output dir> [--sheet <contact sheet.png>] [--theme <dir>]
//
// --theme also draws the pictures of the sample theme "Graphite" into <dir>.
//
// Everything is drawn from code so that a style can be redrawn by changing
// its colours here and running the tool again; the output is committed under
// resources/skin/.

#include "BmpFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QRgb Key = qRgb(255, 0, 255);

QColor hex(quint32 rgb)
{
    return QColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor(int(std::lround(a.red() + (b.red() - a.red()) * t)),
                  int(std::lround(a.green() + (b.green() - a.green()) * t)),
                  int(std::lround(a.blue() + (b.blue() - a.blue()) * t)));
}

QColor scaled(const QColor &c, double f)
{
    return QColor(std::min(255, int(c.red() * f)), std::min(255, int(c.green() * f)), std::min(255, int(c.blue() * f)));
}

// A vertical colour ramp: stops at positions 0..1.
struct Ramp
{
    std::vector<std::pair<double, QColor>> stops;

    QColor at(double t) const
    {
        if (t <= stops.front().first)
            return stops.front().second;
        for (size_t i = 1; i < stops.size(); ++i) {
            if (t <= stops[i].first) {
                const double span = stops[i].first - stops[i - 1].first;
                return mix(stops[i - 1].second, stops[i].second, span > 0 ? (t - stops[i - 1].first) / span : 1.0);
            }
        }
        return stops.back().second;
    }
    // The colour of row y of n rows; with levels > 0 the ramp is cut into
    // that many flat bands (for 16-colour pictures).
    QColor row(int y, int n, int levels = 0) const
    {
        double t = n > 1 ? double(y) / (n - 1) : 0.0;
        if (levels > 0) {
            const double band = std::min<double>(levels - 1, std::floor(t * levels));
            t = levels > 1 ? band / (levels - 1) : 0.0;
        }
        return at(t);
    }
};

QImage blank(int w, int h, QColor fill)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

// The look of a rounded face: a vertical ramp, an optional gloss over the top
// half, an inner ring and a border.
struct Face
{
    Ramp fill;
    QColor border;
    QColor gloss;   // invalid: none (drawn with its alpha)
    QColor inner;   // invalid: none
    int levels = 0; // > 0: banded ramp, for 16-colour pictures
};

void paintFace(QPainter &p, const QRectF &r, qreal radius, const Face &face)
{
    const bool aa = face.levels == 0;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, aa);
    QPainterPath path;
    if (aa)
        path.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    else
        path.addRoundedRect(r.adjusted(0, 0, -1, -1), radius, radius);
    p.setClipPath(path);
    const int top = int(std::floor(r.top())), rows = int(std::ceil(r.height()));
    for (int y = 0; y < rows; ++y)
        p.fillRect(QRectF(r.left(), top + y, r.width(), 1), face.fill.row(y, rows, face.levels));
    if (face.gloss.isValid()) {
        QPainterPath gloss;
        const QRectF g(r.left() + 1.5, r.top() + 1.0, r.width() - 3.0, r.height() * 0.46);
        gloss.addRoundedRect(g, std::max<qreal>(0, radius - 1.5), std::max<qreal>(0, radius - 1.5));
        QLinearGradient lg(g.topLeft(), g.bottomLeft());
        lg.setColorAt(0, face.gloss);
        lg.setColorAt(1, withAlpha(face.gloss, face.gloss.alpha() / 4));
        p.fillPath(gloss, lg);
    }
    p.setClipping(false);
    p.setBrush(Qt::NoBrush);
    if (face.inner.isValid()) {
        QPainterPath inner;
        if (aa)
            inner.addRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), radius - 1, radius - 1);
        else
            inner.addRoundedRect(r.adjusted(1, 1, -2, -2), std::max<qreal>(0, radius - 1),
                                 std::max<qreal>(0, radius - 1));
        p.setPen(QPen(face.inner, 1.0));
        p.drawPath(inner);
    }
    p.setPen(QPen(face.border, 1.0));
    p.drawPath(path);
    p.restore();
}

// Draws with `paint` into a transparent layer and puts the result onto dst at
// `at`: pixels covered at least half become the layer over `matte`, the rest
// stay as they are (typically the key colour). Keeps antialiased edges from
// turning pink.
void stampKeyed(QImage &dst, QPoint at, QSize size, QColor matte, const std::function<void(QPainter &)> &paint)
{
    QImage layer(size, QImage::Format_ARGB32);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        paint(p);
    }
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const QRgb c = layer.pixel(x, y);
            const int a = qAlpha(c);
            if (a < 128)
                continue;
            const double t = a / 255.0;
            const QColor over(c);
            const QColor out(int(std::lround(over.red() * t + matte.red() * (1 - t))),
                             int(std::lround(over.green() * t + matte.green() * (1 - t))),
                             int(std::lround(over.blue() * t + matte.blue() * (1 - t))));
            dst.setPixel(at.x() + x, at.y() + y, out.rgb());
        }
}

// ---- glyphs -----------------------------------------------------------------

enum class Glyph { Sheet, Help, Max, Restore, Min, Close };

// A crisp glyph centred in box (pixel units, no antialiasing).
void paintGlyph(QPainter &p, Glyph glyph, const QRect &box, const QColor &color, int weight)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const int s = std::min(box.width(), box.height());
    const int x0 = box.left() + (box.width() - s) / 2, y0 = box.top() + (box.height() - s) / 2;
    auto dot = [&](int x, int y) { p.fillRect(QRect(x0 + x, y0 + y, 1, 1), color); };
    switch (glyph) {
    case Glyph::Close:
        for (int i = 0; i < s; ++i)
            for (int w = 0; w < weight; ++w) {
                if (i + w < s) {
                    dot(i + w, i);
                    dot(s - 1 - i - w, i);
                }
            }
        break;
    case Glyph::Min:
        p.fillRect(QRect(x0, y0 + s - weight - 1, s, weight + (s > 6 ? 0 : 0)), color);
        break;
    case Glyph::Max:
        p.fillRect(QRect(x0, y0, s, weight + 1), color);
        p.fillRect(QRect(x0, y0, 1, s), color);
        p.fillRect(QRect(x0 + s - 1, y0, 1, s), color);
        p.fillRect(QRect(x0, y0 + s - 1, s, 1), color);
        break;
    case Glyph::Restore: {
        const int b = s * 2 / 3 + (s % 3 == 2 ? 1 : 0);
        const int o = s - b;
        // back window
        p.fillRect(QRect(x0 + o, y0, b, weight), color);
        p.fillRect(QRect(x0 + s - 1, y0, 1, b), color);
        p.fillRect(QRect(x0 + o, y0, 1, o + weight), color);
        p.fillRect(QRect(x0 + b, y0 + b - 1, o, 1), color);
        // front window
        p.fillRect(QRect(x0, y0 + o, b, weight + 1), color);
        p.fillRect(QRect(x0, y0 + o, 1, b), color);
        p.fillRect(QRect(x0 + b - 1, y0 + o, 1, b), color);
        p.fillRect(QRect(x0, y0 + s - 1, b, 1), color);
        break;
    }
    case Glyph::Help: {
        // A bold question mark for the heavier glyph weights, a thin one else.
        static const char *thin[] = {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."};
        static const char *bold[] = {".####.", "##..##", "....##", "...##.", "..##..", "......", "..##.."};
        const char *const *rows = weight > 1 ? bold : thin;
        const int cols = weight > 1 ? 6 : 5;
        const int ox = (s - cols) / 2, oy = (s - 7) / 2;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < cols; ++x)
                if (rows[y][x] == '#')
                    dot(ox + x, oy + y);
        break;
    }
    case Glyph::Sheet:
        break;
    }
    p.restore();
}

// The program's motif: a small sheet with a header row and grid, used for the
// control box and the icon. `ink` draws the grid and border.
void paintSheet(QPainter &p, const QRect &r, const QColor &paper, const QColor &header, const QColor &ink)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(r, paper);
    const int hh = std::max(2, r.height() / 4);
    p.fillRect(QRect(r.left(), r.top(), r.width(), hh), header);
    p.setPen(ink);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    const int cols = r.width() >= 12 ? 3 : 2;
    for (int c = 1; c < cols; ++c) {
        const int x = r.left() + r.width() * c / cols;
        p.drawLine(x, r.top() + hh, x, r.bottom());
    }
    for (int y = r.top() + hh; y < r.bottom(); y += std::max(2, r.height() / 4))
        p.drawLine(r.left(), y, r.right(), y);
    p.restore();
}

// ---- the pictures ---------------------------------------------------------------

struct Art
{
    QString name;
    QImage image;
    int bits;
    int frames;       // for the contact sheet
    QList<QRgb> keep; // colours the palette must hold exactly
};

std::vector<Art> arts;

void add(const QString &name, const QImage &image, int bits, int frames = 1, QList<QRgb> keep = {})
{
    keep.prepend(Key);
    arts.push_back({name, image, bits, frames, keep});
}

// Three-state button strip: normal, hot, pressed.
QImage buttonStrip(int fw, int fh, qreal radius, const Face (&faces)[3], bool keyed, QColor back)
{
    QImage strip = blank(fw * 3, fh, keyed ? QColor(Key) : back);
    for (int i = 0; i < 3; ++i) {
        const QRectF r(0, 0, fw, fh);
        if (keyed) {
            stampKeyed(strip, QPoint(fw * i, 0), QSize(fw, fh), back,
                       [&](QPainter &p) { paintFace(p, r, radius, faces[i]); });
        } else {
            QPainter p(&strip);
            p.translate(fw * i, 0);
            paintFace(p, r, radius, faces[i]);
        }
    }
    return strip;
}

Ramp ramp(std::initializer_list<std::pair<double, quint32>> stops)
{
    Ramp r;
    for (const auto &s : stops)
        r.stops.push_back({s.first, hex(s.second)});
    return r;
}

// A plain face: a ramp from the top colour to the bottom one inside a border,
// banded in levels when levels > 0.
Face plain(quint32 top, quint32 bottom, quint32 border, int levels = 0)
{
    return {ramp({{0, top}, {1, bottom}}), hex(border), QColor(), QColor(), levels};
}

// A glossy face: four colours from top to bottom, the second giving way to
// the third between split.first and split.second, under a white gloss of
// the given alpha.
Face glossy(const std::array<quint32, 4> &tones, std::pair<double, double> split, quint32 border, int glossAlpha)
{
    return {ramp({{0, tones[0]}, {split.first, tones[1]}, {split.second, tones[2]}, {1, tones[3]}}), hex(border),
            withAlpha(Qt::white, glossAlpha), QColor(), 0};
}

void buttons()
{
    { // light grey aqua pill, blue when hot and pressed; ends keyed out
        const Face f[3] = {
            glossy({0xFDFDFD, 0xE9E9E9, 0xD9D9D9, 0xF4F4F4}, {0.5, 0.52}, 0x8C8C8C, 170),
            glossy({0xE3EFFC, 0xBCD7F6, 0x9FC5F2, 0xD6E8FC}, {0.5, 0.52}, 0x5C88C4, 170),
            glossy({0xA9CBF3, 0x7BB0EC, 0x5E98E2, 0x9FCAF4}, {0.5, 0.52}, 0x3A6AAE, 120),
        };
        add("MACOS_BUTTON", buttonStrip(84, 23, 11, f, true, hex(0xE7E7E7)), 8, 3);
    }
    { // white face, dark blue rim; orange ring when hot
        const Face f[3] = {
            {ramp({{0, 0xFFFFFF}, {0.8, 0xF0EFEA}, {1, 0xD6D0C5}}), hex(0x003C74), QColor(), QColor(), 0},
            {ramp({{0, 0xFFFFFF}, {0.8, 0xF0EFEA}, {1, 0xD6D0C5}}), hex(0x003C74), QColor(), hex(0xF5B840), 0},
            {ramp({{0, 0xDCDAD2}, {0.3, 0xE6E5DE}, {1, 0xF4F4F0}}), hex(0x003C74), QColor(), QColor(), 0},
        };
        add("WINXP_BUTTON", buttonStrip(18, 21, 3, f, false, hex(0xEFEBDE)), 8, 3);
    }
    { // light steel face with a navy rim; cyan ring when hot, deeper when pressed
        const Face f[3] = {
            {ramp({{0, 0xF4F8FE}, {1, 0xB4C7E4}}), hex(0x0F2D66), QColor(), hex(0xFFFFFF), 4},
            {ramp({{0, 0xFFFFFF}, {1, 0xC8DBF5}}), hex(0x0F2D66), QColor(), hex(0x48A8FF), 4},
            plain(0x94ADD5, 0xC8D7EE, 0x0F2D66, 4),
        };
        add("DEEPBLUE_BUTTON", buttonStrip(74, 21, 2, f, false, hex(0xE8E8E8)), 4, 3);
    }
    { // glossy white with a vivid blue rim; bright orange when hot, blue pressed
        const Face f[3] = {
            glossy({0xFFFFFF, 0xEEF2FA, 0xDCE4F5, 0xF6F9FF}, {0.5, 0.52}, 0x3A56D8, 200),
            glossy({0xFFF6E0, 0xFFE2A6, 0xFFCB6A, 0xFFEFC4}, {0.5, 0.52}, 0xF07800, 200),
            glossy({0xC0CEF2, 0xA8BCEC, 0x93AAE6, 0xBCCDF2}, {0.5, 0.52}, 0x2630A8, 110),
        };
        add("PROTEIN_BUTTON", buttonStrip(74, 21, 4, f, false, hex(0xFBFBFB)), 8, 3);
    }
    { // blue glass pill with a bright reflection; ends keyed out
        const Face f[3] = {
            glossy({0xD3E6FA, 0xA9CBEF, 0x84B1E5, 0xC2DDF7}, {0.48, 0.5}, 0x4C7FBF, 150),
            {ramp({{0, 0xE2F3FF}, {0.48, 0xBCE0FF}, {0.5, 0x92CDFF}, {1, 0xD6F0FF}}), hex(0x2F8FE6),
             withAlpha(Qt::white, 170), withAlpha(Qt::white, 170), 0},
            glossy({0x92B9E8, 0x6F9FDC, 0x5289D0, 0x8AB5E8}, {0.48, 0.5}, 0x2D5A99, 90),
        };
        add("BLUEGLASS_BUTTON", buttonStrip(77, 27, 13, f, true, hex(0xE7E7E7)), 8, 3);
    }
}

// ---- check boxes and radio buttons ----------------------------------------------

struct MarkLook
{
    Face checked, unchecked, checkedOff, uncheckedOff;
    QColor mark, markOff;
};

void paintCheckMark(QPainter &p, const QRectF &box, const QColor &color, bool aa)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, aa);
    const qreal s = box.width();
    QPainterPath path;
    path.moveTo(box.left() + s * 0.24, box.top() + s * 0.50);
    path.lineTo(box.left() + s * 0.42, box.top() + s * 0.70);
    path.lineTo(box.left() + s * 0.78, box.top() + s * 0.28);
    if (aa) {
        p.setPen(QPen(color, std::max<qreal>(1.6, s / 7.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    } else {
        // Pixel check for 13-pixel boxes: a 2-pixel-thick stroke.
        const int x = int(box.left()), y = int(box.top());
        static const int pts[][2] = {{3, 5}, {3, 6}, {4, 6}, {4, 7}, {5, 7}, {5, 8}, {6, 7}, {6, 6},
                                     {7, 6}, {7, 5}, {8, 5}, {8, 4}, {9, 4}, {9, 3}, {6, 8}, {4, 5}};
        for (const auto &pt : pts)
            p.fillRect(QRect(x + pt[0], y + pt[1], 1, 1), color);
    }
    p.restore();
}

QImage checkStrip(int fw, int fh, const QRectF &box, qreal radius, const MarkLook &look, QColor back, bool aa)
{
    QImage strip = blank(fw * 4, fh, back);
    QPainter p(&strip);
    const Face *faces[4] = {&look.checked, &look.unchecked, &look.checkedOff, &look.uncheckedOff};
    for (int i = 0; i < 4; ++i) {
        p.save();
        p.translate(fw * i, 0);
        paintFace(p, box, radius, *faces[i]);
        if (i == 0 || i == 2)
            paintCheckMark(p, box, i == 0 ? look.mark : look.markOff, aa);
        p.restore();
    }
    return strip;
}

QImage radioStrip(int fw, int fh, const QRectF &circle, const MarkLook &look, QColor matte, bool aa)
{
    QImage strip = blank(fw * 4, fh, QColor(Key));
    const Face *faces[4] = {&look.checked, &look.unchecked, &look.checkedOff, &look.uncheckedOff};
    for (int i = 0; i < 4; ++i) {
        auto paint = [&](QPainter &p) {
            paintFace(p, circle, circle.width() / 2, *faces[i]);
            if (i == 0 || i == 2) {
                p.setRenderHint(QPainter::Antialiasing, aa);
                p.setPen(Qt::NoPen);
                p.setBrush(i == 0 ? look.mark : look.markOff);
                const qreal d = aa ? circle.width() * 0.40 : 5;
                const QPointF c = circle.center();
                if (aa)
                    p.drawEllipse(c, d / 2, d / 2);
                else {
                    const int cx = int(c.x()) - 2, cy = int(c.y()) - 2;
                    p.fillRect(QRect(cx + 1, cy, 3, 5), p.brush());
                    p.fillRect(QRect(cx, cy + 1, 5, 3), p.brush());
                }
            }
        };
        if (aa) {
            stampKeyed(strip, QPoint(fw * i, 0), QSize(fw, fh), matte, paint);
        } else {
            QPainter p(&strip);
            p.translate(fw * i, 0);
            paint(p);
        }
    }
    // The bottom-left pixel is the key that transparent drawing leaves out.
    for (int i = 0; i < 4; ++i)
        strip.setPixel(fw * i, fh - 1, Key);
    return strip;
}

void checks()
{
    const Face greyOff = plain(0xF8F8F8, 0xE8E8E8, 0xBDBDBD);
    {
        MarkLook m{glossy({0xA9CBF3, 0x7BB0EC, 0x5E98E2, 0x9FCAF4}, {0.5, 0.52}, 0x3A6AAE, 140),
                   glossy({0xFFFFFF, 0xF0F0F0, 0xE2E2E2, 0xF6F6F6}, {0.5, 0.52}, 0x8C8C8C, 160),
                   plain(0xE4ECF6, 0xD6E0EC, 0xB4C2D4),
                   greyOff,
                   hex(0x111111),
                   hex(0x9A9A9A)};
        add("MACOS_CHECKBOX", checkStrip(15, 17, QRectF(0, 2, 14, 14), 3, m, hex(0xE7E7E7), true), 8, 4);
        add("MACOS_RADIOBUTTON", radioStrip(16, 17, QRectF(1, 1, 14, 14), m, hex(0xE7E7E7), true), 8, 4);
    }
    {
        MarkLook m{plain(0xDCDCD7, 0xFFFFFF, 0x1C5180),
                   plain(0xDCDCD7, 0xFFFFFF, 0x1C5180),
                   plain(0xFFFFFF, 0xFFFFFF, 0xCAC8BB),
                   plain(0xFFFFFF, 0xFFFFFF, 0xCAC8BB),
                   hex(0x21A121),
                   hex(0xCAC8BB)};
        add("WINXP_CHECKBOX", checkStrip(13, 13, QRectF(0, 0, 13, 13), 0, m, hex(0xEFEBDE), false), 8, 4);
        MarkLook r = m;
        r.checked.levels = r.unchecked.levels = r.checkedOff.levels = r.uncheckedOff.levels = 0;
        add("WINXP_RADIOBUTTON", radioStrip(13, 13, QRectF(0, 0, 13, 13), r, hex(0xEFEBDE), true), 8, 4);
    }
    struct Small
    {
        const char *style;
        quint32 border, top, bottom, mark;
        quint32 background; // the control background the radio sits on
    };
    const Small small[] = {{"DEEPBLUE", 0x0F2D66, 0xFFFFFF, 0xBCCDE6, 0x0F2D66, 0xE8E8E8},
                           {"PROTEIN", 0x3A56D8, 0xFFFFFF, 0xDCE4F5, 0xF07800, 0xFBFBFB},
                           {"BLUEGLASS", 0x4C7FBF, 0xE6F1FC, 0x9CC2EA, 0x1E4F8F, 0xE7E7E7}};
    for (const Small &s : small) {
        const Face on{ramp({{0, s.top}, {1, s.bottom}}), hex(s.border), QColor(), QColor(), 3};
        const Face off = plain(0xF6F6F6, 0xF6F6F6, 0xA8AEB8, 1);
        MarkLook m{on, on, off, off, hex(s.mark), hex(0xA8AEB8)};
        add(QString("%1_CHECKBOX").arg(s.style), checkStrip(13, 13, QRectF(0, 0, 13, 13), 0, m, hex(0xFFFFFF), false),
            4, 4);
        // Round shapes need antialiasing to look round at 13 pixels: flat
        // faces leave the 16 colours to the blended rim.
        MarkLook round = m;
        round.checked.levels = round.unchecked.levels = round.checkedOff.levels = round.uncheckedOff.levels = 0;
        round.checked.fill = round.unchecked.fill = ramp({{0, s.top}, {0.35, s.top}, {1, s.bottom}});
        add(QString("%1_RADIOBUTTON").arg(s.style),
            radioStrip(13, 13, QRectF(0, 0, 13, 13), round, hex(s.background), true), 4, 4,
            {hex(s.border).rgb(), hex(s.mark).rgb()});
    }
}

// ---- title bars ---------------------------------------------------------------------

// The column of a title bar's background, row by row; the three pieces and
// the opaque button backgrounds are all cut from it so they meet seamlessly.
QImage titleColumn(const Ramp &r, int h, int levels, QList<QColor> lines = {})
{
    QImage column = blank(1, h, Qt::black);
    for (int y = 0; y < h; ++y)
        column.setPixel(0, y, r.row(y, h, levels).rgb());
    for (int i = 0; i < lines.size() && i < h; ++i)
        if (lines[i].isValid())
            column.setPixel(0, h - 1 - i, lines[i].rgb()); // lines count from the bottom
    return column;
}

// Reduces a column to at most n colours, so that a 16-colour piece and the
// pieces that meet it agree pixel for pixel.
QImage reduced(const QImage &column, int n)
{
    const QList<QRgb> pal = skinart::makePalette(column, n, {});
    QImage out = column;
    for (int y = 0; y < column.height(); ++y) {
        const QRgb c = column.pixel(0, y);
        int best = 0, bd = 1 << 30;
        for (int i = 0; i < pal.size(); ++i) {
            const int d = std::abs(qRed(c) - qRed(pal[i])) + std::abs(qGreen(c) - qGreen(pal[i]))
                          + std::abs(qBlue(c) - qBlue(pal[i]));
            if (d < bd) {
                bd = d;
                best = i;
            }
        }
        out.setPixel(0, y, pal[best]);
    }
    return out;
}

QImage spread(const QImage &column, int w)
{
    return column.scaled(w, column.height());
}

QList<QRgb> colorsOf(const QImage &image)
{
    return skinart::distinctColors(image);
}

struct TitleLook
{
    Face face[3];      // normal, hot, pressed
    Face closeFace[3]; // the close button
    QColor glyph;
    QColor glyphHot;
    bool round = false;        // circles instead of rounded squares
    bool glyphOnHover = false; // glyphs appear only under the cursor
    int weight = 1;
    qreal radius = 3;
    Face helpFace[3];
    Face maxFace[3];
    Face minFace[3];
    bool perKind = false;  // help/max/min have their own faces
    bool sheetFace = true; // control box drawn on a face (else bare icon)
};

// Bold white glyphs on faces of the given corner radius, the look of most
// title bars.
TitleLook whiteGlyphs(qreal radius)
{
    TitleLook look;
    look.radius = radius;
    look.weight = 2;
    look.glyph = look.glyphHot = Qt::white;
    return look;
}

// The left, middle and right pieces of a title bar, as 8-bit pictures.
void addTitlePieces(const QString &style, const QImage &left, const QImage &client, const QImage &right)
{
    add(style + "_TITLE_LEFT", left, 8);
    add(style + "_TITLE_CLIENT", client, 8);
    add(style + "_TITLE_RIGHT", right, 8);
}

// The colours of a banded two-tone face: the top one down to the split, the
// bottom one below it, and the border.
struct TwoTone
{
    quint32 top, bottom, border;
};
using TwoToneSet = std::array<TwoTone, 3>; // normal, hot, pressed

// Gives the buttons and the close button of look banded two-tone faces whose
// colour changes from top to bottom between split.first and split.second.
void setTwoToneFaces(TitleLook &look, std::pair<double, double> split, const TwoToneSet &buttons,
                     const TwoToneSet &close)
{
    const auto face = [split](const TwoTone &t) {
        return Face{ramp({{0, t.top}, {split.first, t.top}, {split.second, t.bottom}, {1, t.bottom}}), hex(t.border),
                    QColor(), QColor(), 2};
    };
    for (int i = 0; i < 3; ++i) {
        look.face[i] = face(buttons[size_t(i)]);
        look.closeFace[i] = face(close[size_t(i)]);
    }
}

// 18 frames: control box, help, maximise, restore, minimise, close; each
// normal, hot, pressed.
QImage titleStrip(int s, const QImage &column, int top, bool keyed, const TitleLook &look)
{
    QImage strip = blank(s * 18, s, QColor(Key));
    if (!keyed) {
        // The control box is drawn one pixel above the other buttons, so its
        // three frames take the bar's rows from one row higher up.
        for (int y = 0; y < s; ++y)
            for (int x = 0; x < s * 18; ++x) {
                const int row = top + y - (x < s * 3 ? 1 : 0);
                strip.setPixel(x, y, column.pixel(0, std::clamp(row, 0, column.height() - 1)));
            }
    }
    const Glyph kinds[6] = {Glyph::Sheet, Glyph::Help, Glyph::Max, Glyph::Restore, Glyph::Min, Glyph::Close};
    for (int k = 0; k < 6; ++k)
        for (int st = 0; st < 3; ++st) {
            const int frame = k * 3 + st;
            const Face *face = &look.face[st];
            if (kinds[k] == Glyph::Close)
                face = &look.closeFace[st];
            else if (look.perKind && kinds[k] == Glyph::Help)
                face = &look.helpFace[st];
            else if (look.perKind && (kinds[k] == Glyph::Max || kinds[k] == Glyph::Restore))
                face = &look.maxFace[st];
            else if (look.perKind && kinds[k] == Glyph::Min)
                face = &look.minFace[st];
            const bool aa = face->levels == 0;
            const QColor matte(column.pixel(0, std::min(column.height() - 1, top + s / 2)));
            auto paint = [&](QPainter &p) {
                const QRectF area(0, 0, s, s);
                const QRectF shape = look.round ? area.adjusted(1, 1, -1, -1) : area;
                if (kinds[k] != Glyph::Sheet || look.sheetFace)
                    paintFace(p, shape, look.round ? shape.width() / 2 : look.radius, *face);
                else if (st > 0) {
                    p.setPen(Qt::NoPen);
                    p.setBrush(st == 1 ? withAlpha(Qt::white, 70) : withAlpha(Qt::black, 60));
                    p.drawRoundedRect(area.adjusted(1, 1, -1, -1), 2, 2);
                }
                const int g = s >= 21 ? 9 : s >= 19 ? 7 : 7;
                const int off = (kinds[k] == Glyph::Sheet && !look.sheetFace && st == 2) ? 1 : 0;
                const QRect box((s - g) / 2 + off, (s - g) / 2 + off, g, g);
                if (kinds[k] == Glyph::Sheet) {
                    const int sw = s >= 21 ? 13 : 9, sh = s >= 21 ? 11 : 8;
                    paintSheet(p, QRect((s - sw) / 2 + off, (s - sh) / 2 + off, sw, sh), hex(0xFFFFFF), hex(0x2F6FD6),
                               hex(0x1B3F7A));
                } else if (!look.glyphOnHover || st > 0) {
                    paintGlyph(p, kinds[k], box, st == 0 ? look.glyph : look.glyphHot, look.weight);
                }
            };
            if (keyed || aa) {
                // Keyed styles: shape over the key; opaque antialiased ones:
                // shape over the bar's own rows.
                if (keyed)
                    stampKeyed(strip, QPoint(frame * s, 0), QSize(s, s), matte, paint);
                else {
                    QPainter p(&strip);
                    p.translate(frame * s, 0);
                    p.setRenderHint(QPainter::Antialiasing);
                    paint(p);
                }
            } else {
                QPainter p(&strip);
                p.translate(frame * s, 0);
                paint(p);
            }
        }
    if (keyed)
        for (int f = 0; f < 18; ++f)
            strip.setPixel(f * s, s - 1, Key);
    return strip;
}

// Adds a soft diagonal sheen to a title piece (the glass and bright styles).
void sheen(QImage &image, const QRectF &band, qreal slant, const QColor &color, int first, int last)
{
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.moveTo(band.left(), band.bottom());
    path.lineTo(band.left() + slant, band.top());
    path.lineTo(band.right() + slant, band.top());
    path.lineTo(band.right(), band.bottom());
    path.closeSubpath();
    p.setClipRect(QRect(0, first, image.width(), last - first + 1));
    p.fillPath(path, color);
}

void titles()
{
    // Light grey, brushed: fine pinstripes, a white top edge, a dark base line.
    {
        const int h = 23;
        QImage column = titleColumn(ramp({{0, 0xF4F4F4}, {0.5, 0xDEDEDE}, {1, 0xC2C2C2}}), h, 0, {hex(0x8A8A8A)});
        for (int y = 3; y < h - 1; ++y)
            if (y % 2 == 0)
                column.setPixel(0, y, scaled(QColor(column.pixel(0, y)), 1.025).rgb());
        column.setPixel(0, 3, hex(0xFBFBFB).rgb());
        // The three pieces are the same column spread: no rim lines, since the
        // pieces reach under the frame's borders and a rim would show inside.
        QImage left = spread(column, 48), client = spread(column, 49), right = spread(column, 48);
        addTitlePieces("MACOS", left, client, right);

        auto sphere = [](quint32 base, quint32 rim) {
            Face f[3];
            const QColor b = hex(base);
            f[0] = {Ramp{{{0, mix(b, Qt::white, 0.35)}, {0.55, b}, {1, mix(b, Qt::white, 0.45)}}}, hex(rim),
                    withAlpha(Qt::white, 190), QColor(), 0};
            f[1] = {Ramp{{{0, mix(b, Qt::white, 0.45)}, {0.55, mix(b, Qt::white, 0.12)}, {1, mix(b, Qt::white, 0.55)}}},
                    hex(rim), withAlpha(Qt::white, 200), QColor(), 0};
            f[2] = {Ramp{{{0, scaled(b, 0.72)}, {0.55, scaled(b, 0.62)}, {1, scaled(b, 0.8)}}}, scaled(hex(rim), 0.8),
                    withAlpha(Qt::white, 110), QColor(), 0};
            return std::vector<Face>{f[0], f[1], f[2]};
        };
        TitleLook look;
        look.round = true;
        look.glyphOnHover = true;
        look.perKind = true;
        look.glyph = hex(0x4A1010);
        look.glyphHot = hex(0x3A0A0A);
        const auto grey = sphere(0xB9B9B9, 0x8A8A8A), red = sphere(0xFF5F57, 0xD2413B),
                   yellow = sphere(0xFFBD2E, 0xD49A1E), green = sphere(0x2BC840, 0x1C9E2E),
                   blue = sphere(0x8FB2DE, 0x5D82B3);
        for (int i = 0; i < 3; ++i) {
            look.face[i] = grey[i];
            look.closeFace[i] = red[i];
            look.minFace[i] = yellow[i];
            look.maxFace[i] = green[i];
            look.helpFace[i] = blue[i];
        }
        look.sheetFace = false;
        add("MACOS_TITLEBTN", titleStrip(17, column, 4, false, look), 24, 18);
    }
    // Bright blue: a light top band, deep blue below, darker rims at the ends.
    {
        const int h = 29;
        QImage column = titleColumn(ramp({{0, 0x2A74F0},
                                          {3.0 / 28, 0x62A8FF},
                                          {7.0 / 28, 0x1F7AF8},
                                          {0.5, 0x0A5CEE},
                                          {0.86, 0x0052E0},
                                          {1, 0x003CBE}}),
                                    h, 0, {hex(0x002F96)});
        QImage left = spread(column, 35), client = spread(column, 37), right = spread(column, 35);
        for (int y = 3; y < h; ++y) {
            left.setPixel(3, y, mix(QColor(left.pixel(3, y)), hex(0x001E9A), 0.55).rgb());
            left.setPixel(4, y, mix(QColor(left.pixel(4, y)), hex(0x6FB0FF), 0.35).rgb());
            right.setPixel(31, y, mix(QColor(right.pixel(31, y)), hex(0x001E9A), 0.55).rgb());
            right.setPixel(30, y, mix(QColor(right.pixel(30, y)), hex(0x6FB0FF), 0.25).rgb());
        }
        addTitlePieces("WINXP", left, client, right);

        TitleLook look = whiteGlyphs(3);
        look.face[0] = {ramp({{0, 0x7DABF8}, {1, 0x2A5FDD}}), hex(0xF0F4FF), withAlpha(Qt::white, 90), QColor(), 0};
        look.face[1] = {ramp({{0, 0xA3C6FF}, {1, 0x4C82F2}}), hex(0xFFFFFF), withAlpha(Qt::white, 110), QColor(), 0};
        look.face[2] = plain(0x2452C2, 0x4E7FE6, 0xD6E2FF);
        look.closeFace[0] = {ramp({{0, 0xEE8A62}, {1, 0xC8401A}}), hex(0xFFF0EA), withAlpha(Qt::white, 80), QColor(),
                             0};
        look.closeFace[1] = {ramp({{0, 0xF6A583}, {1, 0xDF5627}}), hex(0xFFFFFF), withAlpha(Qt::white, 100), QColor(),
                             0};
        look.closeFace[2] = plain(0xAE3613, 0xD4643C, 0xFFDCD0);
        look.sheetFace = false;
        add("WINXP_TITLEBTN", titleStrip(21, column, 5, false, look), 24, 18);
    }
    // Dark blue: deep navy bands with a lighter rim above, a sheen on the left.
    {
        const int h = 32;
        QImage column = reduced(
            titleColumn(ramp({{0, 0x0A1B44}, {0.12, 0x34589E}, {0.45, 0x17346F}, {0.6, 0x0E2757}, {1, 0x061432}}), h, 0,
                        {hex(0x3A64B8)}),
            8);
        QImage left = spread(column, 97), client = spread(column, 98), right = spread(column, 97);
        sheen(left, QRectF(18, 3, 26, 29), -10, withAlpha(hex(0x7FC4FF), 46), 3, h - 2);
        sheen(left, QRectF(50, 3, 8, 29), -10, withAlpha(hex(0x7FC4FF), 30), 3, h - 2);
        add("DEEPBLUE_TITLE_LEFT", left, 8);
        add("DEEPBLUE_TITLE_CLIENT", client, 4, 1, colorsOf(column));
        add("DEEPBLUE_TITLE_RIGHT", right, 8);

        TitleLook look = whiteGlyphs(2);
        look.face[0] = plain(0x24448A, 0x24448A, 0x6F8FCF, 1);
        look.face[1] = plain(0x3A62B4, 0x3A62B4, 0xA9C4F2, 1);
        look.face[2] = plain(0x122A5C, 0x122A5C, 0x6F8FCF, 1);
        look.closeFace[0] = look.face[0];
        look.closeFace[1] = plain(0xC43434, 0xC43434, 0xF08A8A, 1);
        look.closeFace[2] = plain(0x7E1818, 0x7E1818, 0xF08A8A, 1);
        QList<QRgb> keep = colorsOf(column);
        add("DEEPBLUE_TITLEBTN", titleStrip(19, column, 2, false, look), 4, 18, keep);
    }
    // Bright: vivid azure gloss, a lime and orange swoosh across the left piece.
    {
        const int h = 23;
        QImage column = reduced(
            titleColumn(ramp({{0, 0x3C9CF0}, {0.47, 0x0A6CC8}, {0.5, 0x0658AE}, {1, 0x0A66C0}}), h, 0, {hex(0x0A4FB0)}),
            10);
        QImage left = spread(column, 441);
        {
            QPainter p(&left);
            p.setRenderHint(QPainter::Antialiasing);
            p.setClipRect(QRect(0, 3, 441, h - 4));
            QPainterPath wave;
            wave.moveTo(0, 24);
            wave.cubicTo(60, 8, 140, 26, 300, 3);
            wave.lineTo(0, 3);
            wave.closeSubpath();
            QLinearGradient lime(0, 0, 320, 0);
            lime.setColorAt(0, withAlpha(hex(0x4E9A10), 90));
            lime.setColorAt(1, withAlpha(hex(0xB6F53A), 0));
            p.fillPath(wave, lime);
            QPainterPath arc;
            arc.moveTo(0, 26);
            arc.cubicTo(90, 12, 170, 22, 360, 2);
            QLinearGradient orange(0, 0, 380, 0);
            orange.setColorAt(0, withAlpha(hex(0xFF9A1A), 230));
            orange.setColorAt(1, withAlpha(hex(0xFF9A1A), 0));
            p.setPen(QPen(QBrush(orange), 2.0));
            p.drawPath(arc);
        }
        add("PROTEIN_TITLE_LEFT", left, 8);
        add("PROTEIN_TITLE_CLIENT", column, 4, 1, colorsOf(column));
        add("PROTEIN_TITLE_RIGHT", column, 8);

        TitleLook look = whiteGlyphs(3);
        look.round = true;
        setTwoToneFaces(
            look, {0.35, 0.36},
            {{{0x9CD2FF, 0x2F8CFF, 0x0B4FB8}, {0xC8E6FF, 0x5AB0FF, 0x0B4FB8}, {0x5A9BEF, 0x1463D1, 0x08388A}}},
            {{{0xFFB08A, 0xFF5A1F, 0x0B4FB8}, {0xFFC9AE, 0xFF7D4A, 0x0B4FB8}, {0xF08A5E, 0xD63E0A, 0x08388A}}});
        add("PROTEIN_TITLEBTN", titleStrip(19, column, 2, true, look), 4, 18);
    }
    // Glass: light reflective top half, a crisp break, deeper blue below, and
    // slanted reflections on the end pieces.
    {
        const int h = 33;
        QImage column =
            titleColumn(ramp({{0, 0x6F9FE0}, {0.12, 0x6496DC}, {0.46, 0x2F67BA}, {0.48, 0x1F4F9A}, {1, 0x2A63B0}}), h,
                        0, {hex(0x1C3F78)});
        QImage left = spread(column, 162), client = spread(column, 179), right = spread(column, 101);
        sheen(left, QRectF(36, 3, 30, 29), -12, withAlpha(Qt::white, 44), 3, h - 2);
        sheen(left, QRectF(74, 3, 10, 29), -12, withAlpha(Qt::white, 34), 3, h - 2);
        sheen(right, QRectF(58, 3, 12, 29), -12, withAlpha(Qt::white, 30), 3, h - 2);
        addTitlePieces("BLUEGLASS", left, client, right);

        TitleLook look = whiteGlyphs(4);
        setTwoToneFaces(
            look, {0.45, 0.46},
            {{{0xA9C9F0, 0x5D8FD6, 0x1F4A8A}, {0xCDE2FA, 0x7FB0EE, 0x1F4A8A}, {0x7C9FD6, 0x3F6FB8, 0x1F4A8A}}},
            {{{0xF2B0A4, 0xD9503C, 0x1F4A8A}, {0xF2B0A4, 0xF06A55, 0x1F4A8A}, {0xF2B0A4, 0xB23A28, 0x1F4A8A}}});
        add("BLUEGLASS_TITLEBTN", titleStrip(19, column, 6, true, look), 4, 18);
    }
}

// ---- menus, form patterns, icon -------------------------------------------------------

void menusAndPatterns()
{
    QImage bar = titleColumn(ramp({{0, 0xF8F8F8}, {1, 0xD6D6D6}}), 22, 6, {hex(0xA4A4A4)});
    add("MACOS_MENU_BAR", bar, 4);
    QImage select = titleColumn(ramp({{0, 0x4F8CE6}, {0.5, 0x2A66C8}, {0.52, 0x1F58B8}, {1, 0x2C6ACC}}), 21, 0);
    add("MACOS_MENU_SELECT", select, 8);

    QImage check = blank(16, 16, Qt::white);
    {
        static const char *rows[] = {"................", "................", "................", "................",
                                     "...........##...", "..........###...", ".........###....", "...##...###.....",
                                     "...###.###......", "....#####.......", ".....###........", "......#.........",
                                     "................", "................", "................", "................"};
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (rows[y][x] == '#')
                    check.setPixel(x, y, qRgb(0, 0, 0));
    }
    add("MENU_CHECKED", check, 4);

    QImage pin = blank(8, 8, hex(0xE7E7E7));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pin.setPixel(x, y, (y % 2 == 0 ? hex(0xEEEEEE) : hex(0xE1E1E1)).rgb());
    add("MACOS_FORM_BACKGROUND", pin, 4);

    QImage dots = blank(8, 8, hex(0xFBFBFB));
    dots.setPixel(1, 1, hex(0xE4ECF8).rgb());
    dots.setPixel(5, 5, hex(0xE4ECF8).rgb());
    add("PROTEIN_FORM_BACKGROUND", dots, 4);
}

// ---- the sample theme's pictures ---------------------------------------------------

// "Graphite": charcoal bars, dark faces with an orange accent. Written into
// the sample theme's folder (resources/themes/Graphite), not into the
// program's resources.
std::vector<Art> graphiteArts()
{
    std::vector<Art> saved;
    saved.swap(arts);
    {
        // Light graphite faces: the caption is drawn in the form's font
        // colour, which is dark.
        const Face f[3] = {
            glossy({0xF2F3F4, 0xDCDEE1, 0xD0D2D6, 0xE2E4E7}, {0.5, 0.52}, 0x3A3D43, 120),
            glossy({0xFFF6EC, 0xF6E6D4, 0xEDD9C2, 0xF8EBDC}, {0.5, 0.52}, 0xF08A24, 120),
            {ramp({{0, 0xB8BBC0}, {0.5, 0xC4C7CB}, {1, 0xCFD2D6}}), hex(0x3A3D43), QColor(), QColor(), 0},
        };
        add("ButtonImage", buttonStrip(72, 23, 5, f, true, hex(0xD8D9DB)), 8, 3);
    }
    {
        const Face on = plain(0x5A5E66, 0x3C4046, 0x1E2024, 3);
        const Face off = plain(0xC8C9CC, 0xC8C9CC, 0x9A9CA0, 1);
        MarkLook m{on, on, off, off, hex(0xF08A24), hex(0x9A9CA0)};
        add("CheckBoxImage", checkStrip(13, 13, QRectF(0, 0, 13, 13), 0, m, hex(0xD8D9DB), false), 8, 4);
        MarkLook round = m;
        round.checked.levels = round.unchecked.levels = round.checkedOff.levels = round.uncheckedOff.levels = 0;
        add("RadioButtonImage", radioStrip(13, 13, QRectF(0, 0, 13, 13), round, hex(0xD8D9DB), true), 8, 4);
    }
    const int h = 26;
    QImage column =
        titleColumn(ramp({{0, 0x4A4E55}, {0.15, 0x5C6068}, {0.5, 0x3A3D43}, {1, 0x2A2C30}}), h, 0, {hex(0xF08A24)});
    QImage left = spread(column, 60), client = spread(column, 40), right = spread(column, 60);
    add("TitleBarLeftImage", left, 8);
    add("TitleBarClientImage", client, 8);
    add("TitleBarRightImage", right, 8);
    {
        TitleLook look;
        look.radius = 3;
        look.weight = 2;
        look.glyph = hex(0xE8E8E8);
        look.glyphHot = Qt::white;
        look.face[0] = plain(0x5C6068, 0x44474D, 0x1E2024);
        look.face[1] = plain(0x70747C, 0x55595F, 0xF08A24);
        look.face[2] = plain(0x303236, 0x3C3F44, 0xF08A24);
        look.closeFace[0] = look.face[0];
        look.closeFace[1] = plain(0xF49A44, 0xD8701A, 0x8A4208);
        look.closeFace[2] = plain(0xB85A12, 0xD07020, 0x8A4208);
        look.sheetFace = false;
        add("TitleBarButtonImage", titleStrip(19, column, 4, true, look), 8, 18);
    }
    { // the side border: dark with a light inner line; drawn turned on the right
        QImage side = blank(4, 8, hex(0x2A2C30));
        for (int y = 0; y < 8; ++y) {
            side.setPixel(0, y, hex(0x1A1B1E).rgb());
            side.setPixel(3, y, hex(0x5C6068).rgb());
        }
        add("FormLeftBorderImage", side, 8);
        QImage bottom = blank(24, 4, hex(0x2A2C30));
        for (int x = 0; x < 24; ++x) {
            bottom.setPixel(x, 0, hex(0x5C6068).rgb());
            bottom.setPixel(x, 3, hex(0x1A1B1E).rgb());
        }
        add("FormBottomBorderImage", bottom, 8, 3);
    }
    std::vector<Art> theme;
    theme.swap(arts);
    arts.swap(saved);
    return theme;
}

QImage iconImage(int s)
{
    QImage icon(s, s, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    const int m = std::max(1, s / 16);
    const QRect page(m, m * 2, s - m * 2 - s / 8, s - m * 4 - s / 8);
    p.fillRect(page.translated(m, m), withAlpha(Qt::black, 60));
    paintSheet(p, page, hex(0xFFFFFF), hex(0x2F6FD6), hex(0x1B3F7A));
    // A second sheet behind, coming out of the first: many workbooks at once.
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    const qreal a = s * 0.42, ax = s - a - m * 0.5, ay = s - a - m * 0.5;
    arrow.moveTo(ax, ay + a * 0.35);
    arrow.lineTo(ax + a * 0.55, ay + a * 0.35);
    arrow.lineTo(ax + a * 0.55, ay);
    arrow.lineTo(ax + a, ay + a * 0.5);
    arrow.lineTo(ax + a * 0.55, ay + a);
    arrow.lineTo(ax + a * 0.55, ay + a * 0.65);
    arrow.lineTo(ax, ay + a * 0.65);
    arrow.closeSubpath();
    p.fillPath(arrow, hex(0xF28C18));
    p.setPen(QPen(hex(0x9A4E00), std::max(1.0, s / 32.0)));
    p.drawPath(arrow);
    return icon;
}

// An .ico with one 32-bit image per size (colour with alpha, plus the AND
// mask that older readers use), written byte by byte so that the file is the
// same on every run.
QByteArray iconFile(const QList<int> &sizes)
{
    QByteArray out;
    auto put8 = [](QByteArray &o, quint8 v) { o.append(char(v)); };
    auto put16 = [](QByteArray &o, quint16 v) {
        o.append(char(v & 0xFF));
        o.append(char(v >> 8));
    };
    auto put32 = [](QByteArray &o, quint32 v) {
        for (int i = 0; i < 4; ++i)
            o.append(char((v >> (8 * i)) & 0xFF));
    };
    QList<QByteArray> images;
    for (int s : sizes) {
        const QImage icon = iconImage(s).convertToFormat(QImage::Format_ARGB32);
        QByteArray dib;
        put32(dib, 40);
        put32(dib, quint32(s));
        put32(dib, quint32(s * 2)); // colour rows plus mask rows
        put16(dib, 1);
        put16(dib, 32);
        put32(dib, 0);
        put32(dib, 0);
        put32(dib, 0);
        put32(dib, 0);
        put32(dib, 0);
        put32(dib, 0);
        for (int y = s - 1; y >= 0; --y)
            for (int x = 0; x < s; ++x) {
                const QRgb c = icon.pixel(x, y);
                const bool clear = qAlpha(c) == 0;
                put8(dib, clear ? 0 : quint8(qBlue(c)));
                put8(dib, clear ? 0 : quint8(qGreen(c)));
                put8(dib, clear ? 0 : quint8(qRed(c)));
                put8(dib, quint8(qAlpha(c)));
            }
        const int maskRow = ((s + 31) / 32) * 4;
        for (int y = s - 1; y >= 0; --y) {
            QByteArray row(maskRow, '\0');
            for (int x = 0; x < s; ++x)
                if (qAlpha(icon.pixel(x, y)) == 0)
                    row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            dib.append(row);
        }
        images.append(dib);
    }
    put16(out, 0);
    put16(out, 1);
    put16(out, quint16(sizes.size()));
    quint32 offset = 6 + 16 * quint32(sizes.size());
    for (int i = 0; i < sizes.size(); ++i) {
        put8(out, quint8(sizes[i] >= 256 ? 0 : sizes[i]));
        put8(out, quint8(sizes[i] >= 256 ? 0 : sizes[i]));
        put8(out, 0);
        put8(out, 0);
        put16(out, 1);
        put16(out, 32);
        put32(out, quint32(images[i].size()));
        put32(out, offset);
        offset += quint32(images[i].size());
    }
    for (const QByteArray &d : images)
        out.append(d);
    return out;
}

QImage contactSheet()
{
    const int zoom = 4, pad = 12, label = 16, width = 1800;
    int x = pad, y = pad, rowH = 0;
    struct Place
    {
        int x, y;
    };
    std::vector<Place> places;
    for (const Art &art : arts) {
        const int w = art.image.width() * zoom, h = art.image.height() * zoom + label;
        if (x + w > width - pad && x > pad) {
            x = pad;
            y += rowH + pad;
            rowH = 0;
        }
        places.push_back({x, y});
        x += std::max(w, 160) + pad;
        rowH = std::max(rowH, h);
    }
    QImage sheet(width, y + rowH + pad, QImage::Format_RGB32);
    sheet.fill(hex(0x606060));
    QPainter p(&sheet);
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    p.setFont(font);
    for (size_t i = 0; i < arts.size(); ++i) {
        const Art &art = arts[i];
        const QImage file = QImage::fromData(skinart::encodeBmp(
            art.image, art.bits,
            art.bits <= 8 ? skinart::makePalette(art.image, 1 << art.bits, art.keep) : QList<QRgb>{}));
        const QRect target(places[i].x, places[i].y + label, file.width() * zoom, file.height() * zoom);
        // Checks show where the key colour is.
        for (int cy = 0; cy < target.height(); cy += 8)
            for (int cx = 0; cx < target.width(); cx += 8)
                p.fillRect(QRect(target.x() + cx, target.y() + cy, 8, 8),
                           ((cx / 8 + cy / 8) % 2) ? hex(0xBBBBBB) : hex(0x888888));
        QImage shown = file.convertToFormat(QImage::Format_ARGB32);
        for (int yy = 0; yy < shown.height(); ++yy)
            for (int xx = 0; xx < shown.width(); ++xx)
                if ((shown.pixel(xx, yy) & 0xFFFFFF) == 0xFF00FF)
                    shown.setPixel(xx, yy, 0);
        p.drawImage(target, shown);
        p.setPen(QColor(255, 255, 160));
        for (int f = 1; f < art.frames; ++f) {
            const int fx = target.x() + file.width() / art.frames * f * zoom;
            p.drawLine(fx, target.top() - 3, fx, target.top() - 1);
        }
        p.setPen(Qt::white);
        p.drawText(places[i].x, places[i].y + 11,
                   QString("%1 %2x%3 %4b").arg(art.name).arg(file.width()).arg(file.height()).arg(art.bits));
    }
    return sheet;
}

} // namespace

// ---- the main window's stored title-bar pictures --------------------------------------

const Art *findArt(const QString &name)
{
    const auto found = std::find_if(arts.begin(), arts.end(), [&](const Art &art) { return art.name == name; });
    return found == arts.end() ? nullptr : &*found;
}

bool writeBmp(const QString &path, const QImage &image, int bits, const QList<QRgb> &keep)
{
    const QList<QRgb> palette = bits <= 8 ? skinart::makePalette(image, 1 << bits, keep) : QList<QRgb>();
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(skinart::encodeBmp(image, bits, palette)) >= 0;
}

// The pictures the main window's form description stores with its title bar:
// the MacOS pieces as they are, and the three state frames of each of its
// buttons (17 x 17, 32 bits per pixel), cut from the same strip as the
// built-in art, so that the window every user sees first has the same
// seamless bar.
int writeFormPictures(const QDir &out)
{
    const Art *strip = findArt("MACOS_TITLEBTN");
    if (!strip)
        return 1;
    int failures = 0;
    const int frame = strip->image.width() / 18;
    const std::pair<const char *, int> kinds[] = {{"controlbox", 1}, {"close", 16}, {"max", 7}, {"min", 13}};
    const char *states[] = {"normal", "mouseon", "mousedown"};
    for (const auto &[kind, first] : kinds)
        for (int state = 0; state < 3; ++state) {
            const QImage picture = strip->image.copy((first - 1 + state) * frame, 0, frame, strip->image.height());
            const QString name = QString("titlebtn_%1_%2.bmp").arg(kind, states[state]);
            failures += writeBmp(out.filePath(name), picture, 32, {}) ? 0 : 1;
        }
    const std::pair<const char *, const char *> sections[] = {
        {"left", "MACOS_TITLE_LEFT"}, {"right", "MACOS_TITLE_RIGHT"}, {"client", "MACOS_TITLE_CLIENT"}};
    for (const auto &[name, source] : sections) {
        const Art *piece = findArt(source);
        if (!piece
            || !writeBmp(out.filePath(QString("section_%1.bmp").arg(name)), piece->image, piece->bits, piece->keep))
            ++failures;
    }
    std::printf("the main window's title-bar pictures written to %s\n", qPrintable(out.path()));
    return failures;
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: tabulon-skinart <output dir> [--sheet <file.png>] [--theme <sample theme dir>]"
                             " [--form-pictures <dir>]\n");
        return 2;
    }
    const QDir out(args[1]);
    QDir().mkpath(out.path());

    buttons();
    checks();
    titles();
    menusAndPatterns();

    int failures = 0;
    for (const Art &art : arts) {
        QList<QRgb> palette;
        if (art.bits <= 8) {
            const int distinct = int(skinart::distinctColors(art.image).size());
            palette = skinart::makePalette(art.image, 1 << art.bits, art.keep);
            if (distinct > (1 << art.bits))
                std::printf("%-24s %d colours reduced to %d\n", qPrintable(art.name), distinct, int(palette.size()));
        }
        QFile file(out.filePath(art.name + ".bmp"));
        if (!file.open(QIODevice::WriteOnly) || file.write(skinart::encodeBmp(art.image, art.bits, palette)) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            ++failures;
        }
    }
    std::printf("%d bitmaps and the icon written to %s\n", int(arts.size()), qPrintable(out.path()));
    QFile icon(out.filePath("MAINICON.ico"));
    if (!icon.open(QIODevice::WriteOnly) || icon.write(iconFile({16, 32, 48})) < 0)
        ++failures;

    const int themeAt = int(args.indexOf("--theme"));
    if (themeAt > 0 && themeAt + 1 < args.size()) {
        const QDir themeDir(args[themeAt + 1]);
        QDir().mkpath(themeDir.path());
        const std::vector<Art> theme = graphiteArts();
        for (const Art &art : theme) {
            QFile file(themeDir.filePath(art.name + ".bmp"));
            const QList<QRgb> pal = skinart::makePalette(art.image, 1 << art.bits, art.keep);
            if (!file.open(QIODevice::WriteOnly) || file.write(skinart::encodeBmp(art.image, art.bits, pal)) < 0)
                ++failures;
        }
        std::printf("%d theme pictures written to %s\n", int(theme.size()), qPrintable(themeDir.path()));
        for (Art art : theme) {
            art.name.prepend("Graphite/");
            arts.push_back(art); // shown on the contact sheet too
        }
    }

    const int formAt = int(args.indexOf("--form-pictures"));
    if (formAt > 0 && formAt + 1 < args.size()) {
        const QDir formDir(args[formAt + 1]);
        QDir().mkpath(formDir.path());
        failures += writeFormPictures(formDir);
    }

    const int sheetAt = int(args.indexOf("--sheet"));
    if (sheetAt > 0 && sheetAt + 1 < args.size())
        contactSheet().save(args[sheetAt + 1]);

    return failures ? 1 : 0;
}
