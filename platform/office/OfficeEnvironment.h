#pragma once

#include <QByteArray>

#include <vector>

namespace platform::office {

// The environment an office child starts with: this program's own, with a
// UTF-8 character type and the office's private temporary folder. Only the
// child's copy changes, so the program keeps the user's language.
//
// The office turns file URLs into system paths through its process locale:
// with a character type that is not UTF-8 (LANG unset, "C", "POSIX") or a
// locale that is not installed, every non-ASCII path fails to load.
std::vector<QByteArray> officeEnvironment(const QByteArray &tempDir);

// The variable to set, and its value, so that the character type becomes
// UTF-8; an empty variable when it is already (or no UTF-8 locale exists).
// LC_ALL is replaced only when it is the one in force, otherwise LC_CTYPE
// is set and the other categories stay as they are. The user's language is
// kept when its UTF-8 form is installed, else C.UTF-8 is taken.
struct LocaleFix
{
    QByteArray variable;
    QByteArray value;
};
LocaleFix utf8LocaleFix(const QByteArray &lcAll, const QByteArray &lcCtype, const QByteArray &lang);

// Whether name is an installed locale whose character set is UTF-8.
bool isInstalledUtf8Locale(const QByteArray &name);

} // namespace platform::office
