#pragma once

#include "platform/FileSystem.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// The rules that decide what a run takes as input and what it may write,
// as functions of what the walk saw: no file-system access, so that every
// front end and every number of offices plans alike.
namespace runplan {

// The entries of one directory listing that each mask takes, in mask
// order, as indexes into names: an entry goes to the first mask it matches
// and to no later one, so a file that two masks match is converted once.
// Blanks around a mask are not part of it.
QList<QList<qsizetype>> filesByMask(const QStringList &names, const QStringList &masks);

// Whether any mask of the list matches the name.
bool matchesAnyMask(const QString &name, const QStringList &masks);

// One output a workbook is to get, with what is at its path now.
struct OutputTarget
{
    QString path;
    platform::FileId existing; // invalid when nothing is there
    qsizetype nameBytes = 0;   // of its file-name part, in the file-name encoding
};

// Why a workbook must not be written at all, or empty when it may: an
// output that is the workbook itself, one that is another input of the run
// (converted already, still to come, or refused: inputs are never written
// over), or one whose name the file system cannot hold.
QString refusal(const platform::FileId &workbook, const QList<OutputTarget> &outputs,
                const QSet<platform::FileId> &inputs, qsizetype nameMax);

} // namespace runplan
