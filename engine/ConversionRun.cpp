#include "engine/ConversionRun.h"

#include "engine/ConverterPool.h"
#include "platform/FileSystem.h"
#include "platform/OutputStaging.h"

#include <QDir>

using platform::AutomationError;

ConversionRun::ConversionRun(RunSettings &settings, RunView &view, WorkbookConverter &converter)
    : m_settings(settings), m_view(view), m_converter(converter), m_delivery(view)
{}

ConversionRun::~ConversionRun() = default;

void ConversionRun::requestStop()
{
    m_stopRequested = true;
    if (m_pool)
        m_pool->stop();
}

void ConversionRun::setParallel(int jobs, ConverterFactory factory)
{
    m_jobs = std::max(1, jobs);
    m_factory = std::move(factory);
}

ConversionRun::Outcome ConversionRun::execute(const QString &rootDirectory)
{
    return runOver([this, rootDirectory] { DirectoryWalker(*this).walk(rootDirectory); });
}

ConversionRun::Outcome ConversionRun::executeFiles(const QStringList &paths)
{
    return runOver([this, paths] {
        for (const QString &path : paths) {
            if (m_stopRequested)
                return;
            m_view.processEvents();
            convertFile(path, QString());
        }
    });
}

std::unique_ptr<ConverterPool> ConversionRun::makePool()
{
    if (m_jobs > 1)
        return std::make_unique<ConverterPool>(m_jobs, m_factory);
    return std::make_unique<ConverterPool>(m_converter);
}

ConversionRun::Outcome ConversionRun::runOver(const std::function<void()> &source)
{
    if (m_baseDirectory.isEmpty())
        m_baseDirectory = platform::currentDirectory();
    const QString outputDirectory = resolvedOutputDirectory();
    try {
        platform::forceDirectories(outputDirectory);
    } catch (const AutomationError &error) {
        m_view.showMessage(error.message());
        return Outcome::OutputDirectoryFailed;
    }
    platform::OutputStaging::removeStale(outputDirectory);

    // Running (and the button off) before the application starts: starting
    // yields to the message loop for seconds.
    m_running = true;
    m_stopRequested = false;
    m_view.setStartEnabled(false);
    m_pool = makePool();
    // The log is cleared once an application runs: a run without one keeps
    // the previous log.
    const auto clearView = [this] {
        m_delivery.reset();
        m_view.clearLog();
        m_view.showCounts(m_delivery.counts());
    };
    if (!m_pool->start(clearView, [this](FileResult &result) { m_delivery.deliver(result); })) {
        m_pool.reset();
        m_running = false;
        m_view.setStartEnabled(true);
        if (m_stopRequested)
            return Outcome::Stopped;
        m_view.showMessage(m_view.startFailureText());
        return Outcome::ApplicationUnavailable;
    }
    m_delivery.reset();
    if (!m_stopRequested)
        source();
    const bool started = m_pool->finish();
    m_view.setStartEnabled(true);
    m_pool->close();
    m_pool.reset();
    m_running = false;
    if (!started && !m_stopRequested) {
        m_view.showMessage(m_view.startFailureText());
        return Outcome::ApplicationUnavailable;
    }
    return m_stopRequested ? Outcome::Stopped : Outcome::Completed;
}

void ConversionRun::foundFile(const QString &path, const QString &relativeDirectory)
{
    convertFile(path, relativeDirectory);
}

void ConversionRun::foundProblem(const QString &path, const QString &reason, const QByteArray &rawPath)
{
    reportFailure(path, reason, rawPath);
}

void ConversionRun::convertFile(const QString &path, const QString &relativeDirectory)
{
    if (m_delivery.isOwnOutput(path) || (m_filter && !m_filter(path)))
        return;
    m_view.setStatusText(path);
    if (m_settings.keepsTree()) {
        try {
            m_delivery.prepareDirectories(outputsFor(path, relativeDirectory));
        } catch (const AutomationError &error) {
            reportFailure(path, error.message());
            return;
        }
    }
    m_pool->add(path, planFor(path, relativeDirectory));
}

std::function<OutputList(const QStringList &)> ConversionRun::planFor(const QString &path,
                                                                      const QString &relativeDirectory)
{
    // With the application on this thread the settings are read again at
    // the open: the window's controls may change while it waits. Workers on
    // other threads get them as they are now.
    if (m_pool->convertsOnCallingThread()) {
        return [this, path, relativeDirectory](const QStringList &sheetNames) {
            return OutputPlan::withSheets(outputsFor(path, relativeDirectory), sheetNames,
                                          m_settings.savesEverySheet());
        };
    }
    return [outputs = outputsFor(path, relativeDirectory), everySheet = m_settings.savesEverySheet()](
               const QStringList &sheetNames) { return OutputPlan::withSheets(outputs, sheetNames, everySheet); };
}

OutputList ConversionRun::outputsFor(const QString &path, const QString &relativeDirectory) const
{
    QList<OutputKind> kinds;
    for (const OutputFormat &format : outputFormats) {
        if (m_settings.isChecked(format.kind))
            kinds << format.kind;
    }
    const QString dir =
        OutputPlan::outputDirectory(resolvedOutputDirectory(), relativeDirectory, m_settings.keepsTree());
    OutputList outputs = OutputPlan::outputsFor(path, dir, kinds);
    for (PlannedOutput &output : outputs) {
        if (output.format->kind == OutputKind::Csv) {
            output.csv = m_settings.csvFormat();
            output.sheetPatterns = m_settings.csvSheetPatterns();
        }
    }
    return outputs;
}

void ConversionRun::reportFailure(const QString &path, const QString &reason, const QByteArray &rawPath)
{
    if (m_filter && !m_filter(path))
        return;
    m_pool->addResult(FileResult::failure(path, reason, rawPath));
}

QString ConversionRun::resolvedOutputDirectory() const
{
    const QString dir = m_settings.outputDirectory();
    if (dir.isEmpty() || !QDir::isRelativePath(dir))
        return dir;
    return QDir::cleanPath(platform::joinPath(m_baseDirectory, dir));
}
