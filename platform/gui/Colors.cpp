#include "platform/gui/Colors.h"

#include <QApplication>
#include <QPalette>

#include <iterator>

namespace platform {

namespace {

// The palette role that stands for each system colour, by index. The
// inactive caption, its text and grey text are the disabled window text;
// every other colour is taken from the active group.
constexpr QPalette::ColorRole kSystemColorRoles[] = {
    QPalette::Mid,    QPalette::Dark,   QPalette::Highlight,  QPalette::WindowText,  QPalette::Window,
    QPalette::Base,   QPalette::Shadow, QPalette::WindowText, QPalette::Text,        QPalette::HighlightedText,
    QPalette::Window, QPalette::Window, QPalette::Dark,       QPalette::Highlight,   QPalette::HighlightedText,
    QPalette::Button, QPalette::Dark,   QPalette::WindowText, QPalette::ButtonText,  QPalette::WindowText,
    QPalette::Light,  QPalette::Shadow, QPalette::Midlight,   QPalette::ToolTipText, QPalette::ToolTipBase};
static_assert(std::size(kSystemColorRoles) == COLOR_INFOBK + 1, "one role for each system colour");

QColor paletteColor(int index)
{
    if (index < 0 || index >= int(std::size(kSystemColorRoles)))
        return QColor(0, 0, 0);
    const bool disabled =
        index == COLOR_INACTIVECAPTION || index == COLOR_INACTIVECAPTIONTEXT || index == COLOR_GRAYTEXT;
    return QApplication::palette().color(disabled ? QPalette::Disabled : QPalette::Active, kSystemColorRoles[index]);
}

} // namespace

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
