#include "app/ConversionRun.h"

#include "platform/OutputStaging.h"

#include <QDir>
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
        logFailure(dir + QStringLiteral("Can't enter the directory: %1").arg(platform::describeError(error)));
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
        logFailure(here + QStringLiteral("Can't list the directory: %1").arg(platform::describeError(entries.error)));
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
            const QString path = platform::joinPath(dir, name);
            // What this run wrote is output, not input, wherever it lies.
            if (m_writtenFiles.contains(platform::fileId(path)))
                continue;
            m_view.setStatusText(path);
            ConvertWorkbook(path);
        }
    }
}

void ConversionRun::reportUnreadable(const QString &dir, const QStringList &names, const QString &what)
{
    for (const QString &name : names) {
        logFailure(platform::joinPath(dir, name) +
                   QStringLiteral("Can't use the %1: its name is not valid in the file-name encoding").arg(what));
    }
}

void ConversionRun::ConvertWorkbook(const QString &path)
{
    // Checked before the office sees the file, where that gives the true
    // reason, and again after the open: the controls may change meanwhile.
    QString refusal = refusalFor(path, outputsFor(path));
    if (!refusal.isEmpty()) {
        logFailure(path + refusal);
        return;
    }
    try {
        WorkbookConverter::WorkbookRef workbook = m_converter.open(path);
        const QList<Output> outputs = outputsFor(path);
        refusal = refusalFor(path, outputs);
        if (!refusal.isEmpty()) {
            workbook->close();
            logFailure(path + refusal);
            return;
        }
        QStringList replaced;
        for (const Output &output : outputs) {
            const QString owner = saveOutput(*workbook, path, output);
            if (!owner.isEmpty())
                replaced << owner;
        }
        workbook->close();
        workbook.reset();
        logSuccess(path, replaced);
    } catch (const AutomationError &error) {
        logFailure(path + error.message());
    } catch (const std::exception &error) {
        logFailure(path + QString::fromUtf8(error.what()));
    }
}

QList<ConversionRun::Output> ConversionRun::outputsFor(const QString &path) const
{
    QList<Output> outputs;
    const QString base = BaseName(path);
    for (const OutputFormat &format : outputFormats) {
        if (m_settings.isChecked(format.kind))
            outputs.append({&format, outputFileName(base, format)});
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
    platform::OutputStaging &staging = stagingFor(target.path());
    if (staging.error() != 0)
        throw AutomationError(QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(staging.error())));
    const QString staged = staging.stagedPath(target.fileName());
    try {
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
