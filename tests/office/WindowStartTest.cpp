// The main window's start button against the real office, whose start takes
// seconds during which the window keeps handling input.
#include "OfficeTestSupport.h"

#include "app/MainWindow.h"
#include "platform/DriveControls.h"
#include "platform/office/OfficeBridge.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace officetest;

namespace {

struct OfficeWindow
{
    OfficeWindow(const QString &source, const QString &out)
    {
        platform::office::registerExcelApplication();
        form = std::make_unique<TFMain>();
        form->findChild<QLineEdit *>("ePath")->setText(out);
        form->findChild<TDirectoryListBox *>("DirectoryListBox1")->setDirectory(source);
        form->show();
    }
    QWidget *startButton() const { return form->findChild<QWidget *>("vexButton2"); }
    QString log() const { return form->findChild<QPlainTextEdit *>("Memo1")->toPlainText(); }

    std::unique_ptr<TFMain> form;
};

} // namespace

TEST(WindowStart, ClicksDuringTheOfficeStartStartNothing)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    QDir().mkpath(src);
    ASSERT_TRUE(QFile::copy(input("types.xls"), src + "/types.xls"));
    OfficeWindow w(src, out);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.form.get()));

    int clicksDuringStart = 0;
    bool enabledDuringStart = false;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (officeChildren().isEmpty() || !w.log().isEmpty())
            return;
        ++clicksDuringStart;
        enabledDuringStart |= w.startButton()->isEnabled();
        QTest::mouseClick(w.startButton(), Qt::LeftButton);
        w.form->vexButton2Click(nullptr); // even a direct call is refused
    });
    clicker.start(20);
    QTest::mouseClick(w.startButton(), Qt::LeftButton); // returns when the run is over
    clicker.stop();

    EXPECT_GE(clicksDuringStart, 1);
    EXPECT_FALSE(enabledDuringStart);
    EXPECT_EQ(w.log(), src + "/types.xlsOK");
    EXPECT_TRUE(w.startButton()->isEnabled());
    EXPECT_TRUE(officeChildren().isEmpty());
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList({"types.htm"}));
}

TEST(WindowStart, ClosingDuringTheOfficeStartEndsTheOfficeAndConvertsNothing)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    QDir().mkpath(src);
    ASSERT_TRUE(QFile::copy(input("types.xls"), src + "/types.xls"));
    OfficeWindow w(src, out);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.form.get()));

    QElapsedTimer sinceClose;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (officeChildren().isEmpty() || sinceClose.isValid())
            return;
        sinceClose.start();
        w.form->close();
    });
    closer.start(10);
    QTest::mouseClick(w.startButton(), Qt::LeftButton);
    closer.stop();
    const qint64 afterClose = sinceClose.isValid() ? sinceClose.elapsed() : -1;

    ASSERT_GE(afterClose, 0) << "the close came during the start";
    // The office's start alone takes seconds: returning this soon means it was cancelled.
    EXPECT_LT(afterClose, 1500);
    EXPECT_TRUE(officeChildren().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.form->isVisible(); }, 2000));
    EXPECT_TRUE(w.log().isEmpty());
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}
