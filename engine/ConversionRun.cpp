#include "engine/ConversionRun.h"

#include "engine/ParallelConversion.h"
#include "engine/SheetFileNames.h"
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
{}

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
    m_relativeDirectory.clear();
    m_preparedOutputDirectories.clear();
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
    reportUnreadable(here, entries.unnamedDirectoryBytes, QStringLiteral("directory"));
    // Kept by name, not taken from the current directory: a link leads out of the tree.
    const QString relative = m_relativeDirectory;
    for (const QString &name : entries.directories) {
        if (m_stopRequested)
            break;
        const QString sub = platform::joinPath(here, name);
        m_view.setStatusText(sub);
        m_relativeDirectory = relative.isEmpty() ? name : relative + QLatin1Char('/') + name;
        WalkDirectory(sub);
        // Back to the directory being walked by its own path: ".." would lead
        // elsewhere after following a link.
        platform::setCurrentDirectory(here);
        m_view.processEvents();
    }
    m_relativeDirectory = relative;
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
        QList<QByteArray> unnamed;
        for (qsizetype i = 0; i < entries.unnamedFiles.size(); ++i) {
            if (platform::matchesMask(entries.unnamedFiles.at(i), pattern))
                unnamed << entries.unnamedFileBytes.at(i);
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
    const OutputList outputs = outputsFor(path);
    if (m_settings.keepsTree()) {
        try {
            prepareMirroredDirectories(outputs);
        } catch (const AutomationError &error) {
            reportFailure(path, error.message());
            return;
        }
    }
    if (m_parallel)
        m_parallel->addWorkbook(path, outputs, m_settings.savesEverySheet());
    else
        ConvertWorkbook(path);
}

// What this run wrote is output, not input, wherever it lies.
bool ConversionRun::isOwnOutput(const QString &path) const
{
    const platform::FileId id = platform::fileId(path);
    return id.isValid() && m_writtenFiles.contains(id);
}

void ConversionRun::reportFailure(const QString &path, const QString &reason, const QByteArray &rawPath)
{
    if (m_filter && !m_filter(path))
        return;
    FileResult result = FileResult::failure(path, reason, rawPath);
    if (m_parallel)
        m_parallel->addResult(std::move(result));
    else
        report(result);
}

void ConversionRun::reportUnreadable(const QString &dir, const QList<QByteArray> &rawNames, const QString &what)
{
    for (const QByteArray &raw : rawNames) {
        reportFailure(platform::joinPath(dir, QFile::decodeName(raw)),
                      QStringLiteral("Can't use the %1: its name is not valid in the file-name encoding").arg(what),
                      QFile::encodeName(platform::joinPath(dir, QString())) + raw);
    }
}

void ConversionRun::ConvertWorkbook(const QString &path)
{
    FileResult result = convertWorkbook(m_converter, path, [this, path](const QStringList &sheetNames) {
        return withSheets(outputsFor(path), sheetNames, m_settings.savesEverySheet());
    });
    deliver(result);
}

FileResult ConversionRun::convertWorkbook(WorkbookConverter &converter, const QString &path,
                                          const OutputSource &outputs)
{
    QElapsedTimer clock;
    clock.start();
    FileResult result;
    result.path = path;
    result.status = FileResult::Status::Failed;
    // Checked before the office sees the file, where that gives the true
    // reason, and again after the open: the controls may change meanwhile.
    result.error = refusalFor(path, outputs({}));
    if (!result.error.isEmpty()) {
        result.seconds = clock.nsecsElapsed() / 1e9;
        return result;
    }
    WorkbookConverter::WorkbookRef workbook;
    try {
        workbook = converter.open(path);
        const QStringList sheets = workbook->sheetNames();
        const OutputList planned = outputs(sheets);
        result.error = refusalFor(path, planned);
        if (result.error.isEmpty()) {
            int csvOutputs = 0;
            for (const PlannedOutput &output : planned) {
                result.staged.push_back(stageOutput(*workbook, output));
                csvOutputs += output.format->kind == OutputKind::Csv ? 1 : 0;
            }
            if (csvOutputs == 1 && sheets.size() > 1)
                result.notes << QStringLiteral("the CSV holds only the first of %1 sheets").arg(sheets.size());
            result.status = FileResult::Status::Ok;
        }
        workbook->close();
        workbook.reset();
    } catch (const AutomationError &error) {
        result.status = FileResult::Status::Failed;
        result.error = error.message();
    } catch (const std::exception &error) {
        result.status = FileResult::Status::Failed;
        result.error = QString::fromUtf8(error.what());
    }
    // A workbook whose save failed is closed all the same: left open until
    // the run ends, the office would keep the failed output's disk space
    // (and the workbook's memory) from every file after it.
    if (workbook) {
        try {
            workbook->close();
        } catch (...) {}
        workbook.reset();
    }
    if (result.failed()) {
        result.staged.clear();
        result.notes.clear();
    }
    result.seconds = clock.nsecsElapsed() / 1e9;
    return result;
}

ConversionRun::OutputList ConversionRun::outputsFor(const QString &path) const
{
    OutputList outputs;
    const QString base = BaseName(path);
    const QString dir = outputDirectoryNow();
    for (const OutputFormat &format : outputFormats) {
        if (m_settings.isChecked(format.kind))
            outputs.append({&format, platform::joinPath(dir, base + QLatin1String(format.extension))});
    }
    return outputs;
}

ConversionRun::OutputList ConversionRun::withSheets(const OutputList &planned, const QStringList &sheetNames,
                                                    bool everySheet)
{
    if (sheetNames.isEmpty())
        return planned;
    OutputList outputs;
    for (const PlannedOutput &output : planned) {
        if (output.format->kind != OutputKind::Csv) {
            outputs.append(output);
        } else if (!everySheet) {
            // Named: the application's own choice would be the active sheet.
            outputs.append({output.format, output.path, 1});
        } else {
            const QString stem = output.path.chopped(int(qstrlen(output.format->extension)));
            const QStringList parts = sheetFileNameParts(sheetNames);
            for (int i = 0; i < parts.size(); ++i) {
                outputs.append({output.format,
                                stem + QLatin1Char('.') + parts.at(i) + QLatin1String(output.format->extension),
                                i + 1});
            }
        }
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

StagedOutput ConversionRun::stageOutput(WorkbookConverter::Workbook &workbook, const PlannedOutput &planned)
{
    StagedOutput output;
    output.path = planned.path;
    const QString &path = planned.path;
    const QFileInfo target(path);
    output.staging = std::make_shared<platform::OutputStaging>(target.path());
    if (output.staging->error() != 0)
        throw AutomationError(
            QStringLiteral("Can't save %1: %2").arg(path, platform::describeError(output.staging->error())));
    const QString staged = output.staging->stagedPath(target.fileName());
    try {
        if (planned.sheet > 0)
            workbook.saveSheetAs(staged, planned.format->fileFormat, planned.sheet);
        else
            workbook.saveAs(staged, planned.format->fileFormat);
    } catch (const AutomationError &error) {
        // The converter names the path it was given; the user knows the other.
        throw AutomationError(QString(error.message()).replace(staged, path));
    }
    return output;
}

QString ConversionRun::placeOutput(StagedOutput &output, const QString &path, QStringList &placed)
{
    const QFileInfo target(output.path);
    const int error = output.staging->commit(target.fileName(), &placed);
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
    if (!result.failed()) {
        try {
            for (StagedOutput &output : result.staged) {
                const QString owner = placeOutput(output, result.path, result.outputs);
                // One owner of several outputs (every sheet, every kind) is named once.
                if (!owner.isEmpty() && !result.replacedOwners.contains(owner))
                    result.replacedOwners << owner;
            }
            if (!result.replacedOwners.isEmpty())
                result.status = FileResult::Status::Replaced;
        } catch (const AutomationError &error) {
            result.status = FileResult::Status::Failed;
            result.error = error.message();
            result.notes.clear();
        }
    }
    // Whatever was not placed goes with its staging folder.
    result.staged.clear();
    report(result);
}

void ConversionRun::report(const FileResult &result)
{
    if (result.failed()) {
        ++m_counts.failed;
    } else {
        ++m_counts.converted;
        m_counts.replaced += result.replacedOwners.size();
    }
    m_view.showResult(result);
    m_view.showCounts(m_counts);
}

QString ConversionRun::resolvedOutputDirectory() const
{
    const QString dir = m_settings.outputDirectory();
    if (dir.isEmpty() || !QDir::isRelativePath(dir))
        return dir;
    return QDir::cleanPath(platform::joinPath(m_baseDirectory, dir));
}

QString ConversionRun::outputDirectoryNow() const
{
    const QString dir = resolvedOutputDirectory();
    if (!m_settings.keepsTree() || m_relativeDirectory.isEmpty())
        return dir;
    return platform::joinPath(dir, m_relativeDirectory);
}

void ConversionRun::prepareMirroredDirectories(const OutputList &outputs)
{
    for (const PlannedOutput &output : outputs) {
        const QString dir = QFileInfo(output.path).path();
        if (m_preparedOutputDirectories.contains(dir))
            continue;
        if (const int error = platform::makeDirectories(dir))
            throw AutomationError(QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(error)));
        platform::OutputStaging::removeStale(dir);
        m_preparedOutputDirectories.insert(dir);
    }
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
