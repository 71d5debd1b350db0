#pragma once

#include <QString>

namespace platform::office {

// The release of an installed office, as its profiles record it.
struct OfficeRelease
{
    QString productVersion; // "7.4"; empty when it cannot be read
    QString buildId;        // "40(Build:2)"; empty when it cannot be read

    // Read from the installation that program (soffice.bin) belongs to.
    static OfficeRelease of(const QString &program);
};

// Makes a profile of ours ready for a converter's start: records what a
// profile records after an interactive start of this release, so that the
// office skips its start-up work (graphics render tests and the "what's new"
// notice for a version it has not run before, the first-start wizard, the
// extension compatibility check, and, on a fresh profile, the extension cache
// clean-up with the restart that follows it). Settings the profile holds
// already are left as they are; what it lacks is appended, and the file is
// replaced whole, so an office never sees it half written. Only for profiles
// of this program: a user's own profile is never handed here.
// Returns false when the profile cannot be written (the office then starts
// the slow way, nothing else changes).
bool settleProfile(const QString &profilePath, const OfficeRelease &release);

} // namespace platform::office
