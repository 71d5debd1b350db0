#include "skin/VEXPublic.h"

#include "platform/gui/MainForm.h"
#include "skin/VEXMgr.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaProperty>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace vex {

namespace {

const QRgb KeyColor = 0xFFFF00FFu;

// Windows-style rectangle with exclusive right and bottom, as the nine-slice
// layout is written in.
struct Box
{
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return width() <= 0 || height() <= 0; }
};

// Nearest-neighbour stretch of source's part `from` to w x h: the target
// pixel (x, y) takes the source pixel (x * sw / w, y * sh / h). Done by hand
// so that the sampling does not depend on the paint engine.
QImage stretched(const QImage &source, const QRect &from, int w, int h)
{
    QImage out(w, h, source.format());
    const int sw = from.width(), sh = from.height();
    for (int y = 0; y < h; ++y) {
        const int sy = from.top() + int(qint64(y) * sh / h);
        const auto *in = reinterpret_cast<const QRgb *>(source.constScanLine(sy));
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = in[from.left() + int(qint64(x) * sw / w)];
    }
    return out;
}

// Draws the part `from` of picture into `to`, stretched (keyed pictures keep
// their transparency). Empty targets or sources draw nothing.
void drawStretched(QPainter &canvas, const QPoint &origin, const QImage &picture, QRect from, const Box &to)
{
    if (to.empty())
        return;
    from = from.intersected(picture.rect());
    if (from.isEmpty())
        return;
    canvas.drawImage(origin + QPoint(to.left, to.top), stretched(picture, from, to.width(), to.height()));
}

QRect sourceRect(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

// A source band that the layout leaves empty (a bitmap of even size has no
// middle row or column) is taken as the one row or column at its start, so
// the piece still shows the bitmap's middle instead of leaving a hole.
QRect atLeastOne(QRect r, const QImage &picture)
{
    if (r.width() <= 0)
        r.setWidth(1);
    if (r.height() <= 0)
        r.setHeight(1);
    if (r.left() >= picture.width())
        r.moveLeft(picture.width() - 1);
    if (r.top() >= picture.height())
        r.moveTop(picture.height() - 1);
    return r;
}

QString unqualified(const char *name)
{
    const QString s = QString::fromLatin1(name);
    const int at = int(s.lastIndexOf(QLatin1String("::")));
    return at < 0 ? s : s.mid(at + 2);
}

QMdiArea *mdiClientOf(QWidget *form)
{
    return form ? form->findChild<QMdiArea *>() : nullptr;
}

} // namespace

void GetFrame(const QImage &source, QImage &target, int frameCount, int frameIndex)
{
    if (frameCount < 1 || source.isNull()) {
        target = QImage();
        return;
    }
    const int fw = source.width() / frameCount;
    const QImage strip = source.convertToFormat(QImage::Format_RGB32);
    // Columns outside the strip come out black rather than undefined.
    QImage frame(fw, source.height(), QImage::Format_RGB32);
    frame.fill(0xFF000000u);
    QPainter p(&frame);
    p.drawImage(QPoint(-fw * (frameIndex - 1), 0), strip);
    p.end();
    target = frame;
}

void DrawParentBackground(QPainter &canvas, QWidget *control)
{
    QWidget *parent = control ? control->parentWidget() : nullptr;
    if (!parent)
        return;
    canvas.save();
    canvas.translate(-control->x(), -control->y());
    canvas.setClipRect(QRect(0, 0, parent->width(), parent->height()), Qt::IntersectClip);
    // The parent's background and its own paint only: drawing its children
    // would paint this control again, from inside its own paint.
    parent->render(&canvas, QPoint(0, 0), QRegion(parent->rect()), QWidget::DrawWindowBackground);
    canvas.restore();
}

void TileDraw(QPainter &canvas, const QImage &picture, const QRect &rect)
{
    const int pw = picture.width(), ph = picture.height();
    if (pw <= 0 || ph <= 0)
        return;
    for (int y = 0; y < ph + rect.height(); y += ph)
        for (int x = 0; x < pw + rect.width(); x += pw)
            canvas.drawImage(QPoint(x, y), picture);
}

void DrawNineSlice(const QImage &bitmap, QPainter &canvas, const QRect &rect, bool transparentCorners)
{
    if (bitmap.isNull() || rect.width() <= 0 || rect.height() <= 0)
        return;
    const QPoint origin = rect.topLeft();
    const int W = rect.width(), H = rect.height();
    const int bw = bitmap.width(), bh = bitmap.height();
    const int hw = bw / 2, hh = bh / 2, HW = W / 2, HH = H / 2;

    const QImage keyed = KeyedOut(bitmap, KeyColor);
    const QImage opaque = bitmap.convertToFormat(QImage::Format_ARGB32);
    const QImage &corners = transparentCorners ? keyed : opaque;

    // A corner is drawn unscaled, at the smaller of its source and target
    // size, keeping the part of the source at its own corner.
    auto corner = [&](int srcW, int srcH, int tgtW, int tgtH, bool right, bool bottom) {
        const int w = std::min(srcW, tgtW), h = std::min(srcH, tgtH);
        if (w <= 0 || h <= 0)
            return Box{right ? W : 0, bottom ? H : 0, right ? W : 0, bottom ? H : 0};
        const QRect from(right ? bw - w : 0, bottom ? bh - h : 0, w, h);
        const Box to{right ? W - w : 0, bottom ? H - h : 0, right ? W : w, bottom ? H : h};
        canvas.drawImage(origin + QPoint(to.left, to.top), corners, from);
        return to;
    };

    // 1 top-left, 2 bottom-left, 3 left edge
    const Box TL = corner(hw, hh, HW, HH, false, false);
    const Box BL = corner(hw, hh - 1, HW, HH - 1, false, true);
    {
        const Box to{0, TL.bottom, TL.right, BL.top};
        QRect from = atLeastOne(sourceRect(0, hh, hw, bh - hh), bitmap);
        if (to.width() < from.width())
            from.setWidth(to.width()); // keep the left part
        drawStretched(canvas, origin, keyed, from, to);
    }
    // 4 top-right, 5 bottom-right, 6 right edge
    const Box TR = corner(hw - 1, hh, HW - 1, HH, true, false);
    const Box BR = corner(hw - 1, hh - 1, HW - 1, HH - 1, true, true);
    {
        const Box to{TR.left, TR.bottom, TR.right, BR.top};
        QRect from = atLeastOne(sourceRect(bw - hw + 1, bh - hh, bw, hh + 2), bitmap);
        if (to.width() < from.width())
            from.setLeft(from.right() + 1 - to.width()); // keep the right part
        drawStretched(canvas, origin, keyed, from, to);
    }
    // 7 top edge
    {
        const Box to{TL.right, 0, TR.left, TL.bottom};
        QRect from = atLeastOne(sourceRect(hw, 0, bw - hw + 1, hh), bitmap);
        if (to.height() < from.height())
            from.setHeight(to.height()); // keep the top part
        drawStretched(canvas, origin, keyed, from, to);
    }
    // 8 centre (ends one row above the bottom-right corner)
    {
        const Box to{TL.right, TL.bottom, TR.left, BR.top - 1};
        const QRect from = atLeastOne(sourceRect(hw, hh, bw - hw + 1, bh - hh), bitmap);
        drawStretched(canvas, origin, keyed, from, to);
    }
    // 9 bottom edge (starts one pixel left of and above its neighbours)
    {
        const Box to{TL.right - 1, BL.top - 1, BR.left, BR.bottom};
        QRect from = atLeastOne(sourceRect(hw, bh - hh, bw - hw + 1, bh), bitmap);
        if (to.height() < from.height())
            from.setTop(from.bottom() + 1 - to.height()); // keep the bottom part
        drawStretched(canvas, origin, keyed, from, to);
    }
}

void DrawThreeSlice(const QImage &bitmap, QPainter &canvas, const QRect &rect, bool keyFromTop, bool useCornerKey)
{
    if (bitmap.isNull())
        return;
    const int fw = bitmap.width() / 3, fh = bitmap.height();
    if (fw <= 0)
        return;
    QRgb key = KeyColor;
    if (useCornerKey)
        key = bitmap.pixel(0, keyFromTop ? 0 : fh - 1);
    const QImage keyed = KeyedOut(bitmap, key);
    const int right = rect.left() + rect.width();

    canvas.drawImage(QPoint(rect.left(), rect.top()), keyed, QRect(0, 0, fw, fh));
    canvas.drawImage(QPoint(right - fw, rect.top()), keyed, QRect(fw * 2, 0, fw, fh));

    // The middle frame goes through a fresh (white) bitmap, so its keyed
    // pixels come out white, and is then stretched opaque.
    QImage middle(fw, fh, QImage::Format_RGB32);
    middle.fill(0xFFFFFFFFu);
    {
        QPainter p(&middle);
        p.drawImage(QPoint(0, 0), keyed, QRect(fw, 0, fw, fh));
    }
    const Box to{rect.left() + fw, rect.top(), right - fw, rect.top() + rect.height()};
    drawStretched(canvas, QPoint(0, 0), middle, middle.rect(), to);
}

QImage KeyedOut(const QImage &picture, QRgb key)
{
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    key |= 0xFF000000u;
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if ((line[x] | 0xFF000000u) == key)
                line[x] = 0;
        }
    }
    return out;
}

void Rotate180(QImage &bitmap)
{
    if (bitmap.isNull())
        return;
    bitmap = bitmap.mirrored(true, true);
}

bool IsBlankText(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() > ' ')
            return false;
    }
    return true;
}

bool InRect(int x, int y, const QRect &rect)
{
    return rect.left() <= x && x <= rect.left() + rect.width() && rect.top() <= y && y <= rect.top() + rect.height();
}

bool InRect(const QPoint &point, const QRect &rect)
{
    return InRect(point.x(), point.y(), rect);
}

bool HasProperty(const QObject *component, const char *name)
{
    return component && component->metaObject()->indexOfProperty(name) >= 0;
}

bool InheritsClass(const QObject *object, const char *className)
{
    if (!object)
        return false;
    const QString wanted = unqualified(className);
    for (const QMetaObject *mo = object->metaObject(); mo; mo = mo->superClass())
        if (unqualified(mo->className()) == wanted)
            return true;
    return false;
}

QString ClassName(const QObject *object)
{
    return object ? unqualified(object->metaObject()->className()) : QString();
}

TvexSkinnedFrame *SkinnedFrameOf(QObject *object)
{
    return qobject_cast<TvexSkinnedFrame *>(object);
}

TvexUIStyle GetOwnerFormStyle(QObject *owner)
{
    if (!owner || !platform::isForm(owner))
        return TvexUIStyle::DeepBlue;
    for (QObject *child : owner->children()) {
        if (!child->isWidgetType())
            continue;
        if (const TvexSkinnedFrame *frame = SkinnedFrameOf(child))
            return frame->frameStyle();
    }
    return TvexUIStyle::DeepBlue;
}

void ApplyThemeToChildren(QObject *frame, TvexUIStyle style, TvexFileTheme *fileTheme)
{
    if (!frame)
        return;
    // A copy: a setter may add or remove children.
    const QObjectList children = frame->children();
    for (QObject *child : children) {
        if (!child->isWidgetType() || !HasProperty(child, "FileTheme") || !HasProperty(child, "UIStyle"))
            continue;
        child->setProperty("FileTheme", QVariant::fromValue(fileTheme));
        child->setProperty("UIStyle", QVariant::fromValue(style));
    }
}

bool IsFormActive(QWidget *form)
{
    QWidget *main = platform::mainForm();
    if (!main)
        return form && form->isActiveWindow();
    QMdiArea *mdi = mdiClientOf(main);
    if (mdi && form == main)
        return true;
    if (QGuiApplication::applicationState() != Qt::ApplicationActive)
        return false;
    if (!form || form == main)
        return true;
    if (mdi) {
        QMdiSubWindow *active = mdi->activeSubWindow();
        if (active && (active == form || active->widget() == form))
            return true;
    }
    return form->isActiveWindow();
}

QRect GetWorkArea()
{
    QScreen *screen = nullptr;
    if (QWidget *main = platform::mainForm()) {
        screen = QGuiApplication::screenAt(main->frameGeometry().center());
        if (!screen)
            screen = main->screen();
    }
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

namespace {

double relativeLuminance(const QColor &color)
{
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.red()) + 0.7152 * linear(color.green()) + 0.0722 * linear(color.blue());
}

bool isEastAsian(char32_t c)
{
    switch (QChar::script(c)) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Bopomofo:
        return true;
    default:
        return false;
    }
}

bool isLatinOrDigit(char32_t c)
{
    return QChar::script(c) == QChar::Script_Latin || (c >= '0' && c <= '9');
}

} // namespace

QString SpacedBetweenScripts(const QString &text)
{
    const QList<uint> chars = text.toUcs4();
    QList<uint> spaced;
    spaced.reserve(chars.size());
    for (qsizetype i = 0; i < chars.size(); ++i) {
        if (i > 0) {
            const char32_t before = chars[i - 1], after = chars[i];
            if ((isEastAsian(before) && isLatinOrDigit(after)) || (isLatinOrDigit(before) && isEastAsian(after)))
                spaced.append(0x2009);
        }
        spaced.append(chars[i]);
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(spaced.constData()), spaced.size());
}

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QString WithoutAccessMarks(const QString &caption)
{
    QString plain;
    for (int i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && ++i >= caption.size())
            break;
        plain += caption.at(i);
    }
    return plain;
}

void SetControlRect(QWidget *control, const QRect &rect)
{
    if (!control)
        return;
    control->move(rect.left(), control->y());
    control->move(rect.left(), rect.top());
    control->resize(rect.width(), control->height());
    control->resize(rect.width(), rect.height());
}

} // namespace vex
