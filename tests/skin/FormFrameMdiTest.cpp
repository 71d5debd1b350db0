// Skinned frames on MDI sub-windows going away: with their sub-window, on
// their own, or moved off it. Nothing may reach the sub-window's own code
// while it is being destroyed (Qt says so with a warning).

#include "common/TestSupport.h"
#include "platform/gui/MainForm.h"
#include "skin/VEXForm.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::waitFor;
using vex::TvexForm;
using vex::TvexUIStyle;

namespace {

// Records the warnings that Qt and the program print while it lives.
class WarningRecorder
{
public:
    WarningRecorder()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&WarningRecorder::handle);
    }
    ~WarningRecorder()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    WarningRecorder(const WarningRecorder &) = delete;
    WarningRecorder &operator=(const WarningRecorder &) = delete;

    QStringList warnings() const { return m_warnings; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        // The offscreen platform says this of every window it shows.
        const bool platformNoise = text.contains(QLatin1String("does not support propagateSizeHints"));
        if (s_current && type != QtDebugMsg && type != QtInfoMsg && !platformNoise)
            s_current->m_warnings << text;
        if (s_current && s_current->m_previous)
            s_current->m_previous(type, context, text);
    }

    static inline WarningRecorder *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    QStringList m_warnings;
};

// A main window with a menu bar and an MDI area, as an MDI program has.
struct MdiProgram
{
    MdiProgram()
    {
        main = std::make_unique<QMainWindow>();
        main->menuBar()->addMenu(QStringLiteral("&File"));
        area = new QMdiArea;
        main->setCentralWidget(area);
        main->resize(700, 500);
        platform::setMainForm(main.get());
    }
    ~MdiProgram() { platform::setMainForm(nullptr); }

    QMdiSubWindow *child(TvexUIStyle style, TvexForm **frame = nullptr)
    {
        auto *sub = new QMdiSubWindow;
        area->addSubWindow(sub);
        sub->resize(300, 200);
        auto *f = new TvexForm(sub);
        f->setUIStyle(style);
        if (frame)
            *frame = f;
        return sub;
    }

    std::unique_ptr<QMainWindow> main;
    QMdiArea *area = nullptr;
};

} // namespace

TEST(FormFrameMdiLifetime, ChildrenGoAwayWithoutAWarning)
{
    WarningRecorder recorder;
    {
        MdiProgram program;
        QMdiSubWindow *first = program.child(TvexUIStyle::MacOS);
        QMdiSubWindow *second = program.child(TvexUIStyle::WinXP);
        program.main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(program.main.get()));

        // Maximised in a main window with a menu bar, the sub-window shows
        // its controls there; back to normal, then closed and deleted.
        first->showMaximized();
        EXPECT_TRUE(waitFor([&] { return first->isMaximized(); }));
        first->showNormal();
        EXPECT_TRUE(waitFor([&] { return !first->isMaximized(); }));
        QPointer<QMdiSubWindow> closing(second);
        second->setAttribute(Qt::WA_DeleteOnClose);
        second->close();
        EXPECT_TRUE(waitFor([&] { return closing.isNull(); }));

        // The rest go with the main window, one of them maximised.
        program.child(TvexUIStyle::BlueGlass)->showMaximized();
    }
    EXPECT_TRUE(recorder.warnings().isEmpty()) << recorder.warnings().join(QLatin1Char('\n')).toStdString();
}

TEST(FormFrameMdiLifetime, ALiveSubWindowGetsItsOwnFrameBack)
{
    WarningRecorder recorder;
    MdiProgram program;
    TvexForm *deleted = nullptr;
    QMdiSubWindow *first = program.child(TvexUIStyle::MacOS, &deleted);
    TvexForm *moved = nullptr;
    QMdiSubWindow *second = program.child(TvexUIStyle::DeepBlue, &moved);
    program.main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(program.main.get()));
    ASSERT_TRUE(first->windowFlags() & Qt::FramelessWindowHint);
    ASSERT_EQ(first->contentsMargins(), QMargins(3, 3, 3, 1));

    // Deleted while its sub-window lives.
    delete deleted;
    EXPECT_FALSE(first->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_NE(first->contentsMargins(), QMargins(3, 3, 3, 1));

    // Moved onto another widget.
    QWidget elsewhere;
    moved->setParent(&elsewhere);
    EXPECT_FALSE(second->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_NE(second->contentsMargins(), QMargins(3, 3, 3, 1));
    EXPECT_TRUE(recorder.warnings().isEmpty()) << recorder.warnings().join(QLatin1Char('\n')).toStdString();
}
