#include "skin/VEXButtonParts_p.h"

#include <QList>
#include <QPainter>
#include <QPoint>
#include <QVariant>
#include <QWidget>

namespace vex::buttonparts {

QImage embossed(const QImage &keyed)
{
    QImage out(keyed.width() + 1, keyed.height() + 1, QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    const QRgb white = qRgb(255, 255, 255);
    const QRgb grey = qRgb(0x80, 0x80, 0x80);
    for (int y = 0; y < keyed.height(); ++y) {
        for (int x = 0; x < keyed.width(); ++x) {
            if (qAlpha(keyed.pixel(x, y)))
                out.setPixel(x + 1, y + 1, white);
        }
    }
    for (int y = 0; y < keyed.height(); ++y) {
        for (int x = 0; x < keyed.width(); ++x) {
            if (qAlpha(keyed.pixel(x, y)))
                out.setPixel(x, y, grey);
        }
    }
    return out;
}

QImage greyed(const QImage &picture)
{
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
        }
    }
    return out;
}

void drawFocusRect(QPainter &canvas, const QRect &r)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    QList<QPoint> dots;
    auto dot = [&dots](int x, int y) {
        if ((x + y) % 2 == 0)
            dots.append(QPoint(x, y));
    };
    for (int x = r.left(); x <= r.right(); ++x) {
        dot(x, r.top());
        if (r.bottom() != r.top())
            dot(x, r.bottom());
    }
    for (int y = r.top() + 1; y < r.bottom(); ++y) {
        dot(r.left(), y);
        if (r.right() != r.left())
            dot(r.right(), y);
    }
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    canvas.setPen(QPen(QColor(255, 255, 255), 0));
    canvas.drawPoints(dots.constData(), int(dots.size()));
    canvas.restore();
}

void drawCentred(QPainter &canvas, const QRect &r, const QString &text)
{
    const int measure = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs | Qt::TextShowMnemonic;
    QRect block = canvas.fontMetrics().boundingRect(r, measure, text);
    block.moveTo(r.left() + (r.width() - block.width()) / 2, r.top() + (r.height() - block.height()) / 2);
    canvas.drawText(block, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, text);
}

platform::TColor parentColor(const QWidget *control)
{
    const QWidget *parent = control->parentWidget();
    if (!parent)
        return platform::clBtnFace;
    const QVariant color = parent->property("Color");
    bool ok = false;
    const int value = color.toInt(&ok);
    if (color.isValid() && ok)
        return value;
    return platform::fromQColor(parent->palette().color(parent->backgroundRole()));
}

} // namespace vex::buttonparts
