#pragma once

#include "app/WorkbookConverter.h"

#include <QSet>
#include <QString>
#include <QStringList>

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

    // The whole run, from creating the output directory to quitting the
    // application.
    Outcome execute(const QString &rootDirectory);

    // Ends the run after the file being converted; safe to call from a
    // handler that runs while the run yields.
    void requestStop() { m_stopRequested = true; }
    bool isStopRequested() const { return m_stopRequested; }
    bool isRunning() const { return m_running; }

    void WalkDirectory(const QString &dir);
    void ConvertFilesInDirectory(const QString &dir);
    void ConvertWorkbook(const QString &path);

    static QStringList SplitString(const QString &text, const QString &separator);
    // The file-name part of `path` up to its first "." after any leading dots;
    // a name without such a "." is its own base name.
    static QString BaseName(const QString &path);

private:
    // The output directory as the user typed it, a relative one taken against
    // the current directory at the start of the run (the walk changes it).
    QString resolvedOutputDirectory() const;
    QString outputFileName(const QString &baseName, const OutputFormat &format) const;

    RunSettings &m_settings;
    RunView &m_view;
    WorkbookConverter &m_converter;
    QString m_startDirectory;     // where a relative output directory is resolved
    QSet<QString> m_walked;       // canonical paths, so no directory is walked twice
    bool m_stopRequested = false;
    bool m_running = false;
};
