#pragma once

#include "platform/office/StoredResults.h"

#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/table/XCell.hpp>

#include <QString>

#include <vector>

namespace platform::office {

// What the file of a loaded document stores beside what the office made of
// it: read for workbooks of Excel's formats (.xls, .xlsx, .xlsm, .xlsb),
// empty for anything else.
StoredResults storedResultsOf(const css::uno::Reference<css::lang::XComponent> &document);
// The same for the file at path that the office's import filter loaded;
// asks the office nothing.
StoredResults storedResultsOf(const QString &filter, const QString &path);

// For the office's own filters (CSV, web page), which write the document's
// values: while it lives, every formula whose result the office computed
// otherwise than the file stores (a workbook's macro function as an error,
// a function the office lacks, a volatile one computed anew) holds the
// stored result instead, as a constant. A stored error is left to the
// office (a constant cannot hold one), and so is a cell the office refuses
// to change. Destroyed, it gives the cells their formulas back: the
// document is as it was loaded.
class StoredResultsInDocument
{
public:
    StoredResultsInDocument(const css::uno::Reference<css::lang::XComponent> &document, const StoredResults &stored);
    ~StoredResultsInDocument();
    StoredResultsInDocument(const StoredResultsInDocument &) = delete;
    StoredResultsInDocument &operator=(const StoredResultsInDocument &) = delete;

    // How many cells hold their stored result now.
    int replaced() const { return int(m_replaced.size()); }

private:
    struct Replaced
    {
        css::uno::Reference<css::table::XCell> cell;
        rtl::OUString formula;
    };

    struct Replacement
    {
        css::uno::Reference<css::table::XCell> cell;
        StoredResults::Value value;
    };

    static std::vector<Replacement> differing(const css::uno::Reference<css::lang::XComponent> &document,
                                              const StoredResults &stored);
    void putIn(const Replacement &replacement);
    void restore();

    // Rounds of comparing and putting in: a formula fed by a stored result
    // may differ only once that is in.
    static constexpr int kRounds = 3;

    std::vector<Replaced> m_replaced;
};

} // namespace platform::office
