#pragma once

#include <com/sun/star/uno/XComponentContext.hpp>

namespace platform::office {

// Makes an office open workbooks with the results their author saw: the
// results stored in the file are kept (no recalculation on load), and the
// workbook's macro modules are not read, so that no cell function is bound
// to them and recalculated as an error. Written into the office's
// configuration before its first load, on every start: a profile used by
// anything else, or made by an older Tabulon, converts alike.
void applyLoadSettings(const css::uno::Reference<css::uno::XComponentContext> &office);

} // namespace platform::office
