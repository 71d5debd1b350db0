#include "skin/VEXPublic.h"

#include <QPaintEvent>
#include <QPainter>
#include <gtest/gtest.h>

#include <vector>

using namespace vex;

namespace {

const QRgb Magenta = 0xFFFF00FFu;
const QRgb Back = 0xFF123456u;

// A picture whose every pixel tells where it came from.
QImage coded(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 3 % 256, y * 7 % 256, 0x80));
    return image;
}

QImage canvasOf(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Back);
    return image;
}

// ---- a reference model of the nine-slice layout, evaluated per pixel -------

struct Ltrb
{
    int l, t, r, b;
    int w() const { return r - l; }
    int h() const { return b - t; }
};

struct Piece
{
    Ltrb src, dst;
    bool keyed;
};

std::vector<Piece> ninePieces(int bw, int bh, int W, int H, bool transparentCorners)
{
    const int hw = bw / 2, hh = bh / 2, HW = W / 2, HH = H / 2;
    std::vector<Piece> out;
    auto corner = [&](Ltrb s, Ltrb t, bool right, bool bottom) {
        const int w = std::min(s.w(), t.w()), h = std::min(s.h(), t.h());
        if (w <= 0 || h <= 0) {
            const int x = right ? W : 0, y = bottom ? H : 0;
            return Ltrb{x, y, x, y};
        }
        const Ltrb src{right ? s.r - w : s.l, bottom ? s.b - h : s.t, right ? s.r : s.l + w, bottom ? s.b : s.t + h};
        const Ltrb dst{right ? W - w : 0, bottom ? H - h : 0, right ? W : w, bottom ? H : h};
        out.push_back({src, dst, transparentCorners});
        return dst;
    };
    auto edge = [&](Ltrb s, Ltrb t, char keep) {
        if (t.w() <= 0 || t.h() <= 0)
            return;
        if (keep == 'l' && t.w() < s.w())
            s.r = s.l + t.w();
        if (keep == 'r' && t.w() < s.w())
            s.l = s.r - t.w();
        if (keep == 't' && t.h() < s.h())
            s.b = s.t + t.h();
        if (keep == 'b' && t.h() < s.h())
            s.t = s.b - t.h();
        out.push_back({s, t, true});
    };
    const Ltrb TL = corner({0, 0, hw, hh}, {0, 0, HW, HH}, false, false);
    const Ltrb BL = corner({0, bh - hh + 1, hw, bh}, {0, H - HH + 1, HW, H}, false, true);
    edge({0, hh, hw, bh - hh}, {0, TL.b, TL.r, BL.t}, 'l');
    const Ltrb TR = corner({bw - hw + 1, 0, bw, hh}, {W - HW + 1, 0, W, HH}, true, false);
    const Ltrb BR = corner({bw - hw + 1, bh - hh + 1, bw, bh}, {W - HW + 1, H - HH + 1, W, H}, true, true);
    edge({bw - hw + 1, bh - hh, bw, hh + 2}, {TR.l, TR.b, TR.r, BR.t}, 'r');
    edge({hw, 0, bw - hw + 1, hh}, {TL.r, 0, TR.l, TL.b}, 't');
    edge({hw, hh, bw - hw + 1, bh - hh}, {TL.r, TL.b, TR.l, BR.t - 1}, 'n');
    edge({hw, bh - hh, bw - hw + 1, bh}, {TL.r - 1, BL.t - 1, BR.l, BR.b}, 'b');
    return out;
}

QImage referenceNineSlice(const QImage &bitmap, int W, int H, bool transparentCorners)
{
    QImage out = canvasOf(W, H);
    for (const Piece &p : ninePieces(bitmap.width(), bitmap.height(), W, H, transparentCorners)) {
        for (int y = std::max(0, p.dst.t); y < std::min(H, p.dst.b); ++y)
            for (int x = std::max(0, p.dst.l); x < std::min(W, p.dst.r); ++x) {
                const int sx = p.src.l + (x - p.dst.l) * p.src.w() / p.dst.w();
                const int sy = p.src.t + (y - p.dst.t) * p.src.h() / p.dst.h();
                const QRgb s = bitmap.pixel(sx, sy);
                if (p.keyed && (s | 0xFF000000u) == Magenta)
                    continue;
                out.setPixel(x, y, s);
            }
    }
    return out;
}

QImage drawNine(const QImage &bitmap, int W, int H, bool transparentCorners)
{
    QImage out = canvasOf(W, H);
    QPainter p(&out);
    DrawNineSlice(bitmap, p, QRect(0, 0, W, H), transparentCorners);
    p.end();
    return out;
}

int firstDifference(const QImage &a, const QImage &b, QPoint *where)
{
    if (a.size() != b.size())
        return -2;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                *where = QPoint(x, y);
                return 1;
            }
    return 0;
}

} // namespace

TEST(GetFrame, CutsEqualFramesAndDropsLeftoverColumns)
{
    const QImage strip = coded(10, 4);
    QImage frame;
    GetFrame(strip, frame, 3, 3);
    ASSERT_EQ(frame.size(), QSize(3, 4));
    EXPECT_EQ(frame, strip.copy(6, 0, 3, 4)); // column 9 never used
    GetFrame(coded(231, 27), frame, 3, 1);
    EXPECT_EQ(frame.size(), QSize(77, 27));
    GetFrame(strip, frame, 0, 1);
    EXPECT_TRUE(frame.isNull());
}

TEST(TileDraw, StartsAtTheCanvasOriginAndOvershootsByATile)
{
    const QImage tile = coded(3, 2);
    QImage canvas = canvasOf(20, 20);
    QPainter p(&canvas);
    TileDraw(p, tile, QRect(5, 3, 7, 4));
    p.end();
    // Origin at (0, 0), not at the rectangle's corner.
    EXPECT_EQ(canvas.pixel(5, 3), tile.pixel(2, 1));
    EXPECT_EQ(canvas.pixel(0, 0), tile.pixel(0, 0));
    // Columns while x < 3 + 7: tiles at 0, 3, 6, 9; rows while y < 2 + 4: 0, 2, 4.
    EXPECT_EQ(canvas.pixel(11, 5), tile.pixel(2, 1));
    EXPECT_EQ(canvas.pixel(12, 0), Back);
    EXPECT_EQ(canvas.pixel(0, 6), Back);

    QImage untouched = canvasOf(4, 4);
    QPainter q(&untouched);
    TileDraw(q, QImage(), QRect(0, 0, 4, 4));
    q.end();
    EXPECT_EQ(untouched.pixel(0, 0), Back);
}

TEST(DrawThreeSlice, CapsUnscaledMiddleStretchedOpaque)
{
    QImage strip = coded(12, 3);   // frames of 4 x 3
    strip.setPixel(5, 1, Magenta); // a keyed pixel in the middle frame
    strip.setPixel(1, 1, Magenta); // and one in the left cap
    QImage canvas = canvasOf(30, 6);
    QPainter p(&canvas);
    DrawThreeSlice(strip, p, QRect(2, 1, 20, 3), true, false);
    p.end();
    EXPECT_EQ(canvas.pixel(2, 1), strip.pixel(0, 0));  // left cap at rect's corner
    EXPECT_EQ(canvas.pixel(3, 2), Back);               // keyed out of the cap
    EXPECT_EQ(canvas.pixel(18, 1), strip.pixel(8, 0)); // right cap ends at rect.right
    EXPECT_EQ(canvas.pixel(21, 3), strip.pixel(11, 2));
    EXPECT_EQ(canvas.pixel(22, 1), Back);
    // Middle: 4 columns stretched over 12 (x 6..17), nearest neighbour.
    EXPECT_EQ(canvas.pixel(6, 1), strip.pixel(4, 0));
    EXPECT_EQ(canvas.pixel(17, 3), strip.pixel(7, 2));
    EXPECT_EQ(canvas.pixel(9, 2), qRgb(255, 255, 255)); // keyed pixel turns white, drawn opaque
}

TEST(DrawThreeSlice, CornerKeyFromTopOrBottom)
{
    QImage strip = coded(6, 3);
    const QRgb top = strip.pixel(0, 0), bottom = strip.pixel(0, 2);
    for (bool fromTop : {true, false}) {
        QImage canvas = canvasOf(6, 3);
        QPainter p(&canvas);
        DrawThreeSlice(strip, p, QRect(0, 0, 6, 3), fromTop, true);
        p.end();
        EXPECT_EQ(canvas.pixel(0, 0), fromTop ? Back : top);
        EXPECT_EQ(canvas.pixel(0, 2), fromTop ? bottom : Back);
    }
}

TEST(Rotate180, TurnsInPlace)
{
    QImage image = coded(5, 3);
    const QImage before = image;
    Rotate180(image);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(image.pixel(x, y), before.pixel(4 - x, 2 - y));
}

TEST(InRect, RightAndBottomEdgesCountAsInside)
{
    const QRect r(10, 20, 5, 4); // Windows rectangle (10, 20, 15, 24)
    EXPECT_TRUE(InRect(15, 24, r));
    EXPECT_TRUE(InRect(QPoint(10, 20), r));
    EXPECT_FALSE(InRect(16, 24, r));
    EXPECT_FALSE(InRect(15, 25, r));
    EXPECT_FALSE(InRect(9, 22, r));
}

TEST(DrawNineSlice, CodedBitmapMatchesTheLayoutPixelForPixel)
{
    // Odd and even bitmap sizes; targets smaller, equal and larger.
    const QSize bitmaps[] = {{9, 7}, {10, 8}, {74, 21}};
    const QSize targets[] = {{3, 3}, {9, 7}, {10, 8}, {40, 30}, {80, 27}, {5, 20}, {20, 5}, {1, 1}};
    for (QSize b : bitmaps) {
        QImage bitmap = coded(b.width(), b.height());
        bitmap.setPixel(0, 0, Magenta);                          // a corner key
        bitmap.setPixel(b.width() / 2, b.height() / 2, Magenta); // a centre key
        for (QSize t : targets)
            for (bool corners : {false, true}) {
                SCOPED_TRACE(QString("bitmap %1x%2 target %3x%4 corners %5")
                                 .arg(b.width())
                                 .arg(b.height())
                                 .arg(t.width())
                                 .arg(t.height())
                                 .arg(corners)
                                 .toStdString());
                if (b.height() % 2 == 0 && t.height() > 2 * (b.height() / 2))
                    continue; // even heights: empty bands, our own choice (below)
                QPoint at;
                const int diff = firstDifference(drawNine(bitmap, t.width(), t.height(), corners),
                                                 referenceNineSlice(bitmap, t.width(), t.height(), corners), &at);
                EXPECT_EQ(diff, 0) << "first difference at " << at.x() << "," << at.y();
            }
    }
}

TEST(DrawNineSlice, ButtonFramesOfEveryStyle)
{
    for (TvexUIStyle style : {TvexUIStyle::MacOS, TvexUIStyle::WinXP, TvexUIStyle::DeepBlue, TvexUIStyle::Protein,
                              TvexUIStyle::BlueGlass}) {
        for (int f = 1; f <= 3; ++f) {
            QImage frame;
            GetBuiltInBitmap(style, ButtonImage, &frame, f, 3);
            ASSERT_FALSE(frame.isNull());
            const QSize natural = frame.size();
            const QSize sizes[] = {natural,
                                   {natural.width() + 37, natural.height() + 9},
                                   {natural.width() / 2 - 3, natural.height() / 2 - 2},
                                   {80, 27}};
            for (QSize s : sizes)
                for (bool corners : {false, true}) {
                    SCOPED_TRACE(QString("style %1 frame %2 size %3x%4 corners %5")
                                     .arg(int(style))
                                     .arg(f)
                                     .arg(s.width())
                                     .arg(s.height())
                                     .arg(corners)
                                     .toStdString());
                    QPoint at;
                    EXPECT_EQ(firstDifference(drawNine(frame, s.width(), s.height(), corners),
                                              referenceNineSlice(frame, s.width(), s.height(), corners), &at),
                              0)
                        << at.x() << "," << at.y();
                }
        }
    }
}

TEST(DrawNineSlice, KnownPixelsOfTheDeepBlueFaceOnADefaultButton)
{
    QImage frame;
    GetBuiltInBitmap(TvexUIStyle::DeepBlue, ButtonImage, &frame, 1, 3);
    const QImage out = drawNine(frame, 80, 27, false);
    // The top-left corner is 37 x 10 and unscaled.
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(out.pixel(x, y), frame.pixel(x, y)) << x << "," << y;
    // Bottom-right corner 36 x 9, flush with the button's corner.
    EXPECT_EQ(out.pixel(79, 26), frame.pixel(73, 20));
    EXPECT_EQ(out.pixel(44, 18), frame.pixel(38, 12));
    // Right edge: the single source row 11 stretched over rows 10..17.
    EXPECT_EQ(out.pixel(79, 10), frame.pixel(73, 11));
    EXPECT_EQ(out.pixel(79, 17), frame.pixel(73, 11));
}

TEST(DrawNineSlice, SmallTargetsShowOnlyCroppedCorners)
{
    const QImage bitmap = coded(74, 21);
    const QImage out = drawNine(bitmap, 10, 6, false);
    // Halves are 5 x 3: top-left shows the bitmap's top-left 5 x 3 ...
    EXPECT_EQ(out.pixel(4, 2), bitmap.pixel(4, 2));
    // ... top-right its top-right 4 x 3 (HW - 1), bottom corners 2 rows (HH - 1).
    EXPECT_EQ(out.pixel(9, 0), bitmap.pixel(73, 0));
    EXPECT_EQ(out.pixel(6, 0), bitmap.pixel(70, 0));
    EXPECT_EQ(out.pixel(0, 5), bitmap.pixel(0, 20));
    EXPECT_EQ(out.pixel(9, 5), bitmap.pixel(73, 20));
}

TEST(DrawNineSlice, CornerKeyOnlyWhenAsked)
{
    QImage bitmap = coded(9, 7);
    bitmap.setPixel(0, 0, Magenta);
    bitmap.setPixel(4, 3, Magenta); // the centre
    EXPECT_EQ(drawNine(bitmap, 9, 7, false).pixel(0, 0), Magenta);
    EXPECT_EQ(drawNine(bitmap, 9, 7, true).pixel(0, 0), Back);
    // Edges and centre always key out magenta.
    const QImage big = drawNine(bitmap, 30, 21, false);
    EXPECT_EQ(big.pixel(15, 10), Back);
}

TEST(DrawNineSlice, EvenHeightsFillTheMiddleFromItsFirstRow)
{
    // Our choice for the empty bands of an even-height bitmap: the row at the
    // band's start is stretched, so a tall target has no hole.
    const QImage bitmap = coded(9, 8);
    const QImage out = drawNine(bitmap, 9, 20, false);
    EXPECT_EQ(out.pixel(0, 10), bitmap.pixel(0, 4));
    EXPECT_EQ(out.pixel(4, 10), bitmap.pixel(4, 4));
}

namespace {

class PatternParent : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        ++paints;
        QPainter p(this);
        for (int x = 0; x < width(); ++x)
            p.fillRect(QRect(x, 0, 1, height()), QColor(x % 256, 40, 90));
    }
};

class SelfPainting : public QWidget
{
public:
    using QWidget::QWidget;
    QImage buffer;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        ++paints;
        buffer = QImage(size(), QImage::Format_RGB32);
        buffer.fill(Qt::black);
        QPainter b(&buffer);
        DrawParentBackground(b, this);
        b.end();
        QPainter(this).drawImage(0, 0, buffer);
    }
};

} // namespace

TEST(DrawParentBackground, PaintsWhatTheParentShowsUnderTheControl)
{
    PatternParent parent;
    parent.resize(100, 40);
    auto *control = new SelfPainting(&parent);
    control->setGeometry(30, 10, 20, 10);
    auto *sibling = new QWidget(&parent); // must not be drawn into the control
    sibling->setAutoFillBackground(true);
    sibling->setPalette(QPalette(Qt::yellow));
    sibling->setGeometry(25, 5, 10, 10);

    QImage buffer(20, 10, QImage::Format_RGB32);
    buffer.fill(Qt::black);
    QPainter p(&buffer);
    DrawParentBackground(p, control);
    p.end();
    EXPECT_EQ(buffer.pixel(0, 0), qRgb(30, 40, 90));
    EXPECT_EQ(buffer.pixel(19, 9), qRgb(49, 40, 90));

    // From inside the control's own paint: no recursion, the parent's pixels.
    const QImage shot = parent.grab().toImage();
    EXPECT_EQ(control->paints, 1);
    EXPECT_EQ(control->buffer.pixel(10, 5), qRgb(40, 40, 90));
    EXPECT_EQ(shot.pixel(45, 15) & 0xFFFFFFu, qRgb(45, 40, 90) & 0xFFFFFFu);

    QWidget orphan;
    QImage untouched(4, 4, QImage::Format_RGB32);
    untouched.fill(Back);
    QPainter q(&untouched);
    DrawParentBackground(q, &orphan);
    q.end();
    EXPECT_EQ(untouched.pixel(0, 0), Back);
}

TEST(SpacedBetweenScripts, ThinSpaceOnlyWhereLatinMeetsEastAsianText)
{
    const QString thin(QChar(0x2009));
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("大批量Excel转html"), "大批量" + thin + "Excel" + thin + "转" + thin + "html"},
        {QStringLiteral("大口Excelはhtmlを回転します"),
         "大口" + thin + "Excel" + thin + "は" + thin + "html" + thin + "を回転します"},
        {QStringLiteral("保存目录:"), QStringLiteral("保存目录:")},
        {QStringLiteral("Bulk Excel to HTML"), QStringLiteral("Bulk Excel to HTML")},
        {QStringLiteral("第2页"), "第" + thin + "2" + thin + "页"},
        {QStringLiteral("Excel 转"), QStringLiteral("Excel 转")}, // a space is there already
        {QString::fromUtf8("\xF0\xA0\x80\x80"
                           "a"),
         QString::fromUtf8("\xF0\xA0\x80\x80") + thin + "a"},
        {QString(), QString()},
    };
    for (const auto &[text, spaced] : cases)
        EXPECT_EQ(SpacedBetweenScripts(text), spaced) << qPrintable(text);
}
