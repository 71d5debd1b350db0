#include "ThemeFileWriter.h"
#include "common/TestSupport.h"
#include "platform/gui/WindowEvents.h"
#include "skin/VEXMgr.h"
#include "skin/VEXPublic.h"
#include "skin/VEXThemeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>

using namespace vex;
using themepack::ThemeFileWriter;

namespace {

QByteArray bmp(int w, int h, QRgb fill)
{
    QImage image = testsupport::filledImage({w, h}, fill);
    for (int x = 0; x < w; ++x)
        image.setPixel(x, 0, qRgb(x % 256, 1, 2)); // columns tell frames apart
    return themepack::bmpFile(image);
}

QByteArray themeBytes(int buttonTop, bool transparent = true)
{
    ThemeFileWriter w;
    w.addImage("ButtonImage", bmp(30, 7, qRgb(200, 10, 10)));
    w.addBoolean("ButtonTransparentBool", transparent ? 1 : 0);
    w.addInteger("TitleBarButtonTopInt", buttonTop);
    w.addInteger("FormBorderColor", 0x112233);
    return w.build();
}

// A file in the test program's own directory, removed again at the end.
struct ProgramDirFile
{
    QString path;
    ProgramDirFile(const QString &name, const QByteArray &bytes)
        : path(QDir(QCoreApplication::applicationDirPath()).filePath(name))
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    ~ProgramDirFile() { QFile::remove(path); }
};

void rewrite(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

// Stand-ins recognised by class and property names only, and a frame known
// by the frame interface.
namespace fake {

// A widget with a FileTheme that counts how often it was assigned.
class ThemeHolder : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(vex::TvexFileTheme *FileTheme READ FileTheme WRITE setFileTheme)
public:
    using QWidget::QWidget;
    TvexFileTheme *FileTheme() const { return m_theme; }
    void setFileTheme(TvexFileTheme *t)
    {
        m_theme.set(t);
        themeAssigned();
        ++assignments;
    }
    int assignments = 0;

protected:
    virtual void themeAssigned() {}

    TvexFileThemeLink m_theme{this, {}};
};

class TvexForm : public ThemeHolder, public vex::TvexSkinnedFrame
{
    Q_OBJECT
    Q_INTERFACES(vex::TvexSkinnedFrame)
    Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle WRITE setUIStyle)
public:
    using ThemeHolder::ThemeHolder;
    TvexUIStyle UIStyle() const { return TvexUIStyle::FromThemeFile; }
    void setUIStyle(TvexUIStyle) {}
    TvexUIStyle frameStyle() const override { return UIStyle(); }
};

// A control that re-applies its style when its FileTheme is assigned.
class TvexThemedButton : public ThemeHolder
{
    Q_OBJECT
public:
    using ThemeHolder::ThemeHolder;
    bool transparent = false;
    QImage face;

private:
    void themeAssigned() override
    {
        transparent = ThemeBool(m_theme, TvexUIStyle::FromThemeFile, ButtonTransparentBool);
        face = ThemeImageFrame(m_theme, TvexUIStyle::FromThemeFile, ButtonImage, 1, 3);
    }
};

class PlainThemed : public ThemeHolder // no "Tvex" prefix: not re-applied
{
    Q_OBJECT
public:
    using ThemeHolder::ThemeHolder;
};

class FrameChangeCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == platform::FrameChangedEvent)
            ++count;
        return false;
    }
};

} // namespace fake

TEST(FileTheme, EmptyThemeAnswersZero)
{
    TvexFileTheme theme;
    EXPECT_FALSE(theme.Loaded());
    EXPECT_TRUE(theme.ThemeFile().isEmpty());
    EXPECT_EQ(theme.GetColor(FormBorderColor), 0);
    EXPECT_EQ(theme.GetInt(TitleBarButtonTopInt), 0);
    EXPECT_FALSE(theme.GetBool(ButtonTransparentBool));
    QImage untouched(2, 2, QImage::Format_RGB32);
    theme.GetImage(ButtonImage, &untouched);
    EXPECT_EQ(untouched.size(), QSize(2, 2));
}

TEST(FileTheme, LoadsAFileByItsFullName)
{
    QTemporaryDir dir;
    const QString path = testsupport::writeFile(dir.path(), "a.theme", themeBytes(5));
    TvexFileTheme theme;
    theme.setThemeFile(path);
    EXPECT_TRUE(theme.Loaded());
    EXPECT_EQ(theme.ThemeFile(), path);
    EXPECT_EQ(theme.GetInt(TitleBarButtonTopInt), 5);
    EXPECT_EQ(theme.GetColor(FormBorderColor), 0x112233);
    EXPECT_TRUE(theme.GetBool(ButtonTransparentBool));
    // Missing elements: -1, -1, false, picture untouched / empty frame.
    EXPECT_EQ(theme.GetColor(MenuBarColor), -1);
    EXPECT_EQ(theme.GetInt(FormMinWidthInt), -1);
    EXPECT_FALSE(theme.GetBool(TitleBarButtonTransparentBool));
    QImage untouched(2, 2, QImage::Format_RGB32);
    theme.GetImage(CheckBoxImage, &untouched);
    EXPECT_EQ(untouched.size(), QSize(2, 2));
    theme.GetImageFrame(CheckBoxImage, &untouched, 1, 4);
    EXPECT_TRUE(untouched.isNull());

    QImage whole, frame;
    theme.GetImage(ButtonImage, &whole);
    EXPECT_EQ(whole.size(), QSize(30, 7));
    theme.GetImageFrame(ButtonImage, &frame, 2, 3);
    ASSERT_EQ(frame.size(), QSize(10, 7));
    EXPECT_EQ(frame.pixel(0, 0), whole.pixel(10, 0));

    // The same full name again: nothing happens, not even a reload.
    rewrite(path, themeBytes(9));
    theme.setThemeFile(path);
    EXPECT_EQ(theme.GetInt(TitleBarButtonTopInt), 5);
}

TEST(FileTheme, BareNameFoundInTheProgramsDirectoryAndLoadedAgain)
{
    ProgramDirFile file("tabulon-test-bare.theme", themeBytes(3));
    // Elsewhere than the program's directory, so the bare name is not found as given.
    QTemporaryDir elsewhere;
    struct Restore
    {
        QString dir = QDir::currentPath();
        ~Restore() { QDir::setCurrent(dir); }
    } restore;
    QDir::setCurrent(elsewhere.path());
    TvexFileTheme theme;
    theme.setThemeFile("tabulon-test-bare.theme");
    ASSERT_TRUE(theme.Loaded());
    EXPECT_EQ(theme.ThemeFile().toStdString(),
              (QCoreApplication::applicationDirPath() + "/tabulon-test-bare.theme").toStdString());
    EXPECT_EQ(theme.GetInt(TitleBarButtonTopInt), 3);
    // The bare name differs from the stored full name: it is loaded again.
    rewrite(file.path, themeBytes(8));
    theme.setThemeFile("tabulon-test-bare.theme");
    EXPECT_EQ(theme.GetInt(TitleBarButtonTopInt), 8);
    // A directory part that does not exist is dropped for the search.
    rewrite(file.path, themeBytes(11));
    theme.setThemeFile("/no/such/place/tabulon-test-bare.theme");
    EXPECT_EQ(theme.GetInt(TitleBarButtonTopInt), 11);
}

TEST(FileTheme, BareNameOfTheCompiledInSampleTheme)
{
    TvexFileTheme theme;
    theme.setThemeFile("Graphite.theme");
    ASSERT_TRUE(theme.Loaded());
    EXPECT_TRUE(theme.ThemeFile().endsWith("/Graphite.theme"));
}

TEST(FileTheme, UnknownNamesAreIgnoredAndNonThemesRefused)
{
    QTemporaryDir dir;
    const QString good = testsupport::writeFile(dir.path(), "good.theme", themeBytes(4));
    const QString junk = testsupport::writeFile(dir.path(), "junk.theme", QByteArray(40, 'j'));
    TvexFileTheme theme;
    theme.setThemeFile(good);
    theme.setThemeFile(dir.filePath("nowhere.theme"));
    theme.setThemeFile(QString());
    EXPECT_EQ(theme.ThemeFile(), good);
    try {
        theme.setThemeFile(junk);
        ADD_FAILURE() << "no error";
    } catch (const ThemeFileError &e) {
        EXPECT_EQ(e.message(), "Invalid skin file for Velkano!");
    }
    EXPECT_EQ(theme.ThemeFile(), good);
    EXPECT_TRUE(theme.Loaded());
    EXPECT_EQ(theme.GetInt(TitleBarButtonTopInt), 4);
}

TEST(FileTheme, AReadingErrorLeavesNoReaderButTheNewName)
{
    QTemporaryDir dir;
    const QString good = testsupport::writeFile(dir.path(), "good.theme", themeBytes(4));
    QByteArray broken = themeBytes(4);
    broken[12] = 30; // header size 30
    const QString bad = testsupport::writeFile(dir.path(), "bad.theme", broken);
    TvexFileTheme theme;
    theme.setThemeFile(good);
    EXPECT_THROW(theme.setThemeFile(bad), ThemeFileError);
    EXPECT_EQ(theme.ThemeFile(), bad);
    EXPECT_TRUE(theme.Loaded());                      // keeps its previous value
    EXPECT_EQ(theme.GetInt(TitleBarButtonTopInt), 0); // as with no file
    EXPECT_FALSE(theme.GetBool(ButtonTransparentBool));
    theme.setThemeFile(good);
    EXPECT_EQ(theme.GetInt(TitleBarButtonTopInt), 4);
}

TEST(FileTheme, LoadingReappliesTheOwnerFormsTvexComponents)
{
    QTemporaryDir dir;
    const QString first = testsupport::writeFile(dir.path(), "1.theme", themeBytes(4, true));
    const QString second = testsupport::writeFile(dir.path(), "2.theme", themeBytes(4, false));
    QWidget form;
    fake::FrameChangeCounter frames;
    form.installEventFilter(&frames);
    auto *theme = new TvexFileTheme(&form);
    auto *frame = new fake::TvexForm(&form);
    auto *panel = new QWidget(frame);
    auto *button = new fake::TvexThemedButton(panel); // deep inside: still the form's
    auto *plain = new fake::PlainThemed(&form);
    auto *other = new fake::TvexThemedButton(&form); // holds no theme
    frame->setFileTheme(theme);
    button->setFileTheme(theme);
    plain->setFileTheme(theme);
    EXPECT_TRUE(button->face.size() == QSize(74, 21)); // DeepBlue until loaded

    theme->setThemeFile(first);
    EXPECT_EQ(button->assignments, 2);
    EXPECT_TRUE(button->transparent);
    EXPECT_EQ(button->face.size(), QSize(10, 7));
    EXPECT_EQ(frame->assignments, 2);
    EXPECT_EQ(plain->assignments, 1);
    EXPECT_EQ(other->assignments, 0);
    EXPECT_EQ(frames.count, 0); // ThemeFile was empty before

    theme->setThemeFile(second);
    EXPECT_FALSE(button->transparent);
    EXPECT_EQ(frames.count, 1);

    // Without a frame that uses the theme, no frame change.
    frame->setFileTheme(nullptr);
    theme->setThemeFile(first);
    EXPECT_EQ(frames.count, 1);
    EXPECT_TRUE(button->transparent);
}

TEST(FileTheme, TheSampleThemeHoldsEveryElementThatIsRead)
{
    const QString path = QStringLiteral(TABULON_SOURCE_DIR "/resources/themes/Graphite.theme");
    ASSERT_TRUE(IsThemeFile(path));
    TvexFileTheme theme;
    theme.setThemeFile(path);
    ASSERT_TRUE(theme.Loaded());
    const int read[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                        16, 17, 18, 19, 20, 21, 22, 23, 27, 44, 45, 46, 47, 48};
    TvexThemeFileReader reader(path);
    for (int element : read) {
        const QString key = ThemeElementKey(element);
        SCOPED_TRACE(key.toStdString());
        switch (ThemeElementKind(element)) {
        case TvexThemeKind::Bitmap: {
            QImage picture;
            theme.GetImage(element, &picture);
            EXPECT_FALSE(picture.isNull());
            break;
        }
        case TvexThemeKind::Boolean:
            EXPECT_TRUE(std::any_of(reader.booleans().begin(), reader.booleans().end(),
                                    [&](const auto &v) { return v.name == key; }));
            break;
        default:
            EXPECT_NE(reader.GetInt(key), -1);
        }
    }
    // Frame layouts as the built-in ones.
    QImage strip;
    theme.GetImage(ButtonImage, &strip);
    EXPECT_EQ(strip.width() % 3, 0);
    EXPECT_EQ(strip.height() % 2, 1); // odd: every nine-slice band is non-empty
    theme.GetImage(CheckBoxImage, &strip);
    EXPECT_EQ(strip.width() % 4, 0);
    theme.GetImage(TitleBarButtonImage, &strip);
    EXPECT_EQ(strip.width(), strip.height() * 18);
    theme.GetImage(FormBottomBorderImage, &strip);
    EXPECT_EQ(strip.width() % 3, 0);
}

#include "FileThemeTest.moc"
