#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace platform {
class OutputStaging;
}

// One output of a workbook: written first into a private staging folder
// beside its target, moved into place when the workbook's turn comes.
struct StagedOutput
{
    QString path; // where it goes
    std::shared_ptr<platform::OutputStaging> staging;
};

// What the run found out about one entry of the walk: a workbook it
// converted or failed on, or a directory or name it could not use. Every
// log format is printed from this; the run itself prints nothing.
//
// Filled in two steps: the conversion, which touches nothing the run
// shares and may run on any thread, leaves the outputs staged; the
// delivery in walk order moves them into place and reports the entry.
struct FileResult
{
    // UpToDate: left as it is, its outputs being newer (an update run).
    enum class Status { Ok, Failed, Replaced, UpToDate };

    QString path;
    // The path's bytes on disk when its name cannot be decoded; empty when
    // QFile::encodeName(path) gives them back.
    QByteArray rawPath;
    Status status = Status::Ok;
    QStringList outputs;              // written and in place, in the order written
    std::vector<StagedOutput> staged; // written, not yet in place
    QStringList replacedOwners;       // workbooks whose earlier outputs were replaced
    QString error;                    // the message after the path; empty unless Failed
    QStringList notes;                // remarks on a success, in plain words
    double seconds = 0;
    // Failed because the program was told to end while it was converted.
    bool stopped = false;

    bool failed() const { return status == Status::Failed; }

    static FileResult failure(const QString &path, const QString &error, const QByteArray &rawPath = {});
    static FileResult upToDate(const QString &path);

    // The window's log line: the path followed directly by the success text
    // and the notes, by "up to date", or by the error message; one line whatever the names
    // and messages hold (see escapeControlCharacters).
    QString logLine(const QString &successText) const;

    // Control characters (U+0000 to U+001F, U+007F to U+009F) written as
    // "\xHH" with two lower-case hex digits: a line break in a file name
    // would otherwise split the entry's line in two.
    static QString escapeControlCharacters(const QString &text);
};
