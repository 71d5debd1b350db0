#include "cli/BatchRun.h"

#include "cli/BatchOptions.h"
#include "cli/FileSelection.h"
#include "cli/PasswordList.h"
#include "cli/ProgressLine.h"
#include "cli/RunLog.h"
#include "engine/AutomationWorkbookConverter.h"
#include "engine/ConversionRun.h"
#include "engine/Strings.h"
#include "platform/FileSystem.h"
#include "platform/SignalBridge.h"
#include "platform/SystemResources.h"
#include "platform/office/OfficeBridge.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>
#include <QTimer>

#include <unistd.h>

namespace batch {

namespace {

class FixedSettings : public RunSettings
{
public:
    explicit FixedSettings(const Options &options) : m_options(options) {}
    QString masks() const override { return m_options.masks; }
    QString outputDirectory() const override { return m_options.out; }
    bool isChecked(OutputKind kind) const override { return kind == m_options.kind; }
    bool keepsTree() const override { return m_options.keepTree; }
    bool savesEverySheet() const override { return m_options.csvAllSheets; }
    QStringList csvSheetPatterns() const override { return m_options.csvSheetPatterns; }
    platform::CsvFormat csvFormat() const override { return m_options.csv; }
    bool skipsUpToDate() const override { return m_options.update; }
    bool isFixed() const override { return true; }

private:
    const Options &m_options;
};

// Hands every entry to the printer as the run reports it, and the counts to
// the progress line when there is one; messages go to err.
class StreamView : public RunView
{
public:
    StreamView(ResultPrinter &printer, QTextStream &err, int stringBase, ProgressLine *progress)
        : m_printer(printer), m_err(err), m_base(stringBase), m_success(Strings::load(m_base + Strings::Success)),
          m_progress(progress)
    {}

    void setStatusText(const QString &) override {}
    void showResult(const FileResult &result) override
    {
        if (m_progress)
            m_progress->makeRoomForLine();
        m_printer.print(result);
    }
    void appendLog(const QString &) override {}
    void clearLog() override {}
    void setStartEnabled(bool) override {}
    void showCounts(const RunCounts &counts) override
    {
        if (m_progress)
            m_progress->update(counts);
    }
    void showTotal(int entries) override
    {
        if (m_progress)
            m_progress->setTotal(entries);
    }
    void showMessage(const QString &text) override
    {
        if (m_progress)
            m_progress->hide();
        m_err << text << '\n';
        m_err.flush();
    }
    void processEvents() override { QCoreApplication::processEvents(); }
    QString successText() const override { return m_success; }
    QString startFailureText() const override { return Strings::load(m_base + Strings::StartFailure); }

private:
    ResultPrinter &m_printer;
    QTextStream &m_err;
    int m_base;
    QString m_success;
    ProgressLine *m_progress;
};

bool wantsProgress(Options::Progress when)
{
    switch (when) {
    case Options::Progress::Always:
        return true;
    case Options::Progress::Never:
        return false;
    case Options::Progress::OnTerminal:
        break;
    }
    return ::isatty(STDERR_FILENO) == 1;
}

// The files an earlier run failed on, each with the directory it was walked
// from below --source, so that a mirrored tree gets its outputs where that
// run would have put them.
QList<ConversionRun::ListedFile> listedFiles(const QStringList &paths, const Options &options)
{
    const SourcePaths source(options.source);
    const bool mirrored = options.keepTree && !options.source.isEmpty();
    QList<ConversionRun::ListedFile> files;
    for (const QString &path : paths)
        files.append({path, mirrored ? source.relativeDirectory(path) : QString()});
    return files;
}

int errorExit(QTextStream &err, const QString &message)
{
    err << "tabulon-batch: " << message << '\n' << usageLine() << "\nRun 'tabulon-batch --help' for the options.\n";
    err.flush();
    return BadArguments;
}

// Where relative paths of the file list, and the paths that pick a shard,
// are taken from.
QString baseDirectory(const Options &options)
{
    return QDir(options.source.isEmpty() ? QDir::currentPath() : options.source).absolutePath();
}

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ParsedArguments parsed = parseArguments(arguments);
    switch (parsed.request) {
    case ParsedArguments::Request::Help:
    case ParsedArguments::Request::Version:
        out << parsed.text;
        out.flush();
        return Completed;
    case ParsedArguments::Request::Error:
        return errorExit(err, parsed.text);
    case ParsedArguments::Request::Run:
        break;
    }
    const Options &options = parsed.options;
    FileList list;
    if (!options.filesFrom.isEmpty())
        list = readFileList(options.filesFrom, baseDirectory(options));
    else if (!options.retryFailed.isEmpty())
        list = readFailedFiles(options.retryFailed);
    if (!list.error.isEmpty())
        return errorExit(err, list.error);
    const bool walks = options.filesFrom.isEmpty() && options.retryFailed.isEmpty();

    PasswordList passwords;
    if (!options.passwordFile.isEmpty()) {
        passwords = readPasswordList(options.passwordFile);
        if (!passwords.error.isEmpty())
            return errorExit(err, passwords.error);
    }

    // Unlike the window, which goes on and lets every save fail, the batch
    // ends here: a run that can write nothing is not worth an office.
    if (const int failure = platform::makeDirectories(options.out)) {
        err << "tabulon-batch: cannot make the output directory " << options.out << ": "
            << platform::describeError(failure) << '\n';
        err.flush();
        return OutputUnusable;
    }

    const int jobs =
        options.jobs > 0 ? options.jobs : defaultJobs(platform::processorCount(), platform::availableMemory());
    platform::office::OfficeOptions office;
    office.program = options.office;
    if (options.officeRecycle >= 0)
        office.recycleAfterFiles = options.officeRecycle;
    office.recycleAboveBytes = options.officeMemoryMb >= 0
                                   ? qint64(options.officeMemoryMb) * 1024 * 1024
                                   : platform::office::defaultOfficeMemoryLimit(platform::physicalMemory(), jobs);
    office.passwords = passwords.passwords;
    platform::office::registerExcelApplication(office);

    FixedSettings settings(options);
    const int stringBase = Strings::GetStringBase();
    const std::unique_ptr<ResultPrinter> printer =
        makePrinter(options.logFormat, out, err, Strings::load(stringBase + Strings::Success));
    printer->setCountsUpToDate(options.update);
    std::unique_ptr<ProgressLine> progress;
    QTimer progressClock;
    if (wantsProgress(options.progress)) {
        progress = std::make_unique<ProgressLine>(err, ::isatty(STDERR_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1);
        QObject::connect(&progressClock, &QTimer::timeout, [&progress] { progress->draw(); });
        progressClock.start(1000);
    }
    StreamView view(*printer, err, stringBase, progress.get());
    AutomationWorkbookConverter converter;
    ConversionRun conversion(settings, view, converter);
    if (jobs > 1)
        conversion.setParallel(jobs, [] { return std::make_unique<AutomationWorkbookConverter>(); });
    if (options.shardCount > 0) {
        const ShardFilter shard(baseDirectory(options), options.shard, options.shardCount);
        conversion.setFileFilter([shard](const QString &path) { return shard.contains(path); });
    }
    QObject stopContext;
    if (platform::SignalBridge *endSignals = platform::SignalBridge::instance())
        QObject::connect(endSignals, &platform::SignalBridge::endRequested, &stopContext,
                         [&conversion] { conversion.requestStop(); });
    conversion.setCountsAhead(progress != nullptr);
    if (!walks && progress)
        progress->setTotal(int(list.paths.size()));
    const ConversionRun::Outcome outcome =
        walks ? conversion.execute(baseDirectory(options)) : conversion.executeFiles(listedFiles(list.paths, options));
    progressClock.stop();
    if (progress)
        progress->hide();
    switch (outcome) {
    case ConversionRun::Outcome::ApplicationUnavailable:
        return OfficeUnavailable;
    case ConversionRun::Outcome::OutputDirectoryFailed:
        return OutputUnusable;
    case ConversionRun::Outcome::Completed:
    case ConversionRun::Outcome::Stopped:
        break;
    }
    printer->finish(conversion.counts());
    return Completed;
}

} // namespace batch
