#include "cli/FileSelection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace batch {

FileList readFileList(const QString &listFile, const QString &base)
{
    QFile file;
    const bool opened = listFile == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                       : (file.setFileName(listFile), file.open(QIODevice::ReadOnly));
    if (!opened) {
        FileList list;
        list.error = QStringLiteral("cannot read the file list %1: %2").arg(listFile, file.errorString());
        return list;
    }
    return readFileList(file, base);
}

FileList readFileList(QIODevice &list, const QString &base)
{
    FileList result;
    const QDir dir(base);
    for (QByteArray line : list.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        result.paths << QDir::cleanPath(dir.absoluteFilePath(QFile::decodeName(line)));
    }
    return result;
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

ShardFilter::ShardFilter(const QString &source, int shard, int count)
    : m_source(QDir::cleanPath(QDir(source).absolutePath())), m_canonical(QFileInfo(source).canonicalFilePath()),
      m_shard(shard), m_count(count)
{}

QString ShardFilter::relativePath(const QString &path) const
{
    // The walk names the top directory's files through the source as given
    // and deeper ones through the directory it leads to.
    for (const QString &root : {m_source, m_canonical}) {
        if (!root.isEmpty() && path.startsWith(root + QLatin1Char('/')))
            return path.mid(root.size() + 1);
    }
    return QDir(m_source).relativeFilePath(path);
}

bool ShardFilter::contains(const QString &path) const
{
    return shardOf(relativePath(path), m_count) == m_shard;
}

} // namespace batch
