#include "ControlTestKit.h"
#include "StandInFrame.h"
#include "common/TestSupport.h"

#include "platform/gui/FormLoader.h"
#include "skin/VEXButton.h"
#include "skin/VEXImagePanel.h"
#include "skin/VEXMgr.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace controltest;
using vex::TvexButton;
using vex::TvexUIStyle;

namespace {

// The root of the form descriptions below, with the handlers they bind.
class LoadForm : public QWidget
{
    Q_OBJECT
public:
    int clicks = 0;
public slots:
    void vexButton2Click(QObject *) { ++clicks; }
};

QImage frameOf(TvexUIStyle style, int index)
{
    return builtInFrame(style, vex::ButtonImage, index, 3);
}

struct Corners
{
    QRect topLeft, bottomRight; // in the frame
    QPoint bottomRightAt;       // in the button
};

// The unscaled corner pieces of a frame on a button of size w x h.
Corners cornersFor(const QImage &frame, int w, int h)
{
    const int hw = frame.width() / 2, hh = frame.height() / 2;
    const int tlw = qMin(hw, w / 2), tlh = qMin(hh, h / 2);
    const int brw = qMin(hw - 1, w - (w - w / 2 + 1)), brh = qMin(hh - 1, h - (h - h / 2 + 1));
    Corners c;
    c.topLeft = QRect(0, 0, tlw, tlh);
    c.bottomRight = QRect(frame.width() - brw, frame.height() - brh, brw, brh);
    c.bottomRightAt = QPoint(w - brw, h - brh);
    return c;
}

TEST(ButtonTest, NewButtonHasItsInitialValuesAndTakesTheStyleOfTheFrameOnItsForm)
{
    FlatForm form;
    TvexButton plain(&form);
    EXPECT_EQ(plain.size(), QSize(80, 27));
    EXPECT_EQ(plain.UIStyle(), TvexUIStyle::DeepBlue);
    EXPECT_FALSE(plain.Transparent());
    EXPECT_FALSE(plain.AutoSize());
    EXPECT_TRUE(plain.Caption().isEmpty());
    EXPECT_EQ(plain.Spacing(), 4);
    EXPECT_EQ(plain.FocusedRectMargin(), 2);
    EXPECT_EQ(plain.MouseContinuouslyDownInterval(), 100);
    EXPECT_EQ(plain.ModalResult(), 0);
    EXPECT_FALSE(plain.Default());
    EXPECT_FALSE(plain.Cancel());
    EXPECT_TRUE(plain.TabStop());
    EXPECT_EQ(plain.Layout(), TvexButton::blGlyphLeft);
    EXPECT_TRUE(plain.Glyph().isNull());
    EXPECT_FALSE(plain.FileTheme());

    EXPECT_TRUE(plain.setProperty("ResHandle", 12345u));
    EXPECT_EQ(plain.property("ResHandle").toUInt(), 0u);

    // A button on a form whose frame is MacOS takes MacOS and, from it,
    // a transparent face.
    QWidget macForm;
    auto *frame = new skintest::StandInFrame(&macForm);
    frame->setUIStyle(TvexUIStyle::MacOS);
    TvexButton onMac(&macForm);
    EXPECT_EQ(onMac.UIStyle(), TvexUIStyle::MacOS);
    EXPECT_TRUE(onMac.Transparent());
    onMac.setUIStyle(TvexUIStyle::WinXP);
    EXPECT_FALSE(onMac.Transparent());
}

TEST(ButtonTest, FaceKeepsItsCornersUnscaledAndStretchesTheMiddle)
{
    for (TvexUIStyle style : {TvexUIStyle::DeepBlue, TvexUIStyle::WinXP, TvexUIStyle::BlueGlass}) {
        for (QSize size : {QSize(80, 27), QSize(131, 44)}) {
            SCOPED_TRACE(int(style));
            SCOPED_TRACE(size.width());
            FlatForm form;
            TvexButton button(&form);
            button.setUIStyle(style);
            button.setTransparent(false);
            button.resize(size);
            const QImage frame = frameOf(style, 1);
            ASSERT_FALSE(frame.isNull());
            const QImage shot = grabImage(&button);
            const Corners c = cornersFor(frame, size.width(), size.height());
            EXPECT_EQ(mismatches(shot, QPoint(0, 0), frame, c.topLeft), 0);
            EXPECT_EQ(mismatches(shot, c.bottomRightAt, frame, c.bottomRight), 0);

            // The centre is the frame's middle pixel stretched, unless that
            // pixel is the key colour.
            // (An odd-width frame has a middle band of two columns.)
            const int hw = frame.width() / 2, hh = frame.height() / 2;
            QSet<unsigned> middle{rgb(frame, hw, hh)};
            if (frame.width() % 2)
                middle.insert(rgb(frame, hw + 1, hh));
            if (!middle.contains(Magenta)) {
                EXPECT_TRUE(middle.contains(rgb(shot, size.width() / 2, size.height() / 2)));
            }
        }
    }
    // The DeepBlue frame's top-left quarter is 37 x 10.
    EXPECT_EQ(cornersFor(frameOf(TvexUIStyle::DeepBlue, 1), 80, 27).topLeft, QRect(0, 0, 37, 10));
}

TEST(ButtonTest, TransparentFaceShowsTheParentWhereTheCornersAreMagenta)
{
    const QImage frame = frameOf(TvexUIStyle::MacOS, 1);
    QList<QPoint> keyed;
    for (int y = 0; y < frame.height() / 2; ++y) {
        for (int x = 0; x < frame.width() / 2; ++x) {
            if (rgb(frame, x, y) == Magenta)
                keyed.append(QPoint(x, y));
        }
    }
    ASSERT_FALSE(keyed.isEmpty()) << "the MacOS face has magenta at its curved ends";

    FlatForm form;
    TvexButton button(&form);
    button.setUIStyle(TvexUIStyle::MacOS);
    button.resize(90, 25);
    ASSERT_TRUE(button.Transparent());
    QImage shot = grabImage(&button);
    for (QPoint p : keyed)
        EXPECT_EQ(rgb(shot, p.x(), p.y()), rgb(form.color())) << p.x() << "," << p.y();
    EXPECT_EQ(countColor(shot, Magenta), 0);

    // Opaque, the corners are drawn as they are.
    button.setTransparent(false);
    shot = grabImage(&button);
    for (QPoint p : keyed)
        EXPECT_EQ(rgb(shot, p.x(), p.y()), Magenta);
}

TEST(ButtonTest, StateFramesFollowHoverPressDragAndDisable)
{
    FlatForm form;
    ASSERT_TRUE(form.showActive());
    TvexButton button(&form);
    button.setUIStyle(TvexUIStyle::DeepBlue);
    button.setTabStop(false); // no focus rectangle over the compared corner
    button.move(20, 20);
    button.show();
    const QImage normal = frameOf(TvexUIStyle::DeepBlue, 1);
    const QImage hot = frameOf(TvexUIStyle::DeepBlue, 2);
    const QImage pressed = frameOf(TvexUIStyle::DeepBlue, 3);
    const QRect corner(0, 0, 37, 10);
    ASSERT_NE(mismatches(normal, {}, hot, corner), 0) << "frames 1 and 2 must differ to tell them apart";
    ASSERT_NE(mismatches(normal, {}, pressed, corner), 0);
    QSignalSpy enters(&button, &TvexButton::OnMouseEnter);
    QSignalSpy exits(&button, &TvexButton::OnMouseExit);

    EXPECT_EQ(mismatches(grabImage(&button), {}, normal, corner), 0);
    mouseMove(&button, QPoint(10, 10));
    EXPECT_TRUE(button.isHot());
    EXPECT_EQ(enters.count(), 1);
    EXPECT_EQ(mismatches(grabImage(&button), {}, hot, corner), 0);

    mousePress(&button, QPoint(10, 10));
    EXPECT_TRUE(button.isPressed());
    EXPECT_EQ(mismatches(grabImage(&button), {}, pressed, corner), 0);

    // Dragged out with the button held: back to normal, the pointer counts
    // as gone.
    mouseMove(&button, QPoint(150, 10));
    EXPECT_FALSE(button.isHot());
    EXPECT_FALSE(button.isPressed());
    EXPECT_EQ(exits.count(), 1);
    EXPECT_EQ(mismatches(grabImage(&button), {}, normal, corner), 0);

    // Back in while still held: hot again, not pressed.
    mouseMove(&button, QPoint(12, 12));
    EXPECT_TRUE(button.isHot());
    EXPECT_FALSE(button.isPressed());
    EXPECT_EQ(enters.count(), 2);
    mouseRelease(&button, QPoint(12, 12));

    button.setEnabled(false);
    EXPECT_EQ(mismatches(grabImage(&button), {}, normal, corner), 0);
}

TEST(ButtonTest, FocusShowsADottedRectangleOrABoldCaptionByStyle)
{
    FlatForm form;
    ASSERT_TRUE(form.showActive());
    auto *other = new QLineEdit(&form);
    other->move(0, 150);
    other->show();
    TvexButton button(&form);
    button.setCaption(QStringLiteral("Go on"));
    button.show();

    auto focusedAndNot = [&](TvexUIStyle style) {
        button.setUIStyle(style);
        other->setFocus();
        const QImage plain = grabImage(&button);
        button.setFocus();
        EXPECT_TRUE(button.hasFocus());
        return std::make_pair(grabImage(&button), plain);
    };

    // DeepBlue: every other pixel of the rectangle inset by 2 is inverted,
    // nothing else changes.
    auto [focused, plain] = focusedAndNot(TvexUIStyle::DeepBlue);
    const QRect ring(2, 2, 76, 23);
    int inverted = 0, changedElsewhere = 0;
    for (int y = 0; y < 27; ++y) {
        for (int x = 0; x < 80; ++x) {
            const bool onRing = ring.contains(x, y) && !ring.adjusted(1, 1, -1, -1).contains(x, y);
            const unsigned a = rgb(focused, x, y), b = rgb(plain, x, y);
            if (onRing && (x + y) % 2 == 0) {
                EXPECT_EQ(a, b ^ 0xFFFFFFu) << x << "," << y;
                ++inverted;
            } else if (a != b) {
                ++changedElsewhere;
            }
        }
    }
    EXPECT_GT(inverted, 0);
    EXPECT_EQ(changedElsewhere, 0);

    button.setFocusedRectMargin(5);
    const QImage wider = grabImage(&button);
    EXPECT_EQ(rgb(wider, 2, 2), rgb(plain, 2, 2));
    EXPECT_EQ(rgb(wider, 5, 5), rgb(plain, 5, 5) ^ 0xFFFFFFu);
    EXPECT_EQ(rgb(wider, 6, 5), rgb(plain, 6, 5));
    button.setFocusedRectMargin(2);

    // MacOS: no rectangle, a bold caption instead.
    auto [macFocused, macPlain] = focusedAndNot(TvexUIStyle::MacOS);
    EXPECT_EQ(rgb(macFocused, 2, 2), rgb(macPlain, 2, 2));
    EXPECT_GT(countColor(macFocused, 0x000000), countColor(macPlain, 0x000000));

    // Without TabStop a focused button shows no focus at all.
    button.setUIStyle(TvexUIStyle::DeepBlue);
    button.setTabStop(false);
    button.setFocus();
    EXPECT_TRUE(grabImage(&button) == plain);
}

TEST(ButtonTest, CaptionIsBlackWhenEnabledAndGreyOverWhiteWhenDisabled)
{
    FlatForm form;
    TvexButton button(&form);
    button.resize(100, 30);
    const QImage blank = grabImage(&button);
    button.setCaption(QStringLiteral("   "));
    EXPECT_TRUE(grabImage(&button) == blank) << "a caption of blanks draws nothing";

    auto colorsAdded = [&] {
        const QImage shot = grabImage(&button);
        QSet<unsigned> colors;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (rgb(shot, x, y) != rgb(blank, x, y))
                    colors.insert(rgb(shot, x, y));
        return colors;
    };
    button.setCaption(QStringLiteral("Start"));
    EXPECT_EQ(colorsAdded(), QSet<unsigned>{0x000000u});

    button.setEnabled(false);
    EXPECT_EQ(colorsAdded(), (QSet<unsigned>{0x808080u, 0xFFFFFFu}));
}

TEST(ButtonTest, TwoFrameGlyphShowsItsHalfByStateAndFollowsTheLayout)
{
    const QColor key(0, 255, 0), red(255, 0, 0), blue(0, 0, 255);
    QImage glyph(32, 16, QImage::Format_RGB32);
    glyph.fill(key);
    QPainter(&glyph).fillRect(2, 2, 12, 12, red);
    QPainter(&glyph).fillRect(18, 2, 12, 12, blue);

    FlatForm form;
    ASSERT_TRUE(form.showActive());
    TvexButton button(&form);
    button.resize(120, 60);
    button.setCaption(QStringLiteral("Run"));
    button.setGlyph(glyph);
    button.show();

    QImage shot = grabImage(&button);
    EXPECT_EQ(countColor(shot, rgb(red)), 144);
    EXPECT_EQ(countColor(shot, rgb(blue)), 0);
    EXPECT_EQ(countColor(shot, rgb(key)), 0) << "the glyph's top-left colour is keyed out";

    const QFontMetrics metrics(button.font());
    const int tw = metrics.horizontalAdvance(QStringLiteral("Run")), th = metrics.height();
    EXPECT_EQ(button.glyphPosition(), QPoint((120 - (tw + 16 + 4)) / 2, (60 - 16) / 2));
    EXPECT_EQ(rgb(shot, button.glyphPosition().x() + 2, button.glyphPosition().y() + 2), rgb(red));

    button.setLayout(TvexButton::blGlyphTop);
    button.setSpacing(6);
    shot = grabImage(&button);
    const QPoint g((120 - 16) / 2, (60 - (th + 16 + 6)) / 2);
    EXPECT_EQ(button.glyphPosition(), g);
    EXPECT_EQ(button.captionPosition(), QPoint((120 - tw) / 2, g.y() + 16 + 6));
    EXPECT_EQ(rgb(shot, g.x() + 2, g.y() + 2), rgb(red));

    // Pressed, the glyph moves one pixel right and down.
    mouseMove(&button, QPoint(5, 5));
    mousePress(&button, QPoint(5, 5));
    shot = grabImage(&button);
    EXPECT_NE(rgb(shot, g.x() + 2, g.y() + 2), rgb(red));
    EXPECT_EQ(rgb(shot, g.x() + 3, g.y() + 3), rgb(red));
    mouseRelease(&button, QPoint(5, 5));

    button.setEnabled(false);
    shot = grabImage(&button);
    EXPECT_EQ(countColor(shot, rgb(red)), 0);
    EXPECT_EQ(countColor(shot, rgb(blue)), 144);
}

TEST(ButtonTest, OneFrameGlyphIsGreyedWhenDisabled)
{
    QImage glyph(20, 16, QImage::Format_RGB32);
    glyph.fill(QColor(0, 255, 0));
    QPainter(&glyph).fillRect(4, 4, 8, 8, QColor(255, 0, 0));
    FlatForm form;
    TvexButton button(&form);
    button.setGlyph(glyph);
    EXPECT_EQ(countColor(grabImage(&button), 0xFF0000u), 64);
    button.setEnabled(false);
    const QImage shot = grabImage(&button);
    EXPECT_EQ(countColor(shot, 0xFF0000u), 0);
    EXPECT_GE(countColor(shot, 0x808080u), 64);
}

// A shown button with spies on its ticks and its clicks, for the tests of
// holding it down.
class HeldButtonTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(shown.show()); }

    // Whether no tick comes while three of the button's periods pass.
    bool ticksStayPut()
    {
        const auto before = ticks.count();
        return testsupport::letPeriodsPass(button.MouseContinuouslyDownInterval(), 3) && ticks.count() == before;
    }

    ControlOnForm<TvexButton> shown;
    TvexButton &button = shown.control;
    QSignalSpy ticks{&button, &TvexButton::OnMouseContinuouslyDown};
    QSignalSpy clicks{&button, &TvexButton::OnClick};
};

TEST_F(HeldButtonTest, TicksAtItsIntervalThenClicksOnReleaseInside)
{
    mouseMove(&button, QPoint(10, 10));
    QElapsedTimer held;
    held.start();
    mousePress(&button, QPoint(10, 10));
    EXPECT_TRUE(button.isRepeating());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks.count() >= 3; }, 5000));
    // Three ticks of 100 ms cannot come before 300 ms (less the timer's slack).
    EXPECT_GE(held.elapsed(), 280);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(ticks.first().first().value<QObject *>(), &button);

    mouseRelease(&button, QPoint(10, 10));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks.first().first().value<QObject *>(), &button);
    EXPECT_FALSE(button.isRepeating());
    EXPECT_TRUE(ticksStayPut());
}

TEST_F(HeldButtonTest, DraggingOutStopsTheTicksAndReleasingOutsideDoesNotClick)
{
    mouseMove(&button, QPoint(10, 10));
    mousePress(&button, QPoint(10, 10));
    mouseMove(&button, QPoint(200, 100));
    EXPECT_FALSE(button.isRepeating());
    EXPECT_TRUE(ticksStayPut());
    mouseRelease(&button, QPoint(200, 100));
    EXPECT_EQ(clicks.count(), 0);

    // A period of 0 or below never ticks.
    const auto after = ticks.count();
    for (int interval : {0, -50}) {
        button.setMouseContinuouslyDownInterval(interval);
        mouseMove(&button, QPoint(10, 10));
        mousePress(&button, QPoint(10, 10));
        // Even a timer of the shortest period would have fired by now.
        ASSERT_TRUE(testsupport::letPeriodsPass(1, 20));
        EXPECT_EQ(ticks.count(), after);
        mouseRelease(&button, QPoint(10, 10));
    }
    EXPECT_EQ(clicks.count(), 2);

    // A fast second click is a second click.
    mouseMove(&button, QPoint(10, 10));
    QTest::mouseDClick(windowOf(&button), Qt::LeftButton, {}, inWindow(&button, QPoint(10, 10)));
    EXPECT_EQ(clicks.count(), 4);
}

TEST(ButtonTest, SpaceAndEnterPushTheFocusedButton)
{
    ControlOnForm<TvexButton> shown;
    ASSERT_TRUE(shown.show());
    TvexButton &button = shown.control;
    button.setFocus();
    QSignalSpy clicks(&button, &TvexButton::OnClick);

    QTest::keyPress(&button, Qt::Key_Space);
    EXPECT_TRUE(button.isPressed());
    EXPECT_EQ(clicks.count(), 0);
    QTest::keyRelease(&button, Qt::Key_Space);
    EXPECT_FALSE(button.isPressed());
    EXPECT_EQ(clicks.count(), 1);

    // The focused button is the active default: Enter clicks it at once.
    EXPECT_TRUE(button.isActiveDefault());
    QTest::keyPress(&button, Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 2);
    QTest::keyRelease(&button, Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 2);

    button.setEnabled(false);
    QTest::keyClick(&shown.form, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 2);
}

// A line edit and two buttons on an active form: target, the default or
// cancel button of a test, and other, a button that may take the focus.
class FormKeysTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        edit->move(0, 100);
        other->move(100, 0);
        ASSERT_TRUE(form.showActive());
    }

    FlatForm form;
    QLineEdit *edit = new QLineEdit(&form);
    TvexButton *target = new TvexButton(&form);
    TvexButton *other = new TvexButton(&form);
    QSignalSpy targetClicks{target, &TvexButton::OnClick};
    QSignalSpy otherClicks{other, &TvexButton::OnClick};
};

TEST_F(FormKeysTest, EnterClicksTheDefaultButtonUnlessAnotherButtonHasFocus)
{
    target->setDefault(true);

    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(targetClicks.count(), 1);
    QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(targetClicks.count(), 2);
    QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(targetClicks.count(), 2) << "a modifier keeps Enter from the default button";

    other->setFocus();
    EXPECT_FALSE(target->isActiveDefault());
    QTest::keyClick(other, Qt::Key_Return);
    EXPECT_EQ(otherClicks.count(), 1);
    EXPECT_EQ(targetClicks.count(), 2);

    edit->setFocus();
    EXPECT_TRUE(target->isActiveDefault());
    target->setDefault(false);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(targetClicks.count(), 2);

    // A hidden default cannot take focus and does not click.
    target->setDefault(true);
    target->hide();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(targetClicks.count(), 2);
}

TEST_F(FormKeysTest, EscapeClicksTheCancelButton)
{
    target->setCancel(true);

    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(targetClicks.count(), 1);
    other->setFocus();
    QTest::keyClick(other, Qt::Key_Escape);
    EXPECT_EQ(targetClicks.count(), 2);
    EXPECT_EQ(otherClicks.count(), 0);
    QTest::keyClick(edit, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_EQ(targetClicks.count(), 2);
}

TEST(ButtonTest, AcceleratorClicksAnEnabledButton)
{
    FlatForm form;
    auto *edit = new QLineEdit(&form);
    edit->move(0, 100);
    TvexButton button(&form);
    button.setCaption(QStringLiteral("&Go"));
    ASSERT_TRUE(form.showActive());
    edit->setFocus();
    QSignalSpy clicks(&button, &TvexButton::OnClick);
    QTest::keyClick(edit, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    button.setEnabled(false);
    QTest::keyClick(edit, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    button.setEnabled(true);
    button.setCaption(QStringLiteral("Go"));
    QTest::keyClick(edit, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(ButtonTest, ClickWritesModalResultIntoTheParentForm)
{
    QWidget form;
    form.setProperty("ModalResult", 1);
    auto *panel = new vex::TvexImagePanel(&form);
    TvexButton button(panel);
    button.Click();
    EXPECT_EQ(form.property("ModalResult").toInt(), 0);
    button.setModalResult(7);
    button.Click();
    EXPECT_EQ(form.property("ModalResult").toInt(), 7);

    QDialog dialog;
    TvexButton ok(&dialog);
    ok.setModalResult(QDialog::Accepted);
    ok.Click();
    EXPECT_EQ(dialog.result(), int(QDialog::Accepted));

    // Without a parent form there is nowhere to store it; the click goes on.
    TvexButton orphan;
    orphan.setModalResult(3);
    QSignalSpy clicks(&orphan, &TvexButton::OnClick);
    orphan.Click();
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_TRUE(orphan.dynamicPropertyNames().isEmpty());
}

TEST(ButtonTest, AutoSizeTakesOneFrameOfTheBuiltInPictureOnce)
{
    FlatForm form;
    TvexButton button(&form);
    button.setUIStyle(TvexUIStyle::MacOS);
    button.setAutoSize(true);
    EXPECT_EQ(button.size(), QSize(84, 23));
    button.setUIStyle(TvexUIStyle::BlueGlass);
    EXPECT_EQ(button.size(), QSize(84, 23)) << "later style changes do not resize";

    TvexButton themed(&form);
    themed.setUIStyle(TvexUIStyle::FromThemeFile);
    themed.setAutoSize(true);
    EXPECT_EQ(themed.size(), QSize(24, 21));
}

TEST(ButtonTest, ThemeStyleWithoutThemeDrawsDeepBlueAndARemovedThemeFallsBack)
{
    FlatForm form;
    auto *theme = new vex::TvexFileTheme(&form);
    TvexButton button(&form);
    button.setUIStyle(TvexUIStyle::FromThemeFile);
    button.setFileTheme(theme);
    EXPECT_EQ(button.FileTheme(), theme);
    const QImage deepBlue = frameOf(TvexUIStyle::DeepBlue, 1);
    EXPECT_EQ(mismatches(grabImage(&button), {}, deepBlue, QRect(0, 0, 37, 10)), 0);
    EXPECT_FALSE(button.Transparent());

    button.setUIStyle(TvexUIStyle::MacOS);
    EXPECT_TRUE(button.Transparent());
    delete theme;
    EXPECT_EQ(button.FileTheme(), nullptr);
    EXPECT_EQ(button.UIStyle(), TvexUIStyle::DeepBlue);
    EXPECT_FALSE(button.Transparent());
}

TEST(ButtonTest, FormDescriptionKeepsATransparentStoredAfterUIStyle)
{
    platform::FormLoader loader;
    loader.registerClass<TvexButton>(QStringLiteral("TvexButton"));
    LoadForm form;
    loader.loadFromText(&form, R"(
object F : QWidget {
    object kept : TvexButton {
        UIStyle = MacOS
        Transparent = false
        Caption = "&Start"
        OnClick = vexButton2Click
    }
    object overridden : TvexButton {
        Transparent = false
        UIStyle = MacOS
        Default = true
        ResHandle = 77
    }
}
)",
                        QString());
    auto *kept = form.findChild<TvexButton *>(QStringLiteral("kept"));
    auto *overridden = form.findChild<TvexButton *>(QStringLiteral("overridden"));
    ASSERT_TRUE(kept && overridden);
    EXPECT_FALSE(kept->Transparent());
    EXPECT_TRUE(overridden->Transparent());
    EXPECT_TRUE(overridden->Default());
    EXPECT_FALSE(kept->isLoading());
    EXPECT_EQ(kept->Caption(), QStringLiteral("&Start"));
    kept->Click();
    EXPECT_EQ(form.clicks, 1);
}

} // namespace

#include "ButtonTest.moc"
