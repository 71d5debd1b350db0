#include "app/ConversionRun.h"

#include "app/SheetFileNames.h"
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
    if (m_running && !m_converter.isStarted())
        m_converter.cancelStart();
}

ConversionRun::Outcome ConversionRun::execute(const QString &rootDirectory)
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
    try {
        m_converter.start();
    } catch (const std::exception &) {
        m_converter.release();
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
    try {
        m_converter.hide();
    } catch (const std::exception &) {
        // A server that cannot hide itself still converts.
    }
    m_view.clearLog();
    m_view.showCounts(m_counts);
    if (!m_stopRequested)
        WalkDirectory(rootDirectory);
    m_staging.reset();
    platform::setCurrentDirectory(startDirectory);
    m_view.setStartEnabled(true);
    try {
        m_converter.quit();
    } catch (const std::exception &) {
        // The run is over either way; the reference is dropped below.
    }
    m_converter.release();
    m_running = false;
    return m_stopRequested ? Outcome::Stopped : Outcome::Completed;
}

void ConversionRun::WalkDirectory(const QString &dir)
{
    if (m_stopRequested)
        return;
    int error = 0;
    if (!platform::setCurrentDirectory(dir, &error)) {
        logFailure(dir, QStringLiteral("Can't enter the directory: %1").arg(platform::describeError(error)));
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
        logFailure(here, QStringLiteral("Can't list the directory: %1").arg(platform::describeError(entries.error)));
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
            const QString path = platform::joinPath(dir, name);
            // What this run wrote is output, not input, wherever it lies.
            if (m_writtenFiles.contains(platform::fileId(path)))
                continue;
            m_view.setStatusText(path);
            ConvertWorkbook(path);
        }
    }
}

void ConversionRun::reportUnreadable(const QString &dir, const QList<QByteArray> &rawNames, const QString &what)
{
    for (const QByteArray &raw : rawNames) {
        logFailure(platform::joinPath(dir, QFile::decodeName(raw)),
                   QStringLiteral("Can't use the %1: its name is not valid in the file-name encoding").arg(what),
                   QFile::encodeName(platform::joinPath(dir, QString())) + raw);
    }
}

void ConversionRun::ConvertWorkbook(const QString &path)
{
    QElapsedTimer clock;
    clock.start();
    FileResult result;
    result.path = path;
    const auto fail = [&](const QString &error) {
        result.status = FileResult::Status::Failed;
        result.error = error;
        result.seconds = clock.elapsed() / 1000.0;
        report(result);
    };
    // Checked before the office sees the file, where that gives the true
    // reason, and again after the open: the controls may change meanwhile.
    QString refusal = refusalFor(path, outputsFor(path, {}));
    if (!refusal.isEmpty()) {
        fail(refusal);
        return;
    }
    try {
        WorkbookConverter::WorkbookRef workbook = m_converter.open(path);
        const QStringList sheets = workbook->sheetNames();
        const QList<Output> outputs = outputsFor(path, sheets);
        refusal = refusalFor(path, outputs);
        if (!refusal.isEmpty()) {
            workbook->close();
            fail(refusal);
            return;
        }
        bool firstSheetOnly = false;
        for (const Output &output : outputs) {
            const QString owner = saveOutput(*workbook, path, output);
            result.outputs << output.path;
            if (!owner.isEmpty())
                result.replacedOwners << owner;
            firstSheetOnly = firstSheetOnly || (output.format->kind == OutputKind::Csv && !m_settings.savesEverySheet());
        }
        workbook->close();
        workbook.reset();
        if (firstSheetOnly && sheets.size() > 1)
            result.notes << QStringLiteral("the CSV holds only the first of %1 sheets").arg(sheets.size());
        if (!result.replacedOwners.isEmpty())
            result.status = FileResult::Status::Replaced;
        result.seconds = clock.elapsed() / 1000.0;
        report(result);
    } catch (const AutomationError &error) {
        fail(error.message());
    } catch (const std::exception &error) {
        fail(QString::fromUtf8(error.what()));
    }
}

QList<ConversionRun::Output> ConversionRun::outputsFor(const QString &path, const QStringList &sheetNames) const
{
    QList<Output> outputs;
    const QString base = BaseName(path);
    const QString dir = outputDirectoryNow();
    for (const OutputFormat &format : outputFormats) {
        if (!m_settings.isChecked(format.kind))
            continue;
        const QString extension = QLatin1String(format.extension);
        if (format.kind != OutputKind::Csv || sheetNames.isEmpty()) {
            outputs.append({&format, platform::joinPath(dir, base + extension)});
        } else if (!m_settings.savesEverySheet()) {
            // Named: the application's own choice would be the active sheet.
            outputs.append({&format, platform::joinPath(dir, base + extension), 1});
        } else {
            const QStringList parts = sheetFileNameParts(sheetNames);
            for (int i = 0; i < parts.size(); ++i)
                outputs.append({&format, platform::joinPath(dir, base + QLatin1Char('.') + parts.at(i) + extension), i + 1});
        }
    }
    return outputs;
}

QString ConversionRun::refusalFor(const QString &path, const QList<Output> &outputs) const
{
    const QString problem = platform::inputProblem(path);
    if (!problem.isEmpty())
        return QStringLiteral("Can't open the workbook: %1").arg(problem);
    const platform::FileId input = platform::fileId(path);
    for (const Output &output : outputs) {
        if (platform::fileId(output.path) == input)
            return QStringLiteral("Not converted: the output %1 is this workbook itself, which is left as it is")
                .arg(output.path);
        if (QFile::encodeName(QFileInfo(output.path).fileName()).size() > NAME_MAX)
            return QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(ENAMETOOLONG));
    }
    return {};
}

QString ConversionRun::saveOutput(WorkbookConverter::Workbook &workbook, const QString &path, const Output &output)
{
    const QFileInfo target(output.path);
    if (m_settings.keepsTree())
        prepareMirroredDirectory(target.path(), output.path);
    platform::OutputStaging &staging = stagingFor(target.path());
    if (staging.error() != 0)
        throw AutomationError(QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(staging.error())));
    const QString staged = staging.stagedPath(target.fileName());
    try {
        if (output.sheet > 0)
            workbook.saveSheetAs(staged, output.format->fileFormat, output.sheet);
        else
            workbook.saveAs(staged, output.format->fileFormat);
    } catch (const AutomationError &error) {
        staging.clear();
        // The converter names the path it was given; the user knows the other.
        throw AutomationError(QString(error.message()).replace(staged, output.path));
    }
    if (const int error = staging.commit(target.fileName())) {
        staging.clear();
        throw AutomationError(QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(error)));
    }
    staging.clear();
    m_writtenFiles.insert(platform::fileId(output.path));
    const QString key = QDir::cleanPath(target.absoluteFilePath());
    const QString owner = m_written.value(key);
    m_written.insert(key, path);
    // A workbook that matches two masks takes its own name again: no news.
    return owner == path ? QString() : owner;
}

platform::OutputStaging &ConversionRun::stagingFor(const QString &outputDirectory)
{
    if (!m_staging || m_staging->outputDirectory() != outputDirectory || m_staging->error() != 0)
        m_staging = std::make_unique<platform::OutputStaging>(outputDirectory);
    return *m_staging;
}

void ConversionRun::prepareMirroredDirectory(const QString &dir, const QString &outputPath)
{
    if (m_preparedOutputDirectories.contains(dir))
        return;
    if (const int error = platform::makeDirectories(dir))
        throw AutomationError(QStringLiteral("Can't save %1: %2").arg(outputPath, platform::describeError(error)));
    platform::OutputStaging::removeStale(dir);
    m_preparedOutputDirectories.insert(dir);
}

void ConversionRun::logFailure(const QString &path, const QString &error, const QByteArray &rawPath)
{
    FileResult result;
    result.path = path;
    result.rawPath = rawPath;
    result.status = FileResult::Status::Failed;
    result.error = error;
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
