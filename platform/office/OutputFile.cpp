#include "platform/office/OutputFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::office {

namespace {

// Large enough that the XML writer's many small writes become few system
// calls, small enough not to matter for memory.
constexpr qsizetype kBufferSize = 256 * 1024;
// What is copied before the copied part of the scratch file is given back,
// so that the copy needs no more room on the disk than this.
constexpr qsizetype kCopyChunk = 1024 * 1024;

// Gives the disk space of a copied stretch back; the file keeps its size.
// File systems that cannot do it simply keep the blocks until the close.
void releaseCopied(int fd, off_t offset, off_t length)
{
    ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, offset, length);
}

} // namespace

OutputFile::OutputFile() = default;

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::openTarget(const QString &path)
{
    m_target = QFile::encodeName(path);
    const QString folder = QFileInfo(path).absolutePath();
    // The name is only used at the rename; a name the file system cannot
    // hold is better refused before the whole document was written.
    struct stat st
    {};
    const bool exists = ::lstat(m_target.constData(), &st) == 0;
    if (!exists && errno == ENAMETOOLONG)
        return fail(ENAMETOOLONG);
    // Replacing a file keeps its permissions; a link is replaced, not
    // followed, so it gives none.
    const int mode = exists && S_ISREG(st.st_mode) ? int(st.st_mode & 07777) : 0666;
    if (!createUnnamed(folder, O_WRONLY, mode) && (m_errno != 0 || !createHidden(folder, mode)))
        return false;
    if (exists && S_ISREG(st.st_mode))
        ::fchmod(m_fd, mode_t(mode));
    return QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool OutputFile::openScratch(const QString &folder)
{
    if (!createUnnamed(folder, O_RDWR, 0600)) {
        if (m_errno != 0 || !createHidden(folder, 0600))
            return false;
        ::unlink(m_hidden.constData());
        m_hidden.clear();
    }
    return QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool OutputFile::createUnnamed(const QString &folder, int flags, int mode)
{
#ifdef O_TMPFILE
    m_fd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_CLOEXEC | flags, mode);
    if (m_fd >= 0) {
        m_unnamed = true;
        return true;
    }
    // Only a file system without unnamed files deserves the second way.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return fail(errno);
#else
    Q_UNUSED(folder);
    Q_UNUSED(flags);
    Q_UNUSED(mode);
#endif
    return false;
}

bool OutputFile::createHidden(const QString &folder, int mode)
{
    const QByteArray base = QFile::encodeName(folder) + "/.tabulon-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = base + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        m_fd = ::open(name.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, mode);
        if (m_fd >= 0) {
            m_hidden = name;
            return true;
        }
        if (errno != EEXIST)
            return fail(errno);
    }
    return fail(EEXIST);
}

qint64 OutputFile::readData(char *, qint64)
{
    return -1;
}

qint64 OutputFile::writeData(const char *data, qint64 size)
{
    if (m_errno != 0 || m_fd < 0)
        return -1;
    if (m_buffer.size() + size > kBufferSize && !flushBuffer())
        return -1;
    if (size >= kBufferSize)
        return writeAll(data, size) ? size : -1;
    m_buffer.append(data, size);
    return size;
}

bool OutputFile::flushBuffer()
{
    if (m_buffer.isEmpty())
        return m_errno == 0;
    const bool ok = writeAll(m_buffer.constData(), m_buffer.size());
    m_buffer.clear();
    return ok;
}

bool OutputFile::writeAll(const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(errno);
        if (n == 0)
            return fail(EIO);
        data += n;
        size -= n;
    }
    return true;
}

bool OutputFile::appendFrom(OutputFile &scratch)
{
    if (!scratch.flushBuffer())
        return fail(scratch.error());
    if (!flushBuffer())
        return false;
    off_t offset = 0;
    if (copyInKernel(scratch, offset))
        return true;
    if (m_errno != 0)
        return false;
    QByteArray chunk(kCopyChunk, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::pread(scratch.m_fd, chunk.data(), size_t(chunk.size()), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(errno);
        if (n == 0)
            return true;
        if (!writeAll(chunk.constData(), n))
            return false;
        releaseCopied(scratch.m_fd, offset, n);
        offset += n;
    }
}

// Lets the kernel move the data (or share it, where the file system can)
// without a round trip through this process. False without an error when
// these two files cannot be copied that way; offset says how far it got.
bool OutputFile::copyInKernel(OutputFile &scratch, off_t &offset)
{
    for (;;) {
        off_t in = offset;
        const ssize_t n = ::copy_file_range(scratch.m_fd, &in, m_fd, nullptr, size_t(kCopyChunk), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF)
                return false;
            return fail(errno);
        }
        if (n == 0)
            return true;
        releaseCopied(scratch.m_fd, offset, n);
        offset += n;
    }
}

bool OutputFile::commit()
{
    if (!flushBuffer())
        return false;
    // Data the kernel could not yet place (a full disk on a network or
    // quota-bound file system) shows up here, not at write().
    if (::fdatasync(m_fd) != 0 && errno != EINVAL)
        return fail(errno);
    if (m_unnamed) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        const QByteArray base = m_target.left(m_target.lastIndexOf('/') + 1) + ".tabulon-";
        int attempt = 0;
        for (;; ++attempt) {
            const QByteArray name = base + QByteArray::number(QRandomGenerator::global()->generate(), 16);
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
                m_hidden = name;
                break;
            }
            if (errno != EEXIST || attempt == 100)
                return fail(errno);
        }
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        return fail(errno);
    if (::rename(m_hidden.constData(), m_target.constData()) != 0)
        return fail(errno);
    m_hidden.clear();
    QIODevice::close();
    return true;
}

bool OutputFile::fail(int errnum)
{
    if (m_errno == 0)
        m_errno = errnum;
    return false;
}

void OutputFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_hidden.isEmpty())
        ::unlink(m_hidden.constData());
    m_hidden.clear();
    m_buffer.clear();
    if (isOpen())
        QIODevice::close();
}

} // namespace platform::office
