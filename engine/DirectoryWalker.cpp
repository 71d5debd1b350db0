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
    const platform::FileId id = platform::fileId(dir);
    if (id.isValid()) {
        if (m_walked.contains(id) || (!relative.isEmpty() && m_visitor.isLeftOut(QFileInfo(dir).canonicalFilePath())))
            return;
        m_walked.insert(id);
    }

    const platform::DirectoryEntries entries = platform::readDirectory(dir);
    ConvertFilesInDirectory(dir, relative, entries);
    if (entries.error != 0)
        m_visitor.foundProblem(
            dir, QStringLiteral("Can't list the directory: %1").arg(platform::describeError(entries.error)));
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

void DirectoryWalker::ConvertFilesInDirectory(const QString &dir, const QString &relative,
                                              const platform::DirectoryEntries &entries)
{
    const QStringList masks = SplitString(m_visitor.masks().trimmed(), QStringLiteral(","));
    const QList<QList<qsizetype>> files = filesByMask(entries.files, masks);
    QList<bool> taken(entries.files.size(), false);
    for (const QList<qsizetype> &ofMask : files) {
        for (const qsizetype i : ofMask)
            taken[i] = true;
    }
    // All of them, outputs left out, before the first is converted.
    QStringList inputs;
    for (qsizetype i = 0; i < entries.files.size(); ++i) {
        if (!taken.at(i))
            continue;
        const QString path = platform::joinPath(dir, entries.files.at(i));
        if (m_visitor.isOutput(path))
            taken[i] = false;
        else
            inputs << path;
    }
    m_visitor.foundInputs(inputs);
    const QList<QList<qsizetype>> unnamed = filesByMask(entries.unnamedFiles, masks);
    for (qsizetype m = 0; m < masks.size(); ++m) {
        m_visitor.showStatus(platform::joinPath(dir, masks.at(m)));
        m_visitor.yield();
        QList<QByteArray> raw;
        for (const qsizetype i : unnamed.at(m))
            raw << entries.unnamedFileBytes.at(i);
        reportUnnamed(dir, raw, QStringLiteral("file"));
        for (const qsizetype i : files.at(m)) {
            if (!taken.at(i))
                continue;
            m_visitor.yield();
            if (m_visitor.stopRequested())
                return;
            m_visitor.foundFile(platform::joinPath(dir, entries.files.at(i)), relative);
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

QList<QList<qsizetype>> DirectoryWalker::filesByMask(const QStringList &names, const QStringList &masks)
{
    QList<QList<qsizetype>> taken;
    QList<bool> seen(names.size(), false);
    for (const QString &mask : masks) {
        const QString pattern = mask.trimmed();
        QList<qsizetype> mine;
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (!seen.at(i) && platform::matchesMask(names.at(i), pattern)) {
                seen[i] = true;
                mine << i;
            }
        }
        taken << mine;
    }
    return taken;
}
