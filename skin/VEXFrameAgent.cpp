#include "skin/VEXFrameAgent.h"

#include "platform/gui/Align.h"
#include "platform/gui/WindowEvents.h"
#include "skin/VEXPublic.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QTimer>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <algorithm>

namespace vex {

namespace {

constexpr Qt::WindowStates SizeStates = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

} // namespace

QRect MaximizedBounds()
{
    return GetWorkArea().adjusted(-4, -4, 4, -1);
}

// ---------------------------------------------------------------------------
// FrameWindow

QWindow *FrameWindow::nativeWindow() const
{
    return m_form && m_form->isWindow() ? m_form->windowHandle() : nullptr;
}

void FrameWindow::setFlags(Qt::WindowFlags flags)
{
    if (!m_form || m_form->windowFlags() == flags)
        return;
    if (QWindow *window = nativeWindow()) {
        m_form->overrideWindowFlags(flags);
        window->setFlags(flags);
        return;
    }
    const bool visible = m_form->isVisible();
    m_form->setWindowFlags(flags);
    if (visible)
        m_form->show();
}

bool FrameWindow::startSystemMove()
{
    QWindow *window = nativeWindow();
    return window && window->startSystemMove();
}

bool FrameWindow::startSystemResize(Qt::Edges edges)
{
    QWindow *window = nativeWindow();
    return window && window->startSystemResize(edges);
}

void FrameWindow::setBoundsKeepingState(const QRect &bounds)
{
    if (!m_form)
        return;
    // Put back without asking the window system, which keeps its own state.
    // (Set through the native window alone, the widget can miss the new
    // size when an earlier one is still on its way.)
    const Qt::WindowStates state = m_form->windowState();
    m_form->setGeometry(bounds);
    m_form->overrideWindowState(state);
}

bool FrameWindow::isIconified() const
{
    const QWindow *window = nativeWindow();
    return !window || !window->isExposed();
}

// ---------------------------------------------------------------------------
// WindowDragger

bool WindowDragger::begin(QWidget *form, const QPoint &global, Qt::Edges edges)
{
    m_mode = Mode::None;
    if (!form)
        return false;
    FrameWindow window(form);
    if (edges ? window.startSystemResize(edges) : window.startSystemMove()) {
        m_mode = Mode::System;
        return true;
    }
    // The platform moves nothing (offscreen, no window manager, an MDI
    // child): follow the mouse until the button is released.
    m_mode = Mode::Manual;
    m_form = form;
    m_edges = edges;
    m_start = global;
    m_startGeometry = form->geometry();
    m_startPos = form->pos();
    return true;
}

bool WindowDragger::follow(const QPoint &global)
{
    if (m_mode != Mode::Manual || !m_form)
        return false;
    if (m_edges)
        resizeTo(global);
    else
        m_form->move(m_startPos + global - m_start);
    return true;
}

bool WindowDragger::end()
{
    const bool dragging = m_mode != Mode::None;
    m_mode = Mode::None;
    m_form = nullptr;
    return dragging;
}

void WindowDragger::resizeTo(const QPoint &global)
{
    const QPoint d = global - m_start;
    const QSize least = m_form->minimumSize().expandedTo(QSize(1, 1));
    const QSize most = m_form->maximumSize();
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
    if (g != m_form->geometry())
        m_form->setGeometry(g);
}

// ---------------------------------------------------------------------------
// WindowStatePolicy

WindowStatePolicy::WindowStatePolicy(QWidget *form)
    : m_window(form), m_form(form), m_startBounds(form ? form->geometry() : QRect()),
      m_startedMaximized(form && form->isMaximized())
{}

void WindowStatePolicy::maximize()
{
    if (!m_form)
        return;
    if (!m_form->isMaximized())
        m_normalBounds = m_form->geometry();
    m_form->setWindowState((m_form->windowState() & ~SizeStates) | Qt::WindowMaximized);
    fitMaximized();
}

void WindowStatePolicy::restore()
{
    if (!m_form)
        return;
    const QRect normal = m_normalBounds.isValid() ? m_normalBounds : m_form->normalGeometry();
    m_form->setWindowState(m_form->windowState() & ~SizeStates);
    // Without a window manager nothing gives the window its normal bounds
    // back, least of all after they were set by hand on maximising.
    if (normal.isValid() && m_form->geometry() != normal)
        m_form->setGeometry(normal);
}

void WindowStatePolicy::minimize()
{
    if (!m_form)
        return;
    // The main form and any other form alike: Qt minimises the window only.
    m_form->setWindowState(m_form->windowState() | Qt::WindowMinimized);
    queueMinimizeCheck();
}

void WindowStatePolicy::queueMinimizeCheck()
{
    if (!m_form || !m_form->isWindow() || !m_form->isMinimized() || m_minimizeCheckQueued)
        return;
    // Qt marks a window minimised as soon as it is asked to be, but only a
    // window manager can iconify it; give one time to do so.
    constexpr int WindowManagerGrace = 400; // ms
    m_minimizeCheckQueued = true;
    QTimer::singleShot(WindowManagerGrace, this, &WindowStatePolicy::checkMinimizeTookEffect);
}

void WindowStatePolicy::stateChanged(Qt::WindowStates oldState)
{
    if (m_fitting || !m_form) // the state put back after fitting
        return;
    if (!(oldState & Qt::WindowMinimized) && m_form->isMinimized())
        queueMinimizeCheck();
    const bool wasMaximized = oldState & Qt::WindowMaximized;
    if (!wasMaximized && m_form->isMaximized())
        m_normalBounds = m_form->geometry();
    const QRect before = m_form->geometry();
    sizeChanged();
    if (wasMaximized && !m_form->isMaximized() && m_form->isWindow() && m_form->geometry() == before
        && m_normalBounds.isValid() && m_normalBounds != before)
        m_form->setGeometry(m_normalBounds);
}

void WindowStatePolicy::sizeChanged()
{
    if (m_fitting || !m_form)
        return;
    if (m_startedMaximized && !m_form->isMaximized()) {
        m_startedMaximized = false;
        m_form->setGeometry(m_startBounds);
    }
    fitMaximized();
}

void WindowStatePolicy::fitMaximized()
{
    // An MDI child is maximised into its area by the area itself.
    if (!m_form || !m_form->isWindow() || !m_form->isMaximized() || !m_form->isVisible())
        return;
    const QRect bounds = MaximizedBounds();
    if (m_form->geometry() == bounds)
        return;
    m_fitting = true;
    m_window.setBoundsKeepingState(bounds);
    m_fitting = false;
}

// Once a window manager had time to take the window off the screen, a
// window that is still shown is not minimised, and goes on being drawn and
// sized as it is.
void WindowStatePolicy::checkMinimizeTookEffect()
{
    m_minimizeCheckQueued = false;
    if (!m_form || !m_form->isMinimized() || !m_form->isVisible() || m_window.isIconified())
        return;
    // Only the widget's idea of its state is put right: asking the window
    // system to restore would undo a minimise that a slow window manager is
    // still carrying out, and it reports that minimise on its own anyway.
    m_form->overrideWindowState(m_form->windowState() & ~Qt::WindowMinimized);
    m_form->update();
}

// ---------------------------------------------------------------------------
// The band and the sizing grip

// Paints the band under the host's other children, after the host has
// painted itself; it covers the whole host and lets the mouse through.
class FrameAgent::Band : public QWidget
{
public:
    Band(QWidget *host, const FrameDelegate *delegate) : QWidget(host), m_delegate(delegate)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(host->rect());
        lower();
        show();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter canvas(this);
        m_delegate->paintFrameBand(canvas);
    }

private:
    const FrameDelegate *m_delegate;
};

// A frameless window has no sizing border of its own: presses in the outer
// band of the host, whichever of its widgets they reach, resize it.
class FrameAgent::SizingGrip
{
public:
    explicit SizingGrip(QWidget *host) : m_host(host) {}
    ~SizingGrip() { showCursorFor({}); }

    // Answers whether the event was used up.
    bool mouseEvent(QMouseEvent *event);

private:
    static constexpr int Corner = 16;

    Qt::Edges edgesAt(const QPoint &global) const;
    void showCursorFor(Qt::Edges edges);

    QPointer<QWidget> m_host;
    WindowDragger m_dragger;
    bool m_cursorShown = false;
};

Qt::Edges FrameAgent::SizingGrip::edgesAt(const QPoint &global) const
{
    if (!m_host || m_host->windowState() & SizeStates || m_host->minimumSize() == m_host->maximumSize())
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

bool FrameAgent::SizingGrip::mouseEvent(QMouseEvent *event)
{
    if (!m_host)
        return false;
    const QPoint global = event->globalPosition().toPoint();
    const bool following = m_dragger.isFollowing();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        if (event->button() != Qt::LeftButton || following)
            return following;
        const Qt::Edges edges = edgesAt(global);
        if (!edges)
            return false;
        m_dragger.begin(m_host, global, edges);
        if (!m_dragger.isFollowing())
            m_dragger.end();
        return true;
    }
    case QEvent::MouseMove:
        if (m_dragger.follow(global))
            return true;
        if (event->buttons() == Qt::NoButton)
            showCursorFor(edgesAt(global));
        return false;
    case QEvent::MouseButtonRelease:
        if (!following || event->button() != Qt::LeftButton)
            return following;
        m_dragger.end();
        return true;
    case QEvent::MouseButtonDblClick:
        return following || edgesAt(global);
    default:
        return false;
    }
}

void FrameAgent::SizingGrip::showCursorFor(Qt::Edges edges)
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
// FrameAgent

FrameAgent::FrameAgent(QWidget *host, QWidget *frame, FrameDelegate *delegate)
    : m_host(host), m_frame(frame), m_delegate(delegate), m_window(host), m_states(host),
      m_hostFlags(host->windowFlags()), m_hostClass(host->metaObject()), m_hostMargins(host->contentsMargins()),
      m_hostHadMouseTracking(host->hasMouseTracking())
{
    m_window.setFlags(m_hostFlags | Qt::FramelessWindowHint);
    // Moves over the band must reach the sizing grip.
    host->setMouseTracking(true);
    m_band = new Band(host, delegate);
    m_grip = std::make_unique<SizingGrip>(host);
    host->installEventFilter(this);
    watchNativeWindow();

    // Alt+Space is the window menu's wherever the focus is in the window.
    // An MDI child's frame takes it only when it comes up from the child's
    // widgets unused: a shortcut of its own would make the key ambiguous
    // with the main window's.
    if (host->isWindow()) {
        m_windowMenuKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), host);
        m_windowMenuKey->setContext(Qt::WindowShortcut);
        connect(m_windowMenuKey, &QShortcut::activated, this, [this] { m_delegate->frameWindowMenuRequested(); });
    }

    // The client area keeps its size: the band is added around it, as a
    // window's frame lies outside its client area.
    const QMargins before = host->contentsMargins();
    platform::notifyFrameChanged(host);
    const QMargins after = host->contentsMargins();
    if (!(host->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        host->resize(host->width() + after.left() + after.right() - before.left() - before.right(),
                     host->height() + after.top() + after.bottom() - before.top() - before.bottom());
    }
}

FrameAgent::~FrameAgent()
{
    release();
}

void FrameAgent::release()
{
    QWidget *host = m_host;
    m_host = nullptr;
    if (!host)
        return;
    if (m_nativeWindow)
        m_nativeWindow->removeEventFilter(this);
    m_nativeWindow = nullptr;
    host->removeEventFilter(this);
    m_grip.reset();
    const bool going =
        host->metaObject() != m_hostClass || (m_frame->parent() == host && !host->children().contains(m_frame));
    if (going)
        return; // past being given anything back; the host deletes the band and the key
    delete m_band.data();
    delete m_windowMenuKey.data();
    host->setMouseTracking(m_hostHadMouseTracking);
    host->clearMask();
    host->setContentsMargins(m_hostMargins);
    FrameWindow(host).setFlags(m_hostFlags);
    platform::notifyFrameChanged(host);
}

void FrameAgent::updateMargins()
{
    if (!m_host)
        return;
    const QMargins margins = m_delegate->frameMargins();
    if (m_host->contentsMargins() != margins) {
        m_host->setContentsMargins(margins);
        platform::realign(m_host);
    }
    updateBand();
}

void FrameAgent::updateBand()
{
    // The whole host is asked for: the band also reaches into the frame.
    if (m_host)
        m_host->update();
}

void FrameAgent::watchNativeWindow()
{
    QWindow *window = m_host ? m_host->window()->windowHandle() : nullptr;
    if (window == m_nativeWindow)
        return;
    if (m_nativeWindow)
        m_nativeWindow->removeEventFilter(this);
    m_nativeWindow = window;
    if (window)
        window->installEventFilter(this);
}

bool FrameAgent::isWindowMenuKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Space && (event->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier;
}

bool FrameAgent::keyPressed(QKeyEvent *event)
{
    // Keys held with Alt are system keys; of them only Alt+Space is the
    // frame's. It gets here when its shortcut was not active: the window is
    // not the active one (no window manager activates a shown window).
    if (isWindowMenuKey(event)) {
        m_delegate->frameWindowMenuRequested();
        return true;
    }
    if (event->modifiers() & Qt::AltModifier)
        return false;
    return m_delegate->frameShortcut(event);
}

bool FrameAgent::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_host)
        return false;
    if (watched == m_nativeWindow) {
        // What the window system delivers to the window, before any of its
        // widgets sees it.
        switch (event->type()) {
        case QEvent::KeyPress:
            return keyPressed(static_cast<QKeyEvent *>(event));
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return m_grip && m_grip->mouseEvent(static_cast<QMouseEvent *>(event));
        default:
            return false;
        }
    }
    if (watched != m_host)
        return false;
    switch (int(event->type())) {
    case platform::FrameChangedEvent:
        updateMargins();
        break;
    case QEvent::Show:
    case QEvent::WinIdChange:
    case QEvent::ParentChange:
        watchNativeWindow();
        break;
    case QEvent::Resize:
        if (m_band)
            m_band->setGeometry(m_host->rect());
        break;
    case QEvent::KeyPress: {
        // A key that the focus widget left unused comes up to the host.
        auto *key = static_cast<QKeyEvent *>(event);
        if (isWindowMenuKey(key)) {
            m_delegate->frameWindowMenuRequested();
            return true;
        }
        if (m_delegate->frameShortcut(key))
            return true;
        break;
    }
    default:
        break;
    }
    return m_delegate->frameHostEvent(event);
}

} // namespace vex
