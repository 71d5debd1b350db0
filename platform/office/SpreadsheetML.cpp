#include "platform/office/SpreadsheetML.h"

#include "platform/FileSystem.h"
#include "platform/office/ExcelValues.h"
#include "platform/office/OutputFile.h"
#include "platform/office/StoredInDocument.h"
#include "platform/office/UnoOffice.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/sheet/AddressConvention.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/DataPilotOutputRangeType.hpp>
#include <com/sun/star/sheet/FormulaLanguage.hpp>
#include <com/sun/star/sheet/FormulaMapGroup.hpp>
#include <com/sun/star/sheet/FormulaResult.hpp>
#include <com/sun/star/sheet/XCellFormatRangesSupplier.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XDataPilotTable2.hpp>
#include <com/sun/star/sheet/XDataPilotTablesSupplier.hpp>
#include <com/sun/star/sheet/XFormulaOpCodeMapper.hpp>
#include <com/sun/star/sheet/XFormulaParser.hpp>
#include <com/sun/star/sheet/XFormulaTokens.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/Date.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>

#include <QBuffer>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

// Last: it opens the css namespace.
#include "platform/office/UnoNames_p.h"

namespace platform::office {

namespace {

// Rows read from the office per bulk request: bounds the memory a sheet
// with far-apart cells can take.
constexpr sal_Int32 kRowsPerBlock = 4096;

enum class CellType { String, Number, DateTime, Boolean, Error };

struct NumberFormat
{
    CellType type = CellType::Number;
    QString code; // empty for the standard format
};

// XML 1.0 cannot carry most control characters, whatever the escaping.
QString xmlSafe(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += c;
            out += text.at(++i);
        } else if (c.isSurrogate() || u == 0xFFFE || u == 0xFFFF || (u < 0x20 && u != '\t' && u != '\n' && u != '\r')) {
            out += QChar(0xFFFD);
        } else {
            out += c;
        }
    }
    return out;
}

class FormatTable
{
public:
    // excelSerials: the workbook's date serials follow Excel's calendar.
    FormatTable(const Reference<lang::XComponent> &document, bool excelSerials)
    {
        Reference<util::XNumberFormatsSupplier> supplier(document, UNO_QUERY_THROW);
        m_formats = supplier->getNumberFormats();
        util::Date nullDate(30, 12, 1899);
        Reference<beans::XPropertySet> settings = supplier->getNumberFormatSettings();
        if (settings.is())
            settings->getPropertyValue("NullDate") >>= nullDate;
        m_dates.emplace(QDate(nullDate.Year, nullDate.Month, nullDate.Day), excelSerials);
    }

    const NumberFormat &format(sal_Int32 key)
    {
        auto it = m_cache.find(key);
        if (it != m_cache.end())
            return *it;
        NumberFormat f;
        try {
            Reference<beans::XPropertySet> props = m_formats->getByKey(key);
            sal_Int16 type = 0;
            rtl::OUString code;
            props->getPropertyValue("Type") >>= type;
            props->getPropertyValue("FormatString") >>= code;
            const QString text = toQString(code);
            if (type & util::NumberFormat::LOGICAL)
                f.type = CellType::Boolean;
            else if ((type & (util::NumberFormat::DATE | util::NumberFormat::TIME)) && excel::isDateTimeCode(text))
                f.type = CellType::DateTime;
            if (text.compare(QLatin1String("General"), Qt::CaseInsensitive) != 0 && f.type != CellType::Boolean)
                f.code = text;
        } catch (const uno::Exception &) {}
        return *m_cache.insert(key, f);
    }

    QString dateTime(double serial) const { return m_dates->dateTime(serial); }

private:
    Reference<util::XNumberFormats> m_formats;
    QHash<sal_Int32, NumberFormat> m_cache;
    std::optional<excel::DateSystem> m_dates;
};

// Formula text in the notation of the XML spreadsheet: Excel's English
// function names and R1C1 references, e.g. "=RC[-2]*RC[-1]".
class FormulaPrinter
{
public:
    explicit FormulaPrinter(const Reference<lang::XComponent> &document)
    {
        Reference<lang::XMultiServiceFactory> factory(document, UNO_QUERY_THROW);
        m_parser.set(factory->createInstance("com.sun.star.sheet.FormulaParser"), UNO_QUERY_THROW);
        Reference<sheet::XFormulaOpCodeMapper> mapper(factory->createInstance("com.sun.star.sheet.FormulaOpCodeMapper"),
                                                      UNO_QUERY_THROW);
        Reference<beans::XPropertySet> props(m_parser, UNO_QUERY_THROW);
        props->setPropertyValue("FormulaConvention", uno::Any(sheet::AddressConvention::XL_R1C1));
        props->setPropertyValue("OpCodeMap",
                                uno::Any(mapper->getAvailableMappings(sheet::FormulaLanguage::XL_ENGLISH,
                                                                      sheet::FormulaMapGroup::ALL_EXCEPT_SPECIAL)));
    }

    QString print(const Reference<table::XCell> &cell, sal_Int16 sheet, sal_Int32 column, sal_Int32 row)
    {
        Reference<sheet::XFormulaTokens> tokens(cell, UNO_QUERY);
        if (!tokens.is())
            return {};
        table::CellAddress at(sheet, column, row);
        QString text = toQString(m_parser->printFormula(tokens->getTokens(), at));
        if (!text.startsWith(QLatin1Char('=')))
            text.prepend(QLatin1Char('='));
        return text;
    }

private:
    Reference<sheet::XFormulaParser> m_parser;
};

// Raised from inside the sheets once the output refused a write; the
// file knows why.
struct WriteFailed
{};

struct CellOut
{
    sal_Int32 column;
    CellType type;
    QString data;
    QString formula;
    sal_Int32 formatKey;
};

std::vector<table::CellRangeAddress> rangesOf(const Reference<sheet::XSheetCellRanges> &ranges)
{
    std::vector<table::CellRangeAddress> out;
    if (!ranges.is())
        return out;
    const uno::Sequence<table::CellRangeAddress> all = ranges->getRangeAddresses();
    out.assign(all.begin(), all.end());
    return out;
}

class SheetWriter
{
public:
    // ooxmlResults: stored formula texts still carry OOXML's "_xHHHH_" escapes.
    // stored: the results the file holds for the sheet's formulas, if known.
    SheetWriter(QXmlStreamWriter &xml, FormatTable &formats, FormulaPrinter &formulas, QMap<sal_Int32, QString> &styles,
                bool ooxmlResults, const StoredResults::Sheet *stored)
        : m_xml(xml), m_formats(formats), m_formulas(formulas), m_styles(styles), m_ooxmlResults(ooxmlResults),
          m_stored(stored)
    {}

    void write(const Reference<sheet::XSpreadsheet> &sheet, sal_Int16 index)
    {
        m_sheet = sheet;
        m_index = index;
        m_xml.writeStartElement(QStringLiteral("Worksheet"));
        m_xml.writeAttribute(QStringLiteral("ss:Name"),
                             xmlSafe(toQString(Reference<container::XNamed>(sheet, UNO_QUERY_THROW)->getName())));
        m_xml.writeStartElement(QStringLiteral("Table"));

        Reference<sheet::XSheetCellCursor> cursor = sheet->createCursor();
        Reference<sheet::XUsedAreaCursor> used(cursor, UNO_QUERY_THROW);
        used->gotoStartOfUsedArea(false);
        used->gotoEndOfUsedArea(true);
        const table::CellRangeAddress area =
            Reference<sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress();
        m_lastColumn = area.EndColumn;
        m_lastRow = area.EndRow;
        m_pivotTables = pivotTables(sheet);
        takeInStoredPivotCells();

        const Reference<table::XCellRange> all = sheet->getCellRangeByPosition(0, 0, m_lastColumn, m_lastRow);
        const Reference<sheet::XCellRangesQuery> query(all, UNO_QUERY_THROW);
        using namespace sheet::CellFlags;
        m_content = rangesOf(query->queryContentCells(VALUE | DATETIME | STRING | FORMULA));
        if (!m_content.empty() || !m_pivotTables.empty()) {
            m_xml.writeAttribute(QStringLiteral("ss:ExpandedColumnCount"), QString::number(m_lastColumn + 1));
            m_xml.writeAttribute(QStringLiteral("ss:ExpandedRowCount"), QString::number(m_lastRow + 1));
            m_formulaCells = rangesOf(query->queryContentCells(FORMULA));
            m_errorCells = rangesOf(query->queryFormulaCells(sheet::FormulaResult::ERROR));
            readFormatRanges(all);
            for (sal_Int32 top = 0; top <= m_lastRow; top += kRowsPerBlock) {
                writeBlock(top, std::min(m_lastRow, top + kRowsPerBlock - 1));
                // No point in reading the rest from the office once the
                // file cannot take it.
                if (m_xml.hasError())
                    throw WriteFailed{};
            }
        }
        m_xml.writeEndElement(); // Table
        m_xml.writeEndElement(); // Worksheet
    }

private:
    struct FormatRange
    {
        table::CellRangeAddress at;
        sal_Int32 key;
    };

    // Where the workbook's pivot tables stand as the file stores them, and
    // where the office laid them out anew on loading (with its own labels,
    // order and size): in both, the stored cells are written and nothing
    // of the office's layout.
    std::vector<StoredResults::Area> pivotTables(const Reference<sheet::XSpreadsheet> &sheet) const
    {
        std::vector<StoredResults::Area> areas;
        if (!m_stored || m_stored->pivotTables.isEmpty())
            return areas;
        areas.assign(m_stored->pivotTables.cbegin(), m_stored->pivotTables.cend());
        const Reference<sheet::XDataPilotTablesSupplier> supplier(sheet, UNO_QUERY);
        const Reference<container::XIndexAccess> tables(supplier.is() ? supplier->getDataPilotTables() : nullptr,
                                                        UNO_QUERY);
        for (sal_Int32 i = 0, n = tables.is() ? tables->getCount() : 0; i < n; ++i) {
            const Reference<sheet::XDataPilotTable2> table(tables->getByIndex(i), UNO_QUERY);
            if (!table.is())
                continue;
            const table::CellRangeAddress r = table->getOutputRangeByType(sheet::DataPilotOutputRangeType::WHOLE);
            const StoredResults::Area laidOut{r.StartRow, r.StartColumn, r.EndRow, r.EndColumn};
            if (std::any_of(m_stored->pivotTables.cbegin(), m_stored->pivotTables.cend(),
                            [&](const StoredResults::Area &a) { return a.intersects(laidOut); }))
                areas.push_back(laidOut);
        }
        return areas;
    }

    bool inPivotTable(sal_Int32 row, sal_Int32 column) const
    {
        return std::any_of(m_pivotTables.cbegin(), m_pivotTables.cend(),
                           [&](const StoredResults::Area &a) { return a.contains(row, column); });
    }

    // The stored cells of the pivot tables widen the sheet where the
    // office's layout is smaller.
    void takeInStoredPivotCells()
    {
        if (m_pivotTables.empty())
            return;
        for (auto it = m_stored->cells.cbegin(); it != m_stored->cells.cend(); ++it) {
            const sal_Int32 row = sal_Int32(it.key() >> 16), column = sal_Int32(it.key() & 0xFFFF);
            if (!inPivotTable(row, column))
                continue;
            m_lastRow = std::max(m_lastRow, row);
            m_lastColumn = std::max(m_lastColumn, column);
        }
    }

    void readFormatRanges(const Reference<table::XCellRange> &all)
    {
        m_formatRanges.clear();
        Reference<sheet::XCellFormatRangesSupplier> supplier(all, UNO_QUERY);
        if (!supplier.is())
            return;
        Reference<container::XIndexAccess> ranges = supplier->getCellFormatRanges();
        for (sal_Int32 i = 0, n = ranges->getCount(); i < n; ++i) {
            Reference<beans::XPropertySet> props(ranges->getByIndex(i), UNO_QUERY);
            Reference<sheet::XCellRangeAddressable> address(props, UNO_QUERY);
            sal_Int32 key = 0;
            if (!props.is() || !address.is() || !(props->getPropertyValue("NumberFormat") >>= key) || key == 0)
                continue;
            m_formatRanges.push_back({address->getRangeAddress(), key});
        }
    }

    static bool overlaps(const table::CellRangeAddress &a, sal_Int32 top, sal_Int32 bottom)
    {
        return a.StartRow <= bottom && a.EndRow >= top;
    }

    void writeBlock(sal_Int32 top, sal_Int32 bottom)
    {
        const sal_Int32 width = m_lastColumn + 1;
        const sal_Int32 height = bottom - top + 1;
        auto at = [&](sal_Int32 row, sal_Int32 column) { return size_t(row - top) * size_t(width) + size_t(column); };

        std::vector<bool> occupied(size_t(width) * size_t(height), false);
        bool any = false;
        for (const auto &r : m_content) {
            if (!overlaps(r, top, bottom))
                continue;
            any = true;
            for (sal_Int32 row = std::max(top, r.StartRow); row <= std::min(bottom, r.EndRow); ++row)
                for (sal_Int32 column = r.StartColumn; column <= r.EndColumn; ++column)
                    occupied[at(row, column)] = true;
        }
        for (const auto &area : m_pivotTables) {
            for (sal_Int32 row = std::max(top, area.top); row <= std::min(bottom, area.bottom); ++row)
                for (sal_Int32 column = area.left; column <= std::min(m_lastColumn, area.right); ++column) {
                    occupied[at(row, column)] = m_stored->stored(row, column) != nullptr;
                    any = any || occupied[at(row, column)];
                }
        }
        if (!any)
            return;

        std::vector<sal_Int32> keys(occupied.size(), 0);
        for (const auto &f : m_formatRanges) {
            if (!overlaps(f.at, top, bottom))
                continue;
            for (sal_Int32 row = std::max(top, f.at.StartRow); row <= std::min(bottom, f.at.EndRow); ++row)
                for (sal_Int32 column = f.at.StartColumn; column <= std::min(m_lastColumn, f.at.EndColumn); ++column)
                    keys[at(row, column)] = f.key;
        }
        // The office gives a formula in a General cell the format of a cell
        // it refers to, as its own; Excel keeps General.
        if (m_stored) {
            for (const quint64 cell : m_stored->generalFormulas) {
                const sal_Int32 row = sal_Int32(cell >> 16), column = sal_Int32(cell & 0xFFFF);
                if (row >= top && row <= bottom && column <= m_lastColumn)
                    keys[at(row, column)] = 0;
            }
        }

        QHash<size_t, QString> formulas, errors;
        QSet<size_t> logical;
        auto cellsIn = [&](const std::vector<table::CellRangeAddress> &ranges, auto &&each) {
            for (const auto &r : ranges) {
                if (!overlaps(r, top, bottom))
                    continue;
                for (sal_Int32 row = std::max(top, r.StartRow); row <= std::min(bottom, r.EndRow); ++row)
                    for (sal_Int32 column = r.StartColumn; column <= r.EndColumn; ++column)
                        each(row, column);
            }
        };
        cellsIn(m_formulaCells, [&](sal_Int32 row, sal_Int32 column) {
            const Reference<table::XCell> cell = m_sheet->getCellByPosition(column, row);
            const QString formula = m_formulas.print(cell, m_index, column, row);
            formulas.insert(at(row, column), formula);
            // A logical result can sit in a cell of any format, and one
            // stored in the file comes without the office's logical type
            // (some imports turn Boolean cells into =TRUE()): the formula
            // tells what it is.
            Reference<text::XText> text(cell, UNO_QUERY);
            const rtl::OUString shown = text.is() ? text->getString() : rtl::OUString();
            if (shown == "TRUE" || shown == "FALSE" || excel::isLogicalFormula(formula))
                logical.insert(at(row, column));
        });
        cellsIn(m_errorCells, [&](sal_Int32 row, sal_Int32 column) {
            Reference<text::XText> text(m_sheet->getCellByPosition(column, row), UNO_QUERY);
            QString shown = text.is() ? toQString(text->getString()) : QString();
            if (!shown.startsWith(QLatin1Char('#')))
                shown = QStringLiteral("#VALUE!"); // the office's own codes have no spreadsheet name
            errors.insert(at(row, column), shown);
        });

        const Reference<sheet::XCellRangeData> data(m_sheet->getCellRangeByPosition(0, top, m_lastColumn, bottom),
                                                    UNO_QUERY_THROW);
        const uno::Sequence<uno::Sequence<uno::Any>> values = data->getDataArray();

        std::vector<CellOut> cells;
        for (sal_Int32 row = top; row <= bottom; ++row) {
            cells.clear();
            const uno::Sequence<uno::Any> &line = values[row - top];
            for (sal_Int32 column = 0; column <= m_lastColumn; ++column) {
                const size_t i = at(row, column);
                if (!occupied[i])
                    continue;
                CellOut cell{column, CellType::String, {}, formulas.value(i), keys[i]};
                double number = 0;
                rtl::OUString text;
                const StoredResults::Value *stored = nullptr;
                if (inPivotTable(row, column)) {
                    stored = m_stored->stored(row, column);
                    if (!m_stored->at(row, column))
                        cell.formula.clear();
                } else if (m_stored && formulas.contains(i)) {
                    stored = m_stored->at(row, column);
                    // Excel writes an array formula on its first cell only.
                    if (m_stored->arrayParts.contains(StoredResults::key(row, column)))
                        cell.formula.clear();
                }
                if (stored) {
                    writeStored(cell, *stored, logical.contains(i));
                } else if (errors.contains(i)) {
                    cell.type = CellType::Error;
                    cell.data = errors.value(i);
                } else if (line[column] >>= number) {
                    const NumberFormat &format = m_formats.format(keys[i]);
                    cell.type = logical.contains(i) ? CellType::Boolean : format.type;
                    if (cell.type == CellType::DateTime)
                        cell.data = m_formats.dateTime(number);
                    else if (cell.type == CellType::Boolean)
                        cell.data = number != 0 ? QStringLiteral("1") : QStringLiteral("0");
                    else
                        cell.data = numberText(number);
                } else if (line[column] >>= text) {
                    const QString value = toQString(text);
                    cell.data =
                        xmlSafe(m_ooxmlResults && formulas.contains(i) ? excel::decodeOoxmlEscapes(value) : value);
                }
                cells.push_back(std::move(cell));
            }
            writeRow(row, cells);
        }
    }

    static QString numberText(double number) { return QString::number(number, 'g', QLocale::FloatingPointShortest); }

    // The result the file stored with the formula, in place of the office's.
    void writeStored(CellOut &cell, const StoredResults::Value &value, bool logical)
    {
        using Kind = StoredResults::Value::Kind;
        switch (value.kind) {
        case Kind::Number:
            cell.type = logical ? CellType::Boolean : m_formats.format(cell.formatKey).type;
            cell.data = cell.type == CellType::DateTime  ? m_formats.dateTime(value.number)
                        : cell.type == CellType::Boolean ? numberText(value.number != 0 ? 1 : 0)
                                                         : numberText(value.number);
            break;
        case Kind::Logical:
            cell.type = CellType::Boolean;
            cell.data = numberText(value.number);
            break;
        case Kind::Error:
            cell.type = CellType::Error;
            cell.data = value.text;
            break;
        case Kind::Text:
            cell.type = CellType::String;
            cell.data = xmlSafe(value.text);
            break;
        }
    }

    void writeRow(sal_Int32 row, const std::vector<CellOut> &cells)
    {
        if (cells.empty())
            return;
        m_xml.writeStartElement(QStringLiteral("Row"));
        if (row != m_lastWrittenRow + 1)
            m_xml.writeAttribute(QStringLiteral("ss:Index"), QString::number(row + 1));
        m_lastWrittenRow = row;
        sal_Int32 previous = -1;
        for (const CellOut &cell : cells) {
            m_xml.writeStartElement(QStringLiteral("Cell"));
            if (cell.column != previous + 1)
                m_xml.writeAttribute(QStringLiteral("ss:Index"), QString::number(cell.column + 1));
            previous = cell.column;
            if (cell.formatKey != 0 && cell.type != CellType::String && cell.type != CellType::Error) {
                const NumberFormat &format = m_formats.format(cell.formatKey);
                if (!format.code.isEmpty()) {
                    m_styles.insert(cell.formatKey, format.code);
                    m_xml.writeAttribute(QStringLiteral("ss:StyleID"), QStringLiteral("s%1").arg(cell.formatKey));
                }
            }
            if (!cell.formula.isEmpty())
                m_xml.writeAttribute(QStringLiteral("ss:Formula"), xmlSafe(cell.formula));
            m_xml.writeStartElement(QStringLiteral("Data"));
            m_xml.writeAttribute(QStringLiteral("ss:Type"), typeName(cell.type));
            writeText(cell.data);
            m_xml.writeEndElement();
            m_xml.writeEndElement();
        }
        m_xml.writeEndElement();
    }

    // A carriage return written as it is would be read back as a line
    // feed: XML folds line ends. As a character reference it stays.
    void writeText(const QString &text)
    {
        qsizetype from = 0;
        for (qsizetype cr = text.indexOf(QLatin1Char('\r')); cr >= 0; cr = text.indexOf(QLatin1Char('\r'), from)) {
            m_xml.writeCharacters(text.mid(from, cr - from));
            m_xml.writeEntityReference(QStringLiteral("#13"));
            from = cr + 1;
        }
        m_xml.writeCharacters(text.mid(from));
    }

    static QString typeName(CellType type)
    {
        switch (type) {
        case CellType::Number:
            return QStringLiteral("Number");
        case CellType::DateTime:
            return QStringLiteral("DateTime");
        case CellType::Boolean:
            return QStringLiteral("Boolean");
        case CellType::Error:
            return QStringLiteral("Error");
        case CellType::String:
            break;
        }
        return QStringLiteral("String");
    }

    QXmlStreamWriter &m_xml;
    FormatTable &m_formats;
    FormulaPrinter &m_formulas;
    QMap<sal_Int32, QString> &m_styles;
    const bool m_ooxmlResults;
    const StoredResults::Sheet *m_stored;
    Reference<sheet::XSpreadsheet> m_sheet;
    sal_Int16 m_index = 0;
    sal_Int32 m_lastColumn = 0;
    sal_Int32 m_lastRow = 0;
    sal_Int32 m_lastWrittenRow = -1;
    std::vector<table::CellRangeAddress> m_content, m_formulaCells, m_errorCells;
    std::vector<FormatRange> m_formatRanges;
    std::vector<StoredResults::Area> m_pivotTables;
};

QByteArray workbookHead(const QMap<sal_Int32, QString> &styles)
{
    QByteArray head;
    QBuffer buffer(&head);
    buffer.open(QIODevice::WriteOnly);
    QXmlStreamWriter xml(&buffer);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    xml.writeProcessingInstruction(QStringLiteral("mso-application"), QStringLiteral("progid=\"Excel.Sheet\""));
    xml.writeStartElement(QStringLiteral("Workbook"));
    xml.writeAttribute(QStringLiteral("xmlns"), QStringLiteral("urn:schemas-microsoft-com:office:spreadsheet"));
    xml.writeAttribute(QStringLiteral("xmlns:o"), QStringLiteral("urn:schemas-microsoft-com:office:office"));
    xml.writeAttribute(QStringLiteral("xmlns:x"), QStringLiteral("urn:schemas-microsoft-com:office:excel"));
    xml.writeAttribute(QStringLiteral("xmlns:ss"), QStringLiteral("urn:schemas-microsoft-com:office:spreadsheet"));
    xml.writeAttribute(QStringLiteral("xmlns:html"), QStringLiteral("http://www.w3.org/TR/REC-html40"));
    xml.writeStartElement(QStringLiteral("Styles"));
    xml.writeStartElement(QStringLiteral("Style"));
    xml.writeAttribute(QStringLiteral("ss:ID"), QStringLiteral("Default"));
    xml.writeAttribute(QStringLiteral("ss:Name"), QStringLiteral("Normal"));
    xml.writeEndElement();
    for (auto it = styles.cbegin(); it != styles.cend(); ++it) {
        xml.writeStartElement(QStringLiteral("Style"));
        xml.writeAttribute(QStringLiteral("ss:ID"), QStringLiteral("s%1").arg(it.key()));
        xml.writeEmptyElement(QStringLiteral("NumberFormat"));
        xml.writeAttribute(QStringLiteral("ss:Format"), xmlSafe(it.value()));
        xml.writeEndElement();
    }
    xml.writeEndElement();          // Styles
    xml.writeCharacters(QString()); // closes the start tag of Workbook
    return head;
}

[[noreturn]] void failSaving(const QString &path, const QString &reason)
{
    throw OfficeFailure(QStringLiteral("cannot save %1: %2").arg(QDir::toNativeSeparators(path), reason));
}

[[noreturn]] void failSaving(const QString &path, const OutputFile &file)
{
    // Without an errno the XML writer itself gave up.
    failSaving(path, file.error() != 0 ? platform::describeError(file.error()) : QStringLiteral("write error"));
}

} // namespace

void writeSpreadsheetML(const Reference<lang::XComponent> &document, const QString &path)
{
    Reference<sheet::XSpreadsheetDocument> spreadsheet(document, UNO_QUERY_THROW);
    Reference<container::XIndexAccess> sheets(spreadsheet->getSheets(), UNO_QUERY_THROW);
    const QString filter = filterOf(document);
    const bool ooxml = filter.contains(QLatin1String("2007 XML")) || filter.contains(QLatin1String("2007 VBA XML"))
                       || filter.contains(QLatin1String("Office Open XML"));
    const bool excelFile = ooxml || filter.contains(QLatin1String("Excel"));
    FormatTable formats(document, excelFile);
    // What kind each sheet is, the results of formulas, which the office
    // may compute again on loading, and the cells of pivot tables, which it
    // lays out again.
    const StoredResults stored = storedResultsOf(document);
    FormulaPrinter formulas(document);

    // Like the office's own export, a missing output folder is created.
    const QString folder = QFileInfo(path).absolutePath();
    QDir().mkpath(folder);
    // A folder at the path, or a file where a folder should be.
    const QString known = saveFailureReason(path);
    if (known != QLatin1String("write error"))
        failSaving(path, known);

    // The output is opened first, so that a path that cannot be written
    // fails before the document is read.
    OutputFile file;
    if (!file.openTarget(path))
        failSaving(path, file);

    // The styles the sheets use must come before them in the file, and are
    // only known once every cell was seen: the sheets go to a scratch file
    // beside the output, which is then copied in after the styles.
    OutputFile body;
    if (!body.openScratch(folder))
        failSaving(path, body);
    QMap<sal_Int32, QString> styles;
    {
        QXmlStreamWriter xml(&body);
        xml.setAutoFormatting(true);
        xml.setAutoFormattingIndent(1);
        try {
            for (sal_Int32 i = 0, n = sheets->getCount(); i < n; ++i) {
                const Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(i), UNO_QUERY_THROW);
                const StoredResults::Sheet *known =
                    stored.sheet(toQString(Reference<container::XNamed>(sheet, UNO_QUERY_THROW)->getName()));
                // Excel's XML spreadsheet holds worksheets only: no chart,
                // macro or dialog sheets.
                if (known && known->kind != StoredResults::SheetKind::Worksheet)
                    continue;
                SheetWriter writer(xml, formats, formulas, styles, ooxml, known);
                writer.write(sheet, sal_Int16(i));
            }
        } catch (const WriteFailed &) {
            failSaving(path, body);
        }
        if (xml.hasError())
            failSaving(path, body);
    }

    if (file.write(workbookHead(styles)) < 0 || file.write("\n") < 0 || !file.appendFrom(body)
        || file.write("\n</Workbook>\n") < 0 || !file.commit())
        failSaving(path, file);
}

} // namespace platform::office
