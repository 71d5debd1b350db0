#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace platform::office {

// What an Excel workbook (.xls as Excel 5 to 2003 write it, .xlsx, .xlsm,
// .xlsb) holds beside what the office reads from it: the kind of every
// sheet, the result stored with every formula, and the cells of its pivot
// tables as they were last laid out. The office's import computes formulas
// again (every one of an .xls or .xlsb, those of functions it does not have
// in any), so a workbook's own macro function becomes an error there, where
// the file carries the value its author saw; and it lays pivot tables out
// anew from their source, with its own labels and order. Read straight from
// the file; no office involved.
class StoredResults
{
public:
    struct Value
    {
        enum class Kind { Number, Text, Logical, Error };
        Kind kind = Kind::Number;
        double number = 0; // Number; Logical as 0 or 1
        QString text;      // Text; Error as "#DIV/0!" and the like

        static Value ofNumber(double number) { return {Kind::Number, number, {}}; }
        static Value ofText(const QString &text) { return {Kind::Text, 0, text}; }
        static Value ofLogical(bool on) { return {Kind::Logical, on ? 1.0 : 0.0, {}}; }
        static Value ofError(const QString &text) { return {Kind::Error, 0, text}; }
    };

    enum class SheetKind { Worksheet, Chart, MacroSheet, Dialog, Module };

    // A block of cells, rows and columns 0-based and inclusive.
    struct Area
    {
        int top = 0, left = 0, bottom = -1, right = -1;

        bool contains(int row, int column) const
        {
            return row >= top && row <= bottom && column >= left && column <= right;
        }
        bool intersects(const Area &other) const
        {
            return top <= other.bottom && other.top <= bottom && left <= other.right && other.left <= right;
        }
    };

    struct Sheet
    {
        QString name;
        SheetKind kind = SheetKind::Worksheet;
        QHash<quint64, Value> results; // by key(row, column), both 0-based
        // Where the sheet's pivot tables were last laid out, their page
        // fields above them included.
        QList<Area> pivotTables;
        // The values of the cells without formula in those areas (of every
        // cell without formula, when read with Scope::EveryCell).
        QHash<quint64, Value> cells;
        // The formulas whose cells have the General format in the file
        // (of .xlsx and .xlsm), which the office may show in the format of
        // a cell they refer to.
        QSet<quint64> generalFormulas;
        // The cells of array formulas (.xlsx, .xlsm) but the first, which
        // the file holds as values; their results are among `results`.
        QSet<quint64> arrayParts;

        // The formula's stored result at the cell, or null.
        const Value *at(int row, int column) const { return find(results, row, column); }
        // What the file stores at the cell: a formula's result or a value.
        const Value *stored(int row, int column) const
        {
            const Value *result = at(row, column);
            return result ? result : find(cells, row, column);
        }
        bool inPivotTable(int row, int column) const
        {
            for (const Area &area : pivotTables) {
                if (area.contains(row, column))
                    return true;
            }
            return false;
        }

    private:
        static const Value *find(const QHash<quint64, Value> &in, int row, int column)
        {
            const auto it = in.constFind(key(row, column));
            return it == in.cend() ? nullptr : &*it;
        }
    };

    // Which cells without formula are read: those of pivot tables (what a
    // conversion needs), or all (to compare a whole workbook with what it
    // became).
    enum class Scope { PivotTables, EveryCell };

    // Reads the file; empty() when it is no Excel workbook, is encrypted or
    // is damaged (then nothing of it is taken).
    static StoredResults read(const QString &path, Scope scope = Scope::PivotTables);

    bool empty() const { return m_sheets.isEmpty(); }
    const QList<Sheet> &sheets() const { return m_sheets; }
    // The sheet of that name, or null.
    const Sheet *sheet(const QString &name) const;

    static quint64 key(int row, int column) { return (quint64(quint32(row)) << 16) | quint16(column); }

private:
    static StoredResults readBiff(const QByteArray &bytes, Scope scope);
    static StoredResults readPackage(const QByteArray &bytes, Scope scope);

    QList<Sheet> m_sheets;
};

} // namespace platform::office
