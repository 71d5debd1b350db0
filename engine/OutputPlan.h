#pragma once

#include "platform/CsvFormat.h"
#include "platform/FileSystem.h"
#include "platform/SpreadsheetAutomation.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// The output kinds, tried in this order for every file.
enum class OutputKind { Html, Csv, Xml };

struct OutputFormat
{
    OutputKind kind;
    const char *extension;
    platform::spreadsheet::FileFormat fileFormat; // what the spreadsheet application saves with
};

extern const OutputFormat outputFormats[3];

// An output a workbook is to get.
struct PlannedOutput
{
    const OutputFormat *format = nullptr;
    QString path;
    int sheet = 0; // the one sheet it holds (1-based); 0: the application's choice
    // A CSV: how it is written, and the sheets it is to hold by name or
    // "*"/"?" pattern, each then written as "base.Sheet.csv" (none: the
    // first, or every sheet when the run says so).
    platform::CsvFormat csv;
    QStringList sheetPatterns;
};

using OutputList = QList<PlannedOutput>;

// Naming the outputs of a workbook and refusing the ones that must not be
// written: functions of their arguments (and, for refusals, of the files
// the paths name), shared by every office of a run.
namespace OutputPlan {

// The file-name part of `path` up to its first "." after any leading dots;
// a name without such a "." is its own base name.
QString baseName(const QString &path);

// Where the outputs of a workbook in `relativeDirectory` (below the walked
// root, '/'-separated) go: the output directory, or with keepTree its mirror
// of that directory.
QString outputDirectory(const QString &outputDirectory, const QString &relativeDirectory, bool keepTree);

// A 64-bit key of an output's clean absolute path: what a run remembers of
// the outputs it wrote or is to write, where millions of paths would not fit.
size_t pathKey(const QString &outputPath);

// One output for each of `kinds` (checked ones, in the kinds' order), named
// after the workbook, in `directory`.
OutputList outputsFor(const QString &path, const QString &directory, const QList<OutputKind> &kinds);

// `planned` for a workbook with these sheets: its CSV holds the first
// sheet, or with everySheet becomes one CSV per sheet ("base.Sheet.csv"),
// or with sheet patterns (matched as masks are) one CSV per sheet that
// matches one. Without sheet names the application picks what the CSV
// holds. Throws platform::AutomationError when no sheet matches the patterns.
OutputList withSheets(const OutputList &planned, const QStringList &sheetNames, bool everySheet);

// The files a run takes as input, by identity: none is ever written over.
using InputSet = QSet<platform::FileId>;

// One output a workbook is to get, with what is at its path now.
struct OutputTarget
{
    QString path;
    platform::FileId existing; // invalid when nothing is there
    qsizetype nameBytes = 0;   // of its file-name part, in the file-name encoding
};

// Why a workbook must not be written at all, or empty when it may: an
// output that is the workbook itself, one that is another input of the run
// (converted already, still to come, or refused), or one whose name the
// file system cannot hold.
QString refusal(const platform::FileId &workbook, const QList<OutputTarget> &outputs, const InputSet &inputs,
                qsizetype nameMax);
// The remarks a line gets on the sheets written: a CSV of only the first of
// several, sheet patterns that matched no sheet.
QStringList sheetNotes(const OutputList &planned, const QStringList &sheetNames);

// Why the workbook must not be opened at all, or not written to these
// outputs; empty when it may.
QString refusalFor(const QString &path, const OutputList &outputs, const InputSet &inputs);

} // namespace OutputPlan
