#include "cli/PasswordList.h"

#include <QFile>

namespace batch {

PasswordList readPasswordList(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        PasswordList list;
        list.error = QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
        return list;
    }
    return readPasswordList(file, path);
}

PasswordList readPasswordList(QIODevice &file, const QString &path)
{
    PasswordList list;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            list.passwords << QString::fromUtf8(line);
    }
    if (list.passwords.isEmpty())
        list.error = QStringLiteral("the password file %1 holds no password").arg(path);
    return list;
}

} // namespace batch
