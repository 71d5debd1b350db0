#include "platform/OutputStaging.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool processExists(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// Inside a folder: the directories its process staged in besides the
// folder's own, each ended by a NUL (names may hold line breaks).
constexpr char kNotedDirectories[] = "staging-directories";

QStringList notedDirectories(const QString &folder)
{
    QFile notes(joinPath(folder, QLatin1String(kNotedDirectories)));
    if (!notes.open(QIODevice::ReadOnly))
        return {};
    QStringList dirs;
    for (const QByteArray &dir : notes.readAll().split('\0')) {
        if (!dir.isEmpty())
            dirs << QFile::decodeName(dir);
    }
    return dirs;
}

void removeStaleFolders(const QString &directory, bool followNotes)
{
    static const QRegularExpression name(QStringLiteral("^\\.tabulon-tmp-(\\d+)-.{6}$"));
    const QDir dir(directory);
    const QStringList folders =
        dir.entryList({OutputStaging::folderPrefix() + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks);
    for (const QString &folder : folders) {
        const QRegularExpressionMatch match = name.match(folder);
        if (!match.hasMatch() || processExists(pid_t(match.captured(1).toLongLong())))
            continue;
        if (followNotes) {
            for (const QString &noted : notedDirectories(dir.filePath(folder)))
                removeStaleFolders(noted, false);
        }
        QDir(dir.filePath(folder)).removeRecursively();
    }
}

int renamePath(const QString &from, const QString &to)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 ? 0 : errno;
}

// Whether anything is at path, a dangling link included.
bool occupied(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isPage(const QString &name)
{
    const QString suffix = QFileInfo(name).suffix();
    return suffix.compare(QLatin1String("htm"), Qt::CaseInsensitive) == 0
           || suffix.compare(QLatin1String("html"), Qt::CaseInsensitive) == 0;
}

// Writes text to path through a file beside it and a rename, so that a
// failed write leaves path as it was.
int replaceContents(const QString &path, const QByteArray &text)
{
    const QByteArray scratch = QFile::encodeName(path + QStringLiteral(".new"));
    const int fd = ::open(scratch.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    int error = 0;
    for (qsizetype done = 0; done < text.size() && error == 0;) {
        const ssize_t n = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += n;
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0)
        error = renamePath(QFile::decodeName(scratch), path);
    if (error != 0)
        ::unlink(scratch.constData());
    return error;
}

} // namespace

QString OutputStaging::folderPrefix()
{
    return QStringLiteral(".tabulon-tmp-");
}

OutputStaging::OutputStaging(const QString &outputDirectory) : m_outputDirectory(outputDirectory)
{
    QByteArray pattern = QFile::encodeName(
        joinPath(outputDirectory, folderPrefix() + QString::number(::getpid()) + QStringLiteral("-XXXXXX")));
    // mkdtemp makes the folder with mode 0700 under a name nobody else has.
    if (::mkdtemp(pattern.data()))
        m_path = QFile::decodeName(pattern);
    else
        m_error = errno;
}

OutputStaging::~OutputStaging()
{
    if (!m_path.isEmpty())
        QDir(m_path).removeRecursively();
}

QString OutputStaging::stagedPath(const QString &name) const
{
    // A short name of its own: writers put longer names beside it (the
    // office's ".~lock.NAME#"), which must fit where a long output name fits.
    const QString suffix = QFileInfo(name).suffix();
    return joinPath(m_path, suffix.isEmpty() || suffix.size() > 16 ? QStringLiteral("output")
                                                                   : QStringLiteral("output.") + suffix);
}

QString OutputStaging::picturesFolderName(const QString &pageName)
{
    return QFileInfo(pageName).completeBaseName() + QStringLiteral("_files");
}

int OutputStaging::commit(const QString &name, QStringList *placed, const QString &writtenFor)
{
    if (isPage(name))
        return commitPage(name, placed, writtenFor);
    // No fsync: the writers report a full disk at write or close time on
    // local file systems, and a sync per output costs about a third of the
    // conversion of a small workbook.
    markAsOutput(stagedPath(name), writtenFor);
    const QString target = joinPath(m_outputDirectory, name);
    if (const int error = renamePath(stagedPath(name), target))
        return error;
    if (placed)
        *placed << target;
    return 0;
}

int OutputStaging::commitPage(const QString &name, QStringList *placed, const QString &writtenFor)
{
    // The office writes a page's pictures beside it as "output_htm_<key>.png"
    // and refers to them by that name.
    const QString staged = stagedPath(name);
    const QFileInfo stagedInfo(staged);
    const QString prefix = stagedInfo.completeBaseName() + QLatin1Char('_') + stagedInfo.suffix() + QLatin1Char('_');
    QStringList pictures = QDir(m_path).entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden, QDir::Name);
    const QString folderName = picturesFolderName(name);
    const QString target = joinPath(m_outputDirectory, name);
    const QString folder = joinPath(m_outputDirectory, folderName);
    const QString newFolder = joinPath(m_path, QStringLiteral("pictures"));
    const QString oldFolder = joinPath(m_path, QStringLiteral("replaced"));

    if (!pictures.isEmpty()) {
        if (::mkdir(QFile::encodeName(newFolder).constData(), 0777) != 0)
            return errno;
        for (QString &picture : pictures) {
            const QString inFolder = picture.mid(prefix.size());
            if (const int error = renamePath(joinPath(m_path, picture), joinPath(newFolder, inFolder)))
                return error;
            picture = inFolder;
        }
        QFile page(staged);
        if (!page.open(QIODevice::ReadOnly))
            return errno != 0 ? errno : EIO;
        QByteArray text = page.readAll();
        page.close();
        text.replace(QByteArray("\"") + QFile::encodeName(prefix),
                     QByteArray("\"") + QUrl::toPercentEncoding(folderName) + QByteArray("/"));
        if (const int error = replaceContents(staged, text))
            return error;
    }

    // A page and its folder are one: the folder of the page replaced goes
    // with it, also when the new page has no pictures.
    const bool replacesFolder = occupied(folder) && (!pictures.isEmpty() || occupied(target));
    if (replacesFolder) {
        if (const int error = renamePath(folder, oldFolder))
            return error;
    }
    const auto restoreOld = [&] {
        if (replacesFolder)
            renamePath(oldFolder, folder);
    };
    if (!pictures.isEmpty()) {
        if (const int error = renamePath(newFolder, folder)) {
            restoreOld();
            return error;
        }
    }
    markAsOutput(staged, writtenFor);
    if (const int error = renamePath(staged, target)) {
        if (!pictures.isEmpty())
            renamePath(folder, newFolder);
        restoreOld();
        return error;
    }
    if (placed) {
        *placed << target;
        for (const QString &picture : std::as_const(pictures))
            *placed << joinPath(folder, picture);
    }
    return 0;
}

int OutputStaging::noteStagingDirectory(const QString &dir)
{
    if (m_path.isEmpty())
        return m_error;
    QFile notes(joinPath(m_path, QLatin1String(kNotedDirectories)));
    if (!notes.open(QIODevice::WriteOnly | QIODevice::Append))
        return EIO;
    const QByteArray entry = QFile::encodeName(QFileInfo(dir).absoluteFilePath()) + '\0';
    // Flushed at once: the note must be on disk before anything is staged there.
    return notes.write(entry) == entry.size() && notes.flush() ? 0 : EIO;
}

void OutputStaging::clear()
{
    if (m_path.isEmpty())
        return;
    QDir dir(m_path);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}

void OutputStaging::removeStale(const QString &outputDirectory)
{
    removeStaleFolders(outputDirectory, true);
}

} // namespace platform
