#include "platform/office/ProfileSlot.h"

#include "platform/office/OfficeProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <QXmlStreamReader>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform::office {

namespace {

// More offices than this at once would not fit in any machine's memory.
constexpr int kMaxSlots = 64;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Removes whatever is at path, a file or a whole folder.
bool removeEntry(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

// Makes the slot's folder, replacing a file that took its name.
void makeSlotDirectory(const QString &directory)
{
    const QFileInfo info(directory);
    if ((info.exists() || info.isSymLink()) && (!info.isDir() || info.isSymLink()))
        removeEntry(directory);
    if (!QDir().mkpath(directory))
        throw OfficeFailure(
            QStringLiteral("cannot create the office profile folder %1").arg(QDir::toNativeSeparators(directory)));
    QFile::setPermissions(directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

int openLockFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 && (errno == EISDIR || errno == ELOOP)) {
        removeEntry(path);
        fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    }
    if (fd < 0)
        throw OfficeFailure(QStringLiteral("cannot use the office profile lock %1: %2")
                                .arg(QDir::toNativeSeparators(path), systemError()));
    return fd;
}

} // namespace

bool isProfileDamaged(const QString &profilePath)
{
    const QFileInfo profile(profilePath);
    if (!profile.exists() && !profile.isSymLink())
        return false;
    if (!profile.isDir() || profile.isSymLink())
        return true;
    const QFileInfo user(profilePath + QStringLiteral("/user"));
    if (!user.exists())
        return false;
    if (!user.isDir())
        return true;
    QFile settings(user.filePath() + QStringLiteral("/registrymodifications.xcu"));
    if (!settings.exists())
        return false;
    if (!QFileInfo(settings).isFile() || !settings.open(QIODevice::ReadOnly))
        return true;
    // A store cut short (a killed office, a full disk) leaves a truncated or
    // empty file; the office then starts slowly and forgets its settings.
    QXmlStreamReader xml(&settings);
    while (!xml.atEnd())
        xml.readNext();
    return xml.hasError();
}

ProfileSlot::ProfileSlot(int number, QString directory, int lockFd)
    : m_number(number), m_directory(std::move(directory)), m_lockFd(lockFd)
{
    prepareProfile();
}

ProfileSlot::~ProfileSlot()
{
    ::close(m_lockFd); // also drops the lock
}

QString ProfileSlot::defaultRoot()
{
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        cache = QDir::homePath() + QStringLiteral("/.cache");
    return cache + QStringLiteral("/tabulon/profiles");
}

std::unique_ptr<ProfileSlot> ProfileSlot::take(int number, const QString &root)
{
    const QString directory = QStringLiteral("%1/%2").arg(root).arg(number);
    makeSlotDirectory(directory);
    const int fd = openLockFile(directory + QStringLiteral("/lock"));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return nullptr;
        errno = error;
        throw OfficeFailure(QStringLiteral("cannot lock the office profile %1: %2")
                                .arg(QDir::toNativeSeparators(directory), systemError()));
    }
    return std::unique_ptr<ProfileSlot>(new ProfileSlot(number, directory, fd));
}

std::unique_ptr<ProfileSlot> ProfileSlot::takeFree(const QString &root)
{
    for (int number = 0; number < kMaxSlots; ++number) {
        if (auto slot = take(number, root))
            return slot;
    }
    throw OfficeFailure(
        QStringLiteral("all %1 office profiles in %2 are in use").arg(kMaxSlots).arg(QDir::toNativeSeparators(root)));
}

QString ProfileSlot::profilePath() const
{
    return m_directory + QStringLiteral("/profile");
}

QByteArray ProfileSlot::installationUrl() const
{
    return QUrl::fromLocalFile(profilePath()).toEncoded();
}

void ProfileSlot::prepareProfile()
{
    if (isProfileDamaged(profilePath()))
        removeEntry(profilePath());
    m_usedBefore = QFileInfo(profilePath() + QStringLiteral("/user/registrymodifications.xcu")).isFile();
}

bool ProfileSlot::renew()
{
    if (m_renewed)
        return false;
    m_renewed = true;
    m_usedBefore = false;
    return removeEntry(profilePath());
}

} // namespace platform::office
