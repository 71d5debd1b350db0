#pragma once

#include "app/WorkbookConverter.h"
#include "platform/FileSystem.h"
#include "platform/OutputStaging.h"

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
};

// One output of a workbook: written first into a private staging folder
// beside its target, moved into place when the workbook's turn comes.
struct StagedOutput
{
    const OutputFormat *format = nullptr;
    QString path;  // where it goes
    std::unique_ptr<platform::OutputStaging> staging;
};

// What became of one file (or of one directory the walk could not use).
// Filled in two steps: the conversion, which touches nothing the run
// shares and may run on any thread, and the delivery in walk order, which
// moves the outputs into place and logs the line.
struct FileResult
{
    enum class Status { Converted, Failed };

    QString path;
    Status status = Status::Failed;
    QString error;                       // follows the path in a failure line
    std::vector<StagedOutput> outputs;   // staged; placed once delivered
    QStringList replaced;                // whose outputs the placed ones replaced
    double seconds = 0;                  // time spent converting

    static FileResult failure(const QString &path, const QString &error)
    {
        FileResult result;
        result.path = path;
        result.error = error;
        return result;
    }
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
    // is asked before the open and again after it. Touches nothing of a
    // run, so offices on several threads can use it at once.
    using OutputList = QList<PlannedOutput>;
    static FileResult convertWorkbook(WorkbookConverter &converter, const QString &path,
                                      const std::function<OutputList()> &outputs);
    // The outputs `path` gets with the settings of now.
    OutputList outputsFor(const QString &path) const;

    static QStringList SplitString(const QString &text, const QString &separator);
    // The file-name part of `path` up to its first "." after any leading dots;
    // a name without such a "." is its own base name.
    static QString BaseName(const QString &path);

private:
    Outcome runOver(const std::function<void()> &source);
    bool startConverting();
    void finishConverting();
    void convertFile(const QString &path);
    void reportFailure(const QString &path, const QString &reason);
    // Moves the staged outputs into place and logs the line.
    void deliver(FileResult &result);
    bool isOwnOutput(const QString &path) const;

    // The output directory as the user typed it, a relative one taken against
    // the base directory (the walk changes the current one).
    QString resolvedOutputDirectory() const;
    QString outputFileName(const QString &baseName, const OutputFormat &format) const;
    // Why the workbook must not be opened at all; empty when it may.
    static QString refusalFor(const QString &path, const OutputList &outputs);
    // Saves into a staging folder of its own. Throws AutomationError.
    static StagedOutput stageOutput(WorkbookConverter::Workbook &workbook, const OutputFormat *format,
                                    const QString &path);
    // Moves a staged output into place; returns the workbook whose output
    // it replaced, if any. Throws AutomationError.
    QString placeOutput(StagedOutput &output, const QString &path);
    void reportUnreadable(const QString &dir, const QStringList &names, const QString &what);
    void logSuccess(const QString &path, const QStringList &replacedOwners);
    void logFailure(const QString &line);

    RunSettings &m_settings;
    RunView &m_view;
    WorkbookConverter &m_converter;
    QString m_baseDirectory;      // where a relative output directory is resolved
    QSet<QString> m_walked;       // canonical paths, so no directory is walked twice
    QHash<QString, QString> m_written;      // output path -> the workbook it was written for
    QSet<platform::FileId> m_writtenFiles;  // outputs on disk, never taken as inputs
    std::function<bool(const QString &)> m_filter;
    int m_jobs = 1;
    ConverterFactory m_factory;
    std::unique_ptr<ParallelConversion> m_parallel;
    RunCounts m_counts;
    bool m_stopRequested = false;
    bool m_running = false;
};
