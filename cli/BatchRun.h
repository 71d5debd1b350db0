#pragma once

#include <QString>
#include <QStringList>

QT_FORWARD_DECLARE_CLASS(QTextStream)

// The command-line front end of the conversion run; its options are read by
// parseArguments() (BatchOptions.h). Help and version go to out. Each log
// line goes to out as the window's log shows it; the count goes to err at
// the end, and so do messages.
namespace batch {

enum ExitStatus {
    Completed = 0,         // the run went through, whatever failed on the way
    OutputUnusable = 1,    // the output directory could not be made
    OfficeUnavailable = 2, // the spreadsheet application could not be started
    BadArguments = 64,
};

// Runs with these arguments (without the program name). Needs a
// QCoreApplication; registers "excel.application" itself.
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace batch
