#pragma once

#include "common/ChildProgram.h"
#include "engine/ConversionRun.h"

#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

#include <sys/types.h>

namespace officetest {

// Where the fixture put the workbooks made with LibreOffice (types.xls,
// types.xlsx, types.ods, long.xlsx, locked.ods, locked.xls, locked.xlsx).
QString inputsDir();
QString input(const QString &name);
// Copies the input workbook name to target (replacing a file there), making
// its folders; answers target. A copy that fails fails the case.
QString copyInput(const QString &name, const QString &target);

// tabulon-batch with these arguments, as a command for testsupport's
// RunningProgram or runProgram.
QStringList batchCommand(const QStringList &arguments);
// Runs tabulon-batch to its end.
testsupport::ProgramRun runBatch(const QStringList &arguments,
                                 const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

// What follows the path in the line of a CSV made of one of the three-sheet
// inputs (types.xls, types.xlsx, types.ods).
inline const char *const kCsvOfThreeSheetsOk = "OK (the CSV holds only the first of 3 sheets)";

// Office processes that are children of this process.
QList<pid_t> officeChildren();
// Office processes that are children of the process parent.
QList<pid_t> officeChildrenOf(qint64 parent);
// Processes events until parent has an office child, for up to ms; answers
// its offices, none when there was none in time.
QList<pid_t> waitForOfficesOf(qint64 parent, int ms = 60000);
// Whether a thread of the process is running or ready to run: an office
// that is in the middle of a call, not one waiting for the next.
bool isWorking(pid_t pid);
// Whether the process has ended (gone, or a zombie).
bool processGone(pid_t pid);
// Office processes whose command line names the given profile or pipe text.
QList<pid_t> officeProcessesMatching(const QString &text);

// How many documents the office has loaded, asked over a connection of
// its own; -1 when it cannot be asked.
int openDocuments(pid_t office);

// Fields of a comma-separated file (double-quote quoting), row by row.
QList<QStringList> readCsv(const QString &path);

// The texts of the table cells of an HTML page, table by table, row by row.
QList<QList<QStringList>> readHtmlTables(const QString &path);

struct XmlCell
{
    QString type;
    QString data;
    QString formula;
    QString style;
};

// A parsed XML spreadsheet: sheets in file order, cells by 1-based
// (row, column); error() tells why parsing failed.
struct XmlWorkbook
{
    QStringList sheets;
    QMap<QString, QMap<QPair<int, int>, XmlCell>> cells;
    QMap<QString, QString> numberFormats; // style id -> format
    QString error;
    bool hasProcessingInstruction = false;

    XmlCell at(const QString &sheet, int row, int column) const
    {
        return cells.value(sheet).value(qMakePair(row, column));
    }
};
XmlWorkbook readXmlWorkbook(const QString &path);

// The run as the programs drive it, in this process: fixed masks, HTML
// into out, the lines in log; onStatus sees every status text first.
struct PlainFront : RunSettings, RunView
{
    QString out;
    QString maskText = QStringLiteral("*.xlsx");
    std::function<void(const QString &)> onStatus;
    QStringList log;

    QString masks() const override { return maskText; }
    QString outputDirectory() const override { return out; }
    bool isChecked(OutputKind kind) const override { return kind == OutputKind::Html; }
    void setStatusText(const QString &text) override
    {
        if (onStatus)
            onStatus(text);
    }
    void appendLog(const QString &line) override { log << line; }
    void clearLog() override {}
    void setStartEnabled(bool) override {}
    void showCounts(const RunCounts &) override {}
    void showMessage(const QString &text) override { log << "message: " + text; }
    void processEvents() override { QCoreApplication::processEvents(); }
    QString successText() const override { return QStringLiteral("OK"); }
    QString startFailureText() const override { return QStringLiteral("Can't Open Excel"); }
};

} // namespace officetest
