#include "platform/office/RecyclePolicy.h"

#include <algorithm>

namespace platform::office {

namespace {
constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 kLowestDefaultLimit = 1024 * kMiB;
} // namespace

QString RecyclePolicy::reasonToReplace(int files, qint64 residentBytes) const
{
    // A fresh office is as small as an office gets: replacing it gains nothing.
    if (files == 0)
        return {};
    if (afterFiles > 0 && files >= afterFiles)
        return QStringLiteral("after %1 files").arg(files);
    if (aboveBytes > 0 && residentBytes > aboveBytes)
        return QStringLiteral("at %1 MB resident, above its limit of %2 MB")
            .arg(residentBytes / kMiB)
            .arg(aboveBytes / kMiB);
    return {};
}

qint64 defaultOfficeMemoryLimit(qint64 physicalBytes, int offices)
{
    if (physicalBytes <= 0)
        return 0;
    return std::max(kLowestDefaultLimit, physicalBytes / 4 / std::max(1, offices));
}

} // namespace platform::office
