#include "skin/VEXTitleBar.h"

#include "platform/Align.h"
#include "platform/SystemMetrics.h"
#include "skin/VEXPublic.h"
#include "skin/VEXUsageError.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QWindow>

#include <utility>

namespace vex {

using platform::TColor;

namespace {

constexpr int StripFrames = 18;
constexpr int RightToLeftMenuShift = 176;

// The first of a kind's three frames (normal, hover, pressed) in the strip.
int firstFrame(TvexTitleBarBtnType type)
{
    switch (type) {
    case vexControlBox: return 1;
    case vexHelp: return 4;
    case vexMax: return 7;
    case vexMin: return 13;
    case vexClose: return 16;
    case vexCustom: break;
    }
    return 0;
}

constexpr int RestoreFrame = 10;

// -- window actions on a host form

constexpr Qt::WindowStates SizeStates = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

void maximizeForm(QWidget *form)
{
    form->setWindowState((form->windowState() & ~SizeStates) | Qt::WindowMaximized);
}

// Gives a maximised window its bounds in one call to the window itself:
// QWidget's own geometry setters would take the maximised state away again.
void setMaximizedBounds(QWidget *form, const QRect &bounds)
{
    if (QWindow *window = form->windowHandle())
        window->setGeometry(bounds);
}

void restoreForm(QWidget *form)
{
    const QRect normal = form->normalGeometry();
    form->setWindowState(form->windowState() & ~SizeStates);
    // Without a window manager nothing gives the window its normal bounds
    // back, least of all after the bounds were set by hand on maximising.
    if (normal.isValid() && form->geometry() != normal)
        form->setGeometry(normal);
}

void minimizeForm(QWidget *form)
{
    // The main form and any other form alike: Qt minimises the window only.
    form->setWindowState(form->windowState() | Qt::WindowMinimized);
}

void popupMenuAt(QMenu *menu, const QPoint &at)
{
    if (auto *skinned = qobject_cast<TvexPopupMenu *>(menu))
        skinned->Popup(at.x(), at.y());
    else
        menu->popup(at);
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
// TvexTitleBarButton

const QString TvexTitleBarButton::ControlBoxTakenMessage =
    QStringLiteral("Sorry, only one button's ButtonType property can be \"vexControlBox\"");

TvexTitleBarButton::TvexTitleBarButton(TvexTitleBarButtons *collection)
    : QObject(collection), m_collection(collection)
{
    setUIStyle(TvexUIStyle::DeepBlue);
}

TvexTitleBar *TvexTitleBarButton::Bar() const
{
    return m_collection ? m_collection->Bar() : nullptr;
}

int TvexTitleBarButton::Index() const
{
    return m_collection ? m_collection->IndexOf(this) : -1;
}

void TvexTitleBarButton::setUIStyle(TvexUIStyle style)
{
    m_uiStyle = style;
    ApplyStyle();
}

void TvexTitleBarButton::setButtonType(TvexTitleBarBtnType type)
{
    if (type == vexControlBox && m_collection) {
        for (int i = 0; i < m_collection->Count(); ++i) {
            if (m_collection->Items(i)->ButtonType() == vexControlBox) {
                ReportUsageError(ControlBoxTakenMessage);
                return;
            }
        }
    }
    m_buttonType = type;
    ApplyStyle();
    changed();
}

void TvexTitleBarButton::setTransparent(bool transparent)
{
    m_transparent = transparent;
    changed();
}

void TvexTitleBarButton::setTop(int top)
{
    m_top = top;
    changed();
}

void TvexTitleBarButton::setVisible(bool visible)
{
    m_visible = visible;
    changed();
}

void TvexTitleBarButton::setPicNormal(const QImage &picture)
{
    m_picNormal = picture;
    changed();
}

void TvexTitleBarButton::setPicMouseOn(const QImage &picture)
{
    m_picMouseOn = picture;
    changed();
}

void TvexTitleBarButton::setPicMouseDown(const QImage &picture)
{
    m_picMouseDown = picture;
    changed();
}

void TvexTitleBarButton::loadFrames(int first)
{
    const TvexFileTheme *theme = Bar() ? Bar()->FileTheme() : nullptr;
    m_picNormal = ThemeImageFrame(theme, m_uiStyle, TitleBarButtonImage, first, StripFrames);
    m_picMouseOn = ThemeImageFrame(theme, m_uiStyle, TitleBarButtonImage, first + 1, StripFrames);
    m_picMouseDown = ThemeImageFrame(theme, m_uiStyle, TitleBarButtonImage, first + 2, StripFrames);
}

void TvexTitleBarButton::ApplyStyle()
{
    const TvexFileTheme *theme = Bar() ? Bar()->FileTheme() : nullptr;
    m_transparent = ThemeBool(theme, m_uiStyle, TitleBarButtonTransparentBool);
    if (m_buttonType != vexCustom) {
        loadFrames(firstFrame(m_buttonType));
        m_top = ThemeInt(theme, m_uiStyle, TitleBarButtonTopInt);
        if (m_buttonType == vexMax)
            UpdateMaxButtonPictures();
    }
    changed();
}

void TvexTitleBarButton::UpdateMaxButtonPictures()
{
    TvexTitleBar *bar = Bar();
    if (m_buttonType != vexMax || !bar || bar->Custom())
        return;
    QWidget *host = bar->HostForm();
    loadFrames(host && host->isMaximized() ? RestoreFrame : firstFrame(vexMax));
}

void TvexTitleBarButton::PerformClick()
{
    TvexTitleBar *bar = Bar();
    QWidget *host = bar ? bar->HostForm() : nullptr;
    if (!host)
        return;
    switch (m_buttonType) {
    case vexMax:
        if (host->isMaximized()) {
            restoreForm(host);
        } else {
            maximizeForm(host);
            // A skinned frame fits the maximised window itself.
            if (!bar->OnSkinnedFrame())
                setMaximizedBounds(host, GetWorkArea().adjusted(-4, -4, 4, -1));
        }
        UpdateMaxButtonPictures();
        changed();
        break;
    case vexMin:
        minimizeForm(host);
        break;
    case vexClose:
        host->close();
        break;
    case vexControlBox:
        if (m_controlBoxMenu) {
            QPoint at = bar->mapToGlobal(QPoint(bar->RightToLeftLayout() ? RightToLeftMenuShift : 0, bar->Height()));
            if (at.x() < 0)
                at.setX(0);
            popupMenuAt(m_controlBoxMenu, at);
        }
        break;
    case vexHelp:
    case vexCustom:
        break;
    }
}

void TvexTitleBarButton::Assign(const TvexTitleBarButton &source)
{
    if (&source == this)
        return;
    setVisible(source.m_visible);
    setButtonType(source.m_buttonType);
    setTransparent(source.m_transparent);
    setTop(source.m_top);
    setUIStyle(source.m_uiStyle);
    setPicNormal(source.m_picNormal);
    setPicMouseOn(source.m_picMouseOn);
    setPicMouseDown(source.m_picMouseDown);
    setControlBoxMenu(source.m_controlBoxMenu);
}

void TvexTitleBarButton::changed()
{
    if (m_collection)
        m_collection->Changed();
}

// ---------------------------------------------------------------------------
// Collections

namespace {

// Removes an item from its collection's list when something deletes it.
template <typename Collection, typename Item>
void track(Collection *collection, QList<Item *> &items, Item *item, const bool &dying)
{
    QObject::connect(item, &QObject::destroyed, collection, [collection, &items, item, &dying] {
        if (dying)
            return;
        items.removeOne(item);
        collection->Changed();
    });
}

} // namespace

TvexTitleBarButtons::TvexTitleBarButtons(TvexTitleBar *bar, QObject *parent)
    : QObject(parent ? parent : bar), m_bar(bar)
{
}

TvexTitleBarButtons::~TvexTitleBarButtons()
{
    m_dying = true;
    qDeleteAll(std::exchange(m_items, {}));
}

TvexTitleBarButton *TvexTitleBarButtons::Add()
{
    auto *button = new TvexTitleBarButton(this);
    m_items.append(button);
    track(this, m_items, button, m_dying);
    Changed();
    return button;
}

void TvexTitleBarButtons::clear()
{
    qDeleteAll(std::exchange(m_items, {}));
    Changed();
}

void TvexTitleBarButtons::Delete(int index)
{
    delete m_items.value(index);
}

int TvexTitleBarButtons::IndexOf(const TvexTitleBarButton *button) const
{
    return m_items.indexOf(const_cast<TvexTitleBarButton *>(button));
}

void TvexTitleBarButtons::Assign(const TvexTitleBarButtons &source)
{
    if (&source == this)
        return;
    clear();
    for (int i = 0; i < source.Count(); ++i)
        Add()->Assign(*source.Items(i));
}

void TvexTitleBarButtons::Changed()
{
    if (m_bar && !m_bar->isDestroying())
        m_bar->update();
}

TvexTitleBarSections::TvexTitleBarSections(TvexTitleBar *bar, QObject *parent)
    : QObject(parent ? parent : bar), m_bar(bar)
{
}

TvexTitleBarSections::~TvexTitleBarSections()
{
    m_dying = true;
    qDeleteAll(std::exchange(m_items, {}));
}

TvexTitleBarSection *TvexTitleBarSections::Add()
{
    auto *section = new TvexTitleBarSection(this);
    m_items.append(section);
    track(this, m_items, section, m_dying);
    Changed();
    return section;
}

void TvexTitleBarSections::clear()
{
    qDeleteAll(std::exchange(m_items, {}));
    Changed();
}

void TvexTitleBarSections::Delete(int index)
{
    delete m_items.value(index);
}

int TvexTitleBarSections::IndexOf(const TvexTitleBarSection *section) const
{
    return m_items.indexOf(const_cast<TvexTitleBarSection *>(section));
}

void TvexTitleBarSections::Assign(const TvexTitleBarSections &source)
{
    if (&source == this)
        return;
    clear();
    for (int i = 0; i < source.Count(); ++i)
        Add()->Assign(*source.Items(i));
}

void TvexTitleBarSections::Changed()
{
    if (m_bar && !m_bar->isDestroying())
        m_bar->update();
}

// ---------------------------------------------------------------------------
// TvexTitleBarSection

const QString TvexTitleBarSection::ClientTakenMessage =
    QStringLiteral("Sorry, only one section's Align property can be \"vexClient\"");

TvexTitleBarSection::TvexTitleBarSection(TvexTitleBarSections *collection)
    : QObject(collection), m_collection(collection)
{
}

int TvexTitleBarSection::Index() const
{
    return m_collection ? m_collection->IndexOf(this) : -1;
}

void TvexTitleBarSection::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    if (!m_picture.isNull())
        m_width = m_picture.width();
    changed();
}

void TvexTitleBarSection::setWidth(int width)
{
    m_width = width;
    changed();
}

void TvexTitleBarSection::setAlign(TvexTitleBarAlign align)
{
    if (align == vexClient) {
        if (m_collection) {
            for (int i = 0; i < m_collection->Count(); ++i) {
                if (m_collection->Items(i)->Align() == vexClient) {
                    ReportUsageError(ClientTakenMessage);
                    return;
                }
            }
        }
        m_stretch = true;
    }
    m_align = align;
    changed();
}

void TvexTitleBarSection::setPicture(const QImage &picture)
{
    m_picture = picture;
    if (!picture.isNull() && m_autoSize)
        m_width = picture.width();
    changed();
}

void TvexTitleBarSection::setStretch(bool stretch)
{
    m_stretch = stretch || m_align == vexClient;
    changed();
}

void TvexTitleBarSection::Assign(const TvexTitleBarSection &source)
{
    if (&source == this)
        return;
    setWidth(source.m_width);
    setAlign(source.m_align);
    setPicture(source.m_picture);
    setStretch(source.m_stretch);
    setAutoSize(source.m_autoSize);
}

void TvexTitleBarSection::changed()
{
    if (m_collection)
        m_collection->Changed();
}

// ---------------------------------------------------------------------------
// TvexTitleBarPopupMenu

TvexTitleBarPopupMenu::TvexTitleBarPopupMenu(QWidget *owner) : TvexPopupMenu(owner)
{
    // Qt gives menu items no access keys of its own, so the captions keep
    // exactly theirs.
    m_minimize = addAction(QStringLiteral("Mi&nimize"));
    m_maximize = addAction(QStringLiteral("Ma&ximize/Restore"));
    auto *separator = new QAction(QStringLiteral("-"), this);
    separator->setSeparator(true);
    addAction(separator);
    m_close = addAction(QStringLiteral("&Close"));
    connect(m_minimize, &QAction::triggered, this, &TvexTitleBarPopupMenu::minimizeHost);
    connect(m_maximize, &QAction::triggered, this, &TvexTitleBarPopupMenu::maximizeOrRestoreHost);
    connect(m_close, &QAction::triggered, this, &TvexTitleBarPopupMenu::closeHost);
    for (QAction *item : actions())
        AttachItemHandlers(item);
    // Whoever opens the menu, its commands follow the buttons.
    connect(this, &QMenu::aboutToShow, this, &TvexTitleBarPopupMenu::UpdateItems);
}

void TvexTitleBarPopupMenu::Popup(int x, int y)
{
    if (m_titleBar && m_titleBar->RightToLeftLayout())
        x += RightToLeftMenuShift;
    UpdateItems();
    TvexPopupMenu::Popup(x, y);
}

void TvexTitleBarPopupMenu::UpdateItems()
{
    bool minimize = false, maximize = false, close = false;
    if (m_titleBar) {
        const TvexTitleBarButtons *buttons = m_titleBar->Buttons();
        for (int i = 0; i < buttons->Count(); ++i) {
            const TvexTitleBarButton *button = buttons->Items(i);
            if (!button->Visible())
                continue;
            minimize = minimize || button->ButtonType() == vexMin;
            maximize = maximize || button->ButtonType() == vexMax;
            close = close || button->ButtonType() == vexClose;
        }
    }
    m_minimize->setEnabled(minimize);
    m_maximize->setEnabled(maximize);
    m_close->setEnabled(close);
}

void TvexTitleBarPopupMenu::minimizeHost()
{
    if (QWidget *host = m_titleBar ? m_titleBar->HostForm() : nullptr)
        minimizeForm(host);
}

void TvexTitleBarPopupMenu::maximizeOrRestoreHost()
{
    if (!m_titleBar || !m_titleBar->HostForm())
        return;
    const QPointer<TvexTitleBar> bar = m_titleBar;
    for (int i = 0; bar && i < bar->Buttons()->Count(); ++i) {
        TvexTitleBarButton *button = bar->Buttons()->Items(i);
        if (button->ButtonType() == vexMax && button->Visible())
            button->PerformClick();
    }
}

void TvexTitleBarPopupMenu::closeHost()
{
    if (QWidget *host = m_titleBar ? m_titleBar->HostForm() : nullptr)
        host->close();
}

// ---------------------------------------------------------------------------
// TvexTitleBar

TvexTitleBar::TvexTitleBar(QWidget *owner)
    : QWidget(owner), m_fileTheme(this, [this] { setUIStyle(TvexUIStyle::DeepBlue); })
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
                const bool dark = control == 0x010000 || control == 0x030000 || control == 0x040000
                                  || control == 0x050000;
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
        host->setMinimumWidth(std::max(0, ThemeInt(theme, m_uiStyle, FormMinWidthInt)));
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

void TvexTitleBar::setButtonInterval(int interval)
{
    m_buttonInterval = interval;
    update();
}

void TvexTitleBar::setCaption(const QString &caption)
{
    m_caption = caption;
    update();
}

void TvexTitleBar::setFontColor(TColor color)
{
    m_fontColor = color;
    update();
}

void TvexTitleBar::setFormActive(bool active)
{
    m_formActive = active;
    update();
}

void TvexTitleBar::setLeftBtnXOffset(int offset)
{
    m_leftBtnXOffset = offset;
    update();
}

void TvexTitleBar::setRightBtnXOffset(int offset)
{
    m_rightBtnXOffset = offset;
    update();
}

void TvexTitleBar::setDrawAppIcon(bool draw)
{
    m_drawAppIcon = draw;
    update();
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
    m_hot = layout.hot;
    auto pictureOf = [this](const TvexTitleBarButton *button, int index) {
        if (index != m_hot)
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
            drawButtonPicture(canvas, pictureOf(box, layout.controlBox.index), layout.controlBox.at, box->Transparent());
    }

    const QFontMetrics metrics(font());
    const int available = layout.buttonsLeft - layout.captionLeft;
    QString text = m_caption;
    if (metrics.horizontalAdvance(text) > available) {
        const QString ellipsis = QStringLiteral("...");
        while (!text.isEmpty() && metrics.horizontalAdvance(text + ellipsis) > available)
            chopCharacter(text);
        text += ellipsis;
    }
    m_drawnCaption = text;
    const int y = m_buttonTop + (m_captionBand - metrics.height()) / 2;
    const int x = RightToLeftLayout() ? layout.buttonsLeft - metrics.horizontalAdvance(text) - 10 : layout.captionLeft;
    canvas.setFont(font());
    canvas.setPen(platform::toQColor(m_formActive ? m_fontColor : platform::clInactiveCaption));
    canvas.drawText(QPoint(x, y + metrics.ascent()), text);
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
    m_drag = Drag::None;
    m_ignoreRelease = false;
    m_pressTime = event->timestamp();
    m_pressed = true;
    m_hot = ComputeLayout(cursorInBar()).hot;
    update();
    QWidget *host = HostForm();
    if (host && m_hot == -1 && !host->isMaximized())
        beginWindowDrag(event);
}

void TvexTitleBar::beginWindowDrag(const QMouseEvent *event)
{
    QWidget *host = HostForm();
    m_pressed = false;
    QWindow *window = host->windowHandle();
    if (window && window->startSystemMove()) {
        m_drag = Drag::System;
        return;
    }
    // The platform moves nothing (offscreen, no window manager): follow the
    // mouse ourselves until the button is released.
    m_drag = Drag::Manual;
    m_dragStart = event->globalPosition().toPoint();
    m_hostStart = host->pos();
}

void TvexTitleBar::mouseMoveEvent(QMouseEvent *event)
{
    trackCursor(event);
    if (m_drag == Drag::Manual && (event->buttons() & Qt::LeftButton)) {
        if (QWidget *host = HostForm())
            host->move(m_hostStart + event->globalPosition().toPoint() - m_dragStart);
    }
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
    const bool act = m_drag == Drag::None && !m_ignoreRelease;
    m_drag = Drag::None;
    m_ignoreRelease = false;
    const QPointer<TvexTitleBar> self(this);
    if (act) {
        m_hot = ComputeLayout(cursorInBar()).hot;
        if (m_hot != -1)
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
    update();
}

} // namespace vex
