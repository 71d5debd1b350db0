#pragma once

#include <QHash>
#include <QString>

// The user-interface texts, addressed as string base + offset.
namespace Strings {

enum Offset {
    Caption = 1,
    StartButton = 3,
    SavePathLabel = 4,
    Success = 5,
    StartFailure = 6,
    BannerAddress = 13,
};

// The string base for a system default language identifier: only the exact
// identifiers of Chinese (PRC), Chinese (Taiwan) and Japanese choose their
// blocks; everything else is English.
int stringBaseFor(int languageId);

// The string base for the system's default language.
int GetStringBase();

// The text with that identifier; empty when there is none.
QString load(int id);

} // namespace Strings
