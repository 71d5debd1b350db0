#include "platform/OutputStaging.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
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

int OutputStaging::commit(const QString &name)
{
    // No fsync: the writers report a full disk at write or close time on
    // local file systems, and a sync per output costs about a third of the
    // conversion of a small workbook.
    const QByteArray staged = QFile::encodeName(stagedPath(name));
    const QByteArray target = QFile::encodeName(joinPath(m_outputDirectory, name));
    markAsOutput(QFile::decodeName(staged));
    if (::rename(staged.constData(), target.constData()) != 0)
        return errno;
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
