#include "platform/FileSystem.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/xattr.h>

TEST(OutputMark, NamesTheWorkbookWhenItFitsAndIsABareMarkOtherwise)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("out.csv");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(platform::isMarkedOutput(path));
    EXPECT_EQ(platform::outputWrittenFor(path), QString());

    // Beyond what any file system keeps in one attribute (64 KiB).
    const QString tooLong = "/" + QString(70000, QChar(u'x')) + ".xls";
    const QString cases[] = {"/data/報告 2024\n.xls", "", tooLong};
    for (const QString &workbook : cases) {
        platform::markAsOutput(path, workbook);
        EXPECT_TRUE(platform::isMarkedOutput(path)) << workbook.size();
        EXPECT_EQ(platform::outputWrittenFor(path), workbook == tooLong ? QString() : workbook) << workbook.size();
    }
    // A mark of another kind of program, or a value cut short, names nobody.
    ASSERT_EQ(::setxattr(QFile::encodeName(path).constData(), "user.tabulon.output", "1", 1, 0), 0);
    EXPECT_EQ(platform::outputWrittenFor(path), QString());
}
