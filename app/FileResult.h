#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the run found out about one entry of the walk: a workbook it
// converted or failed on, or a directory or name it could not use. Every
// log format is printed from this; the run itself prints nothing.
struct FileResult
{
    enum class Status { Ok, Failed, Replaced };

    QString path;
    // The path's bytes on disk when its name cannot be decoded; empty when
    // QFile::encodeName(path) gives them back.
    QByteArray rawPath;
    Status status = Status::Ok;
    QStringList outputs;         // written and in place, in the order written
    QStringList replacedOwners;  // workbooks whose earlier outputs were replaced
    QString error;               // the message after the path; empty unless Failed
    QStringList notes;           // remarks on a success, in plain words
    double seconds = 0;

    bool failed() const { return status == Status::Failed; }

    // The window's log line: the path followed directly by the success text
    // and the notes, or by the error message.
    QString logLine(const QString &successText) const;
};
