#include "skin/VEXMenu.h"

#include "platform/gui/SystemMetrics.h"
#include "skin/VEXPublic.h"

#include <QAction>
#include <QActionEvent>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>

#include <algorithm>

namespace vex {

using platform::TColor;

namespace {

constexpr TColor DisabledTextColor = 0x808080;

// Rectangles here are (left, top, right, bottom) with right and bottom
// exclusive, the way the item layout is specified.
void fillEdges(QPainter &canvas, int left, int top, int right, int bottom, TColor color)
{
    if (right > left && bottom > top)
        canvas.fillRect(QRect(left, top, right - left, bottom - top), platform::toQColor(color));
}

// A 1-pixel outline along the inside of (left, top, right, bottom).
void frameEdges(QPainter &canvas, int left, int top, int right, int bottom, TColor color)
{
    if (right <= left || bottom <= top)
        return;
    fillEdges(canvas, left, top, right, top + 1, color);
    fillEdges(canvas, left, bottom - 1, right, bottom, color);
    fillEdges(canvas, left, top, left + 1, bottom, color);
    fillEdges(canvas, right - 1, top, right, bottom, color);
}

// Stretches the top rows of a skin bitmap over target.
void stretchTopRows(QPainter &canvas, const char *bitmap, int rows, const QRect &target)
{
    const QImage image = LoadSkinBitmap(QLatin1String(bitmap));
    if (image.isNull())
        return;
    canvas.drawImage(target, image, QRect(0, 0, image.width(), std::min(rows, image.height())));
}

// The arrow of an item that opens a sub-menu: a solid triangle 4 pixels wide
// and 7 high, centred on the item's height, its tip towards the trailing side
// 9 pixels in from that edge.
void drawSubMenuArrow(QPainter &canvas, const QRect &rect, bool rightToLeft, TColor color)
{
    const int l = rect.left(), r = l + rect.width();
    const int middle = rect.top() + rect.height() / 2;
    for (int i = 0; i < 4; ++i) {
        const int halfHeight = 3 - i; // the base column is 7 high, the tip 1
        const int x = rightToLeft ? l + 11 - i : r - 12 + i;
        fillEdges(canvas, x, middle - halfHeight, x + 1, middle + halfHeight + 1, color);
    }
}

QPixmap keyedPixmap(const QImage &image, const QColor &key)
{
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(pixmap.createMaskFromColor(key));
    return pixmap;
}

// Keeps the program-wide check mark alive exactly as long as the application.
class CheckMarkHolder : public QObject
{
public:
    explicit CheckMarkHolder(QObject *app)
        : QObject(app), mark(keyedPixmap(LoadSkinBitmap(QStringLiteral("MENU_CHECKED")), Qt::white))
    {}
    const QPixmap mark;
};

} // namespace

// The QProxyStyle that QMenu windows of a look use. It also watches those
// menus so that items added to them later are attached as well.
class TvexMenuItemStyle : public QProxyStyle
{
public:
    explicit TvexMenuItemStyle(const TvexMenuLook *look) : m_look(look) {}

    void watch(QMenu *menu)
    {
        if (!m_watched.contains(menu)) {
            m_watched.append(menu);
            menu->installEventFilter(this);
        }
    }

    // QMenu keeps the item rectangles it measured until its style changes;
    // a new look changes what this style answers, so tell every menu.
    void remeasure()
    {
        for (const QPointer<QObject> &menu : std::as_const(m_watched)) {
            if (!menu)
                continue;
            QEvent changed(QEvent::StyleChange);
            QCoreApplication::sendEvent(menu, &changed);
        }
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget) const override
    {
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (type != CT_MenuItem || !item)
            return QProxyStyle::sizeFromContents(type, option, size, widget);
        const bool separator =
            item->menuItemType == QStyleOptionMenuItem::Separator || item->text == QLatin1String("-");
        // Every item of a menu window is as wide as the widest one, so the
        // width is taken over the whole menu.
        int width = 0;
        if (const auto *menu = qobject_cast<const QMenu *>(widget)) {
            const QFontMetrics canvasFont = menu->fontMetrics();
            for (const QAction *action : menu->actions()) {
                if (action->isVisible())
                    width =
                        std::max(width, m_look->MeasureMenuItem(TvexMenuItem::of(action, menu), canvasFont).width());
            }
        } else {
            TvexMenuItem one;
            one.caption = item->text.section(QLatin1Char('\t'), 0, 0);
            one.shortcut = item->text.section(QLatin1Char('\t'), 1);
            width = m_look->MeasureMenuItem(one, item->fontMetrics).width();
        }
        TvexMenuItem kind;
        kind.separator = separator;
        return QSize(width, m_look->MeasureMenuItem(kind, item->fontMetrics).height());
    }

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        const auto *option_item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element != CE_MenuItem || !option_item) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        const auto *menu = qobject_cast<const QMenu *>(widget);
        const QAction *action = menu ? menu->actionAt(option->rect.center()) : nullptr;
        TvexMenuItem item;
        if (action) {
            item = TvexMenuItem::of(action, menu);
        } else {
            item.caption = option_item->text.section(QLatin1Char('\t'), 0, 0);
            item.shortcut = option_item->text.section(QLatin1Char('\t'), 1);
            item.separator = option_item->menuItemType == QStyleOptionMenuItem::Separator;
            item.checked = option_item->checked;
            item.isDefault = option_item->menuItemType == QStyleOptionMenuItem::DefaultItem;
            item.hasSubMenu = option_item->menuItemType == QStyleOptionMenuItem::SubMenu;
        }
        item.enabled = option->state & State_Enabled;
        const bool highlighted = option->state & State_Selected;
        const bool rightToLeft = option->direction == Qt::RightToLeft && platform::middleEastEnabled();
        m_look->DrawMenuItem(item, *painter, option->rect, highlighted, rightToLeft);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_FrameMenu && m_look->FlatMenu())
            m_look->DrawFlatBorder(*painter, option->rect);
        else
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        switch (metric) {
        case PM_MenuPanelWidth:
            return 3; // the popup window's own border, which the flat border paints over
        case PM_MenuHMargin:
        case PM_MenuVMargin:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        // Disabled items take the highlight like any other when the user
        // moves onto them; they are drawn without it.
        if (hint == SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ActionAdded && m_watched.contains(watched))
            m_look->AttachItemHandlers(static_cast<QActionEvent *>(event)->action());
        return QProxyStyle::eventFilter(watched, event);
    }

private:
    const TvexMenuLook *m_look;
    QList<QPointer<QObject>> m_watched;
};

TvexMenuItem TvexMenuItem::of(const QAction *action, const QMenu *menu)
{
    TvexMenuItem item;
    item.caption = action->text();
    item.separator = action->isSeparator() || item.caption == QLatin1String("-");
    item.shortcut = action->shortcut().toString(QKeySequence::NativeText);
    item.enabled = action->isEnabled();
    item.checked = action->isChecked();
    item.isDefault = menu && menu->defaultAction() == action;
    item.hasSubMenu = action->menu() != nullptr;
    const QVariant index = action->property(ImageIndexProperty);
    item.imageIndex = index.isValid() ? index.toInt() : -1;
    return item;
}

const QPixmap &SharedCheckMark()
{
    static QPointer<CheckMarkHolder> holder;
    static const QPixmap none;
    if (!holder && QCoreApplication::instance())
        holder = new CheckMarkHolder(QCoreApplication::instance());
    return holder ? holder->mark : none;
}

QPixmap GreyedImage(const QPixmap &picture)
{
    // Dark pixels become the shadow colour over a white highlight one pixel
    // down and to the right; light pixels drop out.
    const QImage source = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    QImage out(source.size(), QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    auto dark = [&](int x, int y) {
        const QRgb p = source.pixel(x, y);
        return qAlpha(p) > 0 && qGray(p) < 0xC0;
    };
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            if (dark(x, y))
                out.setPixel(x, y, qRgb(0x80, 0x80, 0x80));
            else if (x > 0 && y > 0 && dark(x - 1, y - 1))
                out.setPixel(x, y, qRgb(0xFF, 0xFF, 0xFF));
        }
    }
    return QPixmap::fromImage(out);
}

TvexMenuLook::TvexMenuLook(QObject *holder)
    : TvexStyleHolder(holder, [this] { ApplyStyle(TvexUIStyle::DeepBlue); }),
      m_itemStyle(std::make_unique<TvexMenuItemStyle>(this))
{}

TvexMenuLook::~TvexMenuLook() = default;

void TvexMenuLook::ApplyStyle(TvexUIStyle style)
{
    m_uiStyle = style;
    m_barWidth = 26;
    if (style == TvexUIStyle::MacOS) {
        m_menuItemHeight = 20;
        m_separatorHeight = 12;
        m_separatorColor = 0;
    } else {
        m_menuItemHeight = 21;
        m_separatorHeight = 5;
        m_separatorColor = 0x848284;
    }
    const TvexFileTheme *theme = m_fileTheme;
    m_barColor = ThemeColor(theme, style, MenuBarColor);
    m_color = ThemeColor(theme, style, MenuBackgroundColor);
    m_fontColor = ThemeColor(theme, style, MenuFontColor);
    m_selectedBorderColor = ThemeColor(theme, style, MenuSelectedBorderColor);
    m_selectedColor = ThemeColor(theme, style, MenuSelectedBackgroundColor);
    m_selectedFontColor = ThemeColor(theme, style, MenuSelectedFontColor);
    m_itemStyle->remeasure();
}

void TvexMenuLook::setFileTheme(TvexFileTheme *theme)
{
    m_fileTheme.set(theme);
    ApplyStyle(m_uiStyle);
}

void TvexMenuLook::setMenuItemHeight(int height)
{
    if (m_uiStyle != TvexUIStyle::MacOS && height != m_menuItemHeight) {
        m_menuItemHeight = height;
        m_itemStyle->remeasure();
    }
}

void TvexMenuLook::setSeparatorHeight(int height)
{
    if (m_uiStyle != TvexUIStyle::MacOS && height != m_separatorHeight) {
        m_separatorHeight = height;
        m_itemStyle->remeasure();
    }
}

QPixmap TvexMenuLook::checkMark() const
{
    return m_checkMark.isNull() ? SharedCheckMark() : m_checkMark;
}

QColor TvexMenuLook::markBackground(bool highlighted) const
{
    if (m_uiStyle == TvexUIStyle::MacOS) {
        // The middle row of the picture stretched behind the item.
        const QImage picture = LoadSkinBitmap(QLatin1String(highlighted ? "MACOS_MENU_SELECT" : "MACOS_MENU_BAR"));
        return picture.isNull() ? QColor(Qt::white) : QColor(picture.pixel(0, std::min(10, picture.height() - 1)));
    }
    if (highlighted)
        return platform::toQColor(m_selectedColor);
    // The mark spans columns 4 to 20 of the item: on the strip when it is
    // that wide.
    return platform::toQColor(m_barWidth >= 20 ? m_barColor : m_color);
}

QPixmap TvexMenuLook::checkMarkOn(const QColor &background) const
{
    // The mark is drawn dark, or light where light stands out more from
    // what lies behind it (a dark strip, a deep highlight).
    const QPixmap mark = checkMark();
    if (mark.isNull() || ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background))
        return mark;
    QPixmap light(mark.size());
    light.fill(Qt::transparent);
    QPainter painter(&light);
    painter.drawPixmap(0, 0, mark);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(light.rect(), Qt::white);
    return light;
}

QFont TvexMenuLook::itemFont() const
{
    if (m_useSystemFont)
        return platform::menuFont();
    QFont font(m_fontName);
    font.setPointSize(std::max(1, m_fontSize));
    return font;
}

QSize TvexMenuLook::MeasureMenuItem(const TvexMenuItem &item, const QFontMetrics &canvasFont) const
{
    const int height = item.separator ? m_separatorHeight : m_menuItemHeight;
    const int width =
        canvasFont.horizontalAdvance(item.caption) + canvasFont.horizontalAdvance(item.shortcut) + m_barWidth + 40;
    return QSize(width, height);
}

void TvexMenuLook::fillBackground(QPainter &canvas, const QRect &rect, bool rightToLeft) const
{
    const int l = rect.left(), t = rect.top(), r = l + rect.width(), b = t + rect.height();
    const int bar = std::max(0, m_barWidth);
    if (rightToLeft) {
        if (bar > 0)
            fillEdges(canvas, r - bar, t, r, b, m_barColor);
        fillEdges(canvas, l, t, r - bar, b, m_color);
    } else {
        if (bar > 0)
            fillEdges(canvas, l, t, l + bar, b, m_barColor);
        fillEdges(canvas, l + bar, t, r, b, m_color);
    }
}

void TvexMenuLook::DrawMenuItem(const TvexMenuItem &item, QPainter &canvas, const QRect &rect, bool highlighted,
                                bool rightToLeft) const
{
    const int l = rect.left(), t = rect.top(), r = l + rect.width(), b = t + rect.height();
    const bool macOS = m_uiStyle == TvexUIStyle::MacOS;
    canvas.save();

    if (item.separator) {
        if (macOS) {
            stretchTopRows(canvas, "MACOS_MENU_BAR", 12, rect);
        } else {
            fillBackground(canvas, rect, rightToLeft);
            if (rightToLeft)
                fillEdges(canvas, l + 2, t + 2, r - m_barWidth - 4, t + 3, m_separatorColor);
            else
                fillEdges(canvas, l + m_barWidth + 4, t + 2, r - 2, t + 3, m_separatorColor);
        }
        canvas.restore();
        return;
    }

    if (highlighted && item.enabled) {
        if (macOS) {
            stretchTopRows(canvas, "MACOS_MENU_SELECT", 20, rect);
        } else {
            fillEdges(canvas, l, t, r, b, m_selectedColor);
            frameEdges(canvas, l, t, r, b, m_selectedBorderColor);
        }
    } else if (macOS) {
        stretchTopRows(canvas, "MACOS_MENU_BAR", 20, rect);
    } else {
        fillBackground(canvas, rect, rightToLeft);
    }

    QFont font = itemFont();
    if (item.isDefault)
        font.setBold(true);
    canvas.setFont(font);
    const TColor textColor = !item.enabled ? DisabledTextColor : highlighted ? m_selectedFontColor : m_fontColor;
    canvas.setPen(platform::toQColor(textColor));
    const int textFlags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic;
    if (rightToLeft)
        canvas.drawText(QRect(l, t + 4, r - m_barWidth - 4 - l, b - t - 4), Qt::AlignRight | textFlags, item.caption);
    else
        canvas.drawText(QRect(l + m_barWidth + 4, t + 4, r - (l + m_barWidth + 4), b - t - 4),
                        Qt::AlignLeft | textFlags, item.caption);

    if (!item.shortcut.isEmpty()) {
        const QFontMetrics metrics(font);
        const int x = rightToLeft ? l + 16 : r - metrics.horizontalAdvance(item.shortcut) - 16;
        canvas.drawText(QPoint(x, t + 4 + metrics.ascent()), item.shortcut);
    }
    if (item.hasSubMenu)
        drawSubMenuArrow(canvas, rect, rightToLeft, textColor);

    const int x = rightToLeft ? r - 20 : l + 4;
    const int y = t + 3;
    const bool hasImage = item.imageIndex >= 0 && item.imageIndex < m_images.size();
    if (item.checked) {
        if (hasImage) {
            frameEdges(canvas, x - 2, t + 1, x + 17, t + 20, platform::clBlack);
            fillEdges(canvas, x - 1, t + 2, x + 16, t + 19, m_selectedColor);
        } else {
            const QPixmap mark = checkMarkOn(markBackground(highlighted && item.enabled));
            canvas.drawPixmap(x, y, item.enabled ? mark : GreyedImage(mark));
        }
    }
    if (hasImage) {
        const QPixmap &image = m_images.at(item.imageIndex);
        canvas.drawPixmap(x, y, item.enabled ? image : GreyedImage(image));
    }
    canvas.restore();
}

void TvexMenuLook::DrawFlatBorder(QPainter &canvas, const QRect &window) const
{
    const int l = window.left(), t = window.top(), r = l + window.width(), b = t + window.height();
    const TColor border = ThemeColor(m_fileTheme, m_uiStyle, FormBackgroundColor);
    frameEdges(canvas, l, t + 1, r - 1, b - 1, platform::clBlack);
    frameEdges(canvas, l + 1, t + 2, r - 2, b - 2, platform::clWhite);
    // The pen's path: along the bottom row, up the right column, along the
    // top row back to the left, each segment without its end point.
    fillEdges(canvas, l, b - 1, r - 1, b, border);
    fillEdges(canvas, r - 1, t, r, b, border);
    fillEdges(canvas, l + 1, t, r, t + 1, border);
}

QStyle *TvexMenuLook::itemStyle() const
{
    return m_itemStyle.get();
}

void TvexMenuLook::AttachItemHandlers(QAction *item) const
{
    if (!item)
        return;
    if (!item->isSeparator() && item->text() == QLatin1String("-"))
        item->setSeparator(true);
    // The drawing places the shortcut text itself; a column that QMenu
    // reserved for it would widen the menu beyond the measured items.
    item->setShortcutVisibleInContextMenu(false);
    if (QMenu *sub = item->menu()) {
        UseFor(sub);
        for (QAction *action : sub->actions())
            AttachItemHandlers(action);
    }
}

void TvexMenuLook::UseFor(QMenu *menu) const
{
    if (!menu)
        return;
    menu->setStyle(m_itemStyle.get());
    // Every separator item is drawn, wherever it stands.
    menu->setSeparatorsCollapsible(false);
    m_itemStyle->watch(menu);
}

} // namespace vex
