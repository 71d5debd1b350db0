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
// A file listed again (by the same path, or by another that leads to the
// same file) is taken once, at its first place.
FileList readFileList(const QString &listFile, const QString &base);
FileList readFileList(QIODevice &list, const QString &base);

// `paths` without the repeats: a later path whose clean absolute form or
// whose file (device and inode) came before is left out.
QStringList uniqueFiles(const QStringList &paths);

// The shard (1 to count) that a path relative to the source belongs to:
// the 32-bit FNV-1a hash of its UTF-8 bytes, with "/" between directories,
// modulo count, plus 1. The same on every machine and in every run.
int shardOf(const QString &relativePath, int count);

// Paths of a walk relative to its source: the walk names the top
// directory's files through the source as given and deeper ones through
// the directory it leads to.
class SourcePaths
{
public:
    explicit SourcePaths(const QString &source);

    QString relativePath(const QString &path) const;
    // The directory of `path` below the source ('/'-separated, "" at its
    // top or outside it).
    QString relativeDirectory(const QString &path) const;

private:
    QString m_source;    // absolute
    QString m_canonical; // links resolved
};

// Tells the files of shard `shard` of `count` from the others by their path
// relative to source (the directory as given, or the one it leads to).
class ShardFilter
{
public:
    ShardFilter(const QString &source, int shard, int count);

    bool contains(const QString &path) const;
    QString relativePath(const QString &path) const { return m_source.relativePath(path); }

private:
    SourcePaths m_source;
    int m_shard;
    int m_count;
};

} // namespace batch
