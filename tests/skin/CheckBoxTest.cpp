#include "ControlTestKit.h"

#include "platform/gui/FormLoader.h"
#include "skin/VEXButton.h"
#include "skin/VEXImagePanel.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace controltest;
using vex::TvexCheckBox;
using vex::TvexRadioButton;
using vex::TvexUIStyle;

namespace {

// Moving focus away from one of these checks the radio button that gets it.
class TvexRadioGroupButton : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
};

class LoadForm : public QWidget
{
    Q_OBJECT
public:
    QObjectList clicked;
public slots:
    void radioClick(QObject *Sender) { clicked.append(Sender); }
};

QImage stateFrame(TvexUIStyle style, int element, int index)
{
    return builtInFrame(style, element, index, 4);
}

// Left edge and top of the state picture inside a control of this height.
QPoint pictureAt(const QWidget &w, const QImage &picture, bool rightToLeft = false)
{
    const int x = rightToLeft ? w.width() - picture.width() - 1 : 1;
    return QPoint(x, (w.height() - picture.height()) / 2);
}

TEST(CheckBoxTest, AutoSizeFitsPictureAndCaptionAtPaint)
{
    FlatForm form;
    TvexRadioButton radio(&form);
    EXPECT_EQ(radio.size(), QSize(93, 17)) << "before the first paint";
    EXPECT_TRUE(radio.AutoSize());
    radio.setUIStyle(TvexUIStyle::MacOS);
    radio.setCaption(QStringLiteral("html"));
    radio.resize(43, 21);
    grabImage(&radio);
    const QFontMetrics metrics(radio.font());
    const int hW = metrics.height();
    EXPECT_EQ(radio.height(), qMax(hW + 2, 17) + 4);
    EXPECT_EQ(radio.width(), 16 + 8 + metrics.horizontalAdvance(QStringLiteral("html")));

    TvexCheckBox box(&form);
    box.setFont(FlatForm::crispFont(20));
    box.setCaption(QStringLiteral("CSV"));
    grabImage(&box);
    const QFontMetrics big(box.font());
    EXPECT_EQ(box.height(), qMax(big.height() + 2, 13) + 4);
    EXPECT_EQ(box.width(), 13 + 8 + big.horizontalAdvance(QStringLiteral("CSV")));

    box.setAutoSize(false);
    box.resize(200, 40);
    grabImage(&box);
    EXPECT_EQ(box.size(), QSize(200, 40));
}

TEST(CheckBoxTest, StateFramesFollowCheckedAndEnabledInTwoStyles)
{
    for (TvexUIStyle style : {TvexUIStyle::MacOS, TvexUIStyle::WinXP}) {
        SCOPED_TRACE(int(style));
        ControlOnForm<TvexCheckBox> on(style);
        TvexCheckBox &box = on.control;
        box.setCaption(QStringLiteral("x"));
        const struct
        {
            bool checked, enabled;
            int frame;
        } cases[] = {{true, true, 1}, {false, true, 2}, {true, false, 3}, {false, false, 4}};
        for (const auto &c : cases) {
            box.setChecked(c.checked);
            box.setEnabled(c.enabled);
            const QImage frame = stateFrame(style, vex::CheckBoxImage, c.frame);
            ASSERT_FALSE(frame.isNull());
            const QImage shot = grabImage(&box);
            EXPECT_EQ(mismatches(shot, pictureAt(box, frame), frame, frame.rect()), 0) << "frame " << c.frame;
        }
    }
}

TEST(CheckBoxTest, RadioPictureKeysOutItsCornerColourOverTheParent)
{
    for (TvexUIStyle style : {TvexUIStyle::MacOS, TvexUIStyle::DeepBlue}) {
        SCOPED_TRACE(int(style));
        ControlOnForm<TvexRadioButton> on(style);
        TvexRadioButton &radio = on.control;
        radio.setTransparent(true);
        radio.setChecked(true);
        const QImage frame = stateFrame(style, vex::RadioButtonImage, 1);
        ASSERT_EQ(rgb(frame, 0, frame.height() - 1), Magenta);
        const QImage shot = grabImage(&radio);
        const QPoint at = pictureAt(radio, frame);
        EXPECT_EQ(mismatches(shot, at, frame, frame.rect(), true), 0);
        EXPECT_EQ(countColor(shot, Magenta), 0);
        EXPECT_EQ(rgb(shot, at.x(), at.y() + frame.height() - 1), rgb(on.form.color()));
        EXPECT_EQ(rgb(shot, 0, 0), rgb(on.form.color())) << "transparent: the parent shows through";

        // Opaque, the background is the control's Color.
        radio.setTransparent(false);
        radio.setColor(platform::rgb(10, 20, 30));
        EXPECT_FALSE(radio.ParentColor());
        EXPECT_EQ(rgb(grabImage(&radio), 0, 0), 0x0A141Eu);
    }
}

TEST(CheckBoxTest, RightToLeftPutsThePictureAtTheRightOnlyOnARightToLeftSystem)
{
    FlatForm form;
    TvexCheckBox box(&form);
    box.setUIStyle(TvexUIStyle::WinXP);
    box.setCaption(QStringLiteral("abc"));
    box.setAutoSize(false);
    box.resize(120, 21);
    box.setBiDiMode(TvexCheckBox::bdRightToLeft);
    const QImage frame = stateFrame(TvexUIStyle::WinXP, vex::CheckBoxImage, 2);

    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(mismatches(grabImage(&box), pictureAt(box, frame), frame, frame.rect()), 0);

    QLocale::setDefault(QLocale(QLocale::Hebrew, QLocale::Israel));
    const QImage shot = grabImage(&box);
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(mismatches(shot, pictureAt(box, frame, true), frame, frame.rect()), 0);
    // The caption ends against the picture: nothing drawn at the left edge.
    int textRight = -1;
    for (int x = 0; x < 120 - 13 - 1; ++x)
        for (int y = 0; y < 21; ++y)
            if (rgb(shot, x, y) == 0)
                textRight = x;
    EXPECT_GT(textRight, 120 - (13 + 4) - 8);
    EXPECT_LT(textRight, 120 - (13 + 4));
}

// The palette's disabled text colour is the pale grey that vanishes on the
// style patterns; the caption keeps the font's colour and only the picture
// changes.
TEST(CheckBoxTest, CaptionKeepsTheFontColourWhenDisabled)
{
    FlatForm form(QColor(0xF0, 0xF0, 0xF0));
    QPalette p = form.palette();
    p.setColor(QPalette::Active, QPalette::WindowText, QColor(0x10, 0x20, 0x80));
    p.setColor(QPalette::Inactive, QPalette::WindowText, QColor(0x10, 0x20, 0x80));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xBE, 0xBE, 0xBE));
    form.setPalette(p);
    const unsigned fontColour = 0x102080u;
    TvexCheckBox box(&form);
    TvexRadioButton radio(&form);
    radio.move(0, 40);
    for (TvexCheckBox *control : {&box, static_cast<TvexCheckBox *>(&radio)}) {
        SCOPED_TRACE(control == &box ? "check box" : "radio button");
        control->setUIStyle(TvexUIStyle::WinXP);
        control->setFont(FlatForm::crispFont(16, true));
        control->setCaption(QStringLiteral("WWW"));
        for (bool enabled : {true, false}) {
            SCOPED_TRACE(enabled ? "enabled" : "disabled");
            control->setEnabled(enabled);
            const QImage shot = grabImage(control);
            const QRect caption(20, 0, shot.width() - 20, shot.height());
            EXPECT_GT(countColor(shot, fontColour, caption), 20);
            EXPECT_EQ(countColor(shot, 0xBEBEBEu, caption), 0);
        }
    }
}

TEST(CheckBoxTest, FocusRectangleOnlyWithTabStop)
{
    FlatForm form;
    TvexCheckBox box(&form);
    box.setCaption(QStringLiteral("Option"));
    auto *other = new TvexCheckBox(&form);
    other->move(0, 50);
    ASSERT_TRUE(form.showActive());
    other->setFocus();
    const QImage plain = grabImage(&box);
    box.setFocus();
    ASSERT_TRUE(box.hasFocus());
    const QImage focused = grabImage(&box);
    const int pw = 13, hW = box.fontMetrics().height();
    const int y0 = (box.height() - hW) / 2;
    EXPECT_EQ(rgb(focused, pw + 3 + (y0 % 2), y0), rgb(plain, pw + 3 + (y0 % 2), y0) ^ 0xFFFFFFu);
    EXPECT_EQ(rgb(focused, box.width() - 1 - ((box.width() - 1 + y0) % 2), y0),
              rgb(plain, box.width() - 1 - ((box.width() - 1 + y0) % 2), y0) ^ 0xFFFFFFu);

    box.setTabStop(false);
    EXPECT_TRUE(box.hasFocus());
    EXPECT_TRUE(grabImage(&box) == plain);

    // A click still focuses a control without TabStop.
    other->setFocus();
    mouseClick(&box, QPoint(3, 3));
    EXPECT_TRUE(box.hasFocus());
}

TEST(CheckBoxTest, ClickingARadioUnchecksItsGroupOnTheSameParentOnly)
{
    FlatForm form(QColor(0x20, 0xC0, 0x40), QSize(500, 200));
    auto *panel = new vex::TvexImagePanel(&form);
    panel->setGeometry(0, 0, 500, 60);
    auto *other = new vex::TvexImagePanel(&form);
    other->setGeometry(0, 100, 500, 60);
    TvexRadioButton *radios[3];
    QSignalSpy *spies[3];
    for (int i = 0; i < 3; ++i) {
        radios[i] = new TvexRadioButton(panel);
        radios[i]->move(10 + 110 * i, 10);
        radios[i]->setCaption(QStringLiteral("kind %1").arg(i));
        spies[i] = new QSignalSpy(radios[i], &TvexRadioButton::OnClick);
    }
    auto *elsewhere = new TvexRadioButton(other);
    auto *otherGroup = new TvexRadioButton(panel);
    otherGroup->move(400, 10);
    otherGroup->setGroupIndex(1);
    ASSERT_TRUE(form.showActive());
    radios[0]->setChecked(true);
    elsewhere->setChecked(true);
    otherGroup->setChecked(true);
    spies[0]->clear();

    mouseClick(radios[1], QPoint(4, 4));
    EXPECT_FALSE(radios[0]->Checked());
    EXPECT_TRUE(radios[1]->Checked());
    EXPECT_FALSE(radios[2]->Checked());
    EXPECT_TRUE(elsewhere->Checked()) << "another parent is another group";
    EXPECT_TRUE(otherGroup->Checked()) << "another GroupIndex is another group";
    EXPECT_EQ(spies[0]->count(), 0);
    EXPECT_EQ(spies[1]->count(), 1);
    EXPECT_EQ(spies[2]->count(), 0);

    // Clicking the checked one again changes nothing and fires nothing.
    mouseClick(radios[1], QPoint(4, 4));
    EXPECT_TRUE(radios[1]->Checked());
    EXPECT_EQ(spies[1]->count(), 1);

    // A double click on a radio button is a double click.
    QSignalSpy doubles(radios[2], &TvexRadioButton::OnDblClick);
    mouseMove(radios[2], QPoint(4, 4));
    QTest::mouseDClick(windowOf(radios[2]), Qt::LeftButton, {}, inWindow(radios[2], QPoint(4, 4)));
    EXPECT_EQ(doubles.count(), 1);
    EXPECT_TRUE(radios[2]->Checked());
    EXPECT_EQ(spies[2]->count(), 1);
    for (QSignalSpy *spy : spies)
        delete spy;
}

TEST(CheckBoxTest, CheckBoxFiresOnClickOnEveryChangeAndHasNoDoubleClick)
{
    ControlOnForm<TvexCheckBox> shown;
    ASSERT_TRUE(shown.show());
    TvexCheckBox &box = shown.control;
    QSignalSpy clicks(&box, &TvexCheckBox::OnClick);
    QSignalSpy doubles(&box, &TvexCheckBox::OnDblClick);

    box.setChecked(true);
    box.setChecked(true);
    EXPECT_EQ(clicks.count(), 1);
    box.setState(TvexCheckBox::cbGrayed);
    EXPECT_FALSE(box.Checked());
    EXPECT_EQ(box.State(), TvexCheckBox::cbUnchecked);
    EXPECT_EQ(clicks.count(), 2);
    box.setState(TvexCheckBox::cbChecked);
    EXPECT_TRUE(box.Checked());
    EXPECT_EQ(clicks.count(), 3);

    // A fast second click is an ordinary click.
    mouseMove(&box, QPoint(4, 4));
    QTest::mouseDClick(windowOf(&box), Qt::LeftButton, {}, inWindow(&box, QPoint(4, 4)));
    EXPECT_EQ(clicks.count(), 5);
    EXPECT_TRUE(box.Checked());
    EXPECT_EQ(doubles.count(), 0);

    // Disabled: frame 3 and no reaction.
    box.setEnabled(false);
    mouseClick(&box, QPoint(4, 4));
    EXPECT_TRUE(box.Checked());
    EXPECT_EQ(clicks.count(), 5);
    const QImage frame = stateFrame(TvexUIStyle::DeepBlue, vex::CheckBoxImage, 3);
    EXPECT_EQ(mismatches(grabImage(&box), pictureAt(box, frame), frame, frame.rect()), 0);
}

TEST(CheckBoxTest, SpaceAndEnterToggleACheckBoxButNotARadioButton)
{
    FlatForm form;
    TvexCheckBox box(&form);
    TvexRadioButton radio(&form);
    radio.move(0, 40);
    ASSERT_TRUE(form.showActive());

    box.setFocus();
    QTest::keyPress(&box, Qt::Key_Space);
    EXPECT_FALSE(box.Checked()) << "the key release toggles";
    QTest::keyRelease(&box, Qt::Key_Space);
    EXPECT_TRUE(box.Checked());
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_FALSE(box.Checked());

    radio.setFocus();
    QTest::keyClick(&radio, Qt::Key_Space);
    QTest::keyClick(&radio, Qt::Key_Return);
    EXPECT_FALSE(radio.Checked());
}

TEST(CheckBoxTest, AcceleratorClicksAndFocuses)
{
    FlatForm form;
    TvexCheckBox box(&form);
    box.setCaption(QStringLiteral("&Xml"));
    TvexRadioButton radio(&form);
    radio.move(0, 40);
    radio.setCaption(QStringLiteral("&Csv"));
    ASSERT_TRUE(form.showActive());
    QTest::keyClick(&form, Qt::Key_X, Qt::AltModifier);
    EXPECT_TRUE(box.Checked());
    EXPECT_TRUE(box.hasFocus());
    QTest::keyClick(&form, Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(radio.Checked());
    EXPECT_TRUE(radio.hasFocus());
}

TEST(CheckBoxTest, FocusFromARadioGroupButtonChecksTheRadio)
{
    FlatForm form;
    auto *groupButton = new TvexRadioGroupButton(&form);
    groupButton->setFocusPolicy(Qt::StrongFocus);
    auto *plain = new TvexCheckBox(&form);
    plain->move(0, 80);
    TvexRadioButton radio(&form);
    radio.move(0, 40);
    ASSERT_TRUE(form.showActive());

    plain->setFocus();
    radio.setFocus();
    EXPECT_FALSE(radio.Checked());
    groupButton->setFocus();
    radio.setFocus();
    EXPECT_TRUE(radio.Checked());
}

TEST(CheckBoxTest, RadioStoredCheckedUnchecksEarlierOnesWithoutOnClick)
{
    platform::FormLoader loader;
    loader.registerClass<TvexRadioButton>(QStringLiteral("TvexRadioButton"));
    loader.registerClass<TvexCheckBox>(QStringLiteral("TvexCheckBox"));
    LoadForm form;
    loader.loadFromText(&form, R"(
object F : QWidget {
    object r1 : TvexRadioButton { Checked = true   OnClick = radioClick }
    object r2 : TvexRadioButton { OnClick = radioClick  Checked = true }
    object r3 : TvexRadioButton { OnClick = radioClick }
    object b1 : TvexCheckBox { OnClick = radioClick  State = cbChecked  UIStyle = Protein }
}
)",
                        QString());
    auto *r1 = form.findChild<TvexRadioButton *>(QStringLiteral("r1"));
    auto *r2 = form.findChild<TvexRadioButton *>(QStringLiteral("r2"));
    auto *r3 = form.findChild<TvexRadioButton *>(QStringLiteral("r3"));
    auto *b1 = form.findChild<TvexCheckBox *>(QStringLiteral("b1"));
    ASSERT_TRUE(r1 && r2 && r3 && b1);
    EXPECT_FALSE(r1->Checked());
    EXPECT_TRUE(r2->Checked());
    EXPECT_TRUE(b1->Checked());
    EXPECT_EQ(b1->UIStyle(), TvexUIStyle::Protein);
    EXPECT_TRUE(form.clicked.isEmpty()) << "no OnClick while loading";

    r3->setChecked(true);
    EXPECT_FALSE(r2->Checked());
    EXPECT_EQ(form.clicked, QObjectList{r3});
}

} // namespace

#include "CheckBoxTest.moc"
