#pragma once

#include "app/FileResult.h"
#include "app/WorkbookConverter.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

namespace platform {
class OutputStaging;
}

// The output kinds, tried in this order for every file.
enum class OutputKind { Html, Csv, Xml };

struct OutputFormat
{
    OutputKind kind;
    const char *extension;
    int fileFormat; // the code the spreadsheet application saves with
};

extern const OutputFormat outputFormats[3];

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
};

// What the run has logged so far: every line is one converted or one
// failed entry; replaced counts converted outputs that took the name of an
// output written earlier in the same run.
struct RunCounts
{
    int converted = 0;
    int failed = 0;
    int replaced = 0;
    bool operator==(const RunCounts &o) const
    {
        return converted == o.converted && failed == o.failed && replaced == o.replaced;
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
    virtual void showMessage(const QString &text) = 0;
    // Lets the message loop process all pending messages.
    virtual void processEvents() = 0;
    virtual QString successText() const = 0;
    virtual QString startFailureText() const = 0;
};

// One conversion run: walks a directory tree depth first, files before
// subdirectories, and converts every file that matches a mask.
class ConversionRun
{
public:
    enum class Outcome { Completed, Stopped, OutputDirectoryFailed, ApplicationUnavailable };

    ConversionRun(RunSettings &settings, RunView &view, WorkbookConverter &converter);
    ~ConversionRun();

    // Where a relative output directory is taken from; by default the
    // current directory when the run starts.
    void setBaseDirectory(const QString &dir) { m_baseDirectory = dir; }

    // The whole run, from creating the output directory to quitting the
    // application. Running from the first step on: the start of the
    // application is part of it.
    Outcome execute(const QString &rootDirectory);

    // Ends the run after the file being converted, or cancels the start of
    // the application; safe to call from a handler that runs while the run
    // yields.
    void requestStop();
    bool isStopRequested() const { return m_stopRequested; }
    bool isRunning() const { return m_running; }
    RunCounts counts() const { return m_counts; }

    void WalkDirectory(const QString &dir);
    void ConvertFilesInDirectory(const QString &dir);
    void ConvertWorkbook(const QString &path);

    static QStringList SplitString(const QString &text, const QString &separator);
    // The file-name part of `path` up to its first "." after any leading dots;
    // a name without such a "." is its own base name.
    static QString BaseName(const QString &path);

private:
    struct Output
    {
        const OutputFormat *format;
        QString path;
        int sheet = 0;  // the one sheet it holds (1-based); 0: the application's choice
    };

    // The output directory as the user typed it, a relative one taken against
    // the base directory (the walk changes the current one).
    QString resolvedOutputDirectory() const;
    // Where the outputs of the files being converted go: the output
    // directory, or with keepsTree() its mirror of the directory being walked.
    QString outputDirectoryNow() const;
    // The sheet names are those of the opened workbook; before the open
    // there are none.
    QList<Output> outputsFor(const QString &path, const QStringList &sheetNames) const;
    // Why the workbook must not be opened at all; empty when it may.
    QString refusalFor(const QString &path, const QList<Output> &outputs) const;
    // Saves through the staging folder; returns the workbook whose output
    // this one replaced, if any. Throws AutomationError.
    QString saveOutput(WorkbookConverter::Workbook &workbook, const QString &path, const Output &output);
    platform::OutputStaging &stagingFor(const QString &outputDirectory);
    void reportUnreadable(const QString &dir, const QList<QByteArray> &rawNames, const QString &what);
    // Makes a mirrored output directory once per run; throws AutomationError.
    void prepareMirroredDirectory(const QString &dir, const QString &outputPath);
    void logFailure(const QString &path, const QString &error, const QByteArray &rawPath = {});
    void report(const FileResult &result);

    RunSettings &m_settings;
    RunView &m_view;
    WorkbookConverter &m_converter;
    QString m_baseDirectory;      // where a relative output directory is resolved
    QSet<QString> m_walked;       // canonical paths, so no directory is walked twice
    QString m_relativeDirectory;  // of the directory being walked, below the root ("" at the root)
    QSet<QString> m_preparedOutputDirectories;  // mirrored ones, made and cleaned of stale staging
    QHash<QString, QString> m_written;      // output path -> the workbook it was written for
    QSet<platform::FileId> m_writtenFiles;  // outputs on disk, never taken as inputs
    std::unique_ptr<platform::OutputStaging> m_staging;
    RunCounts m_counts;
    bool m_stopRequested = false;
    bool m_running = false;
};
