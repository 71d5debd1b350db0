#include "StandInFrame.h"

#include "platform/gui/MainForm.h"
#include "skin/VEXMgr.h"
#include "skin/VEXPublic.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace vex;

// Stand-ins for a skinned control, recognised by class name and property
// names only, and for a widget that only bears the frame's class name. A
// namespace keeps them apart from the real classes.
namespace fake {

class TvexForm : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle)
public:
    using QWidget::QWidget;
    TvexUIStyle UIStyle() const { return TvexUIStyle::MacOS; }
};

class TvexControl : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle WRITE setUIStyle)
    Q_PROPERTY(vex::TvexFileTheme *FileTheme READ FileTheme WRITE setFileTheme)
public:
    using QWidget::QWidget;
    QStringList calls;
    TvexUIStyle UIStyle() const { return m_style; }
    void setUIStyle(TvexUIStyle s)
    {
        m_style = s;
        calls << "UIStyle";
    }
    TvexFileTheme *FileTheme() const { return m_theme; }
    void setFileTheme(TvexFileTheme *t)
    {
        m_theme.set(t);
        calls << "FileTheme";
    }
    int removals = 0;

private:
    TvexUIStyle m_style = TvexUIStyle::MacOS;
    TvexFileThemeLink m_theme{this, [this] {
                                  ++removals;
                                  m_style = TvexUIStyle::DeepBlue;
                              }};
};

class StyleOnly : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle WRITE setUIStyle)
public:
    using QWidget::QWidget;
    TvexUIStyle UIStyle() const { return m_style; }
    void setUIStyle(TvexUIStyle s) { m_style = s; }

private:
    TvexUIStyle m_style = TvexUIStyle::WinXP;
};

} // namespace fake

TEST(OwnerFormStyle, FirstFrameOnTheFormDecides)
{
    QWidget form;
    EXPECT_EQ(GetOwnerFormStyle(&form), TvexUIStyle::DeepBlue); // no frame
    new QWidget(&form);
    auto *frame = new skintest::StandInFrame(&form);
    frame->setUIStyle(TvexUIStyle::MacOS);
    auto *second = new skintest::StandInFrame(&form);
    second->setUIStyle(TvexUIStyle::Protein);
    EXPECT_EQ(GetOwnerFormStyle(&form), TvexUIStyle::MacOS);

    // An owner that is not a form, or none.
    EXPECT_EQ(GetOwnerFormStyle(frame), TvexUIStyle::DeepBlue);
    EXPECT_EQ(GetOwnerFormStyle(nullptr), TvexUIStyle::DeepBlue);
    QObject plain;
    EXPECT_EQ(GetOwnerFormStyle(&plain), TvexUIStyle::DeepBlue);

    // A widget that only bears the frame's name and style is no frame.
    QWidget named;
    new fake::TvexForm(&named);
    EXPECT_EQ(GetOwnerFormStyle(&named), TvexUIStyle::DeepBlue);
    EXPECT_EQ(SkinnedFrameOf(named.children().first()), nullptr);
    EXPECT_EQ(SkinnedFrameOf(frame), frame);

    // A frame deeper than the form's own children does not count.
    QWidget other;
    auto *panel = new QWidget(&other);
    (new skintest::StandInFrame(panel))->setUIStyle(TvexUIStyle::WinXP);
    EXPECT_EQ(GetOwnerFormStyle(&other), TvexUIStyle::DeepBlue);
}

TEST(ApplyThemeToChildren, DirectChildrenWithBothPropertiesOnly)
{
    TvexFileTheme theme;
    skintest::StandInFrame frame;
    auto *direct = new fake::TvexControl(&frame);
    auto *styleOnly = new fake::StyleOnly(&frame);
    auto *panel = new QWidget(&frame);
    auto *nested = new fake::TvexControl(panel);

    ApplyThemeToChildren(&frame, TvexUIStyle::BlueGlass, &theme);
    EXPECT_EQ(direct->UIStyle(), TvexUIStyle::BlueGlass);
    EXPECT_EQ(direct->FileTheme(), &theme);
    EXPECT_EQ(direct->calls, QStringList({"FileTheme", "UIStyle"}));
    EXPECT_EQ(styleOnly->UIStyle(), TvexUIStyle::WinXP);
    EXPECT_EQ(nested->UIStyle(), TvexUIStyle::MacOS);
    EXPECT_TRUE(nested->calls.isEmpty());

    ApplyThemeToChildren(&frame, TvexUIStyle::DeepBlue, nullptr);
    EXPECT_EQ(direct->FileTheme(), nullptr);
    EXPECT_EQ(direct->UIStyle(), TvexUIStyle::DeepBlue);
}

TEST(ClassNames, PropertiesAndNamespacesIgnored)
{
    fake::TvexControl control;
    EXPECT_TRUE(HasProperty(&control, "FileTheme"));
    EXPECT_TRUE(HasProperty(&control, "UIStyle"));
    EXPECT_FALSE(HasProperty(&control, "ThemeFile"));
    control.setProperty("Dynamic", 1); // not published
    EXPECT_FALSE(HasProperty(&control, "Dynamic"));
    EXPECT_FALSE(HasProperty(nullptr, "UIStyle"));
    EXPECT_EQ(ClassName(&control), "TvexControl");
    EXPECT_TRUE(InheritsClass(&control, "QWidget"));
    EXPECT_TRUE(InheritsClass(&control, "fake::TvexControl"));
    EXPECT_FALSE(InheritsClass(&control, "TvexForm"));
}

TEST(FileThemeLink, DestroyedThemeClearsTheReferenceAndFallsBack)
{
    fake::TvexControl control;
    auto *theme = new TvexFileTheme;
    control.setFileTheme(theme);
    control.setUIStyle(TvexUIStyle::FromThemeFile);
    delete theme;
    EXPECT_EQ(control.FileTheme(), nullptr);
    EXPECT_EQ(control.UIStyle(), TvexUIStyle::DeepBlue);
    EXPECT_EQ(control.removals, 1);

    // A theme replaced before it dies no longer reaches the control.
    auto *first = new TvexFileTheme;
    TvexFileTheme second;
    control.setFileTheme(first);
    control.setFileTheme(&second);
    delete first;
    EXPECT_EQ(control.FileTheme(), &second);
    EXPECT_EQ(control.removals, 1);

    // A control that dies first leaves nothing behind for the theme to call.
    auto *gone = new fake::TvexControl;
    gone->setFileTheme(&second);
    delete gone;
}

TEST(FileThemeLink, ThemeDestroyedWithItsFormReachesSiblings)
{
    auto *form = new QWidget;
    auto *theme = new TvexFileTheme(form);
    auto *control = new fake::TvexControl(form);
    control->setFileTheme(theme);
    delete theme;
    EXPECT_EQ(control->removals, 1);
    delete form; // the control goes with its form; nothing dangles
}

TEST(UseFileTheme, ResolvesTheEffectiveStyle)
{
    TvexFileTheme empty;
    TvexUIStyle style = TvexUIStyle::FromThemeFile;
    EXPECT_FALSE(UseFileTheme(nullptr, style));
    EXPECT_EQ(style, TvexUIStyle::DeepBlue);
    style = TvexUIStyle::FromThemeFile;
    EXPECT_FALSE(UseFileTheme(&empty, style));
    EXPECT_EQ(style, TvexUIStyle::DeepBlue);
    style = TvexUIStyle::MacOS;
    EXPECT_FALSE(UseFileTheme(&empty, style));
    EXPECT_EQ(style, TvexUIStyle::MacOS);
    // With no loaded theme the one-call lookups answer from DeepBlue.
    EXPECT_EQ(ThemeInt(&empty, TvexUIStyle::FromThemeFile, TitleBarButtonTopInt), 2);
    EXPECT_EQ(ThemeImageFrame(nullptr, TvexUIStyle::FromThemeFile, ButtonImage, 1, 3).size(), QSize(74, 21));
}

TEST(Forms, WorkAreaAndControlRect)
{
    platform::setMainForm(nullptr);
    EXPECT_EQ(GetWorkArea(), QGuiApplication::primaryScreen()->availableGeometry());
    QWidget main;
    platform::setMainForm(&main);
    EXPECT_EQ(GetWorkArea(), main.screen()->availableGeometry());
    platform::setMainForm(nullptr);

    QWidget parent;
    auto *child = new QWidget(&parent);
    SetControlRect(child, QRect(QPoint(7, 9), QPoint(46, 28))); // QRect(7, 9, 40, 20)
    EXPECT_EQ(child->geometry(), QRect(7, 9, 40, 20));
}

TEST(Forms, ActiveWithoutAndWithAMainForm)
{
    platform::setMainForm(nullptr);
    QWidget form;
    EXPECT_FALSE(IsFormActive(&form));
    EXPECT_FALSE(IsFormActive(nullptr));
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_TRUE(IsFormActive(&form));

    QWidget other;
    platform::setMainForm(&form);
    EXPECT_TRUE(IsFormActive(nullptr)); // the application is active
    EXPECT_TRUE(IsFormActive(&form));
    EXPECT_FALSE(IsFormActive(&other)); // its own flag
    platform::setMainForm(nullptr);
}

TEST(Forms, MdiParentCountsAsActive)
{
    QWidget main;
    new QMdiArea(&main);
    platform::setMainForm(&main);
    EXPECT_TRUE(IsFormActive(&main)); // whatever the application's state
    platform::setMainForm(nullptr);
}

#include "SkinFormsTest.moc"
