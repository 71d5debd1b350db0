#include "engine/ConversionRun.h"

#include "engine/ConverterPool.h"
#include "engine/WalkCount.h"
#include "platform/FileSystem.h"
#include "platform/OutputStaging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

using platform::AutomationError;

namespace {

// Whether the canonical path `dir` is `top` or lies below it.
bool isWithin(const QString &dir, const QString &top)
{
    if (dir.isEmpty() || top.isEmpty())
        return false;
    return dir == top || dir.startsWith(top.endsWith(QLatin1Char('/')) ? top : top + QLatin1Char('/'));
}

// The time of the last change of a file's data, to the nanosecond; false
// when there is no file.
bool modificationTime(const QString &path, timespec &time)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    time = st.st_mtim;
    return true;
}

bool isLater(const timespec &a, const timespec &b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

} // namespace

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
    m_root = QFileInfo(rootDirectory).canonicalFilePath();
    return runOver([this, rootDirectory] {
        std::unique_ptr<WalkCount> count;
        if (m_countsAhead) {
            count = std::make_unique<WalkCount>(
                WalkCount::Walk{rootDirectory, m_settings.masks(), resolvedOutputDirectory(), m_filter},
                [this](int entries) {
                    m_totalShown = true;
                    m_view.showTotal(entries);
                });
            count->start();
        }
        DirectoryWalker(*this).walk(rootDirectory);
        // The walk has ended: what it found is all there is.
        if (!m_totalShown && !m_stopRequested)
            m_view.showTotal(m_entriesFound);
    });
}

ConversionRun::Outcome ConversionRun::executeFiles(const QStringList &paths)
{
    QList<ListedFile> files;
    files.reserve(paths.size());
    for (const QString &path : paths)
        files.append({path, QString()});
    return executeFiles(files);
}

ConversionRun::Outcome ConversionRun::executeFiles(const QList<ListedFile> &files)
{
    m_root.clear();
    return runOver([this, &files] {
        // Every file of the list is an input before the first is converted.
        for (const ListedFile &file : files)
            addInput(file.path);
        for (const ListedFile &file : files) {
            if (m_stopRequested)
                return;
            m_view.processEvents();
            convertFile(file.path, file.relativeDirectory);
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
    if (m_settings.keepsTree())
        m_stagingNotes = std::make_unique<platform::OutputStaging>(outputDirectory);
    m_delivery.setStagingNotes(m_stagingNotes.get());
    // Outputs go below the output directory: they can meet the walk only
    // where it walks that directory (the source is the output directory or
    // lies inside it); a list may name any file.
    m_outputsMeetInputs =
        !m_settings.isFixed() || m_root.isEmpty() || isWithin(m_root, QFileInfo(outputDirectory).canonicalFilePath());
    m_delivery.setRemembersOutputFiles(m_outputsMeetInputs);
    m_delivery.setForgetsPassedDirectories(m_settings.isFixed() && m_settings.keepsTree() && !m_root.isEmpty());
    m_claimed.clear();
    m_claimedDirectory.clear();
    m_entriesFound = 0;
    m_totalShown = false;

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
        if (m_stopRequested) {
            clearView();
            reportStopAtStart(source);
        }
        m_stagingNotes.reset();
        m_delivery.setStagingNotes(nullptr);
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
    m_stagingNotes.reset();
    m_delivery.setStagingNotes(nullptr);
    m_running = false;
    if (!started && !m_stopRequested) {
        m_view.showMessage(m_view.startFailureText());
        return Outcome::ApplicationUnavailable;
    }
    return m_stopRequested ? Outcome::Stopped : Outcome::Completed;
}

void ConversionRun::reportStopAtStart(const std::function<void()> &source)
{
    m_stopRequested = false;
    m_stopAtFirstWorkbook = true;
    source();
    m_stopAtFirstWorkbook = false;
    m_stopRequested = true;
}

void ConversionRun::foundInputs(const QStringList &paths)
{
    if (!m_outputsMeetInputs)
        return;
    for (const QString &path : paths)
        addInput(path);
}

void ConversionRun::addInput(const QString &path)
{
    if (m_pool) // none while a stopped start is reported
        m_pool->addInput(platform::fileId(path));
}

bool ConversionRun::isLeftOut(const QString &canonicalDirectory) const
{
    return canonicalDirectory == canonicalOutputDirectory();
}

bool ConversionRun::isOutput(const QString &path) const
{
    if (!m_outputsMeetInputs)
        return false;
    // What runs of this program wrote into the output directory are outputs, not inputs.
    return m_delivery.isOwnOutput(path)
           || (platform::isMarkedOutput(path) && isInOutputTree(QFileInfo(QFileInfo(path).path()).canonicalFilePath()));
}

QString ConversionRun::canonicalOutputDirectory() const
{
    return QFileInfo(resolvedOutputDirectory()).canonicalFilePath();
}

bool ConversionRun::isInOutputTree(const QString &canonicalDirectory) const
{
    return isWithin(canonicalDirectory, canonicalOutputDirectory());
}

bool ConversionRun::isInputToCome(const QString &path) const
{
    const QFileInfo file(path);
    if (m_root.isEmpty() || !file.exists() || file.isDir() || isOutput(path))
        return false;
    const QString dir = QFileInfo(file.path()).canonicalFilePath();
    const QString out = canonicalOutputDirectory();
    if (!isWithin(dir, m_root) || (out != m_root && isWithin(out, m_root) && isWithin(dir, out)))
        return false; // outside the walk, or in the output directory it leaves out
    for (const QString &part : QDir(m_root).relativeFilePath(dir).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part != QLatin1String(".") && platform::isHiddenName(part))
            return false;
    }
    const QStringList masks = DirectoryWalker::SplitString(m_settings.masks().trimmed(), QStringLiteral(","));
    for (const QString &mask : masks) {
        if (platform::matchesMask(file.fileName(), mask.trimmed()))
            return true;
    }
    return false;
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
    ++m_entriesFound;
    m_view.setStatusText(path);
    if (m_stopAtFirstWorkbook) {
        m_delivery.report(FileResult::failure(path, ConverterPool::stoppedWhileStartingText()));
        m_stopRequested = true;
        return;
    }
    if (m_settings.skipsUpToDate()) {
        const OutputList outputs = outputsFor(path, relativeDirectory);
        if (isUpToDate(path, outputs)) {
            m_pool->addResult(FileResult::upToDate(path));
            return;
        }
        claim(outputs);
    }
    // The walk goes on after this file, and may not yet have reached the
    // directory of one of its outputs: there it may be an input to come.
    if (m_outputsMeetInputs) {
        for (const PlannedOutput &output : outputsFor(path, relativeDirectory)) {
            if (isInputToCome(output.path))
                addInput(output.path);
        }
    }
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

bool ConversionRun::isUpToDate(const QString &path, const OutputList &outputs) const
{
    // Which sheets get a CSV of their own is known only once it is open.
    if (outputs.isEmpty() || m_settings.savesEverySheet() || !m_settings.csvSheetPatterns().isEmpty())
        return false;
    timespec workbook{};
    if (!modificationTime(path, workbook))
        return false;
    for (const PlannedOutput &output : outputs) {
        timespec written{};
        if (m_claimed.contains(OutputPlan::pathKey(output.path)) || !modificationTime(output.path, written)
            || !isLater(written, workbook))
            return false;
    }
    return true;
}

void ConversionRun::claim(const OutputList &outputs)
{
    for (const PlannedOutput &output : outputs) {
        // A mirrored tree's directories each get the outputs of one walked
        // directory, one after the other: the claims of the last are done with.
        if (m_settings.keepsTree() && !m_root.isEmpty()) {
            const QString dir = QFileInfo(output.path).path();
            if (dir != m_claimedDirectory) {
                m_claimed.clear();
                m_claimedDirectory = dir;
            }
        }
        m_claimed.insert(OutputPlan::pathKey(output.path));
    }
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
    ++m_entriesFound;
    if (!m_pool) {
        m_delivery.report(FileResult::failure(path, reason, rawPath)); // before the stopped workbook
        return;
    }
    m_pool->addResult(FileResult::failure(path, reason, rawPath));
}

QString ConversionRun::resolvedOutputDirectory() const
{
    const QString dir = m_settings.outputDirectory();
    if (dir.isEmpty() || !QDir::isRelativePath(dir))
        return dir;
    return QDir::cleanPath(platform::joinPath(m_baseDirectory, dir));
}
