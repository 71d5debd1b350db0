#pragma once

// Helpers shared by the tests of the skinned panels, buttons, check boxes and
// radio buttons: a form of one flat colour, real mouse input through the
// window system, and pixel comparisons against the built-in pictures.

#include "platform/gui/Colors.h"
#include "skin/VEXThemes.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace controltest {

// A top-level form that paints itself in one flat colour, so that whatever a
// transparent control shows of its parent is known.
class FlatForm : public QWidget
{
public:
    explicit FlatForm(QColor color = QColor(0x20, 0xC0, 0x40), QSize size = QSize(320, 200)) : m_color(color)
    {
        QPalette p = palette();
        p.setColor(QPalette::Window, color);
        p.setColor(QPalette::WindowText, Qt::black);
        setPalette(p);
        setFont(crispFont());
        resize(size);
    }

    // A font drawn without smoothing, so that text pixels are exact.
    static QFont crispFont(int pixelSize = 11, bool bold = false)
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(pixelSize);
        font.setBold(bold);
        font.setStyleStrategy(QFont::NoAntialias);
        return font;
    }

    QColor color() const { return m_color; }

    // Shows the form and waits until it is exposed and active.
    bool showActive()
    {
        show();
        activateWindow();
        return QTest::qWaitForWindowExposed(this) && QTest::qWaitForWindowActive(this);
    }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), m_color); }

private:
    QColor m_color;
};

// A control on a form of its own, optionally in a given style. For the
// tests that send it real input, show() shows the form, waits until it is
// active and then shows the control.
template <class Control>
struct ControlOnForm
{
    ControlOnForm() = default;
    explicit ControlOnForm(vex::TvexUIStyle style) { control.setUIStyle(style); }

    bool show()
    {
        if (!form.showActive())
            return false;
        control.show();
        return true;
    }

    FlatForm form;
    Control control{&form};
};

// What the widget paints. A control that sizes itself while it paints is
// grabbed again at its new size.
inline QImage grabImage(QWidget *w)
{
    const QSize before = w->size();
    QImage shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (w->size() != before)
        shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return shot;
}

inline unsigned rgb(const QImage &image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFFu;
}

inline unsigned rgb(QColor c)
{
    return c.rgb() & 0xFFFFFFu;
}

constexpr unsigned Magenta = 0xFF00FFu;

// Frame index (1-based) of a built-in strip of count frames.
inline QImage builtInFrame(vex::TvexUIStyle style, int element, int index, int count)
{
    QImage frame;
    vex::GetBuiltInBitmap(style, element, &frame, index, count);
    return frame.convertToFormat(QImage::Format_RGB32);
}

// Pixels of the area `source` of `expected` that differ from `actual` at
// `at`; pixels where `expected` is magenta count only when keyMagenta is
// false.
inline int mismatches(const QImage &actual, QPoint at, const QImage &expected, QRect source, bool keyMagenta = false)
{
    int count = 0;
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const unsigned want = rgb(expected, source.x() + x, source.y() + y);
            if (keyMagenta && want == Magenta)
                continue;
            if (rgb(actual, at.x() + x, at.y() + y) != want)
                ++count;
        }
    }
    return count;
}

inline int countColor(const QImage &image, unsigned color, QRect area = QRect())
{
    if (area.isNull())
        area = image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (rgb(image, x, y) == color)
                ++count;
        }
    }
    return count;
}

// Real mouse input: through the form's window, so that Qt routes it (enter,
// leave, the implicit grab while a button is held) as it routes the user's.
inline QWindow *windowOf(QWidget *w)
{
    return w->window()->windowHandle();
}
inline QPoint inWindow(QWidget *w, QPoint local)
{
    return w->mapTo(w->window(), local);
}

inline void mouseMove(QWidget *w, QPoint local)
{
    QTest::mouseMove(windowOf(w), inWindow(w, local));
}
inline void mousePress(QWidget *w, QPoint local)
{
    QTest::mousePress(windowOf(w), Qt::LeftButton, {}, inWindow(w, local));
}
inline void mouseRelease(QWidget *w, QPoint local)
{
    QTest::mouseRelease(windowOf(w), Qt::LeftButton, {}, inWindow(w, local));
}
inline void mouseClick(QWidget *w, QPoint local)
{
    mouseMove(w, local);
    mousePress(w, local);
    mouseRelease(w, local);
}

} // namespace controltest
