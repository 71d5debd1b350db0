#include "engine/FileResult.h"

QString FileResult::logLine(const QString &successText) const
{
    if (failed())
        return escapeControlCharacters(path + error);
    if (status == Status::UpToDate)
        return escapeControlCharacters(path + QStringLiteral("up to date"));
    QString line = path + successText;
    if (!replacedOwners.isEmpty())
        line += QStringLiteral(" (replaced the output of %1)").arg(replacedOwners.join(QStringLiteral(", ")));
    for (const QString &note : notes)
        line += QStringLiteral(" (%1)").arg(note);
    return escapeControlCharacters(line);
}

QString FileResult::escapeControlCharacters(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
            escaped += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return escaped;
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

FileResult FileResult::upToDate(const QString &path)
{
    FileResult result;
    result.path = path;
    result.status = Status::UpToDate;
    return result;
}
