#pragma once

#include "engine/ConversionRun.h"
#include "engine/FileResult.h"

#include <QString>

#include <memory>

QT_FORWARD_DECLARE_CLASS(QJsonObject)
QT_FORWARD_DECLARE_CLASS(QTextStream)

namespace batch {

enum class LogFormat { Text, JsonLines };

// Prints what a run reports, in one log format. Whoever runs the
// conversion hands every entry to print() in the order it wants them seen,
// then the counts to finish(); nothing else is written to the streams.
class ResultPrinter
{
public:
    virtual ~ResultPrinter() = default;
    virtual void print(const FileResult &result) = 0;
    virtual void finish(const RunCounts &counts) = 0;
    // Whether the count tells the up-to-date entries (an update run).
    void setCountsUpToDate(bool on) { m_countsUpToDate = on; }

protected:
    bool m_countsUpToDate = false;
};

// The window's log lines on out, with successText after a converted path;
// the count line ("N files: X converted, Y failed, Z replaced") on err.
class TextPrinter : public ResultPrinter
{
public:
    TextPrinter(QTextStream &out, QTextStream &err, QString successText);
    void print(const FileResult &result) override;
    void finish(const RunCounts &counts) override;

private:
    QTextStream &m_out;
    QTextStream &m_err;
    QString m_successText;
};

// One compact JSON object per line on out: each entry
//   {"path","status":"ok"|"failed"|"replaced"|"skipped","outputs":[...],"error":null|"...",
//    "seconds","replaces":[...],"notes":[...]}
// ("skipped": up to date) and "path_base64" (the path's bytes) when the path
// is not valid UTF-8; then {"files","converted","failed","replaced"}, with
// "up_to_date" in an update run. The count line also goes to err, as in the
// text format.
class JsonLinesPrinter : public ResultPrinter
{
public:
    JsonLinesPrinter(QTextStream &out, QTextStream &err);
    void print(const FileResult &result) override;
    void finish(const RunCounts &counts) override;

    static QJsonObject toJson(const FileResult &result);
    static QJsonObject toJson(const RunCounts &counts, bool withUpToDate = false);

private:
    void writeLine(const QJsonObject &object);

    QTextStream &m_out;
    QTextStream &m_err;
};

std::unique_ptr<ResultPrinter> makePrinter(LogFormat format, QTextStream &out, QTextStream &err,
                                           const QString &successText);

// "N files: X converted, Y failed, Z replaced", and ", W up to date" when
// withUpToDate.
QString countLine(const RunCounts &counts, bool withUpToDate = false);

} // namespace batch
