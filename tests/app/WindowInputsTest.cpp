// The window's run, which writes flat, on the same rules as every run:
// no output over an input, no earlier output taken as input, one line each.
#include "common/FakeConverter.h"

#include "app/MainWindow.h"
#include "common/TestSupport.h"
#include "platform/gui/DriveControls.h"
#include "skin/VEXButton.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::everythingIn;
using testsupport::fileBytes;
using testsupport::refusedAsInput;
using testsupport::refusedAsItself;
using testsupport::writeFile;

TEST(WindowInputs, TheWindowsFlatRunWritesOverNoInputAndTakesNoOutput)
{
    QTemporaryDir source;
    const QString src = source.path();
    for (const char *name : {"budget.xml", "budget.xls", "two\nlines.xls", "sub/other.xls"})
        writeFile(src, name, QByteArray("input ") + name);
    TFMain form(std::make_unique<FakeConverter>());
    form.findChild<QLineEdit *>("ePath")->setText(src);
    form.findChild<QLineEdit *>("eFileType")->setText("*.xml,*.xls,*.XML");
    form.findChild<vex::TvexRadioButton *>("vexRadioButton4")->setChecked(true);
    form.findChild<TDirectoryListBox *>("DirectoryListBox1")->setDirectory(src);
    const QString expected = QStringList({src + "/budget.xml" + refusedAsItself(src + "/budget.xml"),
                                          src + "/budget.xls" + refusedAsInput(src + "/budget.xml"),
                                          src + "/two\\x0alines.xlsOK", src + "/sub/other.xlsOK"})
                                 .join('\n');
    // The second run finds the first one's outputs beside the inputs and leaves them.
    for (int round = 0; round < 2; ++round) {
        form.vexButton2Click(nullptr);
        EXPECT_EQ(form.findChild<QPlainTextEdit *>("Memo1")->toPlainText(), expected) << round;
        for (const char *name : {"budget.xml", "budget.xls", "two\nlines.xls", "sub/other.xls"})
            EXPECT_EQ(fileBytes(src + "/" + name), QByteArray("input ") + name) << name;
        EXPECT_EQ(everythingIn(src), QStringList({"budget.xls", "budget.xml", "other.xml", "sub", "sub/other.xls",
                                                  "two\nlines.xls", "two\nlines.xml"}));
    }
}
