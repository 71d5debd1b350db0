// Prints what an Excel workbook stores, read by Tabulon's own reader with
// no office involved: one JSON object with every sheet (name, kind) and its
// cells, each as [row, column, type, value, formula?] with 0-based row and
// column, type one of Number, Text, Logical, Error. Used by
// stored-parity.sh to compare the XML spreadsheets of workbooks that have
// no reference file with the values the workbooks themselves hold.
#include "platform/office/StoredResults.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

using platform::office::StoredResults;

namespace {

QJsonArray cell(quint64 key, const StoredResults::Value &value, bool formula)
{
    static const char *const kinds[] = {"Number", "Text", "Logical", "Error"};
    QJsonArray out{qint64(key >> 16), qint64(key & 0xFFFF), QLatin1String(kinds[int(value.kind)])};
    if (value.kind == StoredResults::Value::Kind::Number || value.kind == StoredResults::Value::Kind::Logical)
        out.append(value.number);
    else
        out.append(value.text);
    out.append(formula);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s WORKBOOK\n", argv[0]);
        return 2;
    }
    const StoredResults stored = StoredResults::read(QString::fromLocal8Bit(argv[1]), StoredResults::Scope::EveryCell);
    if (stored.empty()) {
        std::fprintf(stderr, "%s: no Excel workbook, encrypted or damaged\n", argv[1]);
        return 1;
    }
    static const char *const sheetKinds[] = {"Worksheet", "Chart", "MacroSheet", "Dialog", "Module"};
    QJsonArray sheets;
    for (const StoredResults::Sheet &sheet : stored.sheets()) {
        QJsonArray cells;
        for (auto it = sheet.cells.cbegin(); it != sheet.cells.cend(); ++it)
            cells.append(cell(it.key(), it.value(), false));
        for (auto it = sheet.results.cbegin(); it != sheet.results.cend(); ++it)
            cells.append(cell(it.key(), it.value(), true));
        sheets.append(QJsonObject{{QStringLiteral("name"), sheet.name},
                                  {QStringLiteral("kind"), QLatin1String(sheetKinds[int(sheet.kind)])},
                                  {QStringLiteral("cells"), cells}});
    }
    std::fputs(QJsonDocument(QJsonObject{{QStringLiteral("sheets"), sheets}}).toJson(QJsonDocument::Compact).constData(),
               stdout);
    return 0;
}
