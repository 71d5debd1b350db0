// Golden comparisons with Excel's own XML spreadsheets: a few workbooks of
// the corpus, each converted by tabulon-batch and compared cell by cell
// (type, value) with the file Excel wrote for it. What is left different
// is named per workbook, and is the office's doing, not the writer's.
#include "OfficeTestSupport.h"

#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace officetest;

namespace {

QString excelDir()
{
    return QStringLiteral(TABULON_XML_SOURCE_DIR "/excel");
}

// Alike as the corpus's comparison takes it: numbers to 1e-9 relative,
// dates to the second, texts exactly but for line ends.
bool same(const XmlCell &reference, const XmlCell &candidate)
{
    if (reference.type != candidate.type)
        return false;
    if (reference.type == QLatin1String("Number")) {
        const double x = reference.data.toDouble(), y = candidate.data.toDouble();
        return x == y || std::fabs(x - y) <= 1e-9 * std::max(std::fabs(x), std::fabs(y)) || std::fabs(x - y) < 1e-12;
    }
    if (reference.type == QLatin1String("DateTime"))
        return reference.data.left(19) == candidate.data.left(19);
    if (reference.type == QLatin1String("String"))
        return QString(reference.data).replace("\r\n", "\n") == QString(candidate.data).replace("\r\n", "\n");
    return reference.data.trimmed().toUpper() == candidate.data.trimmed().toUpper();
}

// Converts the workbook and compares the output with Excel's file. The
// cells known to differ ("Sheet!row,column") must differ, all others match.
void expectExcelsCells(const QString &workbook, const QStringList &engineDifferences = {},
                       const QString &excelsFile = {})
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    QDir().mkpath(src);
    ASSERT_TRUE(QFile::copy(excelDir() + "/" + workbook, src + "/" + workbook));
    const testsupport::ProgramRun r = runBatch({"--source", src, "--out", out, "--masks", "*", "--kind", "xml"});
    ASSERT_EQ(r.lines, QStringList({src + "/" + workbook + "OK"})) << qPrintable(r.err);

    const XmlWorkbook reference =
        readXmlWorkbook(excelDir() + "/" + (excelsFile.isEmpty() ? workbook + ".xml" : excelsFile));
    const XmlWorkbook ours = readXmlWorkbook(out + "/" + workbook.left(workbook.indexOf('.')) + ".xml");
    ASSERT_TRUE(reference.error.isEmpty()) << qPrintable(reference.error);
    ASSERT_TRUE(ours.error.isEmpty()) << qPrintable(ours.error);
    // Sheets go by their place: Excel's file may name them after another
    // copy of the workbook.
    EXPECT_EQ(ours.sheets.size(), reference.sheets.size());
    QStringList differ;
    for (int i = 0; i < reference.sheets.size(); ++i) {
        const QString &sheet = reference.sheets.at(i);
        const auto &grid = reference.cells.value(sheet);
        const auto &theirs = ours.cells.value(ours.sheets.value(i));
        for (auto it = grid.cbegin(); it != grid.cend(); ++it) {
            if (theirs.contains(it.key()) && same(it.value(), theirs.value(it.key())))
                continue;
            differ << QStringLiteral("%1!%2,%3").arg(sheet).arg(it.key().first).arg(it.key().second);
            if (!engineDifferences.contains(differ.last()))
                ADD_FAILURE() << qPrintable(differ.last()) << ": Excel " << qPrintable(it.value().type) << " "
                              << qPrintable(it.value().data) << ", ours " << qPrintable(theirs.value(it.key()).type)
                              << " " << qPrintable(theirs.value(it.key()).data);
        }
    }
    EXPECT_FALSE(reference.sheets.isEmpty());
    // A known difference that went away is news too: the list is kept true.
    for (const QString &known : engineDifferences)
        EXPECT_TRUE(differ.contains(known)) << qPrintable(known) << " is now held";
}

} // namespace

// Number formats of every kind; dates before 1 March 1900.
TEST(ExcelParity, NumberFormatsAndEarlyDates)
{
    expectExcelsCells("LONumbers-2010.xls");
}

// Comparisons give logical cells; serials of both date systems as text.
TEST(ExcelParity, LogicalResults)
{
    expectExcelsCells("issue2717.xlsx");
}

// The workbook's own macro functions keep the results the file stores.
TEST(ExcelParity, UserDefinedFunctions)
{
    // The file stores line feeds where Excel, running the workbook's macro
    // function again when it wrote its file, had carriage returns.
    expectExcelsCells("comments_stress_test.xls", {"Sheet3!1,2", "Sheet3!3,2"});
}

// Chart, macro and dialog sheets are left out.
TEST(ExcelParity, WorksheetsOnly)
{
    expectExcelsCells("BlankSheetTypes.xls");
}

TEST(ExcelParity, The1904DateSystem)
{
    expectExcelsCells("1904.xlsx");
}

// Pivot tables as the file stores their last layout, not as the office lays
// them out anew ("(Multiple Items)", the order and place of items).
TEST(ExcelParity, PivotTablesAsTheFileStoresThem)
{
    for (const char *workbook : {"pivot_table_named_range.xls", "pivot_table_named_range.xlsx"})
        expectExcelsCells(workbook, {}, "pivot_table_named_range.xml");
}

// Formulas that another writer saved with an inline text and no result
// are computed.
TEST(ExcelParity, FormulasWithoutStoredResults)
{
    expectExcelsCells("LONumbers.xlsx");
}

// A formula in a cell of the General format stays General, where the office
// gives it the format of the cell it refers to (a time, here).
TEST(ExcelParity, FormulasInGeneralCells)
{
    expectExcelsCells("LONumbers-2010.xlsx");
}

// The other cells of an array formula (a dynamic array's spill cells among
// them) hold the values the file stores, not the office's #NAME?.
TEST(ExcelParity, CellsOfArrayFormulas)
{
    expectExcelsCells("metadata_2019.xlsx");
}

// User-defined functions keep their stored results whatever the office
// loaded before and however old its profile: a workbook that brings macros
// first, then the one with the functions, against that one alone on a
// profile made for the run.
TEST(StoredResults, SameBytesAfterMacrosAndOnAFreshProfile)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), alone = dir.filePath("alone");
    for (const char *sub : {"/a", "/b"})
        QDir().mkpath(src + sub);
    QDir().mkpath(alone);
    ASSERT_TRUE(QFile::copy(excelDir() + "/BlankSheetTypes.xls", src + "/a/BlankSheetTypes.xls"));
    ASSERT_TRUE(QFile::copy(excelDir() + "/comments_stress_test.xls", src + "/b/comments_stress_test.xls"));
    ASSERT_TRUE(QFile::copy(excelDir() + "/comments_stress_test.xls", alone + "/comments_stress_test.xls"));
    QProcessEnvironment fresh = QProcessEnvironment::systemEnvironment();
    fresh.insert("XDG_CACHE_HOME", dir.filePath("cache"));
    for (const char *kind : {"xml", "csv", "html"}) {
        const QString ext = kind == QString("html") ? "htm" : kind;
        const QString afterMacros = dir.filePath(QStringLiteral("tree-%1").arg(kind));
        const QString onFresh = dir.filePath(QStringLiteral("fresh-%1").arg(kind));
        const testsupport::ProgramRun tree =
            runBatch({"--source", src, "--out", afterMacros, "--masks", "*.xls", "--keep-tree", "--kind", kind});
        ASSERT_EQ(tree.lines.size(), 2) << qPrintable(tree.err);
        const testsupport::ProgramRun single =
            runBatch({"--source", alone, "--out", onFresh, "--masks", "*.xls", "--kind", kind}, fresh);
        ASSERT_EQ(single.lines.size(), 1) << qPrintable(single.err);
        const QByteArray bytes = testsupport::fileBytes(onFresh + "/comments_stress_test." + ext);
        EXPECT_FALSE(bytes.isEmpty()) << kind;
        EXPECT_EQ(testsupport::fileBytes(afterMacros + "/b/comments_stress_test." + ext), bytes) << kind;
    }
}

// CSV and web pages take the stored results too: a workbook's own macro
// functions (their texts, an empty text) and the comparisons fed by them,
// which the office computes as #MACRO? or #NAME? errors.
TEST(StoredResults, CsvAndPagesHoldTheStoredResults)
{
    const struct
    {
        const char *workbook;
        const char *sheet;
        const char *golden; // the CSV of that sheet, under golden/
        QStringList onThePage;
    } cases[] = {
        {"comments_stress_test.xls",
         "Sheet3",
         "comments_stress_test.Sheet3.csv",
         {"If I did this right,<br><br>This comment should be haiku:"}},
        {"number_format_russian.xls", "Implied", "number_format_russian.Implied.csv", {">12&nbsp;345,68<", ">TRUE<"}},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        const QString src = dir.filePath("src");
        QDir().mkpath(src);
        ASSERT_TRUE(QFile::copy(excelDir() + "/" + c.workbook, src + "/" + c.workbook));
        const testsupport::ProgramRun csv = runBatch(
            {"--source", src, "--out", dir.filePath("csv"), "--masks", "*", "--kind", "csv", "--csv-sheets", c.sheet});
        ASSERT_EQ(csv.lines.size(), 1) << qPrintable(csv.err);
        const QString base = QString(c.workbook).left(QString(c.workbook).indexOf('.'));
        EXPECT_EQ(testsupport::fileBytes(dir.filePath("csv/") + base + "." + c.sheet + ".csv"),
                  testsupport::fileBytes(QStringLiteral(TABULON_XML_SOURCE_DIR "/golden/") + c.golden))
            << c.workbook;

        const testsupport::ProgramRun html =
            runBatch({"--source", src, "--out", dir.filePath("html"), "--masks", "*", "--kind", "html"});
        ASSERT_EQ(html.lines.size(), 1) << qPrintable(html.err);
        const QString page = QString::fromUtf8(testsupport::fileBytes(dir.filePath("html/") + base + ".htm"));
        for (const QString &shown : c.onThePage)
            EXPECT_TRUE(page.contains(shown)) << c.workbook << ": " << qPrintable(shown);
        EXPECT_FALSE(page.contains("#MACRO?")) << c.workbook;
        EXPECT_FALSE(page.contains("#NAME?")) << c.workbook;
    }
}
