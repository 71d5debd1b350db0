#include "common/FakeConverter.h"

#include "app/MainWindow.h"
#include "app/WindowSettings.h"
#include "common/TestSupport.h"
#include "platform/gui/DriveControls.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::ScopedCurrentDirectory;
using testsupport::ScopedEnvironment;

namespace {

// A configuration home of its own for each test.
struct ConfigHome
{
    QTemporaryDir dir;
    ScopedEnvironment env{"XDG_CONFIG_HOME", dir.path().toLocal8Bit()};
    QString settingsFile() const { return dir.filePath("tabulon/tabulon.conf"); }
};

struct Window
{
    Window() : form(std::make_unique<TFMain>(std::make_unique<FakeConverter>())) {}
    template <typename T>
    T *get(const char *name)
    {
        return form->findChild<T *>(QLatin1String(name));
    }
    TDirectoryListBox *tree() { return get<TDirectoryListBox>("DirectoryListBox1"); }
    QString masks() { return get<QLineEdit>("eFileType")->text(); }
    QString output() { return get<QLineEdit>("ePath")->text(); }
    bool checked(const char *radio) { return get<QWidget>(radio)->property("Checked").toBool(); }
    std::unique_ptr<TFMain> form;
};

QRect availableArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

TEST(WindowSettings, WhatTheUserLeftComesBackInTheNextWindow)
{
    ConfigHome home;
    QTemporaryDir source;
    const QString outputDir = source.filePath("not-made-yet/out");
    QPoint where;
    {
        Window first;
        first.tree()->setDirectory(source.path());
        first.get<QLineEdit>("eFileType")->setText("*.xlsx, *.ods");
        first.get<QLineEdit>("ePath")->setText(outputDir);
        first.get<QWidget>("vexRadioButton4")->setProperty("Checked", true);
        const QRect area = availableArea();
        ASSERT_LE(first.form->frameGeometry().height() + 37, area.height()) << "the test position must fit the screen";
        where = area.topLeft() + QPoint(0, 37);
        first.form->move(where);
        EXPECT_TRUE(first.form->close());
    }
    ASSERT_TRUE(QFile::exists(home.settingsFile())) << "the file lands in the configuration home";

    Window second;
    EXPECT_EQ(second.tree()->directory(), source.path());
    EXPECT_EQ(second.masks(), "*.xlsx, *.ods");
    EXPECT_EQ(second.output(), outputDir) << "an output directory is made by the run, so a missing one is kept";
    EXPECT_TRUE(second.checked("vexRadioButton4"));
    EXPECT_FALSE(second.checked("vexRadioButton1"));
    EXPECT_FALSE(second.checked("vexRadioButton2"));
    EXPECT_EQ(second.form->pos(), where);
}

TEST(WindowSettings, WithoutAFileOrAKeyTheFormValuesStay)
{
    ConfigHome home;
    QTemporaryDir start;
    ScopedCurrentDirectory cwd(start.path());
    Window defaults;
    const QString defaultOutput = defaults.output();

    {
        QSettings partial(home.settingsFile(), QSettings::IniFormat);
        partial.setValue("MainWindow/masks", "*.csv");
        partial.setValue("MainWindow/kind", "noSuchRadio");
    }
    Window w;
    EXPECT_EQ(w.masks(), "*.csv");
    EXPECT_EQ(w.output(), defaultOutput);
    EXPECT_EQ(w.tree()->directory(), start.path());
    EXPECT_TRUE(w.checked("vexRadioButton1")) << "an unknown kind leaves the stored choice";
    EXPECT_EQ(w.form->pos(), QPoint(346, 110)) << "the stored position is used as is on a first start";
}

TEST(WindowSettings, ASavedDirectoryThatIsGoneFallsBackToTheStartDirectory)
{
    ConfigHome home;
    QTemporaryDir start, gone;
    ScopedCurrentDirectory cwd(start.path());
    const QString goneDir = gone.filePath("was-here");
    QDir().mkpath(goneDir);
    const QString aFile = testsupport::writeFile(gone.path(), "file.xls");
    for (const QString &saved : {goneDir, aFile}) {
        {
            Window first;
            first.tree()->setDirectory(saved);
            ASSERT_EQ(first.tree()->directory(), saved == goneDir ? goneDir : start.path());
            first.get<QLineEdit>("eFileType")->setText("*.ods");
            first.form->close();
        }
        if (saved == goneDir)
            QDir(goneDir).removeRecursively();
        else
            QSettings(home.settingsFile(), QSettings::IniFormat).setValue("MainWindow/source", aFile);

        Window second;
        EXPECT_EQ(second.tree()->directory(), start.path()) << qPrintable(saved);
        EXPECT_EQ(second.masks(), "*.ods") << "the other values still come back";
    }
}

TEST(WindowSettings, APositionOffEveryScreenIsBroughtBack)
{
    ConfigHome home;
    const QRect area = availableArea();
    for (const QPoint saved : {QPoint(5000, -3000), QPoint(-4000, 9000), area.bottomRight()}) {
        QSettings(home.settingsFile(), QSettings::IniFormat).setValue("MainWindow/position", saved);
        Window w;
        const QRect frame = w.form->frameGeometry();
        EXPECT_TRUE(area.contains(frame.topLeft())) << saved.x() << "," << saved.y();
        if (frame.width() <= area.width()) {
            EXPECT_LE(frame.right(), area.right());
        }
        if (frame.height() <= area.height()) {
            EXPECT_LE(frame.bottom(), area.bottom());
        }
    }
}

TEST(WindowSettings, PlacingOnTheScreensThatExist)
{
    const QRect left(0, 0, 1920, 1080), right(1920, 0, 1280, 1000);
    const QList<QRect> screens{left, right};
    // Already on a screen: unchanged.
    EXPECT_EQ(WindowSettings::placeOnScreen(QRect(100, 100, 800, 500), screens), QPoint(100, 100));
    EXPECT_EQ(WindowSettings::placeOnScreen(QRect(2000, 50, 800, 500), screens), QPoint(2000, 50));
    // Mostly on the right screen, hanging off its bottom: pulled up on that screen.
    EXPECT_EQ(WindowSettings::placeOnScreen(QRect(2200, 900, 800, 500), screens), QPoint(2200, 500));
    // Straddling both: stays with the one holding more of it, inside it.
    EXPECT_EQ(WindowSettings::placeOnScreen(QRect(1800, 10, 800, 500), screens), QPoint(1920, 10));
    // A screen that was unplugged: onto the first (primary) one.
    EXPECT_EQ(WindowSettings::placeOnScreen(QRect(4000, 200, 800, 500), screens), QPoint(1120, 200));
    EXPECT_EQ(WindowSettings::placeOnScreen(QRect(-900, -700, 800, 500), screens), QPoint(0, 0));
    // Larger than the screen: its top-left corner (the title bar) stays on it.
    EXPECT_EQ(WindowSettings::placeOnScreen(QRect(300, 300, 2000, 1200), {left}), QPoint(0, 0));
    // A screen whose area does not start at the origin (a panel on the left).
    EXPECT_EQ(WindowSettings::placeOnScreen(QRect(10, 10, 800, 500), {QRect(64, 32, 1856, 1048)}), QPoint(64, 32));
}

TEST(WindowSettings, AConfigurationHomeThatCannotBeWrittenIsReported)
{
    QTemporaryDir dir;
    const QString notADirectory = testsupport::writeFile(dir.path(), "plain-file");
    ScopedEnvironment env("XDG_CONFIG_HOME", notADirectory.toLocal8Bit());
    Window w;
    EXPECT_FALSE(WindowSettings::save(*w.form));
    EXPECT_TRUE(w.form->close()) << "the window closes all the same";
}
