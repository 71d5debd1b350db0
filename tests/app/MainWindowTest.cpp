#include "common/FakeConverter.h"

#include "app/MainWindow.h"
#include "common/TestSupport.h"
#include "engine/Strings.h"
#include "platform/FileSystem.h"
#include "platform/SystemLanguage.h"
#include "platform/gui/DriveControls.h"
#include "platform/gui/WebBrowser.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using testsupport::ScopedEnvironment;
using testsupport::waitFor;
using testsupport::writeFile;

namespace {

// Accepts the next modal message box and keeps its text.

class MessageCatcher : public QObject
{
public:
    MessageCatcher()
    {
        timer.start(10);
        connect(&timer, &QTimer::timeout, this, [this] { poll(); });
    }
    void poll()
    {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            texts << box->text();
            titles << box->windowTitle();
            box->accept();
        }
    }
    QStringList texts, titles;
    QTimer timer;
};

struct Window
{
    explicit Window(FakeConverter **fake = nullptr)
    {
        auto converter = std::make_unique<FakeConverter>();
        if (fake)
            *fake = converter.get();
        form = std::make_unique<TFMain>(std::move(converter));
    }
    template <typename T>
    T *get(const char *name)
    {
        return form->findChild<T *>(QLatin1String(name));
    }
    // Points the run at the source folder, with the outputs going to out.
    void aim(const QString &source, const QString &out)
    {
        get<QLineEdit>("ePath")->setText(out);
        get<TDirectoryListBox>("DirectoryListBox1")->setDirectory(source);
    }
    std::unique_ptr<TFMain> form;
};

// A window on the fake converter whose run goes from a source folder that
// holds a.xls to an empty output folder.
class WindowRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        writeFile(source.path(), "a.xls");
        w.aim(source.path(), out.path());
    }
    bool showWindow()
    {
        w.form->show();
        return QTest::qWaitForWindowExposed(w.form.get());
    }

    QTemporaryDir source, out;
    FakeConverter *fake = nullptr;
    Window w{&fake};
};

} // namespace

TEST(Language, OnlyThreeExactIdentifiersChooseAnotherBlock)
{
    EXPECT_EQ(Strings::stringBaseFor(2052), 10000);
    EXPECT_EQ(Strings::stringBaseFor(1028), 30000);
    EXPECT_EQ(Strings::stringBaseFor(1041), 40000);
    for (int other : {1033, 3076, 4100, 2057, 0, 4})
        EXPECT_EQ(Strings::stringBaseFor(other), 20000) << other;

    EXPECT_EQ(platform::languageIdForLocale("zh_CN.UTF-8"), 2052);
    EXPECT_EQ(platform::languageIdForLocale("zh_TW.UTF-8"), 1028);
    EXPECT_EQ(platform::languageIdForLocale("ja_JP.eucJP"), 1041);
    EXPECT_EQ(platform::languageIdForLocale("zh_HK.UTF-8"), 3076);
    EXPECT_EQ(platform::languageIdForLocale("zh_SG"), 4100);
    EXPECT_EQ(platform::languageIdForLocale("en_US.UTF-8"), 1033);
    EXPECT_EQ(platform::languageIdForLocale("C.UTF-8"), 1033);
    EXPECT_EQ(platform::languageIdForLocale("de_DE@euro"), 1031);
}

TEST(Language, TablesHoldEveryTextInEveryBlock)
{
    EXPECT_EQ(Strings::load(10001), "大批量Excel转html");
    EXPECT_EQ(Strings::load(30001), " 大批量Excel轉html");
    EXPECT_EQ(Strings::load(40006), "Can't Open Excel");
    EXPECT_EQ(Strings::load(20006), "Can't Open Excel");
    EXPECT_EQ(Strings::load(20005), "OK");
    EXPECT_EQ(Strings::load(10005), "处理完成!");
    EXPECT_EQ(Strings::load(30004), "保存目錄:");
    EXPECT_EQ(Strings::load(40004), "ディレクトリを保存します:");
    const char *codes[] = {"cn", "en", "cn", "jp"};
    for (int block = 0; block < 4; ++block) {
        const int base = (block + 1) * 10000;
        for (int offset : {1, 3, 4, 5, 6, 13})
            EXPECT_FALSE(Strings::load(base + offset).isEmpty()) << base + offset;
        const QUrl url(Strings::load(base + 13));
        EXPECT_EQ(url.path(), "/pro/htm.htm");
        EXPECT_EQ(url.query(), QStringLiteral("id=57&name=tabulon&L=%1").arg(codes[block]));
        EXPECT_TRUE(url.host().endsWith("example.com"));
    }
}

TEST(MainWindow, LoadsTheStoredControlsAndInitialValues)
{
    const ScopedEnvironment english("LC_ALL", "en_US.UTF-8");
    Window w;
    TFMain &form = *w.form;
    EXPECT_EQ(form.objectName(), "FMain");
    EXPECT_EQ(form.pos(), QPoint(346, 110));
    // The stored size is the client area; the skinned frame's band lies
    // around it (3 pixels at the top and sides, 1 at the bottom).
    EXPECT_EQ(form.contentsRect(), QRect(3, 3, 825, 476));
    EXPECT_EQ(form.size(), QSize(831, 480));
    EXPECT_EQ(form.minimumSize(), QSize(130, 50));
    EXPECT_EQ(form.StringBase, 20000);
    EXPECT_EQ(form.windowTitle(), Strings::load(20001));
    EXPECT_EQ(w.get<QWidget>("vexForm1")->property("Caption").toString(), Strings::load(20001));
    EXPECT_EQ(w.get<QLabel>("Label1")->text(), "Save Path");
    EXPECT_EQ(w.get<QWidget>("vexButton2")->property("Caption").toString(), "Begin");
    EXPECT_EQ(w.get<QLineEdit>("eFileType")->text(), "*.xls");
    EXPECT_EQ(w.get<QLineEdit>("ePath")->text(), platform::defaultOutputDirectory());
    EXPECT_TRUE(w.get<QWidget>("vexRadioButton1")->property("Checked").toBool());
    EXPECT_FALSE(w.get<QWidget>("vexRadioButton2")->property("Checked").toBool());
    EXPECT_FALSE(w.get<QWidget>("vexRadioButton4")->property("Checked").toBool());
    EXPECT_TRUE(w.get<QPlainTextEdit>("Memo1")->toPlainText().isEmpty());
    for (const char *name :
         {"vexImagePanel1", "vexImagePanel2", "DriveComboBox1", "DirectoryListBox1", "StatusBar1", "WebBrowser2"})
        EXPECT_NE(w.get<QWidget>(name), nullptr) << name;
    EXPECT_TRUE(w.get<TWebBrowser>("WebBrowser2")->locationUrl().contains("L=en"));

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    // Strips stack under the 20-pixel title bar; tree and log share the rest.
    auto *frame = w.get<QWidget>("vexForm1");
    EXPECT_EQ(frame->geometry(), QRect(3, 3, 825, 476));
    EXPECT_EQ(w.get<QWidget>("vexImagePanel2")->geometry(), QRect(0, 20, 825, 101));
    EXPECT_EQ(w.get<QWidget>("vexImagePanel1")->geometry(), QRect(0, 121, 825, 52));
    EXPECT_EQ(w.get<QWidget>("StatusBar1")->geometry(), QRect(0, 457, 825, 19));
    EXPECT_EQ(w.get<QWidget>("DirectoryListBox1")->geometry(), QRect(0, 173, 273, 284));
    EXPECT_EQ(w.get<QWidget>("Memo1")->geometry(), QRect(273, 173, 552, 284));
    EXPECT_EQ(w.get<QWidget>("vexButton2")->geometry(), QRect(503, 13, 68, 27));
}

TEST(MainWindow, CaptionsFollowTheSystemLanguage)
{
    const std::pair<const char *, const char *> cases[] = {
        {"zh_CN.UTF-8", "开始"}, {"zh_TW.UTF-8", "開始"}, {"ja_JP.UTF-8", "開始"}, {"zh_HK.UTF-8", "Begin"}};
    for (const auto &[locale, begin] : cases) {
        const ScopedEnvironment language("LC_ALL", locale);
        Window w;
        EXPECT_EQ(w.get<QWidget>("vexButton2")->property("Caption").toString(), QString::fromUtf8(begin)) << locale;
    }
    const ScopedEnvironment traditional("LC_ALL", "zh_TW.UTF-8");
    Window tw;
    EXPECT_TRUE(tw.form->windowTitle().startsWith(' '));
}

TEST(MainWindow, ChoosingADriveShowsItInTheTree)
{
    Window w;
    auto *drives = w.get<TDriveComboBox>("DriveComboBox1");
    auto *tree = w.get<TDirectoryListBox>("DirectoryListBox1");
    ASSERT_GT(drives->count(), 0);
    tree->setDirectory("/");
    const int last = drives->count() - 1;
    drives->setCurrentIndex(last);
    emit drives->OnChange(drives);
    EXPECT_EQ(tree->drive(), drives->itemData(last).toString());
}

TEST_F(WindowRun, ARunThroughTheWindowLogsEveryFile)
{
    writeFile(source.path(), "sub/b.xls");
    writeFile(source.path(), "sub/c.txt");
    w.get<QPlainTextEdit>("Memo1")->setPlainText("old line");
    w.get<QWidget>("vexRadioButton2")->setProperty("Checked", true);
    bool disabledDuringRun = false;
    QStringList countsDuringRun;
    fake->onOpen = [&](const QString &) {
        disabledDuringRun = !w.get<QWidget>("vexButton2")->isEnabled();
        if (auto *label = w.get<QStatusBar>("StatusBar1")->findChild<QLabel *>("RunCounts"))
            countsDuringRun << label->text();
    };

    w.form->vexButton2Click(nullptr);

    // The tree is counted beside the run: "N of 2" once the count is in.
    ASSERT_EQ(countsDuringRun.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^(%1 of 2: )?%1 converted, 0 failed$").arg(i))
                        .match(countsDuringRun.at(i))
                        .hasMatch())
            << qPrintable(countsDuringRun.at(i));
    }
    EXPECT_EQ(w.get<QPlainTextEdit>("Memo1")->toPlainText(),
              source.filePath("a.xls") + "OK\n" + source.filePath("sub/b.xls") + "OK");
    EXPECT_TRUE(disabledDuringRun);
    EXPECT_TRUE(w.get<QWidget>("vexButton2")->isEnabled());
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"a.csv", "b.csv"}));
    EXPECT_EQ(w.get<QStatusBar>("StatusBar1")->currentMessage(), source.filePath("sub") + "/b.xls");
    const auto *counts = w.get<QStatusBar>("StatusBar1")->findChild<QLabel *>("RunCounts");
    ASSERT_NE(counts, nullptr);
    EXPECT_EQ(counts->text(), "2 of 2: 2 converted, 0 failed") << "beside the status text, kept after the run";
}

TEST(MainWindow, StartFailureShowsTheLocalizedMessageAndKeepsTheLog)
{
    const ScopedEnvironment simplified("LC_ALL", "zh_CN.UTF-8");
    FakeConverter *fake = nullptr;
    Window w(&fake);
    fake->failStart = true;
    w.get<QPlainTextEdit>("Memo1")->setPlainText("previous");
    MessageCatcher catcher;
    w.form->vexButton2Click(nullptr);
    EXPECT_EQ(catcher.texts, QStringList({"打开Excel出错!"}));
    EXPECT_EQ(w.get<QPlainTextEdit>("Memo1")->toPlainText(), "previous");
    EXPECT_TRUE(w.get<QWidget>("vexButton2")->isEnabled());
}

TEST(MainWindow, WithoutASpreadsheetApplicationTheRealConverterCannotStart)
{
    const ScopedEnvironment english("LC_ALL", "en_US.UTF-8");
    platform::unregisterAutomationServer("excel.application");
    QTemporaryDir out;
    TFMain form;
    form.findChild<QLineEdit *>("ePath")->setText(out.path());
    MessageCatcher catcher;
    form.vexButton2Click(nullptr);
    EXPECT_EQ(catcher.texts, QStringList({"Can't Open Excel"}));
    EXPECT_EQ(catcher.titles.value(0), QApplication::applicationDisplayName());
}

TEST(MainWindow, EmptyOutputDirectoryIsReported)
{
    FakeConverter *fake = nullptr;
    Window w(&fake);
    w.get<QLineEdit>("ePath")->clear();
    MessageCatcher catcher;
    w.form->vexButton2Click(nullptr);
    EXPECT_EQ(catcher.texts, QStringList({"Unable to create directory"}));
    EXPECT_TRUE(fake->calls.isEmpty());
}

TEST_F(WindowRun, ClosingDuringARunStopsAfterTheCurrentFileAndCloses)
{
    for (const char *name : {"b.xls", "c.xls"})
        writeFile(source.path(), name);
    ASSERT_TRUE(showWindow());
    fake->onOpen = [&](const QString &path) {
        if (path.endsWith("a.xls"))
            QTimer::singleShot(0, w.form.get(), &QWidget::close);
    };
    // The close arrives while the run yields before the next file.
    w.form->vexButton2Click(nullptr);
    EXPECT_EQ(fake->opened.size(), 1);
    EXPECT_EQ(fake->calls.mid(fake->calls.size() - 2), QStringList({"quit", "release"}));
    EXPECT_TRUE(waitFor([&] { return !w.form->isVisible(); }));
}

TEST_F(WindowRun, TheApplicationGetsReadyWhenTheWindowIsShownAndIsDismissedOnlyWhenItCloses)
{
    EXPECT_EQ(fake->prepared, 0);
    w.form->show();
    EXPECT_EQ(fake->prepared, 1);
    w.form->hide();
    w.form->show();
    EXPECT_EQ(fake->prepared, 1);

    w.form->vexButton2Click(nullptr);
    w.form->vexButton2Click(nullptr);
    EXPECT_EQ(fake->calls.count("quit"), 2);
    EXPECT_EQ(fake->dismissed, 0) << "what the runs quit stays ready between them";

    // Closed during a run: dismissed once the run is over, not below it.
    writeFile(source.path(), "b.xls");
    fake->onOpen = [&](const QString &path) {
        if (path.endsWith("a.xls"))
            QTimer::singleShot(0, w.form.get(), &QWidget::close);
    };
    w.form->vexButton2Click(nullptr);
    EXPECT_TRUE(waitFor([&] { return !w.form->isVisible(); }));
    EXPECT_EQ(fake->dismissed, 1);
    EXPECT_EQ(fake->callsBeforeDismiss.mid(fake->callsBeforeDismiss.size() - 2), QStringList({"quit", "release"}));
}

TEST_F(WindowRun, TheStartOfTheApplicationCannotBeEnteredTwice)
{
    ASSERT_TRUE(showWindow());
    auto *start = w.get<QWidget>("vexButton2");
    bool disabledWhileStarting = false;
    // The start yields to the message loop, as a real one does for seconds:
    // clicks then reach the window.
    fake->onStart = [&] {
        disabledWhileStarting = !start->isEnabled();
        QTest::mouseClick(start, Qt::LeftButton);
        w.form->vexButton2Click(nullptr);
        QCoreApplication::processEvents();
    };
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_TRUE(disabledWhileStarting);
    EXPECT_EQ(fake->calls.count("start"), 1);
    EXPECT_EQ(w.get<QPlainTextEdit>("Memo1")->toPlainText(), source.filePath("a.xls") + "OK");
    EXPECT_TRUE(start->isEnabled());
}

TEST_F(WindowRun, ClosingWhileTheApplicationStartsCancelsTheStartAndCloses)
{
    ASSERT_TRUE(showWindow());
    MessageCatcher messages;
    fake->onStart = [&] { w.form->close(); };
    w.form->vexButton2Click(nullptr);
    EXPECT_EQ(fake->calls, QStringList({"start", "cancelStart", "release"}));
    EXPECT_TRUE(fake->opened.isEmpty());
    EXPECT_TRUE(waitFor([&] { return !w.form->isVisible(); }));
    EXPECT_TRUE(messages.texts.isEmpty()) << "a cancelled start is not a failure to report";
    EXPECT_TRUE(QDir(out.path()).isEmpty());
}

TEST(MainWindow, ARelativeOutputDirectoryIsTakenFromWhereTheProgramStarted)
{
    QTemporaryDir source, home, elsewhere;
    writeFile(source.path(), "a.xls");
    const QString saved = QDir::currentPath();
    QDir::setCurrent(home.path());
    Window w;
    QDir::setCurrent(elsewhere.path());
    w.aim(source.path(), "rel");
    w.form->vexButton2Click(nullptr);
    w.form->vexButton2Click(nullptr);
    QDir::setCurrent(saved);
    EXPECT_EQ(w.get<QPlainTextEdit>("Memo1")->toPlainText(), source.filePath("a.xls") + "OK");
    EXPECT_TRUE(QFile::exists(home.filePath("rel/a.htm")));
    EXPECT_FALSE(QDir(elsewhere.path()).exists("rel"));
    EXPECT_FALSE(QDir(source.path()).exists("rel")) << "not where the walk left the current directory";
}

TEST(WebBrowser, ScrollBarsGoOnlyWhenACompletionFindsTheBrowserIdle)
{
    QTemporaryDir dir;
    QImage(8, 8, QImage::Format_RGB32).save(dir.filePath("pic.png"));
    writeFile(dir.path(), "page.html",
              "<html><body><p>banner</p><img src=\"pic.png\"><img src=\"missing.png\"></body></html>");
    Window w;
    auto *browser = w.get<TWebBrowser>("WebBrowser2");
    QList<bool> busyAtCompletion;
    QObject::connect(browser, &TWebBrowser::OnDocumentComplete, [&] {
        busyAtCompletion << browser->isBusy();
        if (browser->isBusy()) {
            EXPECT_NE(browser->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        }
    });
    w.form->show();
    browser->Navigate(QUrl::fromLocalFile(dir.filePath("page.html")).toString());
    EXPECT_TRUE(waitFor([&] { return !busyAtCompletion.isEmpty() && !busyAtCompletion.last(); }));
    EXPECT_EQ(browser->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(browser->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(browser->toPlainText().contains("banner"));
}

TEST(WebBrowser, AnUnreachablePageShowsTheFallbackAndStillCompletes)
{
    TWebBrowser browser;
    browser.setFallbackHtml("<p>offline</p>");
    int completions = 0;
    QObject::connect(&browser, &TWebBrowser::OnDocumentComplete, [&] { ++completions; });
    browser.Navigate(QUrl::fromLocalFile("/nonexistent/page.html").toString());
    EXPECT_TRUE(waitFor([&] { return completions > 0 && !browser.isBusy(); }));
    EXPECT_TRUE(browser.toPlainText().contains("offline"));
}
