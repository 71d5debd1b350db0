#pragma once

#include <QString>

#include <sys/types.h>

namespace platform::office {

// Names of what an office of this program leaves on disk while it runs, all
// carrying the pid of the program that made them, so that what a killed
// run left behind can be told from what a live one still uses.
//   <temp>/tabulon-office-<pid>-XXXXXX   the office's private TMPDIR
//   <pipes>/OSL_PIPE_<uid>_tabulon_<pid>_<n>_<tag>   its UNO pipe socket
QString privateTempTemplate(const QString &tempRoot);
QString pipeName(int serial, const QString &tag);
// The file the office's UNO runtime makes for a pipe of this name.
QString pipeSocketPath(const QString &name);
// The folder those sockets are made in.
QString pipeDirectory();

// The pid in a name of the scheme above, or -1 for any other name.
pid_t leftoverOwner(const QString &fileName);
// Whether a process with this pid exists (of any user).
bool processExists(pid_t pid);

// Removes the leftovers of programs that are gone from both folders and
// returns how many entries were removed. Those of live processes stay.
int removeLeftovers(const QString &tempRoot, const QString &pipeRoot);

} // namespace platform::office
