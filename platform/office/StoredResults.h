#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace platform::office {

// What an Excel workbook (.xls as Excel 5 to 2003 write it, .xlsx, .xlsm,
// .xlsb) holds beside what the office reads from it: the kind of every
// sheet, and the result stored with every formula. The office's import
// computes formulas again (every one of an .xls or .xlsb, those of
// functions it does not have in any), so a workbook's own macro function
// becomes an error there, where the file carries the value its author saw.
// Read straight from the file; no office involved.
class StoredResults
{
public:
    struct Value
    {
        enum class Kind { Number, Text, Logical, Error };
        Kind kind = Kind::Number;
        double number = 0; // Number; Logical as 0 or 1
        QString text;      // Text; Error as "#DIV/0!" and the like
    };

    enum class SheetKind { Worksheet, Chart, MacroSheet, Dialog, Module };

    struct Sheet
    {
        QString name;
        SheetKind kind = SheetKind::Worksheet;
        QHash<quint64, Value> results; // by key(row, column), both 0-based

        const Value *at(int row, int column) const
        {
            const auto it = results.constFind(key(row, column));
            return it == results.cend() ? nullptr : &*it;
        }
    };

    // Reads the file; empty() when it is no Excel workbook, is encrypted or
    // is damaged (then nothing of it is taken).
    static StoredResults read(const QString &path);

    bool empty() const { return m_sheets.isEmpty(); }
    const QList<Sheet> &sheets() const { return m_sheets; }
    // The sheet of that name, or null.
    const Sheet *sheet(const QString &name) const;

    static quint64 key(int row, int column) { return (quint64(quint32(row)) << 16) | quint16(column); }

private:
    static StoredResults readBiff(const QByteArray &bytes);
    static StoredResults readPackage(const QByteArray &bytes);

    QList<Sheet> m_sheets;
};

} // namespace platform::office
