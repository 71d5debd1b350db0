#include "ControlTestKit.h"
#include "StandInFrame.h"
#include "common/TestSupport.h"

#include "platform/gui/FormLoader.h"
#include "skin/VEXButton.h"
#include "skin/VEXForm.h"
#include "skin/VEXImagePanel.h"
#include "skin/VEXMainMenu.h"
#include "skin/VEXPopupMenu.h"
#include "skin/VEXRegister.h"
#include "skin/VEXUsageError.h"

#include <QMetaProperty>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using namespace controltest;
using namespace vex;

namespace {

// Makes one of each skinned control on parent.
using ControlMaker = std::function<TvexControl *(QWidget *)>;
const QList<QPair<const char *, ControlMaker>> &eachControl()
{
    static const QList<QPair<const char *, ControlMaker>> makers = {
        {"button", [](QWidget *p) -> TvexControl * { return new TvexButton(p); }},
        {"check box", [](QWidget *p) -> TvexControl * { return new TvexCheckBox(p); }},
        {"radio button", [](QWidget *p) -> TvexControl * { return new TvexRadioButton(p); }},
        {"panel", [](QWidget *p) -> TvexControl * { return new TvexImagePanel(p); }},
    };
    return makers;
}

// Places and shows control, lets the handler of signal delete it and sends
// it input; answers whether the control is gone soon after.
template <typename Signal>
bool deletedByItsHandler(TvexControl *control, QRect geometry, Signal signal,
                         const std::function<void(TvexControl *)> &input)
{
    QPointer<TvexControl> watched = control;
    control->setGeometry(geometry);
    control->show();
    QObject::connect(control, signal, [watched] { delete watched.data(); });
    input(control);
    return QTest::qWaitFor([&] { return watched.isNull(); }, 1000);
}

} // namespace

// A handler may delete the control it is told about; the control must not
// touch itself afterwards (a sanitizer build turns that into a failure).
TEST(ControlBase, HandlersThatDeleteTheControlEndTheEvent)
{
    for (const auto &[name, make] : eachControl()) {
        SCOPED_TRACE(name);
        FlatForm form;
        ASSERT_TRUE(form.showActive());

        EXPECT_TRUE(deletedByItsHandler(make(&form), QRect(10, 10, 80, 24), &TvexControl::OnClick,
                                        [](TvexControl *c) { mouseClick(c, QPoint(20, 12)); }));
        EXPECT_TRUE(deletedByItsHandler(make(&form), QRect(10, 40, 80, 24), &TvexControl::OnMouseDown,
                                        [](TvexControl *c) { mousePress(c, QPoint(20, 12)); }));
    }
}

// A release outside the control, or of a press that began elsewhere, is no
// click; the access key of a caption clicks, except on a panel whose caption
// is a label.
TEST(ControlBase, ClickOnlyOnAReleaseInsideAfterAPressInside)
{
    for (const auto &[name, make] : eachControl()) {
        SCOPED_TRACE(name);
        FlatForm form;
        ASSERT_TRUE(form.showActive());
        TvexControl *control = make(&form);
        control->setGeometry(10, 10, 80, 24);
        control->setCaption(QStringLiteral("&Keep"));
        control->show();
        QSignalSpy clicks(control, &TvexControl::OnClick);

        mousePress(control, QPoint(20, 12));
        mouseRelease(control, QPoint(200, 150));
        EXPECT_EQ(clicks.count(), 0) << "released outside";
        mouseRelease(control, QPoint(20, 12));
        EXPECT_EQ(clicks.count(), 0) << "a release without its press";
        mouseClick(control, QPoint(20, 12));
        EXPECT_EQ(clicks.count(), 1);

        QTest::keyClick(&form, Qt::Key_K, Qt::AltModifier);
        const bool isPanel = qobject_cast<TvexCustomPanel *>(control) != nullptr;
        // A radio button that is already checked fires nothing on a click.
        const bool isRadio = qobject_cast<TvexRadioButton *>(control) != nullptr;
        EXPECT_EQ(clicks.count(), isPanel || isRadio ? 1 : 2) << "access key";
    }
}

// What a paint shows is laid out before the paint: a check box fits its
// caption as soon as the caption changes, the button's glyph has its place
// before anything is drawn, and painting twice changes nothing.
// The controls that take keys report each press and release before acting
// on it; releasing Space clicks a focused button or check box, not a radio
// button, and a handler that deletes the control ends the key's handling.
TEST(KeyedControl, ReportsKeysThenClicksOnTheReleaseOfSpace)
{
    const struct
    {
        const char *name;
        std::function<TvexKeyedControl *(QWidget *)> make;
        bool spaceClicks;
    } kinds[] = {
        {"button", [](QWidget *p) { return new TvexButton(p); }, true},
        {"check box", [](QWidget *p) { return new TvexCheckBox(p); }, true},
        {"radio button", [](QWidget *p) { return new TvexRadioButton(p); }, false},
    };
    for (const auto &kind : kinds) {
        SCOPED_TRACE(kind.name);
        FlatForm form;
        ASSERT_TRUE(form.showActive());
        QPointer<TvexKeyedControl> control = kind.make(&form);
        control->setGeometry(10, 10, 80, 24);
        control->show();
        control->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return control->hasFocus(); }, 1000));
        QStringList seen;
        QObject::connect(control.data(), &TvexKeyedControl::OnKeyDown, [&](QObject *, int key, Qt::KeyboardModifiers) {
            seen << QStringLiteral("down %1").arg(key);
        });
        QObject::connect(control.data(), &TvexKeyedControl::OnKeyPress,
                         [&](QObject *, const QString &text) { seen << QStringLiteral("press ") + text; });
        QObject::connect(control.data(), &TvexKeyedControl::OnKeyUp,
                         [&](QObject *, int key, Qt::KeyboardModifiers) { seen << QStringLiteral("up %1").arg(key); });
        QObject::connect(control.data(), &TvexControl::OnClick, [&] { seen << QStringLiteral("click"); });
        QTest::keyClick(control, Qt::Key_A);
        EXPECT_EQ(seen, (QStringList{"down 65", "press a", "up 65"}));
        seen.clear();
        QTest::keyClick(control, Qt::Key_Space);
        ASSERT_FALSE(seen.isEmpty());
        EXPECT_EQ(seen.first(), "down 32");
        const qsizetype up = seen.indexOf(QStringLiteral("up 32"));
        EXPECT_GT(up, 0);
        EXPECT_EQ(seen.count(QStringLiteral("click")), kind.spaceClicks ? 1 : 0);
        if (kind.spaceClicks) {
            EXPECT_EQ(seen.last(), "click");
        }

        QObject::connect(control.data(), &TvexKeyedControl::OnKeyUp, [&control] { delete control.data(); });
        QTest::keyClick(control, Qt::Key_Space);
        EXPECT_TRUE(control.isNull());
    }
}

TEST(ControlBase, LayoutHappensOnChangesNotInPaint)
{
    FlatForm form;
    TvexCheckBox box(&form);
    box.setCaption(QStringLiteral("Comma separated"));
    const QSize fitted = box.size();
    EXPECT_EQ(fitted, box.sizeHint()) << "fitted without a paint";
    box.setFont(FlatForm::crispFont(24));
    EXPECT_GT(box.height(), fitted.height()) << "a larger font fits again";
    // A hidden widget hears of its resizes when it is shown.
    ASSERT_TRUE(form.showActive());
    box.resize(300, 80);
    EXPECT_EQ(box.size(), box.sizeHint()) << "AutoSize keeps the fitted size";
    box.setAutoSize(false);
    box.resize(300, 80);
    EXPECT_EQ(box.size(), QSize(300, 80));

    QImage glyph(16, 16, QImage::Format_RGB32);
    glyph.fill(Qt::red);
    TvexButton button(&form);
    button.resize(120, 60);
    button.setGlyph(glyph);
    const QPoint before = button.glyphPosition();
    EXPECT_NE(before, QPoint()) << "placed without a paint";
    button.resize(200, 60);
    EXPECT_EQ(button.glyphPosition().x(), before.x() + 40) << "follows the size";

    button.show();
    button.setUIStyle(TvexUIStyle::MacOS);
    button.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return button.hasFocus(); }, 1000));
    const QImage first = grabImage(&button);
    EXPECT_TRUE(grabImage(&button) == first) << "a second paint of the same state differs";
}

// Every property the menus publish reaches the shared look by name, on both
// menu classes, as the form loader sets them.
TEST(MenuLook, PublishedPropertiesReachTheLookOnBothMenus)
{
    FlatForm form;
    TvexPopupMenu popup(&form);
    TvexMainMenu main(&form);
    for (QMenu *menu : {static_cast<QMenu *>(&popup), static_cast<QMenu *>(&main)}) {
        SCOPED_TRACE(menu->metaObject()->className());
        const TvexMenuLook &look = menu == &popup ? popup.look() : main.look();
        ASSERT_TRUE(menu->setProperty("UIStyle", QVariant::fromValue(TvexUIStyle::WinXP)));
        ASSERT_TRUE(menu->setProperty("MenuItemHeight", 33));
        ASSERT_TRUE(menu->setProperty("BarWidth", 41));
        ASSERT_TRUE(menu->setProperty("SelectedColor", QVariant::fromValue(platform::TColor(0x123456))));
        ASSERT_TRUE(menu->setProperty("FontName", QStringLiteral("DejaVu Sans")));
        ASSERT_TRUE(menu->setProperty("FlatMenu", true));
        EXPECT_EQ(look.UIStyle(), TvexUIStyle::WinXP);
        EXPECT_EQ(look.MenuItemHeight(), 33);
        EXPECT_EQ(look.BarWidth(), 41);
        EXPECT_EQ(look.SelectedColor(), 0x123456);
        EXPECT_EQ(look.FontName(), QStringLiteral("DejaVu Sans"));
        EXPECT_TRUE(look.FlatMenu());
        EXPECT_EQ(menu->property("MenuItemHeight").toInt(), 33);
    }
}

// A refused value is reported once, to the newest recorder, and changes
// nothing; without a recorder the report would be a modal box.
TEST(UsageErrors, RecordersTakeTheReportsNewestFirst)
{
    TvexUsageErrorRecorder outer;
    ReportUsageError(QStringLiteral("one"));
    {
        TvexUsageErrorRecorder inner;
        ReportUsageError(QStringLiteral("two"));
        EXPECT_EQ(inner.take(), QStringList({"two"}));
        EXPECT_TRUE(inner.messages().isEmpty());
    }
    ReportUsageError(QStringLiteral("three"));
    EXPECT_EQ(outer.messages(), QStringList({"one", "three"}));

    QWidget host;
    TvexForm frame(&host);
    QWidget panel(&host);
    frame.setFormPanel(&panel);
    outer.take();
    frame.setFormPanel(&frame);
    EXPECT_EQ(outer.take().size(), 1) << "a frame as its own panel is reported";
    EXPECT_EQ(frame.FormPanel(), &panel) << "and refused";
}

// The program and the gallery load through one registration: every skin
// class a form description may name is known, and a form of them loads with
// the frame's style reaching a control and the main menu.
TEST(SkinClasses, OneRegistrationLoadsEveryStoredName)
{
    platform::FormLoader loader;
    registerSkinClasses(loader);
    for (const char *name : {"TvexForm", "TvexFileTheme", "TvexImagePanel", "TvexButton", "TvexCheckBox",
                             "TvexRadioButton", "TvexMainMenu", "TvexPopupMenu", "TMenuItem"})
        EXPECT_TRUE(loader.hasClass(QString::fromLatin1(name))) << name;

    QWidget root;
    root.setObjectName(QStringLiteral("Root"));
    loader.loadFromText(&root, R"(object Root : QWidget {
    object vexForm1 : TvexForm { UIStyle = Protein }
    object Button1 : TvexButton { Caption = "Go" }
    object Menu1 : TvexMainMenu { object Item1 : TMenuItem { Caption = "&File" } }
})",
                        QString());
    auto *button = root.findChild<TvexButton *>(QStringLiteral("Button1"));
    auto *menu = root.findChild<TvexMainMenu *>(QStringLiteral("Menu1"));
    ASSERT_NE(button, nullptr);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(button->Caption(), QStringLiteral("Go"));
    EXPECT_EQ(button->UIStyle(), TvexUIStyle::Protein);
    EXPECT_EQ(menu->actions().size(), 1);
}

// A theme file that is no theme makes the file theme's setter throw while the
// form is loaded; the program learns of it as a form error at that line.
TEST(SkinClasses, ThemeThatCannotBeLoadedIsAFormErrorAtItsLine)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString notATheme = testsupport::writeFile(dir.path(), QStringLiteral("plain.theme"), "just text");
    platform::FormLoader loader;
    registerSkinClasses(loader);
    QWidget root;
    const QByteArray text = "object Root : QWidget {\n"
                            "    object vexFileTheme1 : TvexFileTheme {\n"
                            "        ThemeFile = \""
                            + notATheme.toUtf8()
                            + "\"\n"
                              "    }\n"
                              "}\n";
    try {
        loader.loadFromText(&root, text, QString());
        ADD_FAILURE() << "a file that is no theme was accepted";
    } catch (const platform::FormError &error) {
        EXPECT_EQ(QString::fromUtf8(error.what()),
                  QStringLiteral("line 3: vexFileTheme1.ThemeFile: Invalid skin file for Velkano!"));
    }
}
