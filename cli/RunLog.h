#pragma once

#include "cli/FileSelection.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Reading back the jsonl log of an earlier run (--log-format jsonl), to
// convert again what failed in it.
namespace batch {

// The files whose last entry in the log has the status "failed", in the
// order of their first entry; relative paths are taken against the current
// directory, as the run that wrote them named them. A file that cannot be
// read, a line that is not a JSON object, or an object that is neither an
// entry (a "path" and a known "status") nor the count makes the error,
// which names the log and the line.
FileList readFailedFiles(const QString &logPath);
FileList failedFilesOf(const QList<QByteArray> &lines, const QString &logPath);

} // namespace batch
