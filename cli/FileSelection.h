#pragma once

#include <QString>
#include <QStringList>

QT_FORWARD_DECLARE_CLASS(QIODevice)

// Which files a tabulon-batch run takes: the ones it is given in a list
// instead of a walk, and its share of them when several runs split a tree.
namespace batch {

struct FileList
{
    QStringList paths; // absolute, in list order
    QString error;     // why the list itself could not be read
};

// One path per line (a CR before the line feed is dropped, empty lines are
// skipped); relative paths are taken against base. "-" reads standard input.
FileList readFileList(const QString &listFile, const QString &base);
FileList readFileList(QIODevice &list, const QString &base);

// The shard (1 to count) that a path relative to the source belongs to:
// the 32-bit FNV-1a hash of its UTF-8 bytes, with "/" between directories,
// modulo count, plus 1. The same on every machine and in every run.
int shardOf(const QString &relativePath, int count);

// Tells the files of shard `shard` of `count` from the others by their path
// relative to source (the directory as given, or the one it leads to).
class ShardFilter
{
public:
    ShardFilter(const QString &source, int shard, int count);

    bool contains(const QString &path) const;
    QString relativePath(const QString &path) const;

private:
    QString m_source;    // absolute
    QString m_canonical; // links resolved
    int m_shard;
    int m_count;
};

} // namespace batch
