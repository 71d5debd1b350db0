#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace testsupport {

bool waitFor(const std::function<bool()> &pred, int ms)
{
    return QTest::qWaitFor(pred, ms);
}

QString writeFile(const QString &dir, const QString &relative, const QByteArray &data)
{
    const QString path = QDir(dir).filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(data);
    return path;
}

unsigned rgbAt(const QImage &image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFFu;
}

ScopedEnvironment::ScopedEnvironment(const char *name, const QByteArray &value)
    : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
{
    qputenv(name, value);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_had)
        qputenv(m_name.constData(), m_old);
    else
        qunsetenv(m_name.constData());
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const QString &path) : m_old(QDir::currentPath())
{
    QDir::setCurrent(path);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory()
{
    QDir::setCurrent(m_old);
}

} // namespace testsupport
