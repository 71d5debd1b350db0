#pragma once

#include <QMetaType>
#include <QString>

namespace platform {

// How a CSV file is written: what separates and quotes its fields, its
// character set and what a cell's value becomes. The default is what
// spreadsheet users expect: UTF-8 without a byte-order mark, commas, a field
// quoted only when it holds the separator, the quote or a line break, and
// every value as the cell shows it.
struct CsvFormat
{
    enum class Quoting { Needed, AllText };
    enum class Values { Shown, Raw };

    char16_t separator = u',';
    Quoting quoting = Quoting::Needed;
    // A character set name the office knows ("UTF-8", "windows-1252",
    // "UTF-16", ...).
    QString encoding = QStringLiteral("UTF-8");
    bool byteOrderMark = false;
    // Raw: numbers unformatted, dates and times in ISO 8601.
    Values values = Values::Shown;

    bool operator==(const CsvFormat &o) const
    {
        return separator == o.separator && quoting == o.quoting && encoding == o.encoding
               && byteOrderMark == o.byteOrderMark && values == o.values;
    }
    bool operator!=(const CsvFormat &o) const { return !(*this == o); }
};

} // namespace platform

Q_DECLARE_METATYPE(platform::CsvFormat)
