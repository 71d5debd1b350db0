#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

QT_FORWARD_DECLARE_CLASS(QIODevice)

namespace batch {

// A file of one entry a line, as the file list, the password file and the
// log of an earlier run are.
struct LineFile
{
    QList<QByteArray> lines; // without their line ends; empty ones left out
    QString error;           // "cannot read the WHAT PATH: reason"
};

enum class StandardInput { Refused, ForDash };

// Reads `path` whole; with ForDash, "-" reads standard input. `what` names
// the file in the error ("file list").
LineFile readLineFile(const QString &path, const QString &what, StandardInput dash = StandardInput::Refused);

// The non-empty lines of what `device` holds, a CR before each line feed dropped.
QList<QByteArray> nonEmptyLines(QIODevice &device);

// What `parse` makes of the lines of `path`, or, when the file cannot be
// read, a Result with nothing but its `error`.
template <typename Result, typename Parse>
Result parseLineFile(const QString &path, const QString &what, StandardInput dash, Parse parse)
{
    const LineFile file = readLineFile(path, what, dash);
    if (!file.error.isEmpty()) {
        Result result;
        result.error = file.error;
        return result;
    }
    return parse(file.lines);
}

} // namespace batch
