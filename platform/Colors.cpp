#include "platform/Colors.h"

#include <QApplication>
#include <QPalette>

namespace platform {

static QColor paletteColor(int index)
{
    const QPalette pal = QApplication::palette();
    switch (index) {
    case COLOR_SCROLLBAR:
        return pal.color(QPalette::Active, QPalette::Mid);
    case COLOR_BACKGROUND:
    case COLOR_APPWORKSPACE:
        return pal.color(QPalette::Active, QPalette::Dark);
    case COLOR_ACTIVECAPTION:
    case COLOR_HIGHLIGHT:
        return pal.color(QPalette::Active, QPalette::Highlight);
    case COLOR_INACTIVECAPTION:
    case COLOR_INACTIVECAPTIONTEXT:
    case COLOR_GRAYTEXT:
        return pal.color(QPalette::Disabled, QPalette::WindowText);
    case COLOR_MENU:
    case COLOR_ACTIVEBORDER:
    case COLOR_INACTIVEBORDER:
        return pal.color(QPalette::Active, QPalette::Window);
    case COLOR_WINDOW:
        return pal.color(QPalette::Active, QPalette::Base);
    case COLOR_WINDOWFRAME:
    case COLOR_3DDKSHADOW:
        return pal.color(QPalette::Active, QPalette::Shadow);
    case COLOR_MENUTEXT:
        return pal.color(QPalette::Active, QPalette::WindowText);
    case COLOR_WINDOWTEXT:
        return pal.color(QPalette::Active, QPalette::Text);
    case COLOR_CAPTIONTEXT:
    case COLOR_HIGHLIGHTTEXT:
        return pal.color(QPalette::Active, QPalette::HighlightedText);
    case COLOR_BTNFACE:
        return pal.color(QPalette::Active, QPalette::Button);
    case COLOR_BTNSHADOW:
        return pal.color(QPalette::Active, QPalette::Dark);
    case COLOR_BTNTEXT:
        return pal.color(QPalette::Active, QPalette::ButtonText);
    case COLOR_BTNHIGHLIGHT:
        return pal.color(QPalette::Active, QPalette::Light);
    case COLOR_3DLIGHT:
        return pal.color(QPalette::Active, QPalette::Midlight);
    case COLOR_INFOTEXT:
        return pal.color(QPalette::Active, QPalette::ToolTipText);
    case COLOR_INFOBK:
        return pal.color(QPalette::Active, QPalette::ToolTipBase);
    default:
        return QColor(0, 0, 0);
    }
}

TColor systemColorRGB(int index)
{
    return fromQColor(paletteColor(index));
}

TColor colorToRGB(TColor color)
{
    if (isSystemColor(color))
        return systemColorRGB(color & 0xFF);
    return TColor(quint32(color) & 0xFFFFFFu);
}

QColor toQColor(TColor color)
{
    const TColor c = colorToRGB(color);
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

TColor fromQColor(const QColor &color)
{
    const QColor c = color.toRgb();
    return rgb(c.red(), c.green(), c.blue());
}

} // namespace platform
