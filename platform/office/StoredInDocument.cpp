#include "platform/office/StoredInDocument.h"

#include "platform/office/UnoOffice.h"

#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/FormulaResult.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/text/XText.hpp>

#include <QUrl>

#include <algorithm>
#include <cmath>

// Last: it opens the css namespace.
#include "platform/office/UnoNames_p.h"

namespace platform::office {

namespace {

QString localPath(const Reference<lang::XComponent> &document)
{
    const Reference<frame::XModel> model(document, UNO_QUERY);
    return model.is() ? QUrl(toQString(model->getURL())).toLocalFile() : QString();
}

uno::Sequence<table::CellRangeAddress> formulaRanges(const Reference<sheet::XCellRangesQuery> &query, sal_Int32 result)
{
    const Reference<sheet::XSheetCellRanges> ranges =
        result == 0 ? query->queryContentCells(sheet::CellFlags::FORMULA) : query->queryFormulaCells(result);
    return ranges.is() ? ranges->getRangeAddresses() : uno::Sequence<table::CellRangeAddress>();
}

bool within(const uno::Sequence<table::CellRangeAddress> &ranges, sal_Int32 row, sal_Int32 column)
{
    for (const table::CellRangeAddress &r : ranges) {
        if (row >= r.StartRow && row <= r.EndRow && column >= r.StartColumn && column <= r.EndColumn)
            return true;
    }
    return false;
}

// Whether the office's result may stand: numbers alike to the last few
// bits, texts exactly. A stored error stands for any office result: a
// constant cannot hold an error, and the office's own is the nearest.
bool sameResult(const StoredResults::Value &stored, const uno::Any &office, bool officeError)
{
    using Kind = StoredResults::Value::Kind;
    if (stored.kind == Kind::Error)
        return true;
    if (officeError)
        return false;
    double number = 0;
    rtl::OUString text;
    if (stored.kind == Kind::Text)
        return (office >>= text) && toQString(text) == stored.text;
    if (!(office >>= number))
        return false;
    return number == stored.number
           || std::fabs(number - stored.number) <= 1e-12 * std::max(std::fabs(number), std::fabs(stored.number));
}

} // namespace

StoredResults storedResultsOf(const Reference<lang::XComponent> &document)
{
    return storedResultsOf(filterOf(document), localPath(document));
}

StoredResults storedResultsOf(const QString &filter, const QString &path)
{
    const bool excelFile = filter.contains(QLatin1String("Excel")) || filter.contains(QLatin1String("2007 XML"))
                           || filter.contains(QLatin1String("2007 VBA XML"))
                           || filter.contains(QLatin1String("Office Open XML"));
    return excelFile ? StoredResults::read(path) : StoredResults();
}

StoredResultsInDocument::StoredResultsInDocument(const Reference<lang::XComponent> &document,
                                                 const StoredResults &stored)
{
    // Without a stored formula result there is nothing to compare: the
    // document is not asked at all.
    const QList<StoredResults::Sheet> &sheets = stored.sheets();
    if (std::none_of(sheets.begin(), sheets.end(),
                     [](const StoredResults::Sheet &sheet) { return !sheet.results.isEmpty(); }))
        return;
    try {
        // Formulas that take a stored result as their input compute anew,
        // mostly to what the file stores for them too; those that do not
        // are taken in the next round.
        for (int round = 0; round < kRounds; ++round) {
            const std::vector<Replacement> replacements = differing(document, stored);
            if (replacements.empty())
                break;
            for (const Replacement &r : replacements)
                putIn(r);
        }
    } catch (...) {
        restore();
        throw;
    }
}

StoredResultsInDocument::~StoredResultsInDocument()
{
    try {
        restore();
    } catch (const uno::Exception &) {
        // The office failed or went away: its next call reports it.
    }
}

std::vector<StoredResultsInDocument::Replacement>
StoredResultsInDocument::differing(const Reference<lang::XComponent> &document, const StoredResults &stored)
{
    std::vector<Replacement> out;
    const Reference<container::XIndexAccess> sheets(
        Reference<sheet::XSpreadsheetDocument>(document, UNO_QUERY_THROW)->getSheets(), UNO_QUERY_THROW);
    for (sal_Int32 i = 0, n = sheets->getCount(); i < n; ++i) {
        const Reference<sheet::XSpreadsheet> sheet(sheets->getByIndex(i), UNO_QUERY_THROW);
        const StoredResults::Sheet *file =
            stored.sheet(toQString(Reference<container::XNamed>(sheet, UNO_QUERY_THROW)->getName()));
        if (!file || file->results.isEmpty())
            continue;
        const Reference<sheet::XCellRangesQuery> query(sheet, UNO_QUERY_THROW);
        const auto formulas = formulaRanges(query, 0);
        // The values first: reading them computes what is still to compute
        // (an .xls is computed cell by cell as its values are asked for).
        std::vector<uno::Sequence<uno::Sequence<uno::Any>>> values;
        for (const table::CellRangeAddress &r : formulas) {
            const Reference<table::XCellRange> range =
                sheet->getCellRangeByPosition(r.StartColumn, r.StartRow, r.EndColumn, r.EndRow);
            values.push_back(Reference<sheet::XCellRangeData>(range, UNO_QUERY_THROW)->getDataArray());
        }
        const auto errors = formulaRanges(query, sheet::FormulaResult::ERROR);
        for (sal_Int32 k = 0; k < formulas.getLength(); ++k) {
            const table::CellRangeAddress &r = formulas[k];
            for (sal_Int32 row = r.StartRow; row <= r.EndRow; ++row) {
                for (sal_Int32 column = r.StartColumn; column <= r.EndColumn; ++column) {
                    const StoredResults::Value *value = file->at(row, column);
                    const uno::Any &office = values[size_t(k)][row - r.StartRow][column - r.StartColumn];
                    if (value && !sameResult(*value, office, within(errors, row, column)))
                        out.push_back({sheet->getCellByPosition(column, row), *value});
                }
            }
        }
    }
    return out;
}

void StoredResultsInDocument::putIn(const Replacement &r)
{
    const rtl::OUString formula = r.cell->getFormula();
    // One cell of an array formula cannot change alone.
    if (formula.startsWith("{"))
        return;
    using Kind = StoredResults::Value::Kind;
    try {
        if (r.value.kind == Kind::Text && r.value.text.isEmpty()) {
            // The office takes an empty text for no change at all.
            r.cell->setFormula("=\"\"");
        } else if (r.value.kind == Kind::Text) {
            Reference<text::XText>(r.cell, UNO_QUERY_THROW)->setString(toOUString(r.value.text));
        } else if (r.value.kind == Kind::Logical) {
            // A logical constant is a number to the office; these are
            // logical results, shown as such in any number format.
            r.cell->setFormula(r.value.number != 0 ? rtl::OUString("=TRUE()") : rtl::OUString("=FALSE()"));
        } else {
            r.cell->setValue(r.value.number);
        }
    } catch (const lang::DisposedException &) {
        throw;
    } catch (const uno::Exception &) {
        // Refused (a protected cell, say): the office's result stays.
        return;
    }
    m_replaced.push_back({r.cell, formula});
}

void StoredResultsInDocument::restore()
{
    const std::vector<Replaced> replaced = std::move(m_replaced);
    m_replaced.clear();
    for (const Replaced &r : replaced)
        r.cell->setFormula(r.formula);
}

} // namespace platform::office
