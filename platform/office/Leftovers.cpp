#include "platform/office/Leftovers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <limits>
#include <unistd.h>

namespace platform::office {

namespace {

const QRegularExpression &leftoverPattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(?:tabulon-office-(\\d+)-[A-Za-z0-9]+|OSL_PIPE_\\d+_tabulon_(\\d+)_\\d+_[A-Za-z0-9]+)$"));
    return pattern;
}

bool removeEntry(const QFileInfo &entry)
{
    if (entry.isDir() && !entry.isSymLink())
        return QDir(entry.absoluteFilePath()).removeRecursively();
    return QFile::remove(entry.absoluteFilePath());
}

int removeStaleIn(const QString &root, const QString &nameFilter)
{
    int removed = 0;
    const QFileInfoList entries =
        QDir(root).entryInfoList({nameFilter}, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const pid_t owner = leftoverOwner(entry.fileName());
        if (owner > 0 && !processExists(owner) && entry.ownerId() == ::getuid() && removeEntry(entry))
            ++removed;
    }
    return removed;
}

} // namespace

QString privateTempTemplate(const QString &tempRoot)
{
    return QStringLiteral("%1/tabulon-office-%2-XXXXXX").arg(tempRoot).arg(::getpid());
}

QString pipeName(int serial, const QString &tag)
{
    return QStringLiteral("tabulon_%1_%2_%3").arg(::getpid()).arg(serial).arg(tag);
}

QString pipeDirectory()
{
    // The UNO runtime's choice: /tmp, or /var/tmp where /tmp is not writable.
    return ::access("/tmp", W_OK) == 0 ? QStringLiteral("/tmp") : QStringLiteral("/var/tmp");
}

QString pipeSocketPath(const QString &name)
{
    return QStringLiteral("%1/OSL_PIPE_%2_%3").arg(pipeDirectory()).arg(::getuid()).arg(name);
}

pid_t leftoverOwner(const QString &fileName)
{
    const QRegularExpressionMatch match = leftoverPattern().match(fileName);
    if (!match.hasMatch())
        return -1;
    bool ok = false;
    const qlonglong pid = (match.hasCaptured(1) ? match.captured(1) : match.captured(2)).toLongLong(&ok);
    return ok && pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? pid_t(pid) : -1;
}

bool processExists(pid_t pid)
{
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

int removeLeftovers(const QString &tempRoot, const QString &pipeRoot)
{
    int removed = removeStaleIn(tempRoot, QStringLiteral("tabulon-office-*"));
    removed += removeStaleIn(pipeRoot, QStringLiteral("OSL_PIPE_%1_tabulon_*").arg(::getuid()));
    return removed;
}

} // namespace platform::office
