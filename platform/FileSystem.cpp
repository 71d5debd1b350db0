#include "platform/FileSystem.h"

#include "platform/Automation.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

QString joinPath(const QString &left, const QString &right)
{
    return left + QDir::separator() + right;
}

QString describeError(int errnum)
{
    switch (errnum) {
    case ENOSPC:
        return QStringLiteral("disk full");
    case EDQUOT:
        return QStringLiteral("disk full (quota exceeded)");
    case EACCES:
        return QStringLiteral("permission denied");
    case EPERM:
        return QStringLiteral("operation not permitted");
    case ENAMETOOLONG:
        return QStringLiteral("file name too long");
    case EROFS:
        return QStringLiteral("read-only file system");
    case ENOENT:
        return QStringLiteral("not found");
    case EIO:
        return QStringLiteral("input/output error");
    default:
        break;
    }
    char buffer[256];
    return QString::fromLocal8Bit(::strerror_r(errnum, buffer, sizeof buffer));
}

QString currentDirectory()
{
    return QDir::toNativeSeparators(QDir::currentPath());
}

int enterProblem(const QString &dir)
{
    if (dir.isEmpty())
        return ENOENT;
    const QByteArray path = QFile::encodeName(dir);
    struct stat info;
    if (::stat(path.constData(), &info) != 0)
        return errno;
    if (!S_ISDIR(info.st_mode))
        return ENOTDIR;
    return ::access(path.constData(), X_OK) == 0 ? 0 : errno;
}

void forceDirectories(const QString &path)
{
    if (path.isEmpty())
        throw AutomationError(QStringLiteral("Unable to create directory"));
    makeDirectories(path);
}

int makeDirectories(const QString &path)
{
    if (path.isEmpty())
        return ENOENT;
    const QByteArray native = QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    // Every prefix ending before a separator, then the whole path.
    for (qsizetype at = native.indexOf('/', 1);; at = native.indexOf('/', at + 1)) {
        const QByteArray prefix = at < 0 ? native : native.left(at);
        struct stat st;
        if (::stat(prefix.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return ENOTDIR;
        } else if (errno != ENOENT) {
            return errno;
        } else if (::mkdir(prefix.constData(), 0777) != 0 && errno != EEXIST) {
            return errno;
        }
        if (at < 0)
            return 0;
    }
}

FileId fileId(const QString &path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {st.st_dev, st.st_ino};
}

size_t qHash(const FileId &id, size_t seed)
{
    return ::qHash(quint64(id.inode), seed) ^ ::qHash(quint64(id.device), seed);
}

QString inputProblem(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return describeError(errno);
    struct stat st;
    QString problem;
    if (::fstat(fd, &st) != 0)
        problem = describeError(errno);
    else if (!S_ISREG(st.st_mode))
        problem = QStringLiteral("not a regular file");
    else if (st.st_size == 0)
        problem = QStringLiteral("empty");
    ::close(fd);
    return problem;
}

bool isHiddenName(const QString &name)
{
    return name.startsWith(QLatin1Char('.'));
}

namespace {

bool matchFrom(const QString &name, int n, const QString &mask, int m)
{
    // Iterative wildcard match with one back-tracking point per '*'.
    int starMask = -1, starName = 0;
    while (n < name.size()) {
        if (m < mask.size()
            && (mask.at(m) == QLatin1Char('?') || mask.at(m).toCaseFolded() == name.at(n).toCaseFolded())) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask.at(m) == QLatin1Char('*')) {
            starMask = m++;
            starName = n;
        } else if (starMask >= 0) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask.at(m) == QLatin1Char('*'))
        ++m;
    return m == mask.size();
}

void sortByName(QStringList &names)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    std::stable_sort(names.begin(), names.end(),
                     [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
}

} // namespace

bool matchesMask(const QString &name, const QString &mask)
{
    if (mask.isEmpty() || mask.contains(QLatin1Char('/')) || mask.contains(QDir::separator()))
        return false;
    // "*.*" also matches names without a dot, as the shell has it.
    if (mask == QLatin1String("*.*"))
        return true;
    return matchFrom(name, 0, mask, 0);
}

int writeProblem(const QString &dir)
{
    const QByteArray native = QFile::encodeName(dir);
    struct statvfs fs;
    if (::statvfs(native.constData(), &fs) == 0) {
        if (fs.f_flag & ST_RDONLY)
            return EROFS;
        if (fs.f_bavail == 0 || (fs.f_files > 0 && fs.f_favail == 0))
            return ENOSPC;
    }
    return ::access(native.constData(), W_OK) == 0 ? 0 : errno;
}

namespace {

constexpr char kOutputMark[] = "user.tabulon.output";

} // namespace

void markAsOutput(const QString &path, const QString &writtenFor)
{
    const QByteArray native = QFile::encodeName(path);
    const QByteArray value = writtenFor.isEmpty() ? QByteArray("1") : writtenFor.toUtf8();
    // A value too long for the file system still leaves the bare mark.
    if (::lsetxattr(native.constData(), kOutputMark, value.constData(), size_t(value.size()), 0) != 0
        && value.size() > 1)
        (void)::lsetxattr(native.constData(), kOutputMark, "1", 1, 0);
}

bool isMarkedOutput(const QString &path)
{
    return ::lgetxattr(QFile::encodeName(path).constData(), kOutputMark, nullptr, 0) >= 0;
}

QString outputWrittenFor(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    const ssize_t size = ::lgetxattr(native.constData(), kOutputMark, nullptr, 0);
    if (size <= 1)
        return QString();
    QByteArray value(size, Qt::Uninitialized);
    const ssize_t read = ::lgetxattr(native.constData(), kOutputMark, value.data(), size_t(value.size()));
    return read == size ? QString::fromUtf8(value) : QString();
}

int spaceProblem(const QString &dir, qint64 bytes)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == ENOSPC || errno == EDQUOT ? errno : 0;
    const int error = ::posix_fallocate(fd, 0, off_t(bytes));
    ::close(fd);
    return error == ENOSPC || error == EDQUOT ? error : 0;
}

namespace {

bool isDirectoryEntry(int dirFd, const struct dirent *entry)
{
    if (entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    return ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

DirectoryEntries readDirectory(const QString &dir)
{
    DirectoryEntries entries;
    DIR *stream = ::opendir(QFile::encodeName(dir).constData());
    if (!stream) {
        entries.error = errno;
        return entries;
    }
    for (;;) {
        errno = 0;
        const struct dirent *entry = ::readdir(stream);
        if (!entry) {
            entries.error = errno;
            break;
        }
        const QByteArray raw(entry->d_name);
        if (raw == "." || raw == "..")
            continue;
        const QString name = QFile::decodeName(raw);
        const bool representable = QFile::encodeName(name) == raw;
        if (isDirectoryEntry(::dirfd(stream), entry)) {
            if (isHiddenName(name))
                continue;
            if (representable)
                entries.directories.append(name);
            else
                entries.unnamedDirectoryBytes.append(raw);
        } else if (representable) {
            entries.files.append(name);
        } else {
            entries.unnamedFileBytes.append(raw);
        }
    }
    ::closedir(stream);
    for (QStringList *list : {&entries.files, &entries.directories})
        sortByName(*list);
    std::sort(entries.unnamedFileBytes.begin(), entries.unnamedFileBytes.end());
    std::sort(entries.unnamedDirectoryBytes.begin(), entries.unnamedDirectoryBytes.end());
    for (const QByteArray &raw : std::as_const(entries.unnamedFileBytes))
        entries.unnamedFiles.append(QFile::decodeName(raw));
    for (const QByteArray &raw : std::as_const(entries.unnamedDirectoryBytes))
        entries.unnamedDirectories.append(QFile::decodeName(raw));
    return entries;
}

QStringList listSubdirectories(const QString &dir)
{
    return readDirectory(dir).directories;
}

QStringList listMatchingFiles(const QString &dir, const QString &mask)
{
    QStringList names;
    for (const QString &name : readDirectory(dir).files) {
        if (matchesMask(name, mask))
            names.append(name);
    }
    return names;
}

QString defaultOutputDirectory()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\html");
#else
    return QDir::toNativeSeparators(QDir::home().filePath(QStringLiteral("html")));
#endif
}

} // namespace platform
