#include "engine/FileResult.h"

QString FileResult::logLine(const QString &successText) const
{
    if (failed())
        return path + error;
    QString line = path + successText;
    if (!replacedOwners.isEmpty())
        line += QStringLiteral(" (replaced the output of %1)").arg(replacedOwners.join(QStringLiteral(", ")));
    for (const QString &note : notes)
        line += QStringLiteral(" (%1)").arg(note);
    return line;
}

FileResult FileResult::failure(const QString &path, const QString &error, const QByteArray &rawPath)
{
    FileResult result;
    result.path = path;
    result.rawPath = rawPath;
    result.status = Status::Failed;
    result.error = error;
    return result;
}
