#include "skin/VEXTitleBar.h"

#include "platform/gui/Align.h"
#include "platform/gui/SystemMetrics.h"
#include "skin/VEXFrameAgent.h"
#include "skin/VEXPublic.h"
#include "skin/VEXUsageError.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleHints>
#include <QWindow>

#include <utility>

namespace vex {

using platform::TColor;

namespace {

QRect workAreaOf(const QWidget *host)
{
    const QScreen *screen = host->screen() ? host->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, ThemeSizeLimit, ThemeSizeLimit);
}

// Gives the host a theme's minimum width, at most as wide as the work area
// of its screen, and moves a window that this widened back into the work
// area: a window wider than the screen, or hanging off its edge, would put
// its title-bar buttons out of reach.
void setBoundedMinimumWidth(QWidget *host, int minimumWidth)
{
    const QRect work = workAreaOf(host);
    const int before = host->width();
    host->setMinimumWidth(std::clamp(minimumWidth, 0, std::max(0, work.width())));
    if (!host->isWindow() || host->width() == before)
        return;
    const QRect frame = host->frameGeometry();
    if (frame.right() > work.right())
        host->move(std::max(work.left(), work.right() + 1 - frame.width()) + (host->x() - frame.x()), host->y());
}

// Draws a button picture, leaving out the colour of its bottom-left pixel
// when transparent so that the title pieces show through.
void drawButtonPicture(QPainter &canvas, const QImage &picture, const QPoint &at, bool transparent)
{
    if (picture.isNull())
        return;
    if (!transparent) {
        canvas.drawImage(at, picture);
        return;
    }
    QImage keyed = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = keyed.pixel(0, keyed.height() - 1) & 0xFFFFFF;
    for (int y = 0; y < keyed.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == key)
                line[x] = 0;
        }
    }
    canvas.drawImage(at, keyed);
}

// Drops the last character of text, keeping surrogate pairs whole.
void chopCharacter(QString &text)
{
    const bool pair = text.size() >= 2 && text.back().isLowSurrogate() && text.at(text.size() - 2).isHighSurrogate();
    text.chop(pair ? 2 : 1);
}

} // namespace

// ---------------------------------------------------------------------------
// TvexTitleBar

TvexTitleBar::TvexTitleBar(QWidget *owner)
    : QWidget(owner), TvexStyleHolder(this, [this] { setUIStyle(TvexUIStyle::DeepBlue); })
{
    // Painted whole from a back buffer: never erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);

    m_windowMenu = new TvexTitleBarPopupMenu(this);
    m_windowMenu->setTitleBar(this);
    m_sections = new TvexTitleBarSections(this);
    m_buttons = new TvexTitleBarButtons(this);
    for (TvexTitleBarBtnType type : {vexControlBox, vexClose, vexMax, vexMin})
        m_buttons->Add()->setButtonType(type);

    if (parentWidget())
        platform::setAlign(this, platform::alTop);
    QFont caption(QStringLiteral("Tahoma"), 8);
    caption.setBold(true);
    setFont(caption);
    m_fontColor = platform::clWhite;

    setUIStyle(GetOwnerFormStyle(owner));
}

TvexTitleBar::~TvexTitleBar()
{
    markDestroying();
    delete std::exchange(m_buttons, nullptr);
    delete std::exchange(m_sections, nullptr);
    delete std::exchange(m_windowMenu, nullptr);
}

void TvexTitleBar::setFileTheme(TvexFileTheme *theme)
{
    m_fileTheme.set(theme);
    m_keepFontColor = true;
    applyStyle();
    m_keepFontColor = false;
}

void TvexTitleBar::setUIStyle(TvexUIStyle style)
{
    m_uiStyle = style;
    applyStyle();
}

void TvexTitleBar::applyStyle()
{
    if (m_custom)
        return;
    m_sections->clear();
    TvexUIStyle resolved = m_uiStyle;
    const bool themeMode = UseFileTheme(m_fileTheme, resolved);
    loadLook(themeMode);
    for (int i = 0; i < m_buttons->Count(); ++i)
        m_buttons->Items(i)->setUIStyle(resolved);
    m_windowMenu->setUIStyle(resolved);
    m_windowMenu->setFileTheme(m_fileTheme);
    if (!m_keepFontColor) {
        if (m_uiStyle == TvexUIStyle::MacOS) {
            m_fontColor = platform::clBlack;
        } else if (themeMode) {
            m_fontColor = m_fileTheme->GetColor(TitleBarFontColor);
            if (m_fontColor == -1) {
                const TColor control = m_fileTheme->GetColor(ControlFontColor);
                const bool dark =
                    control == 0x010000 || control == 0x030000 || control == 0x040000 || control == 0x050000;
                m_fontColor = dark ? platform::clBlack : platform::clWhite;
            }
        } else {
            m_fontColor = platform::clWhite;
        }
    }
    setAutoSize(true);
    update();
}

void TvexTitleBar::loadLook(bool themeMode)
{
    const TvexFileTheme *theme = m_fileTheme;
    TvexTitleBarSection *left = m_sections->Add();
    left->setPicture(ThemeImage(theme, m_uiStyle, TitleBarLeftImage));
    left->setAutoSize(true);
    TvexTitleBarSection *right = m_sections->Add();
    right->setPicture(ThemeImage(theme, m_uiStyle, TitleBarRightImage));
    right->setAutoSize(true);
    right->setAlign(vexRight);
    TvexTitleBarSection *client = m_sections->Add();
    client->setPicture(ThemeImage(theme, m_uiStyle, TitleBarClientImage));
    client->setAlign(vexClient);

    m_leftBtnXOffset = ThemeInt(theme, m_uiStyle, TitleBarButtonLeftOffsetInt);
    m_rightBtnXOffset = ThemeInt(theme, m_uiStyle, TitleBarButtonRightOffsetInt);
    m_captionBand = ThemeImage(theme, m_uiStyle, TitleBarButtonImage).height();
    m_buttonTop = ThemeInt(theme, m_uiStyle, TitleBarButtonTopInt) - (OnSkinnedFrame() ? 3 : 0);
    if (QWidget *host = HostForm())
        setBoundedMinimumWidth(host, ThemeInt(theme, m_uiStyle, FormMinWidthInt));
    m_roundCorner = ThemeInt(theme, m_uiStyle, FormRoundCornerInt);
    m_roundCornerBottom = themeMode ? m_fileTheme->GetInt(FormBottomRoundCornerInt) : 0;
}

void TvexTitleBar::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    if (m_sections->Count() == 0) {
        m_autoSize = false;
        return;
    }
    setHeight(m_sections->Items(0)->Picture().height() - (OnSkinnedFrame() ? 3 : 0));
}

void TvexTitleBar::setHeight(int height)
{
    resize(width(), std::max(0, height));
}

void TvexTitleBar::setSections(TvexTitleBarSections *sections)
{
    if (sections)
        m_sections->Assign(*sections);
}

void TvexTitleBar::setButtons(TvexTitleBarButtons *buttons)
{
    if (buttons)
        m_buttons->Assign(*buttons);
}

void TvexTitleBar::RefreshMaxButtons()
{
    for (int i = 0; i < m_buttons->Count(); ++i) {
        if (m_buttons->Items(i)->ButtonType() == vexMax)
            m_buttons->Items(i)->UpdateMaxButtonPictures();
    }
    update();
}

QImage TvexTitleBar::LeftSectionPicture() const
{
    return m_sections->Count() > 0 ? m_sections->Items(0)->Picture() : QImage();
}

QImage TvexTitleBar::RightSectionPicture() const
{
    return m_sections->Count() > 1 ? m_sections->Items(1)->Picture() : QImage();
}

QImage TvexTitleBar::ClientSectionPicture() const
{
    return m_sections->Count() > 2 ? m_sections->Items(2)->Picture() : QImage();
}

QWidget *TvexTitleBar::HostForm() const
{
    return isWindow() ? nullptr : window();
}

bool TvexTitleBar::OnSkinnedFrame() const
{
    return SkinnedFrameOf(parentWidget()) != nullptr;
}

WindowStatePolicy *TvexTitleBar::HostWindowStates()
{
    QWidget *host = HostForm();
    if (!host)
        return nullptr;
    // The frame's own policy, when it is the one for the window the bar
    // acts on; a bar without a frame keeps one of its own.
    if (auto *frame = SkinnedFrameOf(parentWidget())) {
        WindowStatePolicy *states = frame->HostWindowStates();
        if (states && states->form() == host)
            return states;
    }
    if (!m_ownStates || m_ownStates->form() != host)
        m_ownStates = std::make_unique<WindowStatePolicy>(host);
    return m_ownStates.get();
}

bool TvexTitleBar::RightToLeftLayout() const
{
    return layoutDirection() == Qt::RightToLeft && platform::middleEastEnabled();
}

int TvexTitleBar::LeftBorderWidth() const
{
    QWidget *host = HostForm();
    if (!host)
        return 0;
    TvexLeftBorderWidthQuery query;
    QCoreApplication::sendEvent(host, &query);
    return query.width;
}

TvexTitleBar::Layout TvexTitleBar::ComputeLayout(std::optional<QPoint> cursor) const
{
    Layout layout;
    const int w = width();
    const int border = LeftBorderWidth();
    const int top = m_buttonTop;
    auto hits = [&](const QRect &rect) { return cursor && InRect(*cursor, rect); };

    int x = w + m_rightBtnXOffset + border;
    int controlBox = -1;
    for (int i = 0; i < m_buttons->Count(); ++i) {
        const TvexTitleBarButton *button = m_buttons->Items(i);
        if (!button->Visible())
            continue;
        if (button->ButtonType() == vexControlBox) {
            controlBox = i;
            continue;
        }
        const QSize size = button->PicNormal().size();
        x -= size.width() + m_buttonInterval + 1;
        if (x + size.width() + 1 > w)
            x = w - size.width() - 1;
        Layout::Place place{i, QPoint(x, top), QRect(QPoint(x, top), size)};
        if (hits(place.hit))
            layout.hot = i;
        layout.buttons.append(place);
    }
    layout.buttonsLeft = x;

    int left = std::max(0, m_leftBtnXOffset - border + 1);
    if (controlBox >= 0) {
        const QSize size = m_buttons->Items(controlBox)->PicNormal().size();
        layout.controlBox.index = controlBox;
        layout.controlBox.hit = QRect(QPoint(left, top), size);
        if (hits(layout.controlBox.hit))
            layout.hot = controlBox;
        if (m_drawAppIcon) {
            layout.controlBox.at = QPoint(left + 3, top);
            left += 21;
        } else {
            // One pixel above the other buttons; the hit area is not moved.
            layout.controlBox.at = QPoint(left, top - 1);
            left += size.width() + 5;
        }
    }
    layout.captionLeft = left == 0 ? 6 : left;
    return layout;
}

QImage TvexTitleBar::Render()
{
    QImage bitmap(size(), QImage::Format_RGB32);
    bitmap.fill(Qt::black);
    if (!bitmap.isNull()) {
        DrawSections(bitmap);
        DrawButtonsAndCaption(bitmap);
    }
    return bitmap;
}

void TvexTitleBar::DrawSections(QImage &bitmap)
{
    QPainter canvas(&bitmap);
    const int w = bitmap.width();
    int x0 = 0, y0 = 0;
    if (OnSkinnedFrame()) {
        const int border = LeftBorderWidth();
        x0 = border ? -border : -3;
        y0 = -3;
    }
    // The pieces go by position: left, right, then the middle between them.
    const int count = m_sections->Count();
    int leftEnd = 0, rightStart = 0;
    if (count > 0) {
        const QImage left = m_sections->Items(0)->Picture();
        canvas.drawImage(x0, y0, left);
        leftEnd = x0 + left.width();
    }
    if (count > 1) {
        const QImage right = m_sections->Items(1)->Picture();
        rightStart = w - right.width() - x0;
        canvas.drawImage(rightStart, y0, right);
    }
    if (count > 2) {
        const QImage middle = m_sections->Items(2)->Picture();
        if (rightStart > leftEnd && !middle.isNull())
            canvas.drawImage(QRect(leftEnd, y0, rightStart - leftEnd, middle.height()), middle);
    }
}

void TvexTitleBar::DrawButtonsAndCaption(QImage &bitmap)
{
    QPainter canvas(&bitmap);
    const Layout layout = ComputeLayout(cursorInBar());
    // While a press that began on a button lasts, only that button reacts
    // to the cursor; the others keep their normal look.
    auto pictureOf = [this, hot = layout.hot](const TvexTitleBarButton *button, int index) {
        if (index != hot || (m_pressed && m_pressedButton != -1 && index != m_pressedButton))
            return button->PicNormal();
        return m_pressed ? button->PicMouseDown() : button->PicMouseOn();
    };
    for (const Layout::Place &place : layout.buttons) {
        const TvexTitleBarButton *button = m_buttons->Items(place.index);
        drawButtonPicture(canvas, pictureOf(button, place.index), place.at, button->Transparent());
    }
    if (layout.controlBox.index >= 0) {
        const TvexTitleBarButton *box = m_buttons->Items(layout.controlBox.index);
        if (m_drawAppIcon)
            canvas.drawImage(QRect(layout.controlBox.at, QSize(16, 16)), appIcon());
        else
            drawButtonPicture(canvas, pictureOf(box, layout.controlBox.index), layout.controlBox.at,
                              box->Transparent());
    }

    const QFontMetrics metrics(font());
    const QString text = shortenedCaption(layout);
    const int y = m_buttonTop + (m_captionBand - metrics.height()) / 2;
    const int x = RightToLeftLayout() ? layout.buttonsLeft - metrics.horizontalAdvance(text) - 10 : layout.captionLeft;
    canvas.setFont(font());
    canvas.setPen(platform::toQColor(m_formActive ? m_fontColor : platform::clInactiveCaption));
    canvas.drawText(QPoint(x, y + metrics.ascent()), text);
}

QString TvexTitleBar::shortenedCaption(const Layout &layout) const
{
    const QFontMetrics metrics(font());
    const int available = layout.buttonsLeft - layout.captionLeft;
    QString text = SpacedBetweenScripts(m_caption);
    if (metrics.horizontalAdvance(text) > available) {
        const QString ellipsis = QStringLiteral("...");
        while (!text.isEmpty() && metrics.horizontalAdvance(text + ellipsis) > available)
            chopCharacter(text);
        text += ellipsis;
    }
    return text;
}

QString TvexTitleBar::DrawnCaption() const
{
    return shortenedCaption(ComputeLayout());
}

QImage TvexTitleBar::appIcon() const
{
    QImage icon;
    const QIcon windowIcon = QApplication::windowIcon();
    if (!windowIcon.isNull())
        icon = windowIcon.pixmap(16, 16).toImage();
    if (icon.isNull())
        icon = LoadMainIcon(16);
    if (!icon.isNull() && icon.size() != QSize(16, 16))
        icon = icon.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return icon;
}

std::optional<QPoint> TvexTitleBar::cursorInBar() const
{
    if (!m_cursor)
        return std::nullopt;
    return mapFromGlobal(*m_cursor);
}

void TvexTitleBar::trackCursor(const QMouseEvent *event)
{
    m_cursor = event->globalPosition().toPoint();
}

bool TvexTitleBar::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Leave:
        m_cursor.reset();
        update();
        break;
    case QEvent::ParentChange:
        if (parentWidget())
            platform::setAlign(this, platform::alTop);
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TvexTitleBar::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LayoutDirectionChange)
        update();
    QWidget::changeEvent(event);
}

void TvexTitleBar::paintEvent(QPaintEvent *)
{
    if (isDestroying())
        return;
    const QImage bitmap = Render();
    QPainter(this).drawImage(0, 0, bitmap);
}

void TvexTitleBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit OnResize(this);
}

void TvexTitleBar::mousePressEvent(QMouseEvent *event)
{
    trackCursor(event);
    if (event->button() != Qt::LeftButton)
        return;
    m_dragger.end();
    m_ignoreRelease = false;
    m_pressTime = event->timestamp();
    m_pressed = true;
    m_hot = ComputeLayout(cursorInBar()).hot;
    m_pressedButton = m_hot;
    update();
    QWidget *host = HostForm();
    if (host && m_hot == -1 && !host->isMaximized())
        beginWindowDrag(event);
}

void TvexTitleBar::beginWindowDrag(const QMouseEvent *event)
{
    m_pressed = false;
    m_dragger.begin(HostForm(), event->globalPosition().toPoint());
}

void TvexTitleBar::mouseMoveEvent(QMouseEvent *event)
{
    trackCursor(event);
    if (event->buttons() & Qt::LeftButton)
        m_dragger.follow(event->globalPosition().toPoint());
    m_hot = ComputeLayout(cursorInBar()).hot;
    update();
}

void TvexTitleBar::mouseReleaseEvent(QMouseEvent *event)
{
    trackCursor(event);
    if (event->button() != Qt::LeftButton)
        return;
    // A release that ends a window drag, or follows a double click that
    // closed the window, is no click on a button.
    const bool act = !m_dragger.end() && !m_ignoreRelease;
    m_ignoreRelease = false;
    const QPointer<TvexTitleBar> self(this);
    const int pressedButton = std::exchange(m_pressedButton, -1);
    if (act) {
        m_hot = ComputeLayout(cursorInBar()).hot;
        if (m_hot != -1 && m_hot == pressedButton)
            buttonReleased(m_hot);
    }
    if (!self)
        return;
    m_pressed = false;
    update();
}

void TvexTitleBar::buttonReleased(int index)
{
    TvexTitleBarButton *button = m_buttons->Items(index);
    const TvexTitleBarBtnType type = button->ButtonType();
    if (type == vexControlBox && !button->ControlBoxMenu()) {
        const QPoint at = mapToGlobal(QPoint(0, height()));
        watchForSecondPress(m_windowMenu);
        m_windowMenu->Popup(at.x(), at.y());
        return;
    }
    if (type == vexControlBox)
        watchForSecondPress(button->ControlBoxMenu());
    const QPointer<TvexTitleBar> self(this);
    button->PerformClick();
    if (!self)
        return;
    if (type == vexCustom)
        emit OnCustomBtnsClick(this, index);
    else if (type == vexHelp)
        emit OnHelpBtnClick(this, index);
}

void TvexTitleBar::watchForSecondPress(QMenu *menu)
{
    if (m_controlBoxPopup)
        m_controlBoxPopup->removeEventFilter(this);
    m_controlBoxPopup = menu;
    if (menu)
        menu->installEventFilter(this);
}

bool TvexTitleBar::isSecondPressOnControlBox(const QMouseEvent *press) const
{
    if (press->button() != Qt::LeftButton)
        return false;
    const quint64 interval = quint64(QGuiApplication::styleHints()->mouseDoubleClickInterval());
    if (press->timestamp() < m_pressTime || press->timestamp() - m_pressTime > interval)
        return false;
    const int hot = ComputeLayout(mapFromGlobal(press->globalPosition().toPoint())).hot;
    return hot != -1 && m_buttons->Items(hot)->ButtonType() == vexControlBox;
}

bool TvexTitleBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_controlBoxPopup || isDestroying())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Hide) {
        watchForSecondPress(nullptr);
    } else if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
               && isSecondPressOnControlBox(static_cast<QMouseEvent *>(event))) {
        // The popup would take this press as a click outside it and drop
        // it; it is the second half of a double click on the control box.
        static_cast<QWidget *>(watched)->hide();
        m_ignoreRelease = true;
        if (QWidget *host = HostForm())
            host->close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TvexTitleBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    trackCursor(event);
    if (event->button() != Qt::LeftButton)
        return;
    // The press of this double click closed the window already, through the
    // menu that the first click opened.
    if (m_ignoreRelease)
        return;
    const QPointer<TvexTitleBar> self(this);
    m_hot = ComputeLayout(cursorInBar()).hot;
    if (m_hot == -1) {
        for (int i = 0; i < m_buttons->Count(); ++i) {
            TvexTitleBarButton *button = m_buttons->Items(i);
            if (button->ButtonType() == vexMax && button->Visible()) {
                button->PerformClick();
                break;
            }
        }
    } else if (m_buttons->Items(m_hot)->ButtonType() == vexControlBox) {
        if (QWidget *host = HostForm()) {
            m_windowMenu->hide();
            m_ignoreRelease = true;
            host->close();
        }
    }
    if (!self)
        return;
    // The second press of a double click starts no window drag.
    m_pressed = true;
    m_pressedButton = m_hot;
    update();
}

} // namespace vex
