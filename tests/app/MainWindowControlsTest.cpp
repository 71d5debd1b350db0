#include "common/FakeConverter.h"

#include "app/MainWindow.h"
#include "skin/VEXButton.h"
#include "skin/VEXImagePanel.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using vex::TvexUIStyle;

namespace {

QWindow *windowOf(QWidget *w)
{
    return w->window()->windowHandle();
}
QPoint inWindow(QWidget *w, QPoint p)
{
    return w->mapTo(w->window(), p);
}

TEST(MainWindowControls, SkinnedControlsCarryTheStoredStylesAndWork)
{
    TFMain form(std::make_unique<FakeConverter>());
    auto *options = form.findChild<vex::TvexImagePanel *>(QStringLiteral("vexImagePanel1"));
    auto *banner = form.findChild<vex::TvexImagePanel *>(QStringLiteral("vexImagePanel2"));
    auto *start = form.findChild<vex::TvexButton *>(QStringLiteral("vexButton2"));
    vex::TvexRadioButton *radios[] = {
        form.findChild<vex::TvexRadioButton *>(QStringLiteral("vexRadioButton1")),
        form.findChild<vex::TvexRadioButton *>(QStringLiteral("vexRadioButton2")),
        form.findChild<vex::TvexRadioButton *>(QStringLiteral("vexRadioButton4")),
    };
    ASSERT_TRUE(options && banner && start && radios[0] && radios[1] && radios[2]);

    EXPECT_TRUE(options->Transparent());
    EXPECT_FALSE(banner->Transparent());
    EXPECT_EQ(start->UIStyle(), TvexUIStyle::DeepBlue);
    EXPECT_FALSE(start->Transparent());
    EXPECT_EQ(start->FocusedRectMargin(), 2);
    EXPECT_EQ(start->MouseContinuouslyDownInterval(), 100);
    for (auto *radio : radios) {
        EXPECT_EQ(radio->UIStyle(), TvexUIStyle::MacOS);
        EXPECT_TRUE(radio->AutoSize());
        EXPECT_TRUE(radio->Transparent());
        EXPECT_EQ(radio->GroupIndex(), 0);
        EXPECT_FALSE(radio->isLoading());
    }
    EXPECT_TRUE(radios[0]->Checked());

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    // The radios size themselves to picture and caption and stay apart.
    const QImage shot = form.grab().toImage();
    for (auto *radio : radios)
        EXPECT_EQ(radio->height(), qMax(radio->fontMetrics().height() + 2, 17) + 4);
    EXPECT_LT(radios[0]->geometry().right(), radios[1]->x());
    EXPECT_LT(radios[1]->geometry().right(), radios[2]->x());
    // The option strip shows the frame's colour through itself and the
    // radios: no key colour anywhere in the window.
    int magenta = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            magenta += (shot.pixel(x, y) & 0xFFFFFFu) == 0xFF00FFu;
    EXPECT_EQ(magenta, 0);

    // A click on CSV moves the check; the run reads it from there.
    QSignalSpy clicks(radios[1], &vex::TvexRadioButton::OnClick);
    const QPoint p = inWindow(radios[1], QPoint(5, 5));
    QTest::mouseMove(windowOf(radios[1]), p);
    QTest::mouseClick(windowOf(radios[1]), Qt::LeftButton, {}, p);
    EXPECT_FALSE(radios[0]->Checked());
    EXPECT_TRUE(radios[1]->Checked());
    EXPECT_EQ(clicks.count(), 1);
}

} // namespace
