// Web pages with pictures, through tabulon-batch and the real LibreOffice:
// the pictures go into place with their page, in BASE_files/, the page
// points at them, a later page of the same name takes the folder with it,
// and a save that fails leaves the earlier page and pictures as they were.
#include "OfficeTestSupport.h"

#include "common/ScratchMount.h"
#include "common/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace officetest;
using testsupport::everythingIn;
using testsupport::fileBytes;
using testsupport::filledImage;
using testsupport::ProgramRun;
using testsupport::ScratchMount;

namespace {

QByteArray png(int side, QRgb colour, bool noise)
{
    QImage image = filledImage({side, side}, colour);
    if (noise) {
        // Noise does not compress: the picture takes about its pixels' room.
        QRandomGenerator random(7);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                image.setPixel(x, y, random.generate() | 0xff000000u);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A one-sheet workbook holding `text` and one picture per entry of pictures.
QString writePictureWorkbook(const QString &path, const QString &text, const QList<QByteArray> &pictures)
{
    QString frames;
    for (int i = 0; i < pictures.size(); ++i) {
        frames += QStringLiteral("<draw:frame draw:name=\"P%1\" svg:width=\"2cm\" svg:height=\"2cm\" svg:x=\"%2cm\" "
                                 "svg:y=\"0cm\"><draw:image><office:binary-data>%3</office:binary-data></draw:image>"
                                 "</draw:frame>")
                      .arg(i)
                      .arg(i * 3)
                      .arg(QString::fromLatin1(pictures.at(i).toBase64()));
    }
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
            "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
            "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
            "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
            "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" office:version=\"1.3\" "
            "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\"><office:body><office:spreadsheet>"
            "<table:table table:name=\"Pictures\"><table:table-row><table:table-cell office:value-type=\"string\">"
            "<text:p>%1</text:p>%2</table:table-cell></table:table-row></table:table>"
            "</office:spreadsheet></office:body></office:document>\n")
            .arg(text, frames);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    file.write(xml.toUtf8());
    return path;
}

QStringList pictureReferences(const QString &page)
{
    QStringList sources;
    const QString html = QString::fromUtf8(fileBytes(page));
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("<img[^>]* src=\"([^\"]+)\"")).globalMatch(html);
    while (it.hasNext())
        sources << it.next().captured(1);
    return sources;
}

// Every picture the page refers to is a file of its folder.
void expectReferencesResolve(const QString &page, int pictures)
{
    const QStringList sources = pictureReferences(page);
    EXPECT_GE(sources.size(), pictures) << qPrintable(page);
    const QString folder = QFileInfo(page).completeBaseName() + QStringLiteral("_files/");
    for (const QString &source : sources) {
        EXPECT_TRUE(source.startsWith(folder)) << qPrintable(source);
        EXPECT_TRUE(QFileInfo::exists(QFileInfo(page).path() + QLatin1Char('/') + source)) << qPrintable(source);
    }
    EXPECT_EQ(QDir(QFileInfo(page).path() + QLatin1Char('/') + folder).entryList(QDir::Files).size(), pictures);
}

QList<QJsonObject> jsonLines(const ProgramRun &r)
{
    QList<QJsonObject> objects;
    for (const QString &line : r.lines)
        objects << QJsonDocument::fromJson(line.toUtf8()).object();
    return objects;
}

} // namespace

TEST(Pictures, APageTakesItsPicturesAlongAndALaterPageReplacesThem)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    const QString red = writePictureWorkbook(src + "/a/book.fods", "red", {png(8, qRgb(255, 0, 0), false)});
    const QString blue = writePictureWorkbook(src + "/b/book.fods", "blue",
                                              {png(8, qRgb(0, 0, 255), false), png(9, qRgb(0, 255, 0), false)});
    const ProgramRun r = runBatch({"--source", src, "--out", out, "--masks", "*.fods", "--log-format", "jsonl"});
    ASSERT_EQ(r.status, 0) << qPrintable(r.err);
    const QList<QJsonObject> lines = jsonLines(r);
    ASSERT_EQ(lines.size(), 3) << qPrintable(r.lines.join('\n'));
    EXPECT_EQ(lines.at(0).value("path").toString(), red);
    EXPECT_EQ(lines.at(1).value("status").toString(), "replaced");
    // The later page with both its pictures and nothing of the earlier one.
    expectReferencesResolve(out + "/book.htm", 2);
    QStringList listed;
    for (const QJsonValue &v : lines.at(1).value("outputs").toArray())
        listed << v.toString();
    EXPECT_EQ(listed.value(0), out + "/book.htm");
    QStringList expected = {out + "/book.htm"};
    for (const QString &name : QDir(out + "/book_files").entryList(QDir::Files, QDir::Name))
        expected << out + "/book_files/" + name;
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(everythingIn(out).filter(QRegularExpression("^\\.|/\\.")), QStringList());

    // A page without pictures replaces the page and its folder alike.
    const QString src2 = dir.filePath("src2");
    copyInput("types.xls", src2 + "/book.xls");
    const ProgramRun plain = runBatch({"--source", src2, "--out", out});
    ASSERT_EQ(plain.status, 0) << qPrintable(plain.err);
    EXPECT_EQ(everythingIn(out), QStringList({"book.htm"}));
}

TEST(Pictures, KeepTreeAndSeveralOfficesWriteTheSameFiles)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    for (int i = 0; i < 3; ++i)
        writePictureWorkbook(src + QStringLiteral("/d%1/p%1.fods").arg(i), QString::number(i),
                             {png(8 + i, qRgb(40 * i, 0, 0), false)});
    QMap<QString, QByteArray> first;
    for (const char *jobs : {"1", "2"}) {
        const QString out = dir.filePath(QStringLiteral("out%1").arg(jobs));
        const ProgramRun r =
            runBatch({"--source", src, "--out", out, "--masks", "*.fods", "--keep-tree", "--jobs", jobs});
        ASSERT_EQ(r.status, 0) << qPrintable(r.err);
        QMap<QString, QByteArray> files;
        for (const QString &name : everythingIn(out))
            files.insert(name, fileBytes(out + "/" + name));
        for (int i = 0; i < 3; ++i)
            expectReferencesResolve(out + QStringLiteral("/d%1/p%1.htm").arg(i), 1);
        if (first.isEmpty())
            first = files;
        else
            EXPECT_EQ(files, first) << "--jobs " << jobs;
    }
}

TEST(Pictures, AFailedSaveKeepsTheEarlierPageAndItsPictures)
{
    QTemporaryDir dir;
    ScratchMount disk(192 << 10);
    if (!disk.mounted())
        GTEST_SKIP() << qPrintable(disk.whyNot());
    const QString out = disk.path() + "/out";
    const QString small = writePictureWorkbook(dir.filePath("one/book.fods"), "small", {png(8, qRgb(9, 9, 9), false)});
    ASSERT_EQ(runBatch({"--source", dir.filePath("one"), "--out", out, "--masks", "*.fods"}).lines,
              QStringList({small + "OK"}));
    QMap<QString, QByteArray> before;
    for (const QString &name : everythingIn(out))
        before.insert(name, fileBytes(out + "/" + name));
    ASSERT_EQ(before.keys(), QStringList({"book.htm", "book_files", before.lastKey()}));

    // Pictures of noise that the disk cannot hold.
    const QString big = writePictureWorkbook(dir.filePath("two/book.fods"), "big", {png(300, 0, true)});
    const ProgramRun r = runBatch({"--source", dir.filePath("two"), "--out", out, "--masks", "*.fods"});
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.lines.size(), 1) << qPrintable(r.err);
    EXPECT_TRUE(r.lines.at(0).startsWith(big + "cannot save " + out + "/book.htm: ")
                || r.lines.at(0).startsWith(big + "Can't save " + out + "/book.htm: "))
        << qPrintable(r.lines.at(0));
    QMap<QString, QByteArray> after;
    for (const QString &name : everythingIn(out))
        after.insert(name, fileBytes(out + "/" + name));
    EXPECT_EQ(after, before);
}
