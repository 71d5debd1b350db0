#pragma once

#include "platform/CsvFormat.h"
#include "platform/office/UnoOffice.h"

#include <QString>

#include <memory>

namespace platform::office {

// The office's name of its CSV export filter.
inline const char *const kCsvFilterName = "Text - txt - csv (StarCalc)";

// The office's number for a character set name (a MIME or Unix name, or
// "UTF-16"); -1 when the office cannot write it.
int csvCharacterSet(const QString &name);

// The CSV filter's option string, every token given: with fewer than seven
// the filter quotes all text whatever is asked. sheet: the one sheet to write
// (1-based), 0 for the filter's own choice. Throws OfficeFailure for a
// character set the office cannot write.
QString csvFilterOptions(const CsvFormat &format, int sheet);

// Writes the UTF-8 byte-order mark at the start of the file written at path
// when the format asks for one and the office left it out. Throws
// OfficeFailure.
void finishCsvFile(const CsvFormat &format, const QString &path);

// For raw values: while it lives, the number formats of one sheet are such
// that "as shown" is raw (numbers general, dates and times ISO 8601); the
// sheet's own formats come back when it goes. sheetIndex is 0-based.
class RawValueFormats
{
public:
    RawValueFormats(const UnoOffice::Document &document, int sheetIndex);
    ~RawValueFormats();

    RawValueFormats(const RawValueFormats &) = delete;
    RawValueFormats &operator=(const RawValueFormats &) = delete;

private:
    void restore();

    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

} // namespace platform::office
