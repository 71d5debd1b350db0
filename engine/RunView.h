#pragma once

#include "engine/FileResult.h"
#include "engine/OutputPlan.h"
#include "platform/CsvFormat.h"

#include <QString>
#include <QStringList>

// What the run reads while it goes on. The window answers from its controls,
// live: the masks are read afresh for each directory, the output directory and
// the checked kinds for each file.
class RunSettings
{
public:
    virtual ~RunSettings() = default;
    virtual QString masks() const = 0;
    virtual QString outputDirectory() const = 0;
    virtual bool isChecked(OutputKind kind) const = 0;
    // Outputs in the output directory's subdirectory that mirrors the
    // workbook's directory below the walked root, instead of flat.
    virtual bool keepsTree() const { return false; }
    // CSV: one file per sheet ("base.Sheet.csv") instead of the first sheet.
    virtual bool savesEverySheet() const { return false; }
    // CSV: the sheets to write by name or "*"/"?" pattern, one file each as
    // with savesEverySheet(); empty for the first (or every) sheet.
    virtual QStringList csvSheetPatterns() const { return {}; }
    virtual platform::CsvFormat csvFormat() const { return {}; }
    // A workbook whose outputs all exist and are newer than it is left as it
    // is ("up to date") instead of converted.
    virtual bool skipsUpToDate() const { return false; }
    // Whether the answers above stay as they are for the whole run: the run
    // may then decide once what the window must decide for each file.
    virtual bool isFixed() const { return false; }
};

// What the run has logged so far: every line is one converted, one failed
// or one up-to-date entry; replaced counts, over the converted entries, the
// workbooks whose outputs written earlier in the same run an entry's outputs
// replaced.
struct RunCounts
{
    int converted = 0;
    int failed = 0;
    int replaced = 0;
    int upToDate = 0;
    int entries() const { return converted + failed + upToDate; }
    bool operator==(const RunCounts &o) const
    {
        return converted == o.converted && failed == o.failed && replaced == o.replaced && upToDate == o.upToDate;
    }
};

// What the run shows, and the texts it shows in the user's language.
class RunView
{
public:
    virtual ~RunView() = default;
    virtual void setStatusText(const QString &text) = 0;
    virtual void appendLog(const QString &line) = 0;
    // One entry of the walk is done; by default its log line is appended.
    virtual void showResult(const FileResult &result) { appendLog(result.logLine(successText())); }
    virtual void clearLog() = 0;
    virtual void setStartEnabled(bool enabled) = 0;
    // Called after every log line.
    virtual void showCounts(const RunCounts &counts) = 0;
    // How many entries the walk gives in all, once they have been counted
    // (a run that counts ahead, see ConversionRun::setCountsAhead).
    virtual void showTotal(int entries) { Q_UNUSED(entries); }
    virtual void showMessage(const QString &text) = 0;
    // Lets the message loop process all pending messages.
    virtual void processEvents() = 0;
    virtual QString successText() const = 0;
    virtual QString startFailureText() const = 0;
};
