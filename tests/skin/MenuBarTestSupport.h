#pragma once

// Helpers of the menu-bar and main-menu tests: a host form with a skinned
// frame, a small menu, hovering, and colour checks that tolerate smoothed
// text.

#include "common/TestSupport.h"
#include "platform/gui/Colors.h"
#include "skin/VEXForm.h"
#include "skin/VEXFormMenuBar.h"

#include <QAction>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QWidget>

#include <cstdlib>
#include <memory>

namespace menubartest {

// A form taken over by a frame of the given style.
struct SkinnedHost
{
    explicit SkinnedHost(vex::TvexUIStyle style = vex::TvexUIStyle::DeepBlue, QSize size = QSize(420, 260))
    {
        host = std::make_unique<QWidget>();
        host->resize(size);
        frame = new vex::TvexForm(host.get());
        frame->setUIStyle(style);
    }

    std::unique_ptr<QWidget> host;
    vex::TvexForm *frame = nullptr;
};

// A top-level item with a sub-menu of the given captions.
inline QAction *addTopItem(QMenu *menu, const QString &caption, const QStringList &subItems = {})
{
    QAction *item = menu->addAction(caption);
    if (!subItems.isEmpty()) {
        auto *sub = new QMenu(menu);
        for (const QString &text : subItems)
            sub->addAction(text);
        item->setMenu(sub);
    }
    return item;
}

inline QStringList buttonCaptions(const vex::TvexMenuBar *bar)
{
    QStringList captions;
    for (const vex::TvexMenuBarButton *button : bar->Buttons())
        captions << button->text();
    return captions;
}

// What a pointer entering the widget makes of it.
inline void hover(QWidget *widget)
{
    QEnterEvent enter(QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)), widget->mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(widget, &enter);
}

inline void unhover(QWidget *widget)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &leave);
}

inline QImage grabbed(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A button as its bar shows it, over the bar's background.
inline QImage grabbed(vex::TvexMenuBarButton *button)
{
    return grabbed(button->parentWidget()).copy(button->geometry());
}

// 0x00BBGGRR as the 0x00RRGGBB that rgbAt answers.
inline unsigned rgbOf(platform::TColor c)
{
    return unsigned(platform::toQRgb(c) & 0xFFFFFF);
}

inline int distance(unsigned a, unsigned b)
{
    return std::abs(int(a >> 16) - int(b >> 16)) + std::abs(int((a >> 8) & 0xFF) - int((b >> 8) & 0xFF))
           + std::abs(int(a & 0xFF) - int(b & 0xFF));
}

// The pixel of region that differs most from background: where text is
// drawn, its full colour.
inline unsigned inkIn(const QImage &image, const QRect &region, unsigned background)
{
    unsigned best = background;
    int bestDistance = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const unsigned p = testsupport::rgbAt(image, x, y);
            if (distance(p, background) > bestDistance) {
                bestDistance = distance(p, background);
                best = p;
            }
        }
    }
    return best;
}

// The columns that hold pixels other than background: (first, last), or
// (-1, -1) when there are none.
inline QPair<int, int> inkColumns(const QImage &image, const QRect &region, unsigned background)
{
    int first = -1, last = -1;
    for (int x = region.left(); x <= region.right(); ++x) {
        for (int y = region.top(); y <= region.bottom(); ++y) {
            if (testsupport::rgbAt(image, x, y) != background) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

} // namespace menubartest
