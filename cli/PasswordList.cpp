#include "cli/PasswordList.h"

#include "cli/LineFile.h"

namespace batch {

namespace {

PasswordList passwordsOf(const QList<QByteArray> &lines, const QString &path)
{
    PasswordList list;
    for (const QByteArray &line : lines)
        list.passwords << QString::fromUtf8(line);
    if (list.passwords.isEmpty())
        list.error = QStringLiteral("the password file %1 holds no password").arg(path);
    return list;
}

} // namespace

PasswordList readPasswordList(const QString &path)
{
    return parseLineFile<PasswordList>(path, QStringLiteral("password file"), StandardInput::Refused,
                                       [&](const QList<QByteArray> &lines) { return passwordsOf(lines, path); });
}

PasswordList readPasswordList(QIODevice &file, const QString &path)
{
    return passwordsOf(nonEmptyLines(file), path);
}

} // namespace batch
