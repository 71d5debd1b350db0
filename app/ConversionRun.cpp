#include "app/ConversionRun.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>

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

ConversionRun::Outcome ConversionRun::execute(const QString &rootDirectory)
{
    m_startDirectory = platform::currentDirectory();
    try {
        platform::forceDirectories(resolvedOutputDirectory());
    } catch (const AutomationError &error) {
        m_view.showMessage(error.message());
        return Outcome::OutputDirectoryFailed;
    }
    try {
        m_converter.start();
    } catch (const std::exception &) {
        m_converter.release();
        m_view.showMessage(m_view.startFailureText());
        return Outcome::ApplicationUnavailable;
    }

    m_running = true;
    m_stopRequested = false;
    m_walked.clear();
    try {
        m_converter.hide();
    } catch (const std::exception &) {
        // A server that cannot hide itself still converts.
    }
    m_view.clearLog();
    m_view.setStartEnabled(false);
    WalkDirectory(rootDirectory);
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
    if (m_stopRequested || !platform::setCurrentDirectory(dir))
        return;
    // Links may lead back up the tree: a directory already walked is not walked again.
    const QString canonical = QFileInfo(platform::currentDirectory()).canonicalFilePath();
    if (m_walked.contains(canonical))
        return;
    m_walked.insert(canonical);

    ConvertFilesInDirectory(dir);
    const QString here = platform::currentDirectory();
    for (const QString &name : platform::listSubdirectories(here)) {
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
        const QStringList names = platform::listMatchingFiles(dir, mask);
        m_view.setStatusText(platform::joinPath(dir, mask));
        m_view.processEvents();
        for (const QString &name : names) {
            m_view.processEvents();
            if (m_stopRequested)
                return;
            m_view.setStatusText(platform::joinPath(dir, name));
            ConvertWorkbook(platform::joinPath(dir, name));
        }
    }
}

void ConversionRun::ConvertWorkbook(const QString &path)
{
    try {
        WorkbookConverter::WorkbookRef workbook = m_converter.open(path);
        const QString base = BaseName(path);
        for (const OutputFormat &format : outputFormats) {
            if (m_settings.isChecked(format.kind))
                workbook->saveAs(outputFileName(base, format), format.fileFormat);
        }
        workbook->close();
        workbook.reset();
        m_view.appendLog(path + m_view.successText());
    } catch (const AutomationError &error) {
        m_view.appendLog(path + error.message());
    } catch (const std::exception &error) {
        m_view.appendLog(path + QString::fromUtf8(error.what()));
    }
}

QString ConversionRun::resolvedOutputDirectory() const
{
    const QString dir = m_settings.outputDirectory();
    if (dir.isEmpty() || !QDir::isRelativePath(dir))
        return dir;
    return platform::joinPath(m_startDirectory, dir);
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
