#pragma once

#include <QByteArray>

namespace platform {

// The system default language as a 16-bit language identifier (1033 for
// English (United States), 2052 for Chinese (PRC), ...), taken from the
// process locale: the first of LC_ALL, LC_MESSAGES and LANG that is set.
// Unknown or neutral locales answer 1033.
int systemLanguageId();

// The identifier for one locale name such as "zh_CN.UTF-8" or "ja_JP".
int languageIdForLocale(const QByteArray &localeName);

} // namespace platform
