#include "platform/SystemResources.h"

#include <QByteArray>
#include <QFile>
#include <QThread>

namespace platform {

int processorCount()
{
    return std::max(1, QThread::idealThreadCount());
}

namespace {

// A field of /proc/meminfo in bytes, -1 when it cannot be read.
qint64 memoryInfo(const QByteArray &field)
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return -1;
    // "MemAvailable:    1234567 kB"
    for (const QByteArray &line : meminfo.readAll().split('\n')) {
        if (!line.startsWith(field + ':'))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        bool ok = false;
        const qint64 kib = fields.value(1).toLongLong(&ok);
        return ok ? kib * 1024 : -1;
    }
    return -1;
}

} // namespace

qint64 availableMemory()
{
    return memoryInfo("MemAvailable");
}

qint64 physicalMemory()
{
    return memoryInfo("MemTotal");
}

} // namespace platform
