#include "OfficeTestSupport.h"

#include "common/TestSupport.h"

#include "platform/Automation.h"
#include "platform/office/OfficeBridge.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace platform;
using namespace officetest;
using testsupport::fileBytes;

namespace {

AutomationRef startOffice()
{
    office::registerExcelApplication();
    return createAutomationObject(QStringLiteral("Excel.Application"));
}

void convert(const AutomationRef &app, const QString &source, const QString &target, int code)
{
    AutomationRef book =
        toObject(toObject(app->property("workbooks"), "workbooks")->invoke("open", {source}), "workbook");
    book->invoke("SaveAs", {target, code});
    book->invoke("Close", {omitted()});
}

// What every input holds (see data/types.fods), as the XML spreadsheet must
// give it back: sheet, row, column, type, data, formula.
struct Expected
{
    const char *sheet;
    int row, column;
    const char *type, *data, *formula;
};
const Expected kCells[] = {
    {"Values", 1, 1, "String", "Item", ""},
    {"Values", 1, 6, "String", "Paid", ""},
    {"Values", 2, 1, "String", "Apple, red", ""},
    {"Values", 2, 2, "Number", "3", ""},
    {"Values", 2, 3, "Number", "1.25", ""},
    {"Values", 2, 4, "Number", "3.75", "=RC[-2]*RC[-1]"},
    {"Values", 2, 5, "DateTime", "2004-03-01T00:00:00.000", ""},
    {"Values", 2, 6, "Boolean", "1", nullptr},
    {"Values", 3, 1, "String", "Pear \"Bosc\"", ""},
    {"Values", 3, 4, "Number", "1", "=RC[-2]*RC[-1]"},
    {"Values", 3, 5, "DateTime", "2004-12-31T00:00:00.000", ""},
    {"Values", 3, 6, "Boolean", "0", nullptr},
    {"Values", 4, 1, "String", "Grüße, 東京", ""},
    {"Values", 4, 4, "Error", "#DIV/0!", "=1/0"},
    {"Values", 5, 2, "Number", "5", "=SUM(R[-3]C:R[-2]C)"},
    {"Second", 1, 1, "String", "left", ""},
    {"Second", 3, 3, "Number", "42", ""},
    {"Second", 3, 4, "Number", "45", "=RC[-1]+Values!R[-1]C[-2]"},
    {"Third", 1, 1, "String", "third", ""},
};

void expectXml(const QString &path, const QString &what)
{
    const XmlWorkbook book = readXmlWorkbook(path);
    ASSERT_TRUE(book.error.isEmpty()) << qPrintable(what) << ": " << qPrintable(book.error);
    EXPECT_TRUE(book.hasProcessingInstruction) << qPrintable(what);
    EXPECT_EQ(book.sheets, QStringList({"Values", "Second", "Third"})) << qPrintable(what);
    int count = 0;
    for (const auto &sheet : book.cells)
        count += sheet.size();
    EXPECT_EQ(count, 6 + 6 + 6 + 2 + 2 + 3 + 1) << qPrintable(what) << ": no empty cell is written, none is lost";
    for (const Expected &e : kCells) {
        const XmlCell cell = book.at(e.sheet, e.row, e.column);
        const QString where = QStringLiteral("%1 %2!R%3C%4").arg(what, e.sheet).arg(e.row).arg(e.column);
        EXPECT_EQ(cell.type, QString(e.type)) << qPrintable(where);
        EXPECT_EQ(cell.data, QString::fromUtf8(e.data)) << qPrintable(where);
        if (e.formula) { // booleans may come back as =TRUE() from some formats
            EXPECT_EQ(cell.formula, QString(e.formula)) << qPrintable(where);
        }
    }
    // Dates carry a date format, so a reader shows them as dates.
    const QString dateStyle = book.at("Values", 2, 5).style;
    EXPECT_FALSE(dateStyle.isEmpty()) << qPrintable(what);
    EXPECT_TRUE(book.numberFormats.value(dateStyle).contains("YY", Qt::CaseInsensitive)) << qPrintable(what);
}

} // namespace

TEST(OfficeConversion, EveryInputFormatToEveryKind)
{
    QTemporaryDir out;
    AutomationRef app = startOffice();
    app->setProperty("visible", false);
    EXPECT_FALSE(app->property("Visible").toBool());

    for (const QString ext : {"xls", "xlsx", "ods"}) {
        const QString source = input("types." + ext);
        const QString base = out.filePath(ext + "/types");
        convert(app, source, base + ".htm", 44);
        convert(app, source, base + ".csv", 6);
        convert(app, source, base + ".xml", 46);

        const QList<QStringList> csv = readCsv(base + ".csv");
        ASSERT_EQ(csv.size(), 5) << qPrintable(ext);
        EXPECT_EQ(csv.at(0), QStringList({"Item", "Qty", "Price", "Total", "Date", "Paid"})) << qPrintable(ext);
        EXPECT_EQ(csv.at(1).mid(0, 5), QStringList({"Apple, red", "3", "1.25", "3.75", "2004-03-01"}))
            << qPrintable(ext);
        EXPECT_EQ(csv.at(2).at(0), QString("Pear \"Bosc\"")) << qPrintable(ext);
        EXPECT_EQ(csv.at(3).at(0), QString::fromUtf8("Grüße, 東京")) << qPrintable(ext) << ": written as UTF-8";
        EXPECT_EQ(csv.at(3).at(3), QString("#DIV/0!")) << qPrintable(ext);
        EXPECT_EQ(csv.at(4).mid(0, 2), QStringList({"Sum", "5"})) << qPrintable(ext);
        QFile raw(base + ".csv");
        ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
        EXPECT_FALSE(raw.readAll().startsWith("\xEF\xBB\xBF")) << "no byte-order mark";

        const QList<QList<QStringList>> html = readHtmlTables(base + ".htm");
        ASSERT_EQ(html.size(), 3) << qPrintable(ext) << ": one table per sheet";
        ASSERT_GE(html.at(0).size(), 5);
        EXPECT_EQ(html.at(0).at(1).mid(0, 5), QStringList({"Apple, red", "3", "1.25", "3.75", "2004-03-01"}))
            << qPrintable(ext);
        EXPECT_EQ(html.at(0).at(3).at(0), QString::fromUtf8("Grüße, 東京")) << qPrintable(ext);
        EXPECT_EQ(html.at(2).at(0).at(0), QString("third")) << qPrintable(ext);

        expectXml(base + ".xml", ext);
    }
    app->invoke("quit");
}

TEST(OfficeConversion, AWorkbookIsReadByWhatItHoldsAndItsFolderIsLeftAlone)
{
    QTemporaryDir out;
    AutomationRef app = startOffice();

    const struct
    {
        const char *input, *name;
    } cases[] = {
        {"types.ods", "ods-as.xls"},     {"types.xlsx", "xlsx-as.ods"}, {"types.xls", "xls-as.xlsx"},
        {"types.ods", "without-suffix"}, {"types.xlsx", "xlsx-as.XLS"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString reference = out.filePath(QStringLiteral("%1.csv").arg(c.input));
        convert(app, input(c.input), reference, 6);
        QTemporaryDir in;
        const QString source = copyInput(c.input, in.filePath(c.name));
        const QByteArray before = fileBytes(source);
        AutomationRef book =
            toObject(toObject(app->property("workbooks"), "workbooks")->invoke("open", {source}), "workbook");
        EXPECT_EQ(book->property("SheetNames").toStringList(), QStringList({"Values", "Second", "Third"}));
        const QString target = out.filePath(QStringLiteral("%1.csv").arg(c.name));
        book->invoke("SaveAs", {target, 6});
        // Opened read-only: no lock file beside it while it is open.
        EXPECT_EQ(QDir(in.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList({c.name}));
        book->invoke("Close", {omitted()});
        EXPECT_EQ(fileBytes(target), fileBytes(reference));
        EXPECT_EQ(fileBytes(source), before);
    }
    app->invoke("quit");
}

TEST(OfficeConversion, XmlOfALongSheetKeepsEveryRow)
{
    QTemporaryDir out;
    AutomationRef app = startOffice();
    convert(app, input("long.xlsx"), out.filePath("long.xml"), 46);
    const XmlWorkbook book = readXmlWorkbook(out.filePath("long.xml"));
    ASSERT_TRUE(book.error.isEmpty()) << qPrintable(book.error);
    ASSERT_EQ(book.sheets.size(), 1);
    const auto &cells = book.cells.first();
    EXPECT_EQ(cells.size(), 5000 * 10);
    for (int row : {1, 4096, 4097, 5000}) {
        EXPECT_EQ(book.at(book.sheets.first(), row, 1).data, QStringLiteral("r%1").arg(row));
        const XmlCell last = book.at(book.sheets.first(), row, 10);
        EXPECT_EQ(last.type, QString("Number"));
        EXPECT_EQ(last.data, QString::number(row * 10 + 9));
    }
    app->invoke("quit");
}
