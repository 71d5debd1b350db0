#include "app/RunPlanner.h"

#include <cerrno>

namespace runplan {

bool matchesAnyMask(const QString &name, const QStringList &masks)
{
    for (const QString &mask : masks) {
        if (platform::matchesMask(name, mask.trimmed()))
            return true;
    }
    return false;
}

QList<QList<qsizetype>> filesByMask(const QStringList &names, const QStringList &masks)
{
    QList<QList<qsizetype>> taken;
    QList<bool> seen(names.size(), false);
    for (const QString &mask : masks) {
        const QString pattern = mask.trimmed();
        QList<qsizetype> mine;
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (!seen.at(i) && platform::matchesMask(names.at(i), pattern)) {
                seen[i] = true;
                mine << i;
            }
        }
        taken << mine;
    }
    return taken;
}

QString refusal(const platform::FileId &workbook, const QList<OutputTarget> &outputs,
                const QSet<platform::FileId> &inputs, qsizetype nameMax)
{
    for (const OutputTarget &output : outputs) {
        if (output.existing.isValid() && output.existing == workbook)
            return QStringLiteral("Not converted: the output %1 is this workbook itself, which is left as it is")
                .arg(output.path);
        if (output.existing.isValid() && inputs.contains(output.existing))
            return QStringLiteral("Not converted: the output %1 is an input, which is left as it is").arg(output.path);
        if (output.nameBytes > nameMax)
            return QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(ENAMETOOLONG));
    }
    return {};
}

} // namespace runplan
