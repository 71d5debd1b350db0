// The frame's menu bar: the bar and its buttons, and the frame operations
// that make, fill, drop and paint it and that carry its menu's shortcuts.

#include "skin/VEXFormMenuBar.h"

#include "platform/gui/SystemMetrics.h"
#include "skin/VEXForm.h"
#include "skin/VEXFormBand_p.h"
#include "skin/VEXMainMenu.h"
#include "skin/VEXPublic.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QWidgetAction>

#include <algorithm>

namespace vex {

using platform::TColor;

namespace {

constexpr TColor DisabledCaptionColor = 0x808080;
constexpr int CaptionPadding = 7;
constexpr int CaptionFlags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;

// Where the bar's colours come from: the main menu's style and theme when
// the menu is a TvexMainMenu, the frame's otherwise.
struct BarLook
{
    TvexUIStyle style = TvexUIStyle::DeepBlue; // the effective built-in style
    const TvexFileTheme *theme = nullptr;      // set when the colours come from it

    explicit BarLook(const TvexForm &frame)
    {
        style = frame.UIStyle();
        const TvexFileTheme *candidate = frame.FileTheme();
        if (const auto *menu = qobject_cast<const TvexMainMenu *>(frame.Menu())) {
            style = menu->UIStyle();
            candidate = menu->FileTheme();
        }
        if (UseFileTheme(candidate, style))
            theme = candidate;
    }

    TColor color(int element) const { return theme ? theme->GetColor(element) : GetBuiltInColor(style, element); }
    bool macOS() const { return !theme && style == TvexUIStyle::MacOS; }
};

QAction *actionWithShortcut(const QList<QAction *> &actions, const QKeySequence &pressed)
{
    for (QAction *action : actions) {
        if (!action->isEnabled() || !action->isVisible())
            continue;
        if (action->shortcuts().contains(pressed))
            return action;
        if (QMenu *sub = action->menu()) {
            if (QAction *found = actionWithShortcut(sub->actions(), pressed))
                return found;
        }
    }
    return nullptr;
}

// Hides a widget now and deletes it once the events being handled are done:
// the bar and its buttons can be dropped by a menu item that one of them
// has just run.
void discard(QWidget *widget)
{
    widget->hide();
    widget->deleteLater();
}

} // namespace

// ---------------------------------------------------------------------------
// Frame operations

void TvexForm::setMenu(QMenu *menu)
{
    if (auto *old = qobject_cast<TvexMainMenu *>(m_menu.data()))
        old->setFrame(nullptr);
    disconnect(m_menuGone);
    m_menu = menu;
    if (auto *skinned = qobject_cast<TvexMainMenu *>(menu))
        skinned->setFrame(this);
    if (!menu) {
        DropMenuBar();
        return;
    }
    m_menuGone = connect(menu, &QObject::destroyed, this, [this] {
        if (!isDestroying())
            DropMenuBar();
    });
    if (!m_menuBar)
        CreateMenuBar();
    RebuildMenuBar();
}

void TvexForm::forgetMenu()
{
    if (auto *skinned = qobject_cast<TvexMainMenu *>(m_menu.data()); skinned && skinned->Frame() == this)
        skinned->setFrame(nullptr);
}

TvexMenuBar *TvexForm::MenuBar() const
{
    return static_cast<TvexMenuBar *>(m_menuBar.data());
}

void TvexForm::setMenuBarColor(TColor color)
{
    m_menuBarColor = color;
    if (TvexMenuBar *bar = MenuBar())
        bar->setColor(color);
}

void TvexForm::setMenuBarHeight(int height)
{
    m_menuBarHeight = height;
    if (TvexMenuBar *bar = MenuBar())
        bar->setButtonHeight(height);
}

void TvexForm::CreateMenuBar()
{
    // An inert frame is a plain panel; an MDI child shows its menu in the
    // parent's bar.
    if (m_menuBar || !IsActive() || isMdiChild())
        return;
    auto *bar = new TvexMenuBar(this);
    bar->setButtonHeight(m_menuBarHeight);
    bar->setColor(m_menuBarColor);
    m_menuBar = bar;
    m_band->setRow(TvexFormBand::MenuBarRow, bar);
    bar->show();
}

void TvexForm::DropMenuBar()
{
    if (!isMdiChild() && m_menuBar)
        discard(std::exchange(m_menuBar, nullptr));
    disconnect(m_menuGone);
    m_menu = nullptr;
}

void TvexForm::RebuildMenuBar()
{
    if (isDestroying() || !m_menuBar)
        return;
    if (!m_menu) {
        DropMenuBar();
        return;
    }
    TvexMenuBar *bar = MenuBar();
    bar->setUpdatesEnabled(false);
    bar->ClearButtons();
    for (QAction *item : m_menu->actions())
        bar->AddButton(item);
    bar->setUpdatesEnabled(true);
    bar->update();
}

void TvexForm::RefreshMenuBarItems()
{
    if (isDestroying() || !m_menuBar)
        return;
    for (TvexMenuBarButton *button : MenuBar()->Buttons()) {
        if (button->Item())
            button->RefreshFromItem();
    }
}

void TvexForm::UpdateMenuBarFont()
{
    if (isDestroying() || !m_menuBar || !m_menu)
        return;
    if (auto *skinned = qobject_cast<TvexMainMenu *>(m_menu.data())) {
        QFont font = platform::menuFont();
        if (!skinned->UseSystemFont()) {
            font = QFont(skinned->FontName());
            font.setPointSize(std::max(1, skinned->FontSize()));
        }
        MenuBar()->setFont(font);
    }
    for (TvexMenuBarButton *button : MenuBar()->Buttons())
        button->updateGeometry();
    MenuBar()->update();
}

int TvexForm::HandleShortCut(const QKeyEvent *event)
{
    if (isDestroying() || !m_host || !m_menu || !event)
        return 0;
    if (!IsFormActive(m_host) || !m_host->isActiveWindow())
        return 0;
    // An open menu takes the keys itself, as the window system's menus do.
    if (QApplication::activePopupWidget())
        return 0;
    const QKeySequence pressed(QKeyCombination(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key())));
    QAction *item = actionWithShortcut(m_menu->actions(), pressed);
    if (!item)
        return 0;
    item->trigger();
    return 1;
}

QFont TvexForm::MenuBarButtonFont(const QFont &canvasFont) const
{
    const auto *skinned = qobject_cast<const TvexMainMenu *>(m_menu.data());
    if (!skinned)
        return canvasFont;
    if (skinned->UseSystemFont())
        return platform::menuFont();
    QFont font(skinned->FontName());
    font.setPointSize(std::max(1, skinned->FontSize()));
    return font;
}

void TvexForm::DrawMenuBarBackground(TvexMenuBar &bar, QPainter &canvas, const QRect &rect) const
{
    Q_UNUSED(bar);
    if (!BarLook(*this).macOS())
        return;
    const QImage picture = LoadSkinBitmap(QStringLiteral("MACOS_MENU_BAR"));
    if (!picture.isNull())
        canvas.drawImage(rect, picture);
}

void TvexForm::DrawMenuBarButton(TvexMenuBarButton &button, QPainter &canvas, const QRect &rect) const
{
    const BarLook look(*this);
    const QString caption = button.text();
    canvas.setFont(MenuBarButtonFont(canvas.font()));
    canvas.setBrush(Qt::NoBrush);

    int l = rect.left(), t = rect.top(), r = l + rect.width(), b = t + rect.height();
    const bool selected = button.IsSelected();
    if (selected || button.IsHot()) {
        if (look.macOS()) {
            QImage bitmap(rect.size(), QImage::Format_RGB32);
            QPainter face(&bitmap);
            const QImage select = LoadSkinBitmap(QStringLiteral("MACOS_MENU_SELECT"));
            if (!select.isNull())
                face.drawImage(bitmap.rect(), select);
            face.setFont(canvas.font());
            face.setPen(platform::toQColor(look.color(MenuSelectedFontColor)));
            face.drawText(QRect(0, 0, bitmap.width(), bitmap.height() + 2), CaptionFlags, caption);
            face.end();
            canvas.drawImage(rect.topLeft(), bitmap);
            return;
        }
        if (selected)
            r -= 2;
        if (r > l && b > t) {
            const QRect box(l, t, r - l, b - t);
            canvas.fillRect(box, platform::toQColor(look.color(MenuSelectedBackgroundColor)));
            const QColor border = platform::toQColor(look.color(MenuSelectedBorderColor));
            canvas.fillRect(QRect(l, t, r - l, 1), border);
            canvas.fillRect(QRect(l, b - 1, r - l, 1), border);
            canvas.fillRect(QRect(l, t, 1, b - t), border);
            canvas.fillRect(QRect(r - 1, t, 1, b - t), border);
        }
        if (selected)
            l += 2;
        t += 2;
        canvas.setPen(platform::toQColor(look.color(MenuSelectedFontColor)));
        canvas.drawText(QRect(l, t, std::max(0, r - l), std::max(0, b - t)), CaptionFlags, caption);
        return;
    }

    t += 2;
    TColor color = look.color(MenuFontColor);
    if (look.theme && look.theme->GetColor(ControlFontColor) == 0x030000)
        color = platform::clWhite;
    if (!button.isEnabled())
        color = DisabledCaptionColor;
    canvas.setPen(platform::toQColor(color));
    canvas.drawText(QRect(l, t, r - l, std::max(0, b - t)), CaptionFlags, caption);
}

// ---------------------------------------------------------------------------
// The bar

// Packs the buttons edge to edge: no frame, margins or spacing around them.
class TvexMenuBar::LayoutStyle : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        switch (metric) {
        case PM_ToolBarFrameWidth:
        case PM_ToolBarItemMargin:
        case PM_ToolBarItemSpacing:
        case PM_ToolBarHandleExtent:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

TvexMenuBar::TvexMenuBar(TvexForm *frame)
    : QToolBar(frame), m_frame(frame), m_layoutStyle(std::make_unique<LayoutStyle>())
{
    setStyle(m_layoutStyle.get());
    setMovable(false);
    setFloatable(false);
    setOrientation(Qt::Horizontal);
    setContentsMargins(0, 0, 0, 0);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    // The bar paints its whole surface itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedHeight(m_buttonHeight);
}

TvexMenuBar::~TvexMenuBar()
{
    if (m_openMenu)
        m_openMenu->removeEventFilter(this);
    // The layout style goes with the bar; the bar gives it up first.
    setStyle(nullptr);
}

void TvexMenuBar::setColor(TColor color)
{
    m_color = color;
    update();
}

void TvexMenuBar::setButtonHeight(int height)
{
    m_buttonHeight = std::max(0, height);
    for (TvexMenuBarButton *button : Buttons())
        button->setFixedHeight(m_buttonHeight);
    wrapButtons();
}

QList<TvexMenuBarButton *> TvexMenuBar::Buttons() const
{
    QList<TvexMenuBarButton *> buttons;
    for (const QPointer<TvexMenuBarButton> &button : m_buttons) {
        if (button)
            buttons.append(button);
    }
    return buttons;
}

TvexMenuBarButton *TvexMenuBar::AddButton(QAction *item)
{
    // The buttons are the bar's own children, placed by wrapButtons: the
    // tool bar's layout would hide what does not fit behind an extension.
    auto *button = new TvexMenuBarButton(item, this);
    m_buttons.append(button);
    button->RefreshFromItem();
    wrapButtons();
    return button;
}

void TvexMenuBar::ClearButtons()
{
    for (TvexMenuBarButton *button : Buttons())
        discard(button);
    m_buttons.clear();
    wrapButtons();
}

void TvexMenuBar::wrapButtons()
{
    if (m_wrapping)
        return;
    m_wrapping = true;
    const int width = this->width();
    int x = 0, y = 0;
    for (TvexMenuBarButton *button : Buttons()) {
        if (button->isHidden())
            continue;
        const int w = button->sizeHint().width();
        if (x > 0 && x + w > width) {
            x = 0;
            y += m_buttonHeight;
        }
        button->setGeometry(x, y, w, m_buttonHeight);
        x += w;
    }
    m_rows = y / std::max(1, m_buttonHeight) + 1;
    setFixedHeight(m_rows * m_buttonHeight);
    m_wrapping = false;
}

bool TvexMenuBar::event(QEvent *event)
{
    // A button's caption or font changed its size.
    if (event->type() == QEvent::LayoutRequest)
        wrapButtons();
    return QToolBar::event(event);
}

void TvexMenuBar::resizeEvent(QResizeEvent *event)
{
    QToolBar::resizeEvent(event);
    wrapButtons();
}

void TvexMenuBar::paintEvent(QPaintEvent *)
{
    QPainter canvas(this);
    canvas.fillRect(rect(), platform::toQColor(m_color));
    if (m_frame && !m_frame->isDestroying())
        m_frame->DrawMenuBarBackground(*this, canvas, rect());
}

void TvexMenuBar::dropDownOpening(TvexMenuBarButton *button, QMenu *menu)
{
    m_open = button;
    m_openMenu = menu;
    menu->installEventFilter(this);
    button->update();
}

void TvexMenuBar::dropDownClosed(TvexMenuBarButton *button, QMenu *menu)
{
    if (menu)
        menu->removeEventFilter(this);
    m_openMenu = nullptr;
    m_open = nullptr;
    // The drop-down held the mouse while it was open, so no button heard
    // the cursor leave: take the hover look from where the cursor is now.
    const QPoint cursor = QCursor::pos();
    for (TvexMenuBarButton *each : Buttons())
        each->setHot(each->isVisible() && each->isEnabled() && each->rect().contains(each->mapFromGlobal(cursor)));
    if (button)
        button->update();
}

void TvexMenuBar::switchTo(TvexMenuBarButton *button)
{
    if (!button || button == m_open || !m_openMenu)
        return;
    QPointer<TvexMenuBarButton> next(button);
    m_openMenu->hide();
    // The closed drop-down's loop unwinds first; then the next one opens.
    QMetaObject::invokeMethod(
        this,
        [next] {
            if (next && next->isVisible())
                next->Open();
        },
        Qt::QueuedConnection);
}

TvexMenuBarButton *TvexMenuBar::neighbour(TvexMenuBarButton *button, int step) const
{
    const QList<TvexMenuBarButton *> buttons = Buttons();
    const int count = int(buttons.size());
    const int start = int(buttons.indexOf(button));
    if (start < 0 || count == 0)
        return nullptr;
    for (int i = 1; i < count; ++i) {
        TvexMenuBarButton *candidate = buttons.at(((start + step * i) % count + count) % count);
        if (candidate->isVisible() && candidate->isEnabled() && candidate->Item() && candidate->Item()->menu())
            return candidate;
    }
    return nullptr;
}

TvexMenuBarButton *TvexMenuBar::buttonAt(const QPoint &global) const
{
    for (TvexMenuBarButton *button : Buttons()) {
        if (button->isVisible() && button->rect().contains(button->mapFromGlobal(global)))
            return button;
    }
    return nullptr;
}

bool TvexMenuBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_openMenu || !m_open)
        return QToolBar::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: {
        const QPoint global = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
        if (m_openMenu->geometry().contains(global))
            break;
        TvexMenuBarButton *over = buttonAt(global);
        if (over && over != m_open && over->isEnabled() && over->Item() && over->Item()->menu())
            switchTo(over);
        break;
    }
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool forward = (key->key() == Qt::Key_Right) != (layoutDirection() == Qt::RightToLeft);
        if (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right) {
            // Right opens a sub-menu of the highlighted item before it moves on.
            const QAction *active = m_openMenu->activeAction();
            if (key->key() == Qt::Key_Right && active && active->menu())
                break;
            if (TvexMenuBarButton *next = neighbour(m_open, forward ? 1 : -1)) {
                switchTo(next);
                return true;
            }
        }
        break;
    }
    default:
        break;
    }
    return QToolBar::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Buttons

TvexMenuBarButton::TvexMenuBarButton(QAction *item, TvexMenuBar *bar) : QToolButton(bar), m_item(item), m_bar(bar)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setPopupMode(QToolButton::InstantPopup);
    setFixedHeight(bar->ButtonHeight());
    connect(this, &QToolButton::clicked, this, [this] {
        // A press with a drop-down opens it; a click runs an item without one.
        if (m_item && !menu())
            m_item->trigger();
    });
}

void TvexMenuBarButton::RefreshFromItem()
{
    if (!m_item)
        return;
    const bool resized = text() != m_item->text() || isHidden() == m_item->isVisible();
    setText(m_item->text());
    setEnabled(m_item->isEnabled());
    setHidden(!m_item->isVisible());
    if (resized && m_bar)
        m_bar->wrapButtons();
    update();
}

QMenu *TvexMenuBarButton::syncDropDown()
{
    QMenu *sub = m_item ? m_item->menu() : nullptr;
    if (menu() != sub)
        setMenu(sub);
    return sub;
}

void TvexMenuBarButton::Open()
{
    if (!m_item || !isEnabled())
        return;
    QMenu *sub = syncDropDown();
    if (!sub) {
        m_item->trigger();
        return;
    }
    dropDown(sub, [this] {
        const QPointer<TvexMenuBarButton> self(this);
        setDown(true);
        showMenu();
        if (self)
            setDown(false);
    });
}

void TvexMenuBarButton::mousePressEvent(QMouseEvent *event)
{
    QMenu *sub = event->button() == Qt::LeftButton ? syncDropDown() : nullptr;
    if (!sub) {
        QToolButton::mousePressEvent(event);
        return;
    }
    dropDown(sub, [this, event] { QToolButton::mousePressEvent(event); });
}

void TvexMenuBarButton::dropDown(QMenu *sub, const std::function<void()> &show)
{
    const QPointer<TvexMenuBarButton> self(this);
    const QPointer<TvexMenuBar> bar(m_bar);
    const QPointer<QMenu> open(sub);
    if (bar)
        bar->dropDownOpening(this, sub);
    show();
    if (bar)
        bar->dropDownClosed(self, open);
}

void TvexMenuBarButton::setHot(bool hot)
{
    if (m_hot == hot)
        return;
    m_hot = hot;
    update();
}

bool TvexMenuBarButton::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Enter:
        m_hot = isEnabled();
        update();
        break;
    case QEvent::Leave:
        m_hot = false;
        update();
        break;
    case QEvent::EnabledChange:
        if (!isEnabled())
            m_hot = false;
        break;
    case QEvent::Shortcut:
        // The caption's access key (Alt and the underlined letter).
        Open();
        return true;
    default:
        break;
    }
    return QToolButton::event(event);
}

QSize TvexMenuBarButton::sizeHint() const
{
    const TvexForm *frame = m_bar ? m_bar->Frame() : nullptr;
    const QFont captionFont = frame ? frame->MenuBarButtonFont(font()) : font();
    const int width = QFontMetrics(captionFont).horizontalAdvance(WithoutAccessMarks(text())) + 2 * CaptionPadding;
    return QSize(width, m_bar ? m_bar->ButtonHeight() : height());
}

void TvexMenuBarButton::paintEvent(QPaintEvent *)
{
    QPainter canvas(this);
    canvas.setFont(font());
    const TvexForm *frame = m_bar ? m_bar->Frame() : nullptr;
    if (frame && !frame->isDestroying()) {
        frame->DrawMenuBarButton(*this, canvas, rect());
        return;
    }
    canvas.drawText(rect(), CaptionFlags, text());
}

} // namespace vex
