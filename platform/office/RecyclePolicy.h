#pragma once

#include <QString>
#include <QtGlobal>

namespace platform::office {

// When an office that converts file after file is replaced by a fresh one:
// after a number of files, and, checked between files, once its resident
// memory passes a limit. Offices that load large documents for hours grow;
// a fresh one costs a start (a fraction of a second).
struct RecyclePolicy
{
    int afterFiles = 0;    // 0: never by count
    qint64 aboveBytes = 0; // 0: never by memory

    // Why an office that has opened `files` files and holds `residentBytes`
    // (-1: unknown) is to be replaced now; empty while it may go on, and
    // always for an office that has opened nothing yet.
    QString reasonToReplace(int files, qint64 residentBytes) const;
    bool watchesMemory() const { return aboveBytes > 0; }
};

// Files an office opens before it is replaced, unless told otherwise.
inline constexpr int kDefaultRecycleAfterFiles = 2000;

// The resident memory an office may reach before it is replaced, unless told
// otherwise: an equal share, for `offices` offices at once, of a quarter of
// the machine's physical memory (physicalBytes), and never below 1 GiB;
// 0 (no limit) when the machine's memory is unknown.
qint64 defaultOfficeMemoryLimit(qint64 physicalBytes, int offices);

} // namespace platform::office
