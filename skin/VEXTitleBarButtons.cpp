// The title bar's buttons and title pieces, and their two collections.

#include "skin/VEXTitleBar.h"

#include "skin/VEXFrameAgent.h"
#include "skin/VEXPublic.h"
#include "skin/VEXUsageError.h"

namespace vex {

namespace {

constexpr int StripFrames = 18;

// The first of a kind's three frames (normal, hover, pressed) in the strip.
int firstFrame(TvexTitleBarBtnType type)
{
    switch (type) {
    case vexControlBox:
        return 1;
    case vexHelp:
        return 4;
    case vexMax:
        return 7;
    case vexMin:
        return 13;
    case vexClose:
        return 16;
    case vexCustom:
        break;
    }
    return 0;
}

constexpr int RestoreFrame = 10;

void popupMenuAt(QMenu *menu, const QPoint &at)
{
    if (auto *skinned = qobject_cast<TvexPopupMenu *>(menu))
        skinned->Popup(at.x(), at.y());
    else
        menu->popup(at);
}

} // namespace

// ---------------------------------------------------------------------------
// TvexTitleBarButton

const QString TvexTitleBarButton::ControlBoxTakenMessage =
    QStringLiteral("Sorry, only one button's ButtonType property can be \"vexControlBox\"");

TvexTitleBarButton::TvexTitleBarButton(TvexTitleBarButtons *collection) : QObject(collection), m_collection(collection)
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
        if (host->isMaximized())
            bar->HostWindowStates()->restore();
        else
            bar->HostWindowStates()->maximize();
        UpdateMaxButtonPictures();
        changed();
        break;
    case vexMin:
        bar->HostWindowStates()->minimize();
        break;
    case vexClose:
        host->close();
        break;
    case vexControlBox:
        if (m_controlBoxMenu) {
            QPoint at = bar->mapToGlobal(
                QPoint(bar->RightToLeftLayout() ? TvexTitleBarPopupMenu::RightToLeftShift : 0, bar->Height()));
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

void RepaintTitleBar(TvexTitleBar *bar)
{
    if (bar && !bar->isDestroying())
        bar->update();
}

TvexTitleBarItemList::TvexTitleBarItemList(TvexTitleBar *bar, QObject *parent) : QObject(parent ? parent : bar) {}

// ---------------------------------------------------------------------------
// TvexTitleBarSection

const QString TvexTitleBarSection::ClientTakenMessage =
    QStringLiteral("Sorry, only one section's Align property can be \"vexClient\"");

TvexTitleBarSection::TvexTitleBarSection(TvexTitleBarSections *collection)
    : QObject(collection), m_collection(collection)
{}

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

} // namespace vex
