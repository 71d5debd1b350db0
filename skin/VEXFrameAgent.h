#pragma once

// The window side of a skinned frame, private to the skin library.
//
// A FrameAgent takes a form's window over for the widget that draws its
// frame (the delegate): it makes the window frameless, keeps the delegate's
// band as the window's contents margins, paints the band under the window's
// children, gives the frameless window a sizing band along its edges, offers
// key presses to the delegate as shortcuts and opens the window menu on
// Alt+Space. Everything it asks of the window system goes through
// FrameWindow; moving and sizing by the mouse go through WindowDragger, and
// maximising, restoring and minimising through WindowStatePolicy, which the
// title bar uses as well.

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <memory>

class QKeyEvent;
class QMouseEvent;
class QPainter;
class QShortcut;
class QWindow;

namespace vex {

// The work area grown by 4 pixels left, top and right and shrunk by 1 at the
// bottom: where a maximised skinned window goes, its band just outside the
// work area as a maximised window's frame is.
QRect MaximizedBounds();

// The one place that talks to the window system about a form's window.
class FrameWindow
{
public:
    explicit FrameWindow(QWidget *form) : m_form(form) {}

    QWidget *form() const { return m_form; }
    // The form's own native window, when it is a top-level one that has it.
    QWindow *nativeWindow() const;

    // Changes the window flags; a shown top-level keeps its window (where
    // QWidget::setWindowFlags would hide it).
    void setFlags(Qt::WindowFlags flags);
    // Ask the window system to move or resize the window with the mouse:
    // false when it cannot (no window manager, offscreen, not top-level).
    bool startSystemMove();
    bool startSystemResize(Qt::Edges edges);
    // Gives the window bounds while keeping its window state: the widget's
    // own geometry setters take the maximised state away.
    void setBoundsKeepingState(const QRect &bounds);
    // The window is shown but not exposed: iconified by a window manager.
    bool isIconified() const;

private:
    QPointer<QWidget> m_form;
};

// Moves or resizes a window by the mouse: the window system does it where it
// can; otherwise the window follows the mouse until the button is released.
class WindowDragger
{
public:
    // Starts moving (no edges) or resizing the given edges of form from the
    // mouse at global. Answers false when there is nothing to do.
    bool begin(QWidget *form, const QPoint &global, Qt::Edges edges = {});
    // Follows the mouse at global while dragging by hand; true while it does.
    bool follow(const QPoint &global);
    // The button went up: answers whether a drag was on.
    bool end();
    bool isDragging() const { return m_mode != Mode::None; }
    bool isFollowing() const { return m_mode == Mode::Manual; }

private:
    void resizeTo(const QPoint &global);

    enum class Mode { None, System, Manual };
    Mode m_mode = Mode::None;
    QPointer<QWidget> m_form;
    Qt::Edges m_edges;
    QPoint m_start;
    QPoint m_startPos;
    QRect m_startGeometry;
};

// Maximising, restoring and minimising a form's window, whoever asks: a
// maximised window is fitted to MaximizedBounds() by hand (no window manager
// under a bare X server honours maximising), a restored one gets the bounds
// it had before, and a minimise that nothing carries out is taken back so
// that the window's state stays the state it really is in.
class WindowStatePolicy : public QObject
{
public:
    explicit WindowStatePolicy(QWidget *form);

    QWidget *form() const { return m_form; }

    void maximize();
    void restore();
    void minimize();

    // To be called on every window-state change and size change of the form
    // (the frame's hook does; a form without a frame is fitted on maximize()).
    void stateChanged(Qt::WindowStates oldState);
    void sizeChanged();
    // True while the policy itself changes the form's geometry or state.
    bool isFitting() const { return m_fitting; }

    // Fits a maximised form to MaximizedBounds().
    void fitMaximized();

private:
    void queueMinimizeCheck();
    void checkMinimizeTookEffect();

    FrameWindow m_window;
    QPointer<QWidget> m_form;
    QRect m_normalBounds; // before the last maximising
    QRect m_startBounds;  // of a form that was maximised when the policy began
    bool m_startedMaximized = false;
    bool m_fitting = false;
    bool m_minimizeCheckQueued = false;
};

// What the agent asks of the widget that draws the frame.
class FrameDelegate
{
public:
    virtual ~FrameDelegate() = default;
    // The band the frame draws around the form's client area.
    virtual QMargins frameMargins() const = 0;
    // Draws the band, in the form's coordinates.
    virtual void paintFrameBand(QPainter &canvas) const = 0;
    // A form event before the form handles it: answers whether it is
    // finished with.
    virtual bool frameHostEvent(QEvent *event) = 0;
    // A key press offered as a shortcut before the focus widget sees it:
    // answers whether it was taken.
    virtual bool frameShortcut(const QKeyEvent *event) = 0;
    // Alt+Space.
    virtual void frameWindowMenuRequested() = 0;
};

class FrameAgent : public QObject
{
    Q_OBJECT

public:
    // Takes host over for frame, the widget that draws the band (its
    // delegate), which outlives the agent.
    FrameAgent(QWidget *host, QWidget *frame, FrameDelegate *delegate);
    // Gives the host back, unless it is being destroyed itself.
    ~FrameAgent() override;

    QWidget *host() const { return m_host; }
    WindowStatePolicy &states() { return m_states; }
    FrameWindow &window() { return m_window; }

    // Makes the host's contents margins the delegate's again and repaints.
    void updateMargins();
    // Repaints the band.
    void updateBand();
    // Gives the host back its flags, margins, mask and mouse tracking now.
    void release();

    // How far from the host's outer edges a press starts resizing it.
    static constexpr int SizingBand = 4;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Band;
    class SizingGrip;

    void watchNativeWindow();
    static bool isWindowMenuKey(const QKeyEvent *event);
    bool keyPressed(QKeyEvent *event);
    bool hostIsGoing() const;

    QPointer<QWidget> m_host;
    QWidget *m_frame;
    FrameDelegate *m_delegate;
    FrameWindow m_window;
    WindowStatePolicy m_states;
    QPointer<QWindow> m_nativeWindow;
    QPointer<Band> m_band;
    std::unique_ptr<SizingGrip> m_grip;
    QPointer<QShortcut> m_windowMenuKey;

    // What the host had before.
    Qt::WindowFlags m_hostFlags;
    const QMetaObject *m_hostClass;
    QMargins m_hostMargins;
    bool m_hostHadMouseTracking;
};

} // namespace vex
