#include "ThemeFileWriter.h"
#include "common/TestSupport.h"
#include "skin/VEXThemeFile.h"

#include <QBuffer>
#include <QImage>
#include <gtest/gtest.h>

#include <functional>

using namespace vex;
using themepack::ThemeFileWriter;

namespace {

quint32 u32(const QByteArray &b, int at)
{
    return quint32(quint8(b[at])) | (quint32(quint8(b[at + 1])) << 8) | (quint32(quint8(b[at + 2])) << 16)
           | (quint32(quint8(b[at + 3])) << 24);
}

void set32(QByteArray &b, int at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

// Offset of directory record i of a file the writer built.
int recordAt(const QByteArray &file, int i)
{
    return int(u32(file, 20)) + 77 * i;
}

QString readerError(const QByteArray &bytes)
{
    try {
        TvexThemeFileReader reader(bytes, "test");
        return QString();
    } catch (const ThemeFileError &e) {
        return e.message();
    }
}

QByteArray tinyBmp()
{
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(10, 20, 30));
    image.setPixel(1, 0, qRgb(255, 0, 255));
    return themepack::bmpFile(image);
}

} // namespace

TEST(IsThemeFile, MagicUpToItsZeroByte)
{
    QTemporaryDir dir;
    auto file = [&](const char *name, const QByteArray &head) {
        return testsupport::writeFile(dir.path(), name, head + QByteArray(16, 'x'));
    };
    EXPECT_TRUE(IsThemeFile(file("ok", QByteArray("Velkano_TB\0\x7f", 12))));
    EXPECT_TRUE(IsThemeFile(file("ok2", QByteArray("Velkano_TB\0\0", 12))));
    EXPECT_FALSE(IsThemeFile(file("case", QByteArray("velkano_tb\0\0", 12))));
    EXPECT_FALSE(IsThemeFile(file("longer", QByteArray("Velkano_TBX\0", 12))));
    EXPECT_FALSE(IsThemeFile(file("nozero", QByteArray("Velkano_TBXY", 12))));
    EXPECT_FALSE(IsThemeFile(testsupport::writeFile(dir.path(), "short", QByteArray("Velkano_TB\0\0abc", 15))));
    EXPECT_FALSE(IsThemeFile(dir.filePath("missing")));
    EXPECT_FALSE(IsThemeFile(dir.path())); // a directory
    ThemeFileWriter writer;
    EXPECT_TRUE(IsThemeFile(testsupport::writeFile(dir.path(), "built", writer.build())));
}

TEST(ThemeFileReader, FourListsInFileOrderFirstMatchWins)
{
    ThemeFileWriter w;
    w.addInteger("FormBorderColor", 0x123456);
    w.addInteger("formbordercolor", 7);
    w.addInteger("SystemColour", -16777211);
    w.addBoolean("ButtonTransparentBool", 2);
    w.addBoolean("OffBool", 0);
    w.addBoolean("HighBool", 0x100 & 0xFF); // 0
    w.addString("ThemeName", "Graphite");
    w.addImage("ButtonImage", tinyBmp());
    w.add("Odd", 9, QByteArray("ignored")); // other kinds are passed over
    TvexThemeFileReader r(w.build(), "test");

    EXPECT_EQ(r.GetInt("FORMBORDERCOLOR"), 0x123456);
    EXPECT_EQ(r.GetInt("formbordercolor"), 0x123456);
    EXPECT_EQ(r.GetInt("SystemColour"), -16777211);
    EXPECT_TRUE(r.GetBool("buttontransparentbool"));
    EXPECT_FALSE(r.GetBool("OffBool"));
    EXPECT_FALSE(r.GetBool("HighBool"));
    // The kinds are separate lists.
    EXPECT_EQ(r.GetInt("ButtonTransparentBool"), -1);
    EXPECT_FALSE(r.GetBool("FormBorderColor"));
    EXPECT_EQ(r.GetImageStream("FormBorderColor"), nullptr);
    EXPECT_EQ(r.GetInt("Missing"), -1);
    EXPECT_EQ(r.integers().size(), 3);
    EXPECT_EQ(r.strings().size(), 1);
    EXPECT_EQ(r.strings()[0].text, "Graphite");
    EXPECT_EQ(r.booleans()[0].text, "2");

    QBuffer *first = r.GetImageStream("buttonimage");
    ASSERT_NE(first, nullptr);
    first->readAll();
    QBuffer *again = r.GetImageStream("ButtonImage");
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->pos(), 0);
    EXPECT_EQ(again->readAll(), tinyBmp());
    EXPECT_EQ(QImage::fromData(r.imageBytes("ButtonImage")).size(), QSize(2, 1));
}

TEST(ThemeFileReader, TheRecordThatEndsTheChainIsNotLoaded)
{
    ThemeFileWriter w;
    w.addInteger("One", 1);
    w.addInteger("Two", 2);
    QByteArray file = w.build();
    // Turn the end record into a valid integer record that still ends the chain.
    const int end = recordAt(file, 2);
    file.replace(end, 5, "Three");
    file[end + 64] = 1;
    set32(file, end + 65, u32(file, recordAt(file, 0) + 65));
    set32(file, end + 69, 4);
    TvexThemeFileReader r(file, "test");
    EXPECT_EQ(r.GetInt("One"), 1);
    EXPECT_EQ(r.GetInt("Two"), 2);
    EXPECT_EQ(r.GetInt("Three"), -1);
    EXPECT_EQ(r.integers().size(), 2);
}

TEST(ThemeFileReader, ANameMayFillAllSixtyFourBytes)
{
    const QString full(64, 'N');
    ThemeFileWriter w;
    w.addInteger(full, 5);
    w.addInteger("Next", 6); // read right after the unterminated name
    TvexThemeFileReader r(w.build(), "test");
    EXPECT_EQ(r.integers()[0].name, full);
    EXPECT_EQ(r.GetInt(full), 5);
    EXPECT_EQ(r.GetInt("Next"), 6);
}

TEST(ThemeFileReader, MalformedFilesEndWithAClearError)
{
    ThemeFileWriter w;
    w.addInteger("A", 1);
    w.addBoolean("B", 1);
    w.addImage("C", tinyBmp());
    const QByteArray good = w.build();
    ASSERT_TRUE(readerError(good).isEmpty());

    struct Case
    {
        const char *what;
        std::function<void(QByteArray &)> damage;
        const char *expected;
    };
    const Case cases[] = {
        {"chain loops back", [&](QByteArray &f) { set32(f, recordAt(f, 1) + 73, quint32(recordAt(f, 0))); },
         "comes back"},
        {"chain loops onto itself", [&](QByteArray &f) { set32(f, recordAt(f, 0) + 73, quint32(recordAt(f, 0))); },
         "comes back"},
        {"next past the end", [&](QByteArray &f) { set32(f, recordAt(f, 0) + 73, 0xFFFFFFF0u); }, "past the end"},
        {"first record past the end", [&](QByteArray &f) { set32(f, 20, quint32(f.size())); }, "past the end"},
        {"record cut short", [&](QByteArray &f) { f.chop(10); }, "past the end"},
        {"data offset past the end", [&](QByteArray &f) { set32(f, recordAt(f, 0) + 65, quint32(f.size())); },
         "past the end"},
        {"data size past the end", [&](QByteArray &f) { set32(f, recordAt(f, 2) + 69, 0xFFFFFFFFu); }, "past the end"},
        {"offset plus size wraps",
         [&](QByteArray &f) {
             set32(f, recordAt(f, 2) + 65, 0x80000000u);
             set32(f, recordAt(f, 2) + 69, 0x80000010u);
         },
         "past the end"},
        {"header size 16", [&](QByteArray &f) { set32(f, 12, 16); }, "header size"},
        {"header size huge", [&](QByteArray &f) { set32(f, 12, 0xFFFFFFFFu); }, "header size"},
        {"integer of 8 bytes", [&](QByteArray &f) { set32(f, recordAt(f, 0) + 69, 8); }, "expected 4"},
        {"integer of 2 bytes", [&](QByteArray &f) { set32(f, recordAt(f, 0) + 69, 2); }, "expected 4"},
        {"boolean of 4 bytes", [&](QByteArray &f) { set32(f, recordAt(f, 1) + 69, 4); }, "expected 1"},
        {"empty image", [&](QByteArray &f) { set32(f, recordAt(f, 2) + 69, 0); }, "empty"},
        {"shorter than a header", [&](QByteArray &f) { f.truncate(20); }, "shorter"},
    };
    for (const Case &c : cases) {
        QByteArray file = good;
        c.damage(file);
        const QString error = readerError(file);
        EXPECT_TRUE(error.contains(c.expected)) << c.what << ": " << error.toStdString();
    }
}

TEST(ThemeFileReader, UnknownKindsArePassedOverWithoutTheirData)
{
    ThemeFileWriter w;
    w.add("Strange", 200, QByteArray());
    w.addInteger("After", 3);
    QByteArray file = w.build();
    set32(file, recordAt(file, 0) + 65, 0xFFFFFF00u); // never read
    set32(file, recordAt(file, 0) + 69, 0xFFFFFF00u);
    TvexThemeFileReader r(file, "test");
    EXPECT_EQ(r.GetInt("After"), 3);
}

TEST(ThemeFileReader, OpenErrorsReachTheCaller)
{
    QTemporaryDir dir;
    EXPECT_THROW(TvexThemeFileReader(dir.filePath("missing.theme")), ThemeFileError);
    ThemeFileWriter w;
    w.addInteger("X", 42);
    const QString path = testsupport::writeFile(dir.path(), "x.theme", w.build());
    TvexThemeFileReader r(path);
    EXPECT_EQ(r.GetInt("x"), 42);
}

TEST(ThemeFileWriter, FolderWithBitmapsAndValues)
{
    QTemporaryDir dir;
    testsupport::writeFile(dir.path(), "ButtonImage.bmp", tinyBmp());
    testsupport::writeFile(dir.path(), "values.txt",
                           "# comment\n"
                           "FormBorderColor = 0x7F7F7F\n"
                           "TitleBarButtonRightOffsetInt = -2   # trailing comment\n"
                           "ButtonTransparentBool = yes\n"
                           "OtherBool = 2\n"
                           "Name = \"A # not a comment\"\n"
                           "SystemColor = 0xFF000005\n");
    ThemeFileWriter w;
    QString error;
    ASSERT_TRUE(w.addFolder(dir.path(), &error)) << error.toStdString();
    TvexThemeFileReader r(w.build(), "folder");
    EXPECT_EQ(r.GetInt("FormBorderColor"), 0x7F7F7F);
    EXPECT_EQ(r.GetInt("TitleBarButtonRightOffsetInt"), -2);
    EXPECT_EQ(r.GetInt("SystemColor"), int(0xFF000005u));
    EXPECT_TRUE(r.GetBool("ButtonTransparentBool"));
    EXPECT_EQ(r.booleans()[1].text, "2");
    EXPECT_EQ(r.strings()[0].text, "A # not a comment");
    EXPECT_NE(r.GetImageStream("ButtonImage"), nullptr);

    testsupport::writeFile(dir.path(), "values.txt", "FormMinWidthInt = wide\n");
    ThemeFileWriter bad;
    EXPECT_FALSE(bad.addFolder(dir.path(), &error));
    EXPECT_TRUE(error.contains(":1:")) << error.toStdString();
}
