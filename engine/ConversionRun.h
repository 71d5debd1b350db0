#pragma once

#include "engine/FileResult.h"
#include "engine/WorkbookConverter.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class ParallelConversion;

// The output kinds, tried in this order for every file.
enum class OutputKind { Html, Csv, Xml };

struct OutputFormat
{
    OutputKind kind;
    const char *extension;
    int fileFormat; // the code the spreadsheet application saves with
};

extern const OutputFormat outputFormats[3];

// An output a workbook is to get.
struct PlannedOutput
{
    const OutputFormat *format;
    QString path;
    int sheet = 0; // the one sheet it holds (1-based); 0: the application's choice
};

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
// failed entry; replaced counts, over the converted entries, the workbooks
// whose outputs written earlier in the same run an entry's outputs replaced.
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

    // Converts with `jobs` applications at once, each made by `factory` on a
    // thread of its own; the converter given to the constructor is then not
    // used. Lines, counts and outputs are those of a run with one: the walk
    // order decides the order of the lines and which of two same-named
    // outputs stays. Meant for settings that do not change during the run.
    using ConverterFactory = std::function<std::unique_ptr<WorkbookConverter>()>;
    void setParallel(int jobs, ConverterFactory factory);

    // Only the files (and unusable directories) for which this answers true
    // are converted (or logged); the others are left out without a line.
    void setFileFilter(std::function<bool(const QString &path)> filter) { m_filter = std::move(filter); }

    // The whole run, from creating the output directory to quitting the
    // application. Running from the first step on: the start of the
    // application is part of it.
    Outcome execute(const QString &rootDirectory);
    // The same with a list of files instead of a walk: each is converted in
    // list order, whatever the masks say.
    Outcome executeFiles(const QStringList &paths);

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

    // Opens, saves into staging folders and closes one workbook; outputs()
    // is asked before the open with no sheet names and again after it with
    // the workbook's. Touches nothing of a run, so offices on several
    // threads can use it at once.
    using OutputList = QList<PlannedOutput>;
    using OutputSource = std::function<OutputList(const QStringList &sheetNames)>;
    static FileResult convertWorkbook(WorkbookConverter &converter, const QString &path, const OutputSource &outputs);
    // The outputs `path` gets with the settings of now, before the open: one
    // CSV named after the workbook.
    OutputList outputsFor(const QString &path) const;
    // `planned` for a workbook with these sheets: its CSV holds the first
    // sheet, or with everySheet becomes one CSV per sheet ("base.Sheet.csv").
    // Without sheet names the application picks what the CSV holds.
    static OutputList withSheets(const OutputList &planned, const QStringList &sheetNames, bool everySheet);

    static QStringList SplitString(const QString &text, const QString &separator);
    // The file-name part of `path` up to its first "." after any leading dots;
    // a name without such a "." is its own base name.
    static QString BaseName(const QString &path);

private:
    Outcome runOver(const std::function<void()> &source);
    bool startConverting();
    void finishConverting();
    void convertFile(const QString &path);
    void reportFailure(const QString &path, const QString &reason, const QByteArray &rawPath = {});
    // Moves the staged outputs into place and logs the line.
    void deliver(FileResult &result);
    bool isOwnOutput(const QString &path) const;

    // The output directory as the user typed it, a relative one taken against
    // the base directory (the walk changes the current one).
    QString resolvedOutputDirectory() const;
    // Where the outputs of the files being converted go: the output
    // directory, or with keepsTree() its mirror of the directory being walked.
    QString outputDirectoryNow() const;
    // Makes the mirrored output directories of `outputs` once per run and
    // clears them of stale staging; throws AutomationError.
    void prepareMirroredDirectories(const OutputList &outputs);
    // Why the workbook must not be opened at all; empty when it may.
    static QString refusalFor(const QString &path, const OutputList &outputs);
    // Saves into a staging folder of its own. Throws AutomationError.
    static StagedOutput stageOutput(WorkbookConverter::Workbook &workbook, const PlannedOutput &output);
    // Moves a staged output into place, adding the paths placed (a page's
    // pictures too) to `placed`; returns the workbook whose output it
    // replaced, if any. Throws AutomationError.
    QString placeOutput(StagedOutput &output, const QString &path, QStringList &placed);
    void reportUnreadable(const QString &dir, const QList<QByteArray> &rawNames, const QString &what);
    void report(const FileResult &result);

    RunSettings &m_settings;
    RunView &m_view;
    WorkbookConverter &m_converter;
    QString m_baseDirectory;                   // where a relative output directory is resolved
    QSet<QString> m_walked;                    // canonical paths, so no directory is walked twice
    QString m_relativeDirectory;               // of the directory being walked, below the root ("" at the root)
    QSet<QString> m_preparedOutputDirectories; // mirrored ones, made and cleaned of stale staging
    QHash<QString, QString> m_written;         // output path -> the workbook it was written for
    QSet<platform::FileId> m_writtenFiles;     // outputs on disk, never taken as inputs
    std::function<bool(const QString &)> m_filter;
    int m_jobs = 1;
    ConverterFactory m_factory;
    std::unique_ptr<ParallelConversion> m_parallel;
    RunCounts m_counts;
    bool m_stopRequested = false;
    bool m_running = false;
};
