#include "common/ScratchMount.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace testsupport {

ScratchMount::ScratchMount(qint64 bytes, bool readOnly)
{
    if (!m_dir.isValid()) {
        m_why = QStringLiteral("cannot make a folder to mount a tmpfs on: %1").arg(m_dir.errorString());
        return;
    }
    if (::geteuid() != 0) {
        m_why = QStringLiteral("mounting a tmpfs needs root");
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(bytes);
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", readOnly ? MS_RDONLY : 0,
                options.constData())
        == 0)
        m_mounted = true;
    else
        m_why = QStringLiteral("cannot mount a tmpfs (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
}

ScratchMount::~ScratchMount()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

} // namespace testsupport
