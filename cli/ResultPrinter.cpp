#include "cli/ResultPrinter.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QTextStream>

namespace batch {

namespace {

QString statusWord(FileResult::Status status)
{
    switch (status) {
    case FileResult::Status::Ok:
        return QStringLiteral("ok");
    case FileResult::Status::Failed:
        return QStringLiteral("failed");
    case FileResult::Status::Replaced:
        return QStringLiteral("replaced");
    case FileResult::Status::UpToDate:
        return QStringLiteral("skipped");
    }
    return {};
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(bytes); // decodes only when converted
    return !decoder.hasError();
}

} // namespace

QString countLine(const RunCounts &counts, bool withUpToDate)
{
    QString line = QStringLiteral("%1 files: %2 converted, %3 failed, %4 replaced")
                       .arg(counts.entries())
                       .arg(counts.converted)
                       .arg(counts.failed)
                       .arg(counts.replaced);
    if (withUpToDate)
        line += QStringLiteral(", %1 up to date").arg(counts.upToDate);
    return line;
}

TextPrinter::TextPrinter(QTextStream &out, QTextStream &err, QString successText)
    : m_out(out), m_err(err), m_successText(std::move(successText))
{}

void TextPrinter::print(const FileResult &result)
{
    m_out << result.logLine(m_successText) << '\n';
    m_out.flush();
}

void TextPrinter::finish(const RunCounts &counts)
{
    m_err << countLine(counts, m_countsUpToDate) << '\n';
    m_err.flush();
}

JsonLinesPrinter::JsonLinesPrinter(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}

QJsonObject JsonLinesPrinter::toJson(const FileResult &result)
{
    QJsonObject object;
    object.insert(QStringLiteral("path"), result.path);
    // A name that is not UTF-8 shows lossily in "path"; its exact bytes go
    // along so that a script can still find the file.
    const QByteArray bytes = result.rawPath.isEmpty() ? QFile::encodeName(result.path) : result.rawPath;
    if (!isValidUtf8(bytes))
        object.insert(QStringLiteral("path_base64"), QString::fromLatin1(bytes.toBase64()));
    object.insert(QStringLiteral("status"), statusWord(result.status));
    object.insert(QStringLiteral("outputs"), QJsonArray::fromStringList(result.outputs));
    object.insert(QStringLiteral("error"), result.failed() ? QJsonValue(result.error) : QJsonValue(QJsonValue::Null));
    object.insert(QStringLiteral("seconds"), result.seconds);
    object.insert(QStringLiteral("replaces"), QJsonArray::fromStringList(result.replacedOwners));
    object.insert(QStringLiteral("notes"), QJsonArray::fromStringList(result.notes));
    return object;
}

QJsonObject JsonLinesPrinter::toJson(const RunCounts &counts, bool withUpToDate)
{
    QJsonObject object;
    object.insert(QStringLiteral("files"), counts.entries());
    object.insert(QStringLiteral("converted"), counts.converted);
    object.insert(QStringLiteral("failed"), counts.failed);
    object.insert(QStringLiteral("replaced"), counts.replaced);
    if (withUpToDate)
        object.insert(QStringLiteral("up_to_date"), counts.upToDate);
    return object;
}

void JsonLinesPrinter::print(const FileResult &result)
{
    writeLine(toJson(result));
}

void JsonLinesPrinter::finish(const RunCounts &counts)
{
    writeLine(toJson(counts, m_countsUpToDate));
    m_err << countLine(counts, m_countsUpToDate) << '\n';
    m_err.flush();
}

void JsonLinesPrinter::writeLine(const QJsonObject &object)
{
    // Compact JSON holds no raw newline: control characters are escaped.
    m_out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) << '\n';
    m_out.flush();
}

std::unique_ptr<ResultPrinter> makePrinter(LogFormat format, QTextStream &out, QTextStream &err,
                                           const QString &successText)
{
    if (format == LogFormat::JsonLines)
        return std::make_unique<JsonLinesPrinter>(out, err);
    return std::make_unique<TextPrinter>(out, err, successText);
}

} // namespace batch
