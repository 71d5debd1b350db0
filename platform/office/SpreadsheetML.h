#pragma once

#include <com/sun/star/lang/XComponent.hpp>

#include <QString>

namespace platform::office {

// Writes a loaded spreadsheet document as an XML spreadsheet (SpreadsheetML
// 2003): every sheet in order, every non-empty cell with its value and type,
// formulas in R1C1 notation, number formats as styles. Reads the document
// in bulk through UNO; throws OfficeFailure when the file cannot be written.
void writeSpreadsheetML(const css::uno::Reference<css::lang::XComponent> &document, const QString &path);

} // namespace platform::office
