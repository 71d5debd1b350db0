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
    enum class Status { Ok, Failed, Replaced };

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

    bool failed() const { return status == Status::Failed; }

    static FileResult failure(const QString &path, const QString &error, const QByteArray &rawPath = {});

    // The window's log line: the path followed directly by the success text
    // and the notes, or by the error message.
    QString logLine(const QString &successText) const;
};
