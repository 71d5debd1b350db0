// The option strip in each of the four languages, measured: every caption
// as wide as its text, no control over another, the captions on the
// fields' line; the English layout as stored. And the output field with a
// path longer than itself.

#include "common/FakeConverter.h"

#include "app/MainWindow.h"
#include "app/PathEdit.h"
#include "common/TestSupport.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::ScopedEnvironment;

namespace {

struct Language
{
    const char *locale;
    const char *savePath; // the output field's caption in that language
};

class MainWindowLayout : public ::testing::TestWithParam<Language>
{
protected:
    void SetUp() override
    {
        const ScopedEnvironment language("LC_ALL", GetParam().locale);
        form = std::make_unique<TFMain>(std::make_unique<FakeConverter>());
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    template <typename T>
    T *get(const char *name) const
    {
        return form->findChild<T *>(QLatin1String(name));
    }
    std::unique_ptr<TFMain> form;
};

} // namespace

TEST_P(MainWindowLayout, CaptionFitsItsTextBesideTheOutputField)
{
    auto *label = get<QLabel>("Label1");
    auto *path = get<QLineEdit>("ePath");
    ASSERT_TRUE(label && path);
    EXPECT_EQ(label->text(), QString::fromUtf8(GetParam().savePath));
    const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
    EXPECT_GE(label->width(), textWidth) << "the caption is cut";
    EXPECT_LE(label->geometry().right(), path->x() - 1) << "the output field covers the caption";
    EXPECT_GE(path->width(), 80) << "the output field is too narrow to show a path";
    // The caption's text on the fields' line: centred in the same rows.
    EXPECT_EQ(label->geometry().center().y(), path->geometry().center().y());
    EXPECT_TRUE(label->alignment() & Qt::AlignVCenter);
}

TEST_P(MainWindowLayout, NoControlOfTheOptionStripCoversAnother)
{
    QWidget *strip = get<QWidget>("vexImagePanel1");
    ASSERT_NE(strip, nullptr);
    const QList<QWidget *> controls = strip->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    ASSERT_GE(controls.size(), 8);
    for (int i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(strip->rect().contains(controls[i]->geometry()))
            << qPrintable(controls[i]->objectName()) << " leaves the strip";
        for (int j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << qPrintable(controls[i]->objectName()) << " and " << qPrintable(controls[j]->objectName());
    }
}

INSTANTIATE_TEST_SUITE_P(FourLanguages, MainWindowLayout,
                         ::testing::Values(Language{"en_US.UTF-8", "Save Path"}, Language{"zh_CN.UTF-8", "保存目录:"},
                                           Language{"zh_TW.UTF-8", "保存目錄:"},
                                           Language{"ja_JP.UTF-8", "ディレクトリを保存します:"}),
                         [](const ::testing::TestParamInfo<Language> &info) {
                             return std::string(info.param.locale).substr(0, 5);
                         });

TEST(MainWindowLayout, EnglishKeepsTheStoredPlaces)
{
    const ScopedEnvironment english("LC_ALL", "en_US.UTF-8");
    TFMain form(std::make_unique<FakeConverter>());
    const std::pair<const char *, QRect> stored[] = {
        {"DriveComboBox1", QRect(8, 17, 145, 19)},   {"eFileType", QRect(160, 16, 113, 21)},
        {"ePath", QRect(360, 16, 113, 21)},          {"vexButton2", QRect(503, 13, 68, 27)},
        {"vexRadioButton1", QRect(592, 16, 43, 21)}, {"vexRadioButton2", QRect(648, 16, 45, 21)},
        {"vexRadioButton4", QRect(712, 16, 46, 21)},
    };
    for (const auto &[name, place] : stored) {
        auto *control = form.findChild<QWidget *>(QLatin1String(name));
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->pos(), place.topLeft()) << name;
    }
    // The caption keeps its place; its box ends where the field begins (the
    // stored one reaches a pixel under it), its rows are the field's.
    auto *label = form.findChild<QLabel *>(QStringLiteral("Label1"));
    EXPECT_EQ(label->x(), 288);
    EXPECT_EQ(label->width(), 72);
    EXPECT_EQ(label->y(), 16);
    EXPECT_EQ(label->height(), 21);
}

TEST(PathEdit, ALongPathShowsItsHeadAndTailAndTheWholeAsTheHint)
{
    QWidget window;
    auto *other = new QLineEdit(&window);
    auto *edit = new TPathEdit(&window);
    other->setGeometry(0, 0, 100, 21);
    edit->setGeometry(0, 30, 113, 21);
    const QString path = QStringLiteral("/home/somebody/projects/quarterly-review-skin/home/html");
    edit->setText(path);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    other->setFocus();
    ASSERT_TRUE(testsupport::waitFor([&] { return !edit->hasFocus(); }));

    const QString shown = edit->shownText();
    EXPECT_NE(shown, path);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/h"))) << qPrintable(shown);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("html"))) << qPrintable(shown);
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << qPrintable(shown);
    EXPECT_EQ(edit->toolTip(), path);
    EXPECT_EQ(edit->text(), path) << "what the run reads stays whole";

    // Editing shows the path as it is; a short one is never shortened.
    edit->setFocus();
    ASSERT_TRUE(testsupport::waitFor([&] { return edit->hasFocus(); }));
    EXPECT_EQ(edit->shownText(), path);
    other->setFocus();
    edit->setText(QStringLiteral("/tmp/out"));
    EXPECT_EQ(edit->shownText(), QStringLiteral("/tmp/out"));
    EXPECT_EQ(edit->toolTip(), QStringLiteral("/tmp/out"));
}
