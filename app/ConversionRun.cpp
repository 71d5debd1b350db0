#include "app/ConversionRun.h"

#include "app/ParallelConversion.h"
#include "platform/OutputStaging.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>

using platform::AutomationError;

const OutputFormat outputFormats[3] = {
    {OutputKind::Html, ".htm", 44},
    {OutputKind::Csv, ".csv", 6},
    {OutputKind::Xml, ".xml", 46},
};

ConversionRun::ConversionRun(RunSettings &settings, RunView &view, WorkbookConverter &converter)
    : m_settings(settings), m_view(view), m_converter(converter)
{
}

ConversionRun::~ConversionRun() = default;

void ConversionRun::requestStop()
{
    m_stopRequested = true;
    if (m_parallel)
        m_parallel->stop();
    else if (m_running && !m_converter.isStarted())
        m_converter.cancelStart();
}

void ConversionRun::setParallel(int jobs, ConverterFactory factory)
{
    m_jobs = std::max(1, jobs);
    m_factory = std::move(factory);
}

ConversionRun::Outcome ConversionRun::execute(const QString &rootDirectory)
{
    return runOver([this, rootDirectory] { WalkDirectory(rootDirectory); });
}

ConversionRun::Outcome ConversionRun::executeFiles(const QStringList &paths)
{
    return runOver([this, paths] {
        for (const QString &path : paths) {
            if (m_stopRequested)
                return;
            m_view.processEvents();
            convertFile(path);
        }
    });
}

ConversionRun::Outcome ConversionRun::runOver(const std::function<void()> &source)
{
    const QString startDirectory = platform::currentDirectory();
    if (m_baseDirectory.isEmpty())
        m_baseDirectory = startDirectory;
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
    if (!startConverting()) {
        m_running = false;
        m_view.setStartEnabled(true);
        if (m_stopRequested)
            return Outcome::Stopped;
        m_view.showMessage(m_view.startFailureText());
        return Outcome::ApplicationUnavailable;
    }

    m_walked.clear();
    m_written.clear();
    m_writtenFiles.clear();
    m_counts = {};
    const auto clearView = [this] {
        m_view.clearLog();
        m_view.showCounts(m_counts);
    };
    // With several offices the walk comes first and the log is cleared once
    // one of them runs: a run without any keeps the previous log.
    if (!m_parallel)
        clearView();
    if (!m_stopRequested)
        source();
    platform::setCurrentDirectory(startDirectory);
    const bool started = !m_parallel || m_parallel->run(clearView, [this](FileResult &result) { deliver(result); });
    m_view.setStartEnabled(true);
    finishConverting();
    m_running = false;
    if (!started && !m_stopRequested) {
        m_view.showMessage(m_view.startFailureText());
        return Outcome::ApplicationUnavailable;
    }
    return m_stopRequested ? Outcome::Stopped : Outcome::Completed;
}

bool ConversionRun::startConverting()
{
    if (m_jobs > 1) {
        // The offices start once the walk has said how many are worth it.
        m_parallel = std::make_unique<ParallelConversion>(m_jobs, m_factory);
        return true;
    }
    try {
        m_converter.start();
    } catch (const std::exception &) {
        m_converter.release();
        return false;
    }
    try {
        m_converter.hide();
    } catch (const std::exception &) {
        // A server that cannot hide itself still converts.
    }
    return true;
}

void ConversionRun::finishConverting()
{
    if (m_parallel) {
        m_parallel.reset();
        return;
    }
    try {
        m_converter.quit();
    } catch (const std::exception &) {
        // The run is over either way; the reference is dropped below.
    }
    m_converter.release();
}

void ConversionRun::WalkDirectory(const QString &dir)
{
    if (m_stopRequested)
        return;
    int error = 0;
    if (!platform::setCurrentDirectory(dir, &error)) {
        reportFailure(dir, QStringLiteral("Can't enter the directory: %1").arg(platform::describeError(error)));
        return;
    }
    // Links may lead back up the tree: a directory already walked is not walked again.
    const QString canonical = QFileInfo(platform::currentDirectory()).canonicalFilePath();
    if (m_walked.contains(canonical))
        return;
    m_walked.insert(canonical);

    ConvertFilesInDirectory(dir);
    const QString here = platform::currentDirectory();
    const platform::DirectoryEntries entries = platform::readDirectory(here);
    if (entries.error != 0)
        reportFailure(here, QStringLiteral("Can't list the directory: %1").arg(platform::describeError(entries.error)));
    reportUnreadable(here, entries.unnamedDirectories, QStringLiteral("directory"));
    for (const QString &name : entries.directories) {
        if (m_stopRequested)
            return;
        const QString sub = platform::joinPath(here, name);
        m_view.setStatusText(sub);
        WalkDirectory(sub);
        // Back to the directory being walked by its own path: ".." would lead
        // elsewhere after following a link.
        platform::setCurrentDirectory(here);
        m_view.processEvents();
    }
}

void ConversionRun::ConvertFilesInDirectory(const QString &dir)
{
    const QStringList masks = SplitString(m_settings.masks().trimmed(), QStringLiteral(","));
    for (const QString &mask : masks) {
        // Blanks around a mask are not part of it ("*.xls, *.xlsx").
        const QString pattern = mask.trimmed();
        const platform::DirectoryEntries entries = platform::readDirectory(dir);
        m_view.setStatusText(platform::joinPath(dir, mask));
        m_view.processEvents();
        QStringList unnamed;
        for (const QString &name : entries.unnamedFiles) {
            if (platform::matchesMask(name, pattern))
                unnamed << name;
        }
        reportUnreadable(dir, unnamed, QStringLiteral("file"));
        for (const QString &name : entries.files) {
            if (!platform::matchesMask(name, pattern))
                continue;
            m_view.processEvents();
            if (m_stopRequested)
                return;
            convertFile(platform::joinPath(dir, name));
        }
    }
}

void ConversionRun::convertFile(const QString &path)
{
    if (isOwnOutput(path) || (m_filter && !m_filter(path)))
        return;
    m_view.setStatusText(path);
    if (m_parallel)
        m_parallel->addWorkbook(path, outputsFor(path));
    else
        ConvertWorkbook(path);
}

// What this run wrote is output, not input, wherever it lies.
bool ConversionRun::isOwnOutput(const QString &path) const
{
    const platform::FileId id = platform::fileId(path);
    return id.isValid() && m_writtenFiles.contains(id);
}

void ConversionRun::reportFailure(const QString &path, const QString &reason)
{
    if (m_filter && !m_filter(path))
        return;
    if (m_parallel)
        m_parallel->addResult(FileResult::failure(path, reason));
    else
        logFailure(path + reason);
}

void ConversionRun::reportUnreadable(const QString &dir, const QStringList &names, const QString &what)
{
    for (const QString &name : names) {
        reportFailure(platform::joinPath(dir, name),
                      QStringLiteral("Can't use the %1: its name is not valid in the file-name encoding").arg(what));
    }
}

void ConversionRun::ConvertWorkbook(const QString &path)
{
    FileResult result = convertWorkbook(m_converter, path, [this, path] { return outputsFor(path); });
    deliver(result);
}

FileResult ConversionRun::convertWorkbook(WorkbookConverter &converter, const QString &path,
                                          const std::function<OutputList()> &outputs)
{
    QElapsedTimer clock;
    clock.start();
    FileResult result;
    result.path = path;
    // Checked before the office sees the file, where that gives the true
    // reason, and again after the open: the controls may change meanwhile.
    result.error = refusalFor(path, outputs());
    if (!result.error.isEmpty())
        return result;
    try {
        WorkbookConverter::WorkbookRef workbook = converter.open(path);
        const OutputList planned = outputs();
        result.error = refusalFor(path, planned);
        if (!result.error.isEmpty()) {
            workbook->close();
            return result;
        }
        for (const PlannedOutput &output : planned)
            result.outputs.push_back(stageOutput(*workbook, output.format, output.path));
        workbook->close();
        workbook.reset();
        result.status = FileResult::Status::Converted;
    } catch (const AutomationError &error) {
        result.error = error.message();
    } catch (const std::exception &error) {
        result.error = QString::fromUtf8(error.what());
    }
    if (result.status == FileResult::Status::Failed)
        result.outputs.clear();
    result.seconds = clock.nsecsElapsed() / 1e9;
    return result;
}

ConversionRun::OutputList ConversionRun::outputsFor(const QString &path) const
{
    OutputList outputs;
    const QString base = BaseName(path);
    for (const OutputFormat &format : outputFormats) {
        if (m_settings.isChecked(format.kind))
            outputs.append({&format, outputFileName(base, format)});
    }
    return outputs;
}

QString ConversionRun::refusalFor(const QString &path, const OutputList &outputs)
{
    const QString problem = platform::inputProblem(path);
    if (!problem.isEmpty())
        return QStringLiteral("Can't open the workbook: %1").arg(problem);
    const platform::FileId input = platform::fileId(path);
    for (const PlannedOutput &output : outputs) {
        if (platform::fileId(output.path) == input)
            return QStringLiteral("Not converted: the output %1 is this workbook itself, which is left as it is")
                .arg(output.path);
        if (QFile::encodeName(QFileInfo(output.path).fileName()).size() > NAME_MAX)
            return QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(ENAMETOOLONG));
    }
    return {};
}

StagedOutput ConversionRun::stageOutput(WorkbookConverter::Workbook &workbook, const OutputFormat *format,
                                        const QString &path)
{
    StagedOutput output;
    output.format = format;
    output.path = path;
    const QFileInfo target(path);
    output.staging = std::make_unique<platform::OutputStaging>(target.path());
    if (output.staging->error() != 0)
        throw AutomationError(QStringLiteral("Can't save %1: %2").arg(path, platform::describeError(output.staging->error())));
    const QString staged = output.staging->stagedPath(target.fileName());
    try {
        workbook.saveAs(staged, format->fileFormat);
    } catch (const AutomationError &error) {
        // The converter names the path it was given; the user knows the other.
        throw AutomationError(QString(error.message()).replace(staged, path));
    }
    return output;
}

QString ConversionRun::placeOutput(StagedOutput &output, const QString &path)
{
    const QFileInfo target(output.path);
    const int error = output.staging->commit(target.fileName());
    output.staging.reset();
    if (error != 0)
        throw AutomationError(QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(error)));
    m_writtenFiles.insert(platform::fileId(output.path));
    const QString key = QDir::cleanPath(target.absoluteFilePath());
    const QString owner = m_written.value(key);
    m_written.insert(key, path);
    // A workbook that matches two masks takes its own name again: no news.
    return owner == path ? QString() : owner;
}

void ConversionRun::deliver(FileResult &result)
{
    // A file converted ahead of its turn may have been replaced since by an
    // output of this run: then it is output, not input.
    if (m_parallel && isOwnOutput(result.path))
        return;
    if (result.status == FileResult::Status::Converted) {
        try {
            for (StagedOutput &output : result.outputs) {
                const QString owner = placeOutput(output, result.path);
                if (!owner.isEmpty())
                    result.replaced << owner;
            }
        } catch (const AutomationError &error) {
            result.status = FileResult::Status::Failed;
            result.error = error.message();
        }
    }
    if (result.status == FileResult::Status::Converted)
        logSuccess(result.path, result.replaced);
    else
        logFailure(result.path + result.error);
}

void ConversionRun::logSuccess(const QString &path, const QStringList &replacedOwners)
{
    ++m_counts.converted;
    m_counts.replaced += replacedOwners.size();
    QString line = path + m_view.successText();
    if (!replacedOwners.isEmpty())
        line += QStringLiteral(" (replaced the output of %1)").arg(replacedOwners.join(QStringLiteral(", ")));
    m_view.appendLog(line);
    m_view.showCounts(m_counts);
}

void ConversionRun::logFailure(const QString &line)
{
    ++m_counts.failed;
    m_view.appendLog(line);
    m_view.showCounts(m_counts);
}

QString ConversionRun::resolvedOutputDirectory() const
{
    const QString dir = m_settings.outputDirectory();
    if (dir.isEmpty() || !QDir::isRelativePath(dir))
        return dir;
    return QDir::cleanPath(platform::joinPath(m_baseDirectory, dir));
}

QString ConversionRun::outputFileName(const QString &baseName, const OutputFormat &format) const
{
    return platform::joinPath(resolvedOutputDirectory(), baseName + QLatin1String(format.extension));
}

QStringList ConversionRun::SplitString(const QString &text, const QString &separator)
{
    QStringList pieces;
    if (text.isEmpty())
        return pieces;
    QString rest = text;
    for (int at = rest.indexOf(separator); at >= 0; at = rest.indexOf(separator)) {
        pieces.append(rest.left(at));
        rest.remove(0, at + separator.size());
    }
    pieces.append(rest);
    return pieces;
}

QString ConversionRun::BaseName(const QString &path)
{
    const int slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QDir::separator()));
    const QString name = path.mid(slash + 1);
    int start = 0;
    while (start < name.size() && name.at(start) == QLatin1Char('.'))
        ++start;
    const int dot = name.indexOf(QLatin1Char('.'), start);
    return dot < 0 ? name : name.left(dot);
}
