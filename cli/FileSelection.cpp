#include "cli/FileSelection.h"

#include "cli/LineFile.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace batch {

namespace {

FileList filesOf(const QList<QByteArray> &lines, const QString &base)
{
    FileList result;
    const QDir dir(base);
    for (const QByteArray &line : lines)
        result.paths << QDir::cleanPath(dir.absoluteFilePath(QFile::decodeName(line)));
    result.paths = uniqueFiles(result.paths);
    return result;
}

} // namespace

FileList readFileList(const QString &listFile, const QString &base)
{
    return parseLineFile<FileList>(listFile, QStringLiteral("file list"), StandardInput::ForDash,
                                   [&](const QList<QByteArray> &lines) { return filesOf(lines, base); });
}

FileList readFileList(QIODevice &list, const QString &base)
{
    return filesOf(nonEmptyLines(list), base);
}

QStringList uniqueFiles(const QStringList &paths)
{
    QStringList unique;
    QSet<QString> names;
    QSet<platform::FileId> files;
    for (const QString &path : paths) {
        const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        const platform::FileId id = platform::fileId(clean);
        if (names.contains(clean) || (id.isValid() && files.contains(id)))
            continue;
        names.insert(clean);
        if (id.isValid())
            files.insert(id);
        unique << path;
    }
    return unique;
}

int shardOf(const QString &relativePath, int count)
{
    quint32 hash = 2166136261u;
    for (const char byte : relativePath.toUtf8()) {
        hash ^= quint8(byte);
        hash *= 16777619u;
    }
    return int(hash % quint32(count)) + 1;
}

SourcePaths::SourcePaths(const QString &source)
    : m_source(QDir::cleanPath(QDir(source).absolutePath())), m_canonical(QFileInfo(source).canonicalFilePath())
{}

QString SourcePaths::relativePath(const QString &path) const
{
    // The walk names the top directory's files through the source as given
    // and deeper ones through the directory it leads to.
    for (const QString &root : {m_source, m_canonical}) {
        if (!root.isEmpty() && path.startsWith(root + QLatin1Char('/')))
            return path.mid(root.size() + 1);
    }
    return QDir(m_source).relativeFilePath(path);
}

QString SourcePaths::relativeDirectory(const QString &path) const
{
    const QString relative = relativePath(path);
    if (relative.startsWith(QLatin1String("../")) || QDir::isAbsolutePath(relative))
        return {};
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : relative.left(slash);
}

ShardFilter::ShardFilter(const QString &source, int shard, int count) : m_source(source), m_shard(shard), m_count(count)
{}

bool ShardFilter::contains(const QString &path) const
{
    return shardOf(m_source.relativePath(path), m_count) == m_shard;
}

} // namespace batch
