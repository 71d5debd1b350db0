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
