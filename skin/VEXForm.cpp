#include "skin/VEXForm.h"

#include "platform/gui/Align.h"
#include "platform/gui/MainForm.h"
#include "platform/gui/WindowEvents.h"
#include "skin/VEXFormBand_p.h"
#include "skin/VEXImagePanel.h"
#include "skin/VEXMainMenu.h"
#include "skin/VEXPublic.h"
#include "skin/VEXUsageError.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFrame>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QWindowStateChangeEvent>

#include <algorithm>

namespace vex {

using platform::TColor;

namespace {

const QString FormPanelIsFrameMessage = QStringLiteral("Sorry, you can't select the Form assign to FormPanel property");

// A form for the frame: a top-level widget, or a sub-window of an MDI area
// (which stands in for an MDI child form).
bool isHostForm(const QWidget *widget)
{
    return widget && (widget->isWindow() || qobject_cast<const QMdiSubWindow *>(widget));
}

bool holdsOtherFrame(const QWidget *host, const QObject *self)
{
    for (QObject *child : host->children()) {
        if (child != self && qobject_cast<TvexForm *>(child))
            return true;
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction and removal

TvexForm::TvexForm(QWidget *owner) : QWidget(owner), TvexStyleHolder(this, [this] { fileThemeRemoved(); })
{
    // The background is painted whole from a back buffer: never erased.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QWidget *host = parentWidget();
    if (isHostForm(host) && !holdsOtherFrame(host, this)) {
        takeOver(host);
    } else {
        m_spareButtons = new TvexTitleBarButtons(nullptr, this);
        m_spareSections = new TvexTitleBarSections(nullptr, this);
    }
}

void TvexForm::takeOver(QWidget *host)
{
    m_host = host;
    host->setMinimumSize(125, 50);
    setMinimumSize(125, 50);

    m_band = new TvexFormBand(this);
    m_titleBar = new TvexTitleBar(this);
    m_band->setRow(TvexFormBand::TitleBarRow, m_titleBar);
    connect(m_titleBar, &TvexTitleBar::OnCustomBtnsClick, this, &TvexForm::OnTitleBarCustomBtnsClick);
    connect(m_titleBar, &TvexTitleBar::OnHelpBtnClick, this, &TvexForm::OnTitleBarHelpBtnClick);

    m_menuBarColor = m_color;
    m_menuBarHeight = 22;
    setUIStyle(TvexUIStyle::DeepBlue);
    m_autoUpdateSub = false;
    platform::setAlign(this, platform::alClient);
    setCaption(host->windowTitle());
    setTitleBarVisible(true);

    if (auto *child = qobject_cast<QMdiSubWindow *>(host)) {
        if (QMdiArea *area = child->mdiArea()) {
            connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *active) {
                if (m_titleBar && !isDestroying())
                    m_titleBar->setFormActive(active == m_host);
            });
        }
    }
    m_agent = std::make_unique<FrameAgent>(host, this, static_cast<FrameDelegate *>(this));
}

TvexForm::~TvexForm()
{
    markDestroying();
    delete std::exchange(m_titleBar, nullptr);
    m_sideBorder = QImage();
    release();
}

void TvexForm::release()
{
    markDestroying();
    forgetMenu();
    m_host = nullptr;
    m_agent.reset();
}

bool TvexForm::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange && m_host && parentWidget() != m_host) {
        // Taken off its host: the host gets its own frame back.
        const QPointer<QWidget> host = m_host;
        release();
        if (host)
            platform::realign(host);
    }
    return QWidget::event(event);
}

// ---------------------------------------------------------------------------
// The hook on the host

bool TvexForm::frameHostEvent(QEvent *event)
{
    // While the frame goes away the host keeps its own handling.
    if (isDestroying() || !m_host)
        return false;
    switch (int(event->type())) {
    case TvexLeftBorderWidthQuery::EventType:
        static_cast<TvexLeftBorderWidthQuery *>(event)->width = LeftBorderWidth();
        event->accept();
        return true;
    case QEvent::Show:
        // The frame's menu bar shows the menu; the host's own stays hidden.
        if (auto *window = qobject_cast<QMainWindow *>(m_host.data())) {
            if (QWidget *bar = window->menuWidget())
                bar->hide();
        }
        // A window shown maximised gets no size change to fit it by; its
        // window takes the widget's bounds once it is shown.
        if (m_host->isMaximized() && !isMdiChild()) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (IsActive() && m_host->isMaximized())
                        hostSizeChanged();
                },
                Qt::QueuedConnection);
        }
        break;
    case QEvent::WindowActivate:
        if (m_titleBar)
            m_titleBar->setFormActive(true);
        break;
    case QEvent::WindowDeactivate:
        if (m_titleBar)
            m_titleBar->setFormActive(false);
        break;
    case QEvent::ParentChange:
    case QEvent::WinIdChange:
        // Seen while the host's window is being made anew: look again once
        // that is over.
        QMetaObject::invokeMethod(this, &TvexForm::keepCaptionBitsCleared, Qt::QueuedConnection);
        break;
    case QEvent::ContentsRectChange:
        // An MDI sub-window lays out its own margins; the band wins.
        if (m_host->contentsMargins() != NonClientMargins())
            frameChanged();
        break;
    case QEvent::Resize:
        hostSizeChanged();
        break;
    case QEvent::WindowStateChange:
        if (!m_agent || m_agent->states().isFitting()) // the state put back after fitting
            break;
        m_agent->states().stateChanged(static_cast<QWindowStateChangeEvent *>(event)->oldState());
        frameSizeChanged();
        break;
    default:
        break;
    }
    return false;
}

void TvexForm::paintFrameBand(QPainter &canvas) const
{
    if (!isDestroying())
        PaintFrame(canvas);
}

void TvexForm::frameWindowMenuRequested()
{
    if (isDestroying() || !m_titleBar)
        return;
    const QPoint at = SystemMenuPoint();
    m_titleBar->SystemMenu()->Popup(at.x(), at.y());
}

WindowStatePolicy *TvexForm::HostWindowStates() const
{
    return m_agent && IsActive() ? &m_agent->states() : nullptr;
}

void TvexForm::frameChanged()
{
    if (m_agent)
        m_agent->updateMargins();
}

QMargins TvexForm::NonClientMargins() const
{
    const int sw = LeftBorderWidth();
    const int side = sw > 0 ? sw + 1 : 3;
    return QMargins(side, 3, side, 1 + m_bottomBorderHeight);
}

void TvexForm::keepCaptionBitsCleared()
{
    if (!IsActive() || !m_agent || m_host->windowFlags() & Qt::FramelessWindowHint)
        return;
    m_agent->window().setFlags(m_host->windowFlags() | Qt::FramelessWindowHint);
    platform::notifyFrameChanged(m_host);
}

void TvexForm::hostSizeChanged()
{
    if (!m_agent || m_agent->states().isFitting())
        return;
    m_agent->states().sizeChanged();
    frameSizeChanged();
}

void TvexForm::frameSizeChanged()
{
    PaintFrame();
    if (m_titleBar)
        m_titleBar->RefreshMaxButtons();
    if (isMdiChild())
        mdiSizeChanged();
    UpdateRegion();
}

void TvexForm::mdiSizeChanged()
{
    // A maximised child fills the MDI area, which shows no captions of its
    // children: the bar goes while it is maximised.
    if (m_host->isMaximized()) {
        setTitleBarVisible(false);
    } else {
        setTitleBarVisible(true);
        if (m_titleBar)
            m_titleBar->RefreshMaxButtons();
    }
}

bool TvexForm::hostMinimized() const
{
    return m_host && m_host->isMinimized();
}

bool TvexForm::isMdiChild() const
{
    return qobject_cast<QMdiSubWindow *>(m_host.data()) != nullptr;
}

QPoint TvexForm::SystemMenuPoint() const
{
    QWidget *main = platform::mainForm();
    if (!main)
        main = m_host;
    if (!main)
        return {};
    const QPoint topLeft = main->isWindow() ? main->pos() : main->mapToGlobal(QPoint(0, 0));
    return topLeft + QPoint(0, m_titleBar ? m_titleBar->height() : 0);
}

// ---------------------------------------------------------------------------
// Style

void TvexForm::setUIStyle(TvexUIStyle style)
{
    const QRect hostBounds = m_host ? m_host->geometry() : QRect();
    m_uiStyle = style;
    TvexUIStyle effective = style;
    if (UseFileTheme(m_fileTheme, effective)) {
        const TvexFileTheme *theme = m_fileTheme;
        setBorderColor(theme->GetColor(FormBorderColor));
        setBorderWidth(theme->GetInt(FormBorderWidthInt));
        setColor(theme->GetColor(FormBackgroundColor));
        if (m_menuBar) {
            TColor bar = theme->GetColor(MenuMenuBarColor);
            if (bar == -1) {
                const TColor font = theme->GetColor(ControlFontColor);
                bar = font == 0x020000 ? 0xAC5B3B : font == 0x030000 ? 0x996733 : m_color;
            }
            setMenuBarColor(bar);
        }
        setRoundCorner(theme->GetInt(FormRoundCornerInt));
        setRoundCornerBottom(theme->GetInt(FormBottomRoundCornerInt));
        QImage left;
        theme->GetImage(FormLeftBorderImage, &left);
        m_sideBorder = QImage();
        if (left.width() > 0 && left.height() > 0) {
            m_sideBorder = left.copy();
            Rotate180(m_sideBorder);
        }
        QImage bottom;
        theme->GetImage(FormBottomBorderImage, &bottom);
        m_bottomBorderHeight = bottom.height();
    } else {
        setBorderColor(GetBuiltInColor(effective, FormBorderColor));
        setBorderWidth(GetBuiltInInteger(effective, FormBorderWidthInt));
        setColor(GetBuiltInColor(effective, FormBackgroundColor));
        setRoundCorner(GetBuiltInInteger(effective, FormRoundCornerInt));
        setMenuBarColor(m_color);
        setRoundCornerBottom(0);
        m_bottomBorderHeight = 0;
        m_sideBorder = QImage();
    }

    if (m_titleBar) {
        m_titleBar->setFileTheme(m_fileTheme);
        m_titleBar->setUIStyle(m_uiStyle);
    }
    if (qobject_cast<TvexMainMenu *>(m_menu.data())) {
        m_menu->setProperty("UIStyle", QVariant::fromValue(m_uiStyle));
        m_menu->setProperty("FileTheme", QVariant::fromValue(m_fileTheme.get()));
    }
    if (m_autoUpdateSub)
        ApplyThemeToChildren(this, m_uiStyle, m_fileTheme);
    if (IsActive() && isMdiChild())
        m_host->setGeometry(hostBounds);

    if (IsActive())
        platform::notifyFrameChanged(m_host);
    update();
    PaintFrame();
}

void TvexForm::setFileTheme(TvexFileTheme *theme)
{
    if (m_fileTheme.set(theme))
        setUIStyle(m_uiStyle);
}

void TvexForm::fileThemeRemoved()
{
    // The link has dropped the theme already.
    ApplyThemeToChildren(this, TvexUIStyle::DeepBlue, nullptr);
    setUIStyle(TvexUIStyle::DeepBlue);
}

// ---------------------------------------------------------------------------
// Properties

bool TvexForm::TitleBarCustom() const
{
    return m_titleBar && m_titleBar->Custom();
}

void TvexForm::setBorderColor(TColor color)
{
    m_borderColor = color;
    PaintFrame();
}

void TvexForm::setBorderWidth(int width)
{
    m_borderWidth = width;
    PaintFrame();
}

bool TvexForm::TitleBarVisible() const
{
    return m_titleBar && !m_titleBar->isHidden();
}

void TvexForm::setTitleBarVisible(bool visible)
{
    if (!m_titleBar || visible == TitleBarVisible())
        return;
    m_titleBar->setVisible(visible);
    PaintFrame();
}

void TvexForm::setColor(TColor color)
{
    m_color = color;
    update();
    PaintFrame();
}

QString TvexForm::Caption() const
{
    return m_titleBar ? m_titleBar->Caption() : QString();
}

void TvexForm::setCaption(const QString &caption)
{
    if (!m_titleBar)
        return;
    m_titleBar->setCaption(caption);
    if (m_host)
        m_host->setWindowTitle(caption);
}

void TvexForm::setFormPanel(QWidget *panel)
{
    if (panel == this) {
        ReportUsageError(FormPanelIsFrameMessage);
        return;
    }
    m_formPanel = panel;
    if (!panel)
        return;
    platform::setAlign(panel, platform::alClient);
    if (auto *skinned = qobject_cast<TvexCustomPanel *>(panel))
        skinned->setCaption(QString());
    else if (panel->metaObject() == &QFrame::staticMetaObject)
        static_cast<QFrame *>(panel)->setFrameShape(QFrame::NoFrame);
}

TvexTitleBarButtons *TvexForm::TitleBarButtons() const
{
    return m_titleBar ? m_titleBar->Buttons() : m_spareButtons;
}

TvexTitleBarSections *TvexForm::TitleBarSections() const
{
    return m_titleBar ? m_titleBar->Sections() : m_spareSections;
}

bool TvexForm::TitleBarDrawAppIcon() const
{
    return m_titleBar && m_titleBar->DrawAppIcon();
}

QFont TvexForm::CaptionFont() const
{
    return m_titleBar ? m_titleBar->font() : font();
}

int TvexForm::shownCorner(int (TvexTitleBar::*radius)() const) const
{
    return TitleBarVisible() ? (m_titleBar->*radius)() : 0;
}

void TvexForm::setCorner(void (TvexTitleBar::*setRadius)(int), int radius)
{
    toTitleBar(setRadius, radius);
    UpdateRegion();
}

int TvexForm::VisibleTitleBarHeight() const
{
    return TitleBarVisible() ? m_titleBar->height() : 0;
}

// ---------------------------------------------------------------------------
// Own events

void TvexForm::mousePressEvent(QMouseEvent *event)
{
    m_clickArmed = event->button() == Qt::LeftButton;
    const QPoint p = event->position().toPoint();
    emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TvexForm::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit OnMouseMove(this, event->modifiers(), p.x(), p.y());
}

void TvexForm::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    const QPointer<TvexForm> self(this);
    if (m_clickArmed && event->button() == Qt::LeftButton && rect().contains(p)) {
        m_clickArmed = false;
        emit OnClick(this);
    }
    if (self)
        emit OnMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
}

void TvexForm::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_popupMenu) {
        QWidget::contextMenuEvent(event);
        return;
    }
    if (auto *skinned = qobject_cast<TvexPopupMenu *>(m_popupMenu.data()))
        skinned->Popup(event->globalPos().x(), event->globalPos().y());
    else
        m_popupMenu->popup(event->globalPos());
}

} // namespace vex
