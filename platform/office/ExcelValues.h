#pragma once

#include <QDate>
#include <QString>

namespace platform::office {

// How Excel writes cell values into its XML spreadsheet, where that differs
// from how the office holds them. No UNO here: plain text and numbers.
namespace excel {

// A workbook's date system: where serial 0 lies, and whether the serials
// are Excel's own, which count a 29 February 1900 that never was.
class DateSystem
{
public:
    // nullDate: the office's day 0 for the workbook (30 Dec 1899 for the
    // 1900 system, 1 Jan 1904 for the 1904 one). excelSerials: the serials
    // come from a file that Excel's rules made (.xls, .xlsx, .xlsb ...);
    // otherwise they are the office's, which count only real days.
    DateSystem(const QDate &nullDate, bool excelSerials);

    // The ss:DateTime text of a serial, e.g. "1900-01-01T00:00:00.000" for
    // Excel's serial 1 and "1900-02-29T00:00:00.000" for its serial 60.
    QString dateTime(double serial) const;

private:
    QDate m_nullDate;
    bool m_excel1900 = false;
};

// Whether a number format that the office calls a date or a time is one for
// Excel: Excel goes by the code's own date and time letters, so "AM/PM"
// alone, or a colour in brackets, makes no date.
bool isDateTimeCode(const QString &code);

// Whether a formula (as written, "=RC[-2]=RC[-1]") yields a logical value
// whatever its inputs: a comparison at its top, or one of the logical
// functions around all of it.
bool isLogicalFormula(const QString &formula);

// OOXML writes characters that XML cannot carry as "_xHHHH_"; the office
// decodes them in cell texts but leaves them in stored formula results.
QString decodeOoxmlEscapes(const QString &text);

} // namespace excel
} // namespace platform::office
