#pragma once

#include "cli/ResultPrinter.h"
#include "engine/ConversionRun.h"
#include "platform/CsvFormat.h"

#include <QString>
#include <QStringList>

namespace batch {

// What tabulon-batch was asked to do, read from its command line.
struct Options
{
    QString source;
    QString out;
    QString masks = QStringLiteral("*.xls");
    OutputKind kind = OutputKind::Html;
    QString office;
    int jobs = 0;            // 0: as many as the machine takes (defaultJobs())
    int officeRecycle = -1;  // files before an office is replaced; -1: the default
    int officeMemoryMb = -1; // resident MB above which it is; -1: the default
    QString filesFrom;       // a file list instead of the walk; "-" for standard input
    int shard = 0;           // 1 to shardCount; 0 when the run takes every file
    int shardCount = 0;
    bool keepTree = false;
    LogFormat logFormat = LogFormat::Text;
    bool csvAllSheets = false;
    QStringList csvSheetPatterns; // sheets by name or pattern; empty: first or all
    platform::CsvFormat csv;
    QString passwordFile; // one password a line, for encrypted workbooks
    bool update = false;  // leave the workbooks whose outputs are newer
    QString retryFailed;  // a jsonl log whose failed files are converted again instead of the walk
    // The line on standard error that tells how far the run has got.
    enum class Progress { OnTerminal, Always, Never };
    Progress progress = Progress::OnTerminal;
};

// Offices a run starts when --jobs is not given: one per processor, fewer
// when the available memory (bytes, -1 when unknown) does not give each
// about kMemoryPerOffice.
inline constexpr qint64 kMemoryPerOffice = 300LL * 1024 * 1024;
int defaultJobs(int processors, qint64 availableMemory);

struct ParsedArguments
{
    enum class Request { Run, Help, Version, Error };

    Request request = Request::Run;
    Options options;
    // The help text, the version line or the error message; empty for Run.
    QString text;
};

// Reads the arguments (without the program name). Unknown options, stray
// words, missing values, an unknown kind, a missing --out, a missing
// --source (unless --files-from or --retry-failed is given), both of these
// at once, a source that is not a
// directory, a --jobs that is not a positive number, a --shard that is
// not K/N with 1 <= K <= N and a CSV option of a form or character set
// that cannot be written are errors.
ParsedArguments parseArguments(const QStringList &arguments);

// "usage: tabulon-batch --source DIR ..." on one line, from the option table.
QString usageLine();

QString versionLine();

} // namespace batch
