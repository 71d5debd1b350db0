#include "skin/VEXForm.h"

#include "platform/Align.h"
#include "platform/MainForm.h"
#include "platform/WindowEvents.h"
#include "skin/VEXImagePanel.h"
#include "skin/VEXMainMenu.h"
#include "skin/VEXPublic.h"
#include "skin/VEXUsageError.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <algorithm>

namespace vex {

using platform::TColor;

namespace {

const QString FormPanelIsFrameMessage =
    QStringLiteral("Sorry, you can't select the Form assign to FormPanel property");

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

// Changes a host's window flags. A shown top-level keeps its window: the
// new flags go straight to it, where setWindowFlags would hide it.
void applyWindowFlags(QWidget *host, Qt::WindowFlags flags)
{
    if (host->windowFlags() == flags)
        return;
    if (host->isWindow() && host->windowHandle()) {
        host->overrideWindowFlags(flags);
        host->windowHandle()->setFlags(flags);
        return;
    }
    const bool visible = host->isVisible();
    host->setWindowFlags(flags);
    if (visible)
        host->show();
}

// True while host is being destroyed together with its children, the frame
// among them: its own class's destructor has run already (it answers a base
// class's meta-object), or it has begun taking its children off its list to
// delete them. Such a host is past being given anything back; its sub-window
// or window code would run on a half-destroyed object.
bool hostIsGoing(const QWidget *host, const QMetaObject *hostClass, const QObject *frame)
{
    if (host->metaObject() != hostClass)
        return true;
    return frame->parent() == host && !host->children().contains(const_cast<QObject *>(frame));
}

} // namespace

// ---------------------------------------------------------------------------
// The two filters and the sizing band

class TvexForm::HostHook : public QObject
{
public:
    explicit HostHook(TvexForm *frame) : m_frame(frame) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override { return m_frame->hostEvent(event); }

private:
    TvexForm *m_frame;
};

class TvexForm::ApplicationEvents : public QObject
{
public:
    explicit ApplicationEvents(TvexForm *frame) : m_frame(frame) {}

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        return m_frame->applicationEvent(receiver, event);
    }

private:
    TvexForm *m_frame;
};

// A frameless window has no sizing border of its own: presses in the outer
// band of the host, whichever of its widgets they reach, resize it. The
// window system does the resizing where it can; otherwise the band follows
// the mouse itself.
class TvexForm::SizingGrip
{
public:
    explicit SizingGrip(QWidget *host) : m_host(host) {}
    ~SizingGrip() { showCursorFor({}); }

    // Answers whether the event was used up.
    bool mouseEvent(QMouseEvent *event);

private:
    static constexpr int Corner = 16;

    Qt::Edges edgesAt(const QPoint &global) const;
    void resizeTo(const QPoint &global);
    void showCursorFor(Qt::Edges edges);

    QPointer<QWidget> m_host;
    bool m_following = false;
    Qt::Edges m_edges;
    QPoint m_start;
    QRect m_startGeometry;
    bool m_cursorShown = false;
};

Qt::Edges TvexForm::SizingGrip::edgesAt(const QPoint &global) const
{
    if (!m_host || m_host->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return {};
    if (m_host->minimumSize() == m_host->maximumSize())
        return {};
    const QPoint p = m_host->mapFromGlobal(global);
    const int w = m_host->width(), h = m_host->height();
    if (!m_host->rect().contains(p))
        return {};
    Qt::Edges edges;
    if (p.x() < SizingBand)
        edges |= Qt::LeftEdge;
    if (p.x() >= w - SizingBand)
        edges |= Qt::RightEdge;
    if (p.y() < SizingBand)
        edges |= Qt::TopEdge;
    if (p.y() >= h - SizingBand)
        edges |= Qt::BottomEdge;
    // Near a corner, an edge grip takes both edges.
    if (edges & (Qt::TopEdge | Qt::BottomEdge)) {
        if (p.x() < Corner)
            edges |= Qt::LeftEdge;
        else if (p.x() >= w - Corner)
            edges |= Qt::RightEdge;
    }
    if (edges & (Qt::LeftEdge | Qt::RightEdge)) {
        if (p.y() < Corner)
            edges |= Qt::TopEdge;
        else if (p.y() >= h - Corner)
            edges |= Qt::BottomEdge;
    }
    return edges;
}

bool TvexForm::SizingGrip::mouseEvent(QMouseEvent *event)
{
    if (!m_host)
        return false;
    const QPoint global = event->globalPosition().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        if (event->button() != Qt::LeftButton || m_following)
            return m_following;
        const Qt::Edges edges = edgesAt(global);
        if (!edges)
            return false;
        QWindow *window = m_host->isWindow() ? m_host->windowHandle() : nullptr;
        if (window && window->startSystemResize(edges))
            return true;
        m_following = true;
        m_edges = edges;
        m_start = global;
        m_startGeometry = m_host->geometry();
        return true;
    }
    case QEvent::MouseMove:
        if (m_following) {
            resizeTo(global);
            return true;
        }
        if (event->buttons() == Qt::NoButton)
            showCursorFor(edgesAt(global));
        return false;
    case QEvent::MouseButtonRelease:
        if (!m_following || event->button() != Qt::LeftButton)
            return m_following;
        m_following = false;
        return true;
    case QEvent::MouseButtonDblClick:
        return m_following || edgesAt(global);
    default:
        return false;
    }
}

void TvexForm::SizingGrip::resizeTo(const QPoint &global)
{
    const QPoint d = global - m_start;
    const QSize least = m_host->minimumSize().expandedTo(QSize(1, 1));
    const QSize most = m_host->maximumSize();
    QRect g = m_startGeometry;
    // The edge that does not move stays where it was.
    if (m_edges & Qt::LeftEdge)
        g.setLeft(std::clamp(g.left() + d.x(), g.right() + 1 - most.width(), g.right() + 1 - least.width()));
    else if (m_edges & Qt::RightEdge)
        g.setRight(std::clamp(g.right() + d.x(), g.left() - 1 + least.width(), g.left() - 1 + most.width()));
    if (m_edges & Qt::TopEdge)
        g.setTop(std::clamp(g.top() + d.y(), g.bottom() + 1 - most.height(), g.bottom() + 1 - least.height()));
    else if (m_edges & Qt::BottomEdge)
        g.setBottom(std::clamp(g.bottom() + d.y(), g.top() - 1 + least.height(), g.top() - 1 + most.height()));
    if (g != m_host->geometry())
        m_host->setGeometry(g);
}

void TvexForm::SizingGrip::showCursorFor(Qt::Edges edges)
{
    if (!m_host)
        return;
    if (!edges) {
        if (m_cursorShown)
            m_host->unsetCursor();
        m_cursorShown = false;
        return;
    }
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    Qt::CursorShape shape = horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor;
    if (horizontal && vertical) {
        const bool falling = (edges & Qt::LeftEdge) == bool(edges & Qt::TopEdge);
        shape = falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    m_host->setCursor(shape);
    m_cursorShown = true;
}

// ---------------------------------------------------------------------------
// Construction and removal

TvexForm::TvexForm(QWidget *owner)
    : QWidget(owner), m_fileTheme(this, [this] { fileThemeRemoved(); })
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
    m_restoreBounds = host->geometry();
    m_startedMaximized = host->isMaximized();

    m_titleBar = new TvexTitleBar(this);
    connect(m_titleBar, &TvexTitleBar::OnCustomBtnsClick, this, &TvexForm::OnTitleBarCustomBtnsClick);
    connect(m_titleBar, &TvexTitleBar::OnHelpBtnClick, this, &TvexForm::OnTitleBarHelpBtnClick);

    m_menuBarColor = m_color;
    m_menuBarHeight = 22;
    setUIStyle(TvexUIStyle::DeepBlue);
    m_autoUpdateSub = false;
    platform::setAlign(this, platform::alClient);
    setCaption(host->windowTitle());
    setTitleBarVisible(true);

    m_hostFlags = host->windowFlags();
    m_hostClass = host->metaObject();
    m_hostMargins = host->contentsMargins();
    m_hostHadMouseTracking = host->hasMouseTracking();
    applyWindowFlags(host, m_hostFlags | Qt::FramelessWindowHint);
    // Moves over the band must reach the sizing grip.
    host->setMouseTracking(true);

    m_hook = std::make_unique<HostHook>(this);
    host->installEventFilter(m_hook.get());
    m_applicationEvents = std::make_unique<ApplicationEvents>(this);
    qApp->installEventFilter(m_applicationEvents.get());
    m_grip = std::make_unique<SizingGrip>(host);

    if (auto *child = qobject_cast<QMdiSubWindow *>(host)) {
        if (QMdiArea *area = child->mdiArea()) {
            connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *active) {
                if (m_titleBar && !isDestroying())
                    m_titleBar->setFormActive(active == m_host);
            });
        }
    }

    // The host's client area keeps its size: the band is added around it,
    // as a window's frame lies outside its client area.
    const QMargins before = host->contentsMargins();
    platform::notifyFrameChanged(host);
    const QMargins after = host->contentsMargins();
    if (!(host->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        host->resize(host->width() + after.left() + after.right() - before.left() - before.right(),
                     host->height() + after.top() + after.bottom() - before.top() - before.bottom());
    }
}

TvexForm::~TvexForm()
{
    markDestroying();
    m_applicationEvents.reset();
    delete std::exchange(m_titleBar, nullptr);
    m_sideBorder = QImage();
    release();
}

void TvexForm::release()
{
    markDestroying();
    forgetMenu();
    QWidget *host = m_host;
    m_host = nullptr;
    if (!host)
        return;
    if (m_applicationEvents)
        qApp->removeEventFilter(m_applicationEvents.get());
    m_applicationEvents.reset();
    host->removeEventFilter(m_hook.get());
    m_hook.reset();
    m_grip.reset();
    if (hostIsGoing(host, m_hostClass, this))
        return;
    host->setMouseTracking(m_hostHadMouseTracking);
    host->clearMask();
    host->setContentsMargins(m_hostMargins);
    applyWindowFlags(host, m_hostFlags);
    platform::notifyFrameChanged(host);
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

bool TvexForm::hostEvent(QEvent *event)
{
    // While the frame goes away the host keeps its own handling.
    if (isDestroying() || !m_host)
        return false;
    switch (int(event->type())) {
    case platform::FrameChangedEvent:
        frameChanged();
        break;
    case TvexLeftBorderWidthQuery::EventType:
        static_cast<TvexLeftBorderWidthQuery *>(event)->width = LeftBorderWidth();
        event->accept();
        return true;
    case QEvent::Paint: {
        // The host paints itself first; the band goes on top of it.
        static_cast<QObject *>(m_host.data())->event(event);
        if (!hostMinimized() && !isDestroying()) {
            QPainter canvas(m_host);
            PaintFrame(canvas);
        }
        return true;
    }
    case QEvent::KeyPress:
        if (HandleShortCut(static_cast<QKeyEvent *>(event)) != 0)
            return true;
        break;
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
                this, [this] {
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
    case QEvent::WindowStateChange: {
        if (m_fitting) // the state put back after fitting
            break;
        const auto *change = static_cast<QWindowStateChangeEvent *>(event);
        if (!(change->oldState() & Qt::WindowMinimized) && m_host->isMinimized())
            minimizeRequested();
        const bool wasMaximized = change->oldState() & Qt::WindowMaximized;
        if (!wasMaximized && m_host->isMaximized())
            m_normalBounds = m_host->geometry();
        const QRect before = m_host->geometry();
        hostSizeChanged();
        // Without a window manager nothing brings a restored window back to
        // its normal bounds.
        if (wasMaximized && !m_host->isMaximized() && m_host->isWindow() && m_host->geometry() == before
            && m_normalBounds.isValid() && m_normalBounds != before)
            m_host->setGeometry(m_normalBounds);
        break;
    }
    default:
        break;
    }
    return false;
}

void TvexForm::frameChanged()
{
    const QMargins margins = NonClientMargins();
    if (m_host->contentsMargins() != margins) {
        m_host->setContentsMargins(margins);
        platform::realign(m_host);
    }
    m_host->update();
}

QMargins TvexForm::NonClientMargins() const
{
    const int sw = LeftBorderWidth();
    const int side = sw > 0 ? sw + 1 : 3;
    return QMargins(side, 3, side, 1 + m_bottomBorderHeight);
}

void TvexForm::keepCaptionBitsCleared()
{
    if (!IsActive() || m_host->windowFlags() & Qt::FramelessWindowHint)
        return;
    applyWindowFlags(m_host, m_host->windowFlags() | Qt::FramelessWindowHint);
    platform::notifyFrameChanged(m_host);
}

void TvexForm::hostSizeChanged()
{
    if (m_fitting)
        return;
    if (m_startedMaximized) {
        if (!m_host->isMaximized()) {
            m_startedMaximized = false;
            m_host->setGeometry(m_restoreBounds);
        }
    }
    if (m_host->isMaximized() && !isMdiChild())
        fitMaximizedHost();
    PaintFrame();
    if (m_titleBar)
        m_titleBar->RefreshMaxButtons();
    if (isMdiChild())
        mdiSizeChanged();
    UpdateRegion();
}

void TvexForm::fitMaximizedHost()
{
    // The band lies just outside the work area, as a maximised window's
    // frame does.
    const QRect work = GetWorkArea();
    const QRect bounds(work.x() - 4, work.y() - 4, work.width() + 8, work.height() + 3);
    if (!m_host->isVisible() || m_host->geometry() == bounds)
        return;
    // The widget's geometry setters take the maximised state away; it is
    // put back without asking the window system, which keeps its own. (Set
    // through the window alone, the widget can miss the new size when an
    // earlier one is still on its way.)
    const Qt::WindowStates state = m_host->windowState();
    m_fitting = true;
    m_host->setGeometry(bounds);
    m_host->overrideWindowState(state);
    m_fitting = false;
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

// Qt marks a window minimised as soon as it is asked to be, but only a
// window manager can iconify it: without one the window stays on the screen
// and nothing ever reports the request as refused. Once a window manager had
// time to take the window off the screen, a window that is still shown is
// not minimised, and the frame goes on drawing and sizing it as it is.
void TvexForm::minimizeRequested()
{
    constexpr int WindowManagerGrace = 400; // ms
    if (m_host->isWindow())
        QTimer::singleShot(WindowManagerGrace, this, &TvexForm::checkMinimizeTookEffect);
}

void TvexForm::checkMinimizeTookEffect()
{
    if (!IsActive() || isDestroying() || !m_host->isMinimized() || !m_host->isVisible())
        return;
    const QWindow *window = m_host->windowHandle();
    if (!window || !window->isExposed())
        return; // iconified for real
    // Only the widget's idea of its state is put right: asking the window
    // system to restore would undo a minimise that a slow window manager is
    // still carrying out, and it reports that minimise on its own anyway.
    m_host->overrideWindowState(m_host->windowState() & ~Qt::WindowMinimized);
    m_host->update();
}

bool TvexForm::isMdiChild() const
{
    return qobject_cast<QMdiSubWindow *>(m_host.data()) != nullptr;
}

// ---------------------------------------------------------------------------
// Application-wide hook

bool TvexForm::applicationEvent(QObject *receiver, QEvent *event)
{
    if (isDestroying() || !m_host)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() & Qt::AltModifier) {
            // Keys held with Alt are system keys; of them only Alt+Space is
            // the frame's.
            if (key->key() != Qt::Key_Space || !m_titleBar)
                return false;
            const QPoint at = SystemMenuPoint();
            m_titleBar->SystemMenu()->Popup(at.x(), at.y());
            return true;
        }
        return HandleShortCut(key) != 0;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        auto *widget = qobject_cast<QWidget *>(receiver);
        if (!m_grip || !widget || (widget != m_host && !m_host->isAncestorOf(widget)))
            return false;
        return m_grip->mouseEvent(static_cast<QMouseEvent *>(event));
    }
    default:
        return false;
    }
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
    if (auto *mainMenu = qobject_cast<TvexMainMenu *>(m_menu)) {
        mainMenu->setUIStyle(m_uiStyle);
        mainMenu->setFileTheme(m_fileTheme.get());
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

void TvexForm::setTitleBarCustom(bool custom)
{
    if (m_titleBar)
        m_titleBar->setCustom(custom);
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
    m_titleBar->move(m_titleBar->x(), 0);
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

void TvexForm::setTitleBarButtons(TvexTitleBarButtons *buttons)
{
    if (m_titleBar)
        m_titleBar->setButtons(buttons);
}

TvexTitleBarSections *TvexForm::TitleBarSections() const
{
    return m_titleBar ? m_titleBar->Sections() : m_spareSections;
}

void TvexForm::setTitleBarSections(TvexTitleBarSections *sections)
{
    if (m_titleBar)
        m_titleBar->setSections(sections);
}

bool TvexForm::TitleBarDrawAppIcon() const
{
    return m_titleBar && m_titleBar->DrawAppIcon();
}

void TvexForm::setTitleBarDrawAppIcon(bool draw)
{
    if (m_titleBar)
        m_titleBar->setDrawAppIcon(draw);
}

QFont TvexForm::CaptionFont() const
{
    return m_titleBar ? m_titleBar->font() : font();
}

void TvexForm::setCaptionFont(const QFont &font)
{
    if (m_titleBar)
        m_titleBar->setFont(font);
}

int TvexForm::RoundCorner() const
{
    return TitleBarVisible() ? m_titleBar->RoundCorner() : 0;
}

void TvexForm::setRoundCorner(int radius)
{
    if (m_titleBar)
        m_titleBar->setRoundCorner(radius);
    UpdateRegion();
}

int TvexForm::RoundCornerBottom() const
{
    return TitleBarVisible() ? m_titleBar->RoundCornerBottom() : 0;
}

void TvexForm::setRoundCornerBottom(int radius)
{
    if (m_titleBar)
        m_titleBar->setRoundCornerBottom(radius);
    UpdateRegion();
}

int TvexForm::VisibleTitleBarHeight() const
{
    return TitleBarVisible() ? m_titleBar->height() : 0;
}

// ---------------------------------------------------------------------------
// Own events

void TvexForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    keepTitleBarOnTop();
}

void TvexForm::keepTitleBarOnTop()
{
    if (!m_titleBar || isDestroying())
        return;
    // Aligned anew from above every stored top, so that it stays the first
    // of the top-aligned children.
    m_titleBar->move(m_titleBar->x(), -1);
    platform::setAlign(m_titleBar, platform::alTop);
}

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
