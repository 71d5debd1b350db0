// How values are written as Excel writes them (no office needed): date
// serials in both date systems, which number formats are dates, which
// formulas are logical, OOXML escapes; and the results an .xls stores.
#include "platform/office/ExcelValues.h"
#include "platform/office/StoredResults.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace platform::office;

TEST(ExcelValues, SerialsCountExcelsOwnCalendar)
{
    const excel::DateSystem excel1900(QDate(1899, 12, 30), true);
    const excel::DateSystem office1900(QDate(1899, 12, 30), false);
    const excel::DateSystem excel1904(QDate(1904, 1, 1), true);
    const struct
    {
        const excel::DateSystem &system;
        double serial;
        const char *text;
    } cases[] = {
        {excel1900, 1, "1900-01-01T00:00:00.000"},        {excel1900, 0, "1899-12-31T00:00:00.000"},
        {excel1900, -1.2, "1899-12-29T19:12:00.000"},     {excel1900, 59, "1900-02-28T00:00:00.000"},
        {excel1900, 60, "1900-02-29T00:00:00.000"},       {excel1900, 60.5, "1900-02-29T12:00:00.000"},
        {excel1900, 61, "1900-03-01T00:00:00.000"},       {excel1900, 12.3, "1900-01-12T07:12:00.000"},
        {excel1900, 45000.25, "2023-03-15T06:00:00.000"}, {office1900, 1, "1899-12-31T00:00:00.000"},
        {office1900, 61, "1900-03-01T00:00:00.000"},      {excel1904, 0, "1904-01-01T00:00:00.000"},
        {excel1904, 1.5, "1904-01-02T12:00:00.000"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.system.dateTime(c.serial), QLatin1String(c.text)) << c.serial;
}

TEST(ExcelValues, DateCodesAreThoseWithDateOrTimeLetters)
{
    const struct
    {
        const char *code;
        bool date;
    } cases[] = {
        {"yyyy-mm-dd", true}, {"hh:mm:ss", true},   {"[h]:mm", true},    {"[mm]:ss", true},        {"d", true},
        {"AM/PM", false},     {"A/P", false},       {"am/pm", false},    {"hh:mm AM/PM", true},    {"[Red]#.##", false},
        {"\"day\" 0", false}, {"\\d0", false},      {"0_m", false},      {"*d0", false},           {"HH[M]", false},
        {"HH[MM]", false},    {"[$-409]d/m", true}, {"[Red]yyyy", true}, {"\"a\"\"b\" mmm", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(excel::isDateTimeCode(QLatin1String(c.code)), c.date) << c.code;
}

TEST(ExcelValues, LogicalFormulasAreComparisonsOrLogicalFunctions)
{
    const struct
    {
        const char *formula;
        bool logical;
    } cases[] = {
        {"=RC[-2]=RC[-1]", true}, {"=A1<>B1", true},           {"=A1>=2", true},        {"=SUM(A1:A2)>3", true},
        {"=AND(A1,B1)", true},    {"=not(A1)", true},          {"=ISNUMBER(A1)", true}, {"=TRUE()", true},
        {"=FALSE", true},         {"=IF(A1=1,2,3)", false},    {"=\"a=b\"", false},     {"='x=y'!A1", false},
        {"=AND(A1)+1", false},    {"=NOT(A1)*NOT(B1)", false}, {"=SUM(A1:A2)", false},  {"=1+AND(A1)", false},
        {"A1=B1", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(excel::isLogicalFormula(QLatin1String(c.formula)), c.logical) << c.formula;
}

TEST(ExcelValues, OoxmlEscapesAreDecoded)
{
    EXPECT_EQ(excel::decodeOoxmlEscapes("a_x000D_b"), QStringLiteral("a\rb"));
    EXPECT_EQ(excel::decodeOoxmlEscapes("_x0041__x0042_"), QStringLiteral("AB"));
    EXPECT_EQ(excel::decodeOoxmlEscapes("_x00zz_ _x12_"), QStringLiteral("_x00zz_ _x12_"));
    EXPECT_EQ(excel::decodeOoxmlEscapes("plain"), QStringLiteral("plain"));
}

TEST(StoredResults, ReadsSheetKindsAndFormulaResultsOfAnXls)
{
    for (const char *name : {"BlankSheetTypes.xls", "BlankSheetTypes.xlsm"}) {
        const StoredResults blank = StoredResults::read(QStringLiteral(TABULON_XML_SOURCE_DIR "/excel/") + name);
        QStringList kinds;
        for (const StoredResults::Sheet &sheet : blank.sheets())
            kinds << sheet.name + "=" + QString::number(int(sheet.kind));
        EXPECT_EQ(kinds, QStringList({"Sheet1=0", "Chart1=1", "Macro1=2", "Dialog1=3"})) << name;
    }

    // The same workbook as .xls and .xlsb: the same results.
    for (const char *name : {"comments_stress_test.xls", "comments_stress_test.xlsb"}) {
        const StoredResults udf = StoredResults::read(QStringLiteral(TABULON_XML_SOURCE_DIR "/excel/") + name);
        const StoredResults::Sheet *sheet = udf.sheet("Sheet3");
        ASSERT_TRUE(sheet) << name;
        const StoredResults::Value *haiku = sheet->at(0, 1);
        ASSERT_TRUE(haiku) << name;
        EXPECT_EQ(int(haiku->kind), int(StoredResults::Value::Kind::Text));
        EXPECT_TRUE(haiku->text.startsWith("If I did this right,")) << name;
        EXPECT_TRUE(haiku->text.endsWith("five, seven, and five")) << name;
        EXPECT_EQ(sheet->results.size(), 3) << name;
        const StoredResults::Sheet *numbers = udf.sheet("Sheet1");
        ASSERT_TRUE(numbers) << name;
        EXPECT_FALSE(numbers->results.isEmpty()) << name;
    }
}

TEST(StoredResults, AnythingElseIsNoWorkbook)
{
    QTemporaryDir dir;
    const QByteArray magic = QByteArray::fromHex("d0cf11e0a1b11ae1");
    const QByteArray cases[] = {
        {},
        "PK\x03\x04 not a compound file",
        magic + QByteArray(600, '\xff'), // a header of nothing but end marks
        magic + QByteArray(4000, '\0'),  // sector numbers that lead nowhere
    };
    int n = 0;
    for (const QByteArray &bytes : cases) {
        const QString path = dir.filePath(QString::number(n++));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        EXPECT_TRUE(StoredResults::read(path).empty()) << n;
    }
    // A real workbook cut short is damaged: nothing of it is taken.
    QFile whole(QStringLiteral(TABULON_XML_SOURCE_DIR "/excel/LONumbers-2010.xls"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    for (const qsizetype keep : {qsizetype(512), bytes.size() / 2}) {
        const QString path = dir.filePath(QStringLiteral("cut%1").arg(keep));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.left(keep));
        file.close();
        const StoredResults cut = StoredResults::read(path);
        EXPECT_TRUE(cut.empty()) << keep;
    }
    EXPECT_FALSE(StoredResults::read(whole.fileName()).empty());
}

namespace {

QString excelFile(const char *name)
{
    return QStringLiteral(TABULON_XML_SOURCE_DIR "/excel/") + QLatin1String(name);
}

QString describe(const StoredResults::Value &value)
{
    static const char *const kinds[] = {"Number", "Text", "Logical", "Error"};
    return QLatin1String(kinds[int(value.kind)]) + ":"
           + (value.kind == StoredResults::Value::Kind::Number || value.kind == StoredResults::Value::Kind::Logical
                  ? QString::number(value.number)
                  : value.text);
}

// Every cell of a sheet the reader kept, in order, as "row,column=Kind:value".
QStringList cellsOf(const StoredResults::Sheet &sheet)
{
    QStringList out;
    for (auto it = sheet.cells.cbegin(); it != sheet.cells.cend(); ++it)
        out << QStringLiteral("%1,%2=%3").arg(it.key() >> 16).arg(it.key() & 0xFFFF).arg(describe(it.value()));
    out.sort();
    return out;
}

} // namespace

// The pivot tables of one workbook as Excel saved it in its three formats:
// the same areas (page fields included) and the same stored cells, whether
// they come from shared strings, RK numbers, inline texts or binary records.
TEST(StoredResults, PivotTablesAsLastLaidOutAlikeInEveryFormat)
{
    const struct
    {
        const char *sheet;
        QList<StoredResults::Area> areas; // top, left, bottom, right
        int row, column;
        const char *cell;
    } cases[] = {
        {"PTWithLabelFilter", {{0, 0, 14, 9}}, 0, 1, "Text:(Multiple Items)"},
        {"PTWithLabelFilter", {{0, 0, 14, 9}}, 3, 1, "Number:10"},
        {"PTTable", {{3, 0, 8, 3}}, 4, 3, "Text:Grand Total"},
        {"PTRange", {{0, 0, 8, 3}}, 1, 1, "Text:(Multiple Items)"},
        {"FizzBuzzTable", {}, 0, 0, nullptr},
    };
    QHash<QString, QStringList> first;
    for (const char *name :
         {"pivot_table_named_range.xls", "pivot_table_named_range.xlsx", "pivot_table_named_range.xlsb"}) {
        const StoredResults workbook = StoredResults::read(excelFile(name));
        ASSERT_FALSE(workbook.empty()) << name;
        for (const auto &c : cases) {
            const StoredResults::Sheet *sheet = workbook.sheet(c.sheet);
            ASSERT_TRUE(sheet) << name << " " << c.sheet;
            ASSERT_EQ(sheet->pivotTables.size(), c.areas.size()) << name << " " << c.sheet;
            for (int i = 0; i < c.areas.size(); ++i) {
                const StoredResults::Area &got = sheet->pivotTables.at(i), &want = c.areas.at(i);
                EXPECT_EQ(QList<int>({got.top, got.left, got.bottom, got.right}),
                          QList<int>({want.top, want.left, want.bottom, want.right}))
                    << name << " " << c.sheet;
            }
            if (!c.cell) {
                // No pivot table: no cell but the formulas' results is read.
                EXPECT_TRUE(sheet->cells.isEmpty()) << name << " " << c.sheet;
                continue;
            }
            const StoredResults::Value *value = sheet->stored(c.row, c.column);
            ASSERT_TRUE(value) << name << " " << c.sheet;
            EXPECT_EQ(describe(*value), QLatin1String(c.cell)) << name << " " << c.sheet;
            const QStringList all = cellsOf(*sheet);
            if (!first.contains(c.sheet))
                first.insert(c.sheet, all);
            EXPECT_EQ(all, first.value(c.sheet)) << name << " " << c.sheet;
        }
    }
}

// Excel 5 and 95 wrote 8-bit texts in the code page of the writing system;
// cell texts, formula results and sheet names come out as the author saw
// them, and every cell is read when asked for.
TEST(StoredResults, OldWorkbooksKeepTheirCodePage)
{
    const struct
    {
        const char *file;
        const char *sheet;
        int row, column;
        QString text;
    } cases[] = {
        {"merge_cells.biff5.xls", "Merge", 3, 0, QStringLiteral("\u2026 are merged separately")}, // windows-1252
        {"phonetic_text.biff5.xls", "Sheet1", 0, 0, QStringLiteral("\u00e4\u00f8")},              // Mac Roman
        {"phonetic_text.biff5.xls", "Sheet1", 1, 0, QStringLiteral("\u00e4\u00f8\u00e9\u00f6withCol")},
    };
    for (const auto &c : cases) {
        const StoredResults pivotsOnly = StoredResults::read(excelFile(c.file));
        ASSERT_TRUE(pivotsOnly.sheet(c.sheet)) << c.file;
        EXPECT_TRUE(pivotsOnly.sheet(c.sheet)->cells.isEmpty()) << c.file;
        const StoredResults all = StoredResults::read(excelFile(c.file), StoredResults::Scope::EveryCell);
        const StoredResults::Sheet *sheet = all.sheet(c.sheet);
        ASSERT_TRUE(sheet) << c.file;
        const StoredResults::Value *value = sheet->stored(c.row, c.column);
        ASSERT_TRUE(value) << c.file;
        EXPECT_EQ(describe(*value), QStringLiteral("Text:") + c.text) << c.file;
    }
}

// A formula cell with an inline text (as some writers give one that has no
// result) has no stored result: the office computes it.
TEST(StoredResults, InlineTextIsNoFormulaResult)
{
    const StoredResults workbook = StoredResults::read(excelFile("LONumbers.xlsx"), StoredResults::Scope::EveryCell);
    const StoredResults::Sheet *sheet = workbook.sheet("Sheet1");
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->at(37, 2)); // C38: =C37, <is><t></t></is>
    ASSERT_TRUE(sheet->at(37, 1));  // B38: =B37, a number
    EXPECT_EQ(describe(*sheet->at(37, 1)), QStringLiteral("Number:1"));
}

// What an .xlsx tells beside its values: the array formulas' other cells
// (with their stored results), and the formulas in cells of the General
// format.
TEST(StoredResults, ArrayPartsAndGeneralFormulasOfAnXlsx)
{
    const struct
    {
        const char *file;
        int row, column;
        bool arrayPart, generalFormula;
        const char *result; // the stored result, or null for none
    } cases[] = {
        {"metadata_2019.xlsx", 12, 1, false, true, "Number:1"},     // B13: =UNIQUE(A13:A21), the first cell
        {"metadata_2019.xlsx", 13, 1, true, false, "Number:2"},     // B14: spilled
        {"metadata_2019.xlsx", 16, 1, true, false, "Number:5"},     // B17: the last spilled
        {"metadata_2019.xlsx", 3, 1, true, false, "Error:#VALUE!"}, // B4, of B3:B4
        {"metadata_2019.xlsx", 13, 0, false, false, nullptr},       // A14: a value beside
        {"LONumbers-2010.xlsx", 19, 1, false, true, "Number:1"},    // B20: =B19 in General
        {"LONumbers-2010.xlsx", 18, 1, false, false, "Number:1"},   // B19: =B18 as hhmm
    };
    for (const auto &c : cases) {
        const StoredResults workbook = StoredResults::read(excelFile(c.file));
        const StoredResults::Sheet *sheet = workbook.sheet("Sheet1");
        ASSERT_TRUE(sheet) << c.file;
        const quint64 key = StoredResults::key(c.row, c.column);
        EXPECT_EQ(sheet->arrayParts.contains(key), c.arrayPart) << c.file << " " << c.row << "," << c.column;
        EXPECT_EQ(sheet->generalFormulas.contains(key), c.generalFormula) << c.file << " " << c.row << "," << c.column;
        const StoredResults::Value *result = sheet->at(c.row, c.column);
        EXPECT_EQ(result ? describe(*result) : QString(), c.result ? QString(c.result) : QString())
            << c.file << " " << c.row << "," << c.column;
    }
}
