#pragma once

#include <QString>
#include <QStringList>

// File-system calls with the semantics the converter relies on: "hidden" is
// a leading dot, masks match file names without regard to case, paths are
// joined with the platform separator without looking at how the left part ends.
namespace platform {

// left + separator + right, even when left already ends in a separator.
QString joinPath(const QString &left, const QString &right);

// The process's current directory as the system reports it (native separators).
QString currentDirectory();
bool setCurrentDirectory(const QString &path);

// Creates `path` with every missing parent. An empty path throws
// AutomationError("Unable to create directory"); other failures are silent,
// like the creation they stand in for.
void forceDirectories(const QString &path);

bool isHiddenName(const QString &name);

// Shell-style match of a file name against a mask of '*' and '?', without
// regard to case. A mask that is empty or holds a path separator matches nothing.
bool matchesMask(const QString &name, const QString &mask);

// Subdirectories of `dir` that are not hidden, without "." and "..", sorted
// by name. Links to directories are listed like directories.
QStringList listSubdirectories(const QString &dir);

// Entries of `dir` that are not directories and whose name matches `mask`,
// hidden ones included, sorted by name.
QStringList listMatchingFiles(const QString &dir, const QString &mask);

// The default place for converted files: "<home>/html".
QString defaultOutputDirectory();

} // namespace platform
