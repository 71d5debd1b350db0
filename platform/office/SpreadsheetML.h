#pragma once

#include <com/sun/star/lang/XComponent.hpp>

#include <QString>

namespace platform::office {

// Writes a loaded spreadsheet document as an XML spreadsheet (SpreadsheetML
// 2003) as Excel writes one: every worksheet in order (no chart, macro or
// dialog sheets), every non-empty cell with its value and type, formulas in
// R1C1 notation, number formats as styles. Formulas of an Excel workbook
// keep the results its file stores; dates count Excel's calendar. Reads the document
// through UNO in blocks of rows and streams them out, so memory does not
// grow with the document. Afterwards the file at path is complete, or
// OfficeFailure was thrown with the reason and the path holds what it held
// before (nothing, or the earlier file).
void writeSpreadsheetML(const css::uno::Reference<css::lang::XComponent> &document, const QString &path);

} // namespace platform::office
