#include "cli/RunLog.h"

#include "cli/LineFile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

namespace batch {

namespace {

enum class Entry { Count, Failed, Other, Foreign };

Entry kindOf(const QJsonObject &object)
{
    if (object.contains(QLatin1String("files")) && !object.contains(QLatin1String("path")))
        return object.value(QLatin1String("files")).isDouble() ? Entry::Count : Entry::Foreign;
    if (!object.value(QLatin1String("path")).isString())
        return Entry::Foreign;
    const QString status = object.value(QLatin1String("status")).toString();
    if (status == QLatin1String("failed"))
        return Entry::Failed;
    for (const char *known : {"ok", "replaced", "skipped"}) {
        if (status == QLatin1String(known))
            return Entry::Other;
    }
    return Entry::Foreign;
}

// The path exactly: a name that is not UTF-8 comes with its bytes.
QString pathOf(const QJsonObject &object)
{
    const QJsonValue bytes = object.value(QLatin1String("path_base64"));
    if (bytes.isString())
        return QFile::decodeName(QByteArray::fromBase64(bytes.toString().toLatin1()));
    return object.value(QLatin1String("path")).toString();
}

} // namespace

FileList readFailedFiles(const QString &logPath)
{
    return parseLineFile<FileList>(logPath, QStringLiteral("log"), StandardInput::Refused,
                                   [&](const QList<QByteArray> &lines) { return failedFilesOf(lines, logPath); });
}

FileList failedFilesOf(const QList<QByteArray> &lines, const QString &logPath)
{
    FileList result;
    QStringList order;           // every file, at its first entry
    QHash<QString, bool> failed; // file -> whether its last entry failed
    int lineNumber = 0;
    for (const QByteArray &line : lines) {
        ++lineNumber;
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
        const Entry entry = document.isObject() ? kindOf(document.object()) : Entry::Foreign;
        if (entry == Entry::Foreign) {
            result.error =
                QStringLiteral("%1 is not a jsonl log of tabulon-batch (line %2)").arg(logPath).arg(lineNumber);
            return result;
        }
        if (entry == Entry::Count)
            continue;
        const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(pathOf(document.object())));
        if (!failed.contains(path))
            order << path;
        failed.insert(path, entry == Entry::Failed);
    }
    if (lineNumber == 0)
        result.error = QStringLiteral("%1 is not a jsonl log of tabulon-batch (it is empty)").arg(logPath);
    for (const QString &path : std::as_const(order)) {
        if (failed.value(path))
            result.paths << path;
    }
    result.paths = uniqueFiles(result.paths);
    return result;
}

} // namespace batch
