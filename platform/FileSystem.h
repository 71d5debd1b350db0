#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// File-system calls with the semantics the converter relies on: "hidden" is
// a leading dot, masks match file names without regard to case, paths are
// joined with the platform separator without looking at how the left part ends.
namespace platform {

// left + separator + right, even when left already ends in a separator.
QString joinPath(const QString &left, const QString &right);

// Plain words for an errno value, the same everywhere a file operation
// failed: "disk full", "permission denied", "file name too long", ...;
// strerror's text for the rest.
QString describeError(int errnum);

// The process's current directory as the system reports it (native separators).
QString currentDirectory();
// What keeps `dir` from being entered (made current, or walked into): the
// errno value chdir would fail with (ENOENT, ENOTDIR, EACCES, ...); 0 when
// nothing does. Changes nothing.
int enterProblem(const QString &dir);

// Creates `path` with every missing parent. An empty path throws
// AutomationError("Unable to create directory"); other failures are silent,
// like the creation they stand in for.
void forceDirectories(const QString &path);
// The same, telling how it went: 0, or the errno value of the step that failed
// (ENOTDIR when something that is not a directory is in the way).
int makeDirectories(const QString &path);

// Identity of a file on disk, links followed: device and inode.
struct FileId
{
    dev_t device = 0;
    ino_t inode = 0;
    bool isValid() const { return device != 0 || inode != 0; }
    bool operator==(const FileId &other) const { return device == other.device && inode == other.inode; }
};
FileId fileId(const QString &path);
size_t qHash(const FileId &id, size_t seed = 0);

// Why `path` cannot be read as an input before anyone tries: "not found",
// "permission denied", "not a regular file", "empty", "file name too long",
// ...; empty when it can be opened for reading and holds data.
QString inputProblem(const QString &path);

bool isHiddenName(const QString &name);

// Shell-style match of a file name against a mask of '*' and '?', without
// regard to case. A mask that is empty or holds a path separator matches nothing.
bool matchesMask(const QString &name, const QString &mask);

// What keeps files from being written into the directory `dir`: EROFS,
// ENOSPC (no block or no inode left), or the errno of a failed write-access
// check; 0 when nothing is seen.
int writeProblem(const QString &dir);

// Outputs carry a mark (an extended attribute that a copy does not take
// along), so that a later run can tell them from the files it is to convert.
// Marking is best effort: a file system without user attributes keeps none.
// The mark names the workbook the output was written for, when given and
// when it fits; outputWrittenFor() reads it back (empty when there is none).
void markAsOutput(const QString &path, const QString &writtenFor = QString());
bool isMarkedOutput(const QString &path);
QString outputWrittenFor(const QString &path);

// Whether `bytes` more would fit on the file system of the directory `dir`,
// tried by reserving them in an unnamed file there: 0, or ENOSPC / EDQUOT
// when they would not (other failures of the trial count as 0).
int spaceProblem(const QString &dir, qint64 bytes);

// One reading of a directory. Names whose bytes cannot be represented in the
// file-name encoding cannot be opened by name again; they are kept apart.
struct DirectoryEntries
{
    QStringList files;        // not directories, hidden ones included
    QStringList directories;  // not hidden, links to directories included
    QStringList unnamedFiles; // names that cannot be represented (shown lossily)
    QStringList unnamedDirectories;
    // Their bytes on disk, in the same order (the unnamed lists are sorted by these).
    QList<QByteArray> unnamedFileBytes;
    QList<QByteArray> unnamedDirectoryBytes;
    int error = 0; // errno when the directory could not be read
};
// Sorted by name within each list.
DirectoryEntries readDirectory(const QString &dir);

// Subdirectories of `dir` that are not hidden, without "." and "..", sorted
// by name. Links to directories are listed like directories.
QStringList listSubdirectories(const QString &dir);

// Entries of `dir` that are not directories and whose name matches `mask`,
// hidden ones included, sorted by name.
QStringList listMatchingFiles(const QString &dir, const QString &mask);

// The default place for converted files: "<home>/html".
QString defaultOutputDirectory();

} // namespace platform
