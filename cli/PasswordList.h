#pragma once

#include <QString>
#include <QStringList>

QT_FORWARD_DECLARE_CLASS(QIODevice)

namespace batch {

// The passwords tabulon-batch tries on encrypted workbooks, read from a file
// so that they never stand on a command line.
struct PasswordList
{
    QStringList passwords; // in file order
    QString error;         // why the file gives none; it never quotes a password
};

// One password a line, in UTF-8: the line feed and a CR before it are not
// part of it, every other character is, blanks included; empty lines are
// skipped. A file that cannot be read or holds no password is an error.
PasswordList readPasswordList(const QString &path);
PasswordList readPasswordList(QIODevice &file, const QString &path);

} // namespace batch
