#include "engine/DirectoryWalker.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>

void DirectoryWalker::walk(const QString &root)
{
    m_walked.clear();
    WalkDirectory(root, QString());
}

void DirectoryWalker::WalkDirectory(const QString &dir, const QString &relative)
{
    if (m_visitor.stopRequested())
        return;
    if (const int error = platform::enterProblem(dir)) {
        m_visitor.foundProblem(dir,
                               QStringLiteral("Can't enter the directory: %1").arg(platform::describeError(error)));
        return;
    }
    // Links may lead back up the tree: a directory already walked is not walked again.
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    if (m_walked.contains(canonical))
        return;
    m_walked.insert(canonical);

    const platform::DirectoryEntries entries = platform::readDirectory(dir);
    ConvertFilesInDirectory(dir, relative, entries);
    if (entries.error != 0)
        m_visitor.foundProblem(dir,
                               QStringLiteral("Can't list the directory: %1").arg(platform::describeError(entries.error)));
    reportUnnamed(dir, entries.unnamedDirectoryBytes, QStringLiteral("directory"));
    for (const QString &name : entries.directories) {
        if (m_visitor.stopRequested())
            break;
        // Named by the path walked, not by where a link leads.
        const QString sub = platform::joinPath(dir, name);
        m_visitor.showStatus(sub);
        WalkDirectory(sub, relative.isEmpty() ? name : relative + QLatin1Char('/') + name);
        m_visitor.yield();
    }
}

void DirectoryWalker::ConvertFilesInDirectory(const QString &dir, const QString &relative, const platform::DirectoryEntries &entries)
{
    const QStringList masks = SplitString(m_visitor.masks().trimmed(), QStringLiteral(","));
    for (const QString &mask : masks) {
        // Blanks around a mask are not part of it ("*.xls, *.xlsx").
        const QString pattern = mask.trimmed();
        m_visitor.showStatus(platform::joinPath(dir, mask));
        m_visitor.yield();
        QList<QByteArray> unnamed;
        for (qsizetype i = 0; i < entries.unnamedFiles.size(); ++i) {
            if (platform::matchesMask(entries.unnamedFiles.at(i), pattern))
                unnamed << entries.unnamedFileBytes.at(i);
        }
        reportUnnamed(dir, unnamed, QStringLiteral("file"));
        for (const QString &name : entries.files) {
            if (!platform::matchesMask(name, pattern))
                continue;
            m_visitor.yield();
            if (m_visitor.stopRequested())
                return;
            m_visitor.foundFile(platform::joinPath(dir, name), relative);
        }
    }
}

void DirectoryWalker::reportUnnamed(const QString &dir, const QList<QByteArray> &rawNames, const QString &what)
{
    for (const QByteArray &raw : rawNames) {
        m_visitor.foundProblem(
            platform::joinPath(dir, QFile::decodeName(raw)),
            QStringLiteral("Can't use the %1: its name is not valid in the file-name encoding").arg(what),
            QFile::encodeName(platform::joinPath(dir, QString())) + raw);
    }
}

QStringList DirectoryWalker::SplitString(const QString &text, const QString &separator)
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
