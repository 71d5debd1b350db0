#pragma once

#include <QColor>
#include <QtGlobal>

namespace platform {

// A colour as the toolkit stores it: 0x00BBGGRR. A negative value (high byte
// 0xFF) names a system colour by its index in the low byte; those are
// answered from the application palette at the moment they are resolved, so a
// palette change shows at the next paint.
using TColor = qint32;

// System colour indices (the low byte of a negative TColor).
enum SystemColorIndex : int {
    COLOR_SCROLLBAR = 0,
    COLOR_BACKGROUND = 1,
    COLOR_ACTIVECAPTION = 2,
    COLOR_INACTIVECAPTION = 3,
    COLOR_MENU = 4,
    COLOR_WINDOW = 5,
    COLOR_WINDOWFRAME = 6,
    COLOR_MENUTEXT = 7,
    COLOR_WINDOWTEXT = 8,
    COLOR_CAPTIONTEXT = 9,
    COLOR_ACTIVEBORDER = 10,
    COLOR_INACTIVEBORDER = 11,
    COLOR_APPWORKSPACE = 12,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_INACTIVECAPTIONTEXT = 19,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
};

constexpr TColor systemColor(int index)
{
    return TColor(0xFF000000u | quint32(index & 0xFF));
}

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clFuchsia = 0xFF00FF; // the skin bitmaps' key colour
constexpr TColor clScrollBar = systemColor(COLOR_SCROLLBAR);
constexpr TColor clActiveCaption = systemColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = systemColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = systemColor(COLOR_MENU);
constexpr TColor clWindow = systemColor(COLOR_WINDOW);
constexpr TColor clMenuText = systemColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = systemColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = systemColor(COLOR_CAPTIONTEXT);
constexpr TColor clHighlight = systemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = systemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = systemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = systemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = systemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = systemColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = systemColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = systemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = systemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = systemColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = systemColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = systemColor(COLOR_INFOBK);

constexpr bool isSystemColor(TColor color)
{
    return color < 0;
}

// The RGB value of a system colour index, from the application palette
// (QApplication::palette()); unknown indices give black.
TColor systemColorRGB(int index);

// Resolves a system colour to its RGB value; plain colours pass unchanged
// (masked to 24 bits).
TColor colorToRGB(TColor color);

// Conversions at the edge between the toolkit's colours and Qt's.
QColor toQColor(TColor color);
TColor fromQColor(const QColor &color);

// 0x00BBGGRR from its parts, and the parts back.
constexpr TColor rgb(int r, int g, int b)
{
    return TColor((quint32(b & 0xFF) << 16) | (quint32(g & 0xFF) << 8) | quint32(r & 0xFF));
}
constexpr int redOf(TColor c)
{
    return int(quint32(c) & 0xFF);
}
constexpr int greenOf(TColor c)
{
    return int((quint32(c) >> 8) & 0xFF);
}
constexpr int blueOf(TColor c)
{
    return int((quint32(c) >> 16) & 0xFF);
}

// A QImage pixel (0xAARRGGBB) as a TColor and back (opaque).
constexpr TColor fromQRgb(QRgb rgb)
{
    return TColor(((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu));
}
constexpr QRgb toQRgb(TColor c)
{
    return 0xFF000000u | (quint32(redOf(c)) << 16) | (quint32(greenOf(c)) << 8) | quint32(blueOf(c));
}

} // namespace platform
