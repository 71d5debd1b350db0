// The main window's start button against the real office, whose start takes
// seconds during which the window keeps handling input.
#include "OfficeTestSupport.h"

#include "app/MainWindow.h"
#include "platform/gui/DriveControls.h"
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

// The window on the real office, its run going from a source folder that
// holds types.xls to an output folder that does not exist yet.
class WindowStart : public ::testing::Test
{
protected:
    void SetUp() override
    {
        copyInput("types.xls", src + "/types.xls");
        platform::office::registerExcelApplication();
        form = std::make_unique<TFMain>();
        form->findChild<QLineEdit *>("ePath")->setText(out);
        form->findChild<TDirectoryListBox *>("DirectoryListBox1")->setDirectory(src);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    QWidget *startButton() const { return form->findChild<QWidget *>("vexButton2"); }
    QString log() const { return form->findChild<QPlainTextEdit *>("Memo1")->toPlainText(); }

    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    std::unique_ptr<TFMain> form;
};

} // namespace

TEST_F(WindowStart, ClicksDuringTheOfficeStartStartNothing)
{
    int clicksDuringStart = 0;
    bool enabledDuringStart = false;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (officeChildren().isEmpty() || !log().isEmpty())
            return;
        ++clicksDuringStart;
        enabledDuringStart |= startButton()->isEnabled();
        QTest::mouseClick(startButton(), Qt::LeftButton);
        form->vexButton2Click(nullptr); // even a direct call is refused
    });
    clicker.start(20);
    QTest::mouseClick(startButton(), Qt::LeftButton); // returns when the run is over
    clicker.stop();

    EXPECT_GE(clicksDuringStart, 1);
    EXPECT_FALSE(enabledDuringStart);
    EXPECT_EQ(log(), src + "/types.xlsOK");
    EXPECT_TRUE(startButton()->isEnabled());
    EXPECT_TRUE(officeChildren().isEmpty());
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList({"types.htm"}));
}

TEST_F(WindowStart, ClosingDuringTheOfficeStartEndsTheOfficeAndConvertsNothing)
{
    QElapsedTimer sinceClose;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (officeChildren().isEmpty() || sinceClose.isValid())
            return;
        sinceClose.start();
        form->close();
    });
    closer.start(10);
    QTest::mouseClick(startButton(), Qt::LeftButton);
    closer.stop();
    const qint64 afterClose = sinceClose.isValid() ? sinceClose.elapsed() : -1;

    ASSERT_GE(afterClose, 0) << "the close came during the start";
    // The office's start alone takes seconds: returning this soon means it was cancelled.
    EXPECT_LT(afterClose, 1500);
    EXPECT_TRUE(officeChildren().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 2000));
    EXPECT_TRUE(log().isEmpty());
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}
