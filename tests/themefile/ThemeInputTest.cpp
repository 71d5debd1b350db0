// Theme files from anywhere: absurd values, huge files and pictures, pictures
// that do not decode, and pictures decoded once per loaded file.

#include "ThemeFileWriter.h"
#include "common/TestSupport.h"
#include "skin/VEXButton.h"
#include "skin/VEXForm.h"
#include "skin/VEXMgr.h"
#include "skin/VEXThemeFile.h"
#include "skin/VEXTitleBar.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace vex;
using testsupport::filledImage;
using testsupport::rgbAt;
using themepack::ThemeFileWriter;

namespace {

QByteArray bmp(int w, int h, QRgb fill)
{
    return themepack::bmpFile(filledImage({w, h}, fill));
}

// A theme folder of one file, written by the theme writer.
struct ThemeOnDisk
{
    QTemporaryDir dir;
    QString path;

    explicit ThemeOnDisk(const ThemeFileWriter &writer, const QString &name = QStringLiteral("test.theme"))
        : path(dir.filePath(name))
    {
        write(writer.build());
    }
    void write(const QByteArray &bytes) const
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
    }
};

// The parts of a frame that a theme's title bar needs, so that a skinned
// frame can take the theme.
void addTitlePictures(ThemeFileWriter &w)
{
    w.addImage("TitleBarLeftImage", bmp(8, 20, qRgb(10, 20, 90)));
    w.addImage("TitleBarRightImage", bmp(8, 20, qRgb(10, 20, 90)));
    w.addImage("TitleBarClientImage", bmp(4, 20, qRgb(10, 20, 120)));
    w.addImage("TitleBarButtonImage", bmp(18 * 17, 17, qRgb(200, 200, 200)));
}

QString loadError(TvexFileTheme &theme, const QString &path)
{
    try {
        theme.setThemeFile(path);
    } catch (const ThemeFileError &e) {
        return e.message();
    }
    return QString();
}

} // namespace

TEST(ThemeInput, AbsurdSizesAndOffsetsAreBoundedToTheScreen)
{
    ThemeFileWriter w;
    addTitlePictures(w);
    w.addInteger("FormMinWidthInt", 0x7FFFFFFF);
    w.addInteger("FormRoundCornerInt", 0x7FFFFFFF);
    w.addInteger("FormBottomRoundCornerInt", -50);
    w.addInteger("FormBorderWidthInt", int(0x80000000));
    w.addInteger("TitleBarButtonLeftOffsetInt", 0x7FFFFFFF);
    w.addInteger("TitleBarButtonRightOffsetInt", -0x7FFFFFFF);
    w.addInteger("TitleBarButtonTopInt", -3);
    w.addInteger("FormBorderColor", 0x7FFFFFFF); // a colour: not a size
    ThemeOnDisk file(w);

    QWidget host;
    host.setGeometry(50, 50, 300, 200);
    auto *theme = new TvexFileTheme(&host);
    theme->setThemeFile(file.path);
    ASSERT_TRUE(theme->Loaded());
    EXPECT_EQ(theme->GetInt(FormMinWidthInt), ThemeSizeLimit);
    EXPECT_EQ(theme->GetInt(FormRoundCornerInt), ThemeSizeLimit);
    EXPECT_EQ(theme->GetInt(FormBottomRoundCornerInt), 0);
    EXPECT_EQ(theme->GetInt(FormBorderWidthInt), 0);
    EXPECT_EQ(theme->GetInt(TitleBarButtonLeftOffsetInt), ThemeSizeLimit);
    EXPECT_EQ(theme->GetInt(TitleBarButtonRightOffsetInt), -ThemeSizeLimit);
    EXPECT_EQ(theme->GetInt(TitleBarButtonTopInt), -3) << "a small negative offset is kept";
    EXPECT_EQ(theme->GetColor(FormBorderColor), 0x7FFFFFFF);
    EXPECT_EQ(theme->GetInt(FormMinWidthInt + 1000), -1) << "not an element";

    // Applied to a real frame: the window stays within bounds and paints.
    auto *frame = new TvexForm(&host);
    frame->setFileTheme(theme);
    frame->setUIStyle(TvexUIStyle::FromThemeFile);
    EXPECT_LE(host.minimumWidth(), ThemeSizeLimit);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    EXPECT_LE(host.width(), ThemeSizeLimit);
    EXPECT_FALSE(frame->FrameRegion().isEmpty());
    const QImage shot = host.grab().toImage();
    EXPECT_FALSE(shot.isNull());
    EXPECT_FALSE(frame->TitleBar()->Render().isNull());
}

TEST(ThemeInput, FilesOverTheSizeLimitAreRefusedBeforeTheyAreRead)
{
    ThemeFileWriter w;
    w.addInteger("FormBorderWidthInt", 2);
    ThemeOnDisk file(w);
    {
        // Exactly at the limit: read as usual (the tail is never reached).
        QFile f(file.path);
        ASSERT_TRUE(f.resize(themefile::MaxFileSize));
    }
    QWidget form;
    TvexFileTheme theme(&form);
    EXPECT_EQ(loadError(theme, file.path), QString());
    EXPECT_EQ(theme.GetInt(FormBorderWidthInt), 2);

    // One byte more: a sparse file, refused with its size in the message,
    // and the theme loaded before stays in use.
    ThemeOnDisk big(w, QStringLiteral("big.theme"));
    {
        QFile f(big.path);
        ASSERT_TRUE(f.resize(themefile::MaxFileSize + 1));
    }
    const QString error = loadError(theme, big.path);
    EXPECT_TRUE(error.contains(QString::number(themefile::MaxFileSize + 1))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("64 MiB"))) << error.toStdString();
    EXPECT_TRUE(error.contains(big.path)) << error.toStdString();

    QByteArray bytes = w.build();
    bytes.resize(themefile::MaxFileSize + 1);
    EXPECT_THROW(TvexThemeFileReader(bytes, QStringLiteral("memory")), ThemeFileError);
}

TEST(ThemeInput, UndecodableAndOversizedPicturesGiveTheBlankButtonFace)
{
    QImage wide(ThemeSizeLimit + 1, 3, QImage::Format_RGB32);
    wide.fill(qRgb(200, 10, 10));
    const QByteArray garbage = QByteArray("BM") + QByteArray(200, '\x5A');
    for (const QByteArray &picture : {garbage, QByteArray(64, '\x01'), themepack::bmpFile(wide)}) {
        SCOPED_TRACE(picture.left(2).toStdString());
        ThemeFileWriter w;
        w.addImage("ButtonImage", picture);
        w.addBoolean("ButtonTransparentBool", 1);
        ThemeOnDisk file(w);

        QWidget form;
        QPalette palette = form.palette();
        palette.setColor(QPalette::Window, QColor(0x20, 0xC0, 0x40));
        form.setPalette(palette);
        form.resize(200, 100);
        auto *theme = new TvexFileTheme(&form);
        theme->setThemeFile(file.path);
        ASSERT_TRUE(theme->Loaded());
        QImage strip(5, 5, QImage::Format_RGB32);
        theme->GetImage(ButtonImage, &strip);
        EXPECT_TRUE(strip.isNull()) << "an element that is there but does not decode";

        auto *button = new TvexButton(&form);
        button->setFileTheme(theme);
        button->setUIStyle(TvexUIStyle::FromThemeFile);
        button->setGeometry(10, 10, 80, 27);
        button->setCaption(QStringLiteral("Go"));
        const QImage shot = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // The blank face, white, where the picture would be; the caption on it.
        int face = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                face += rgbAt(shot, x, y) == 0xFFFFFFu;
        EXPECT_GT(face, 80 * 27 / 2) << "no face drawn: " << std::hex << rgbAt(shot, 40, 13) << " "
                                     << rgbAt(shot, 5, 5);
    }
}

TEST(ThemeInput, PicturesAreDecodedOncePerLoadedFile)
{
    ThemeFileWriter w;
    w.addImage("ButtonImage", bmp(30, 7, qRgb(200, 10, 10)));
    ThemeOnDisk file(w);
    ThemeFileWriter other;
    other.addImage("ButtonImage", bmp(30, 7, qRgb(10, 200, 10)));
    ThemeOnDisk second(other, QStringLiteral("second.theme"));

    QWidget form;
    TvexFileTheme theme(&form);
    theme.setThemeFile(file.path);
    QImage a, b, frameA, frameB;
    theme.GetImage(ButtonImage, &a);
    theme.GetImage(ButtonImage, &b);
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(a.cacheKey(), b.cacheKey());
    theme.GetImageFrame(ButtonImage, &frameA, 2, 3);
    theme.GetImageFrame(ButtonImage, &frameB, 2, 3);
    EXPECT_EQ(frameA.cacheKey(), frameB.cacheKey());
    EXPECT_EQ(frameA.size(), QSize(10, 7));
    QImage otherFrame;
    theme.GetImageFrame(ButtonImage, &otherFrame, 1, 3);
    EXPECT_NE(otherFrame.cacheKey(), frameA.cacheKey());
    // What a caller does to its copy stays with the copy.
    b.fill(Qt::black);
    QImage c;
    theme.GetImage(ButtonImage, &c);
    EXPECT_EQ(c.pixel(0, 0), qRgb(200, 10, 10));

    // Another file: new pictures, new frames.
    theme.setThemeFile(second.path);
    QImage d, frameD;
    theme.GetImage(ButtonImage, &d);
    theme.GetImageFrame(ButtonImage, &frameD, 2, 3);
    EXPECT_NE(d.cacheKey(), a.cacheKey());
    EXPECT_EQ(d.pixel(0, 0), qRgb(10, 200, 10));
    EXPECT_EQ(frameD.pixel(0, 0), qRgb(10, 200, 10));

    // The compiled-in bitmaps are decoded once too.
    const QImage one = LoadSkinBitmap(QStringLiteral("MACOS_TITLEBTN"));
    ASSERT_FALSE(one.isNull());
    EXPECT_EQ(LoadSkinBitmap(QStringLiteral("MACOS_TITLEBTN")).cacheKey(), one.cacheKey());
}
