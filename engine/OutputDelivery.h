#pragma once

#include "engine/FileResult.h"
#include "engine/OutputPlan.h"
#include "engine/RunView.h"
#include "engine/WorkbookConverter.h"
#include "platform/FileSystem.h"

#include <QHash>
#include <QSet>
#include <QString>

namespace platform {
class OutputStaging;
}

// Writing a run's files and telling about them, in walk order: outputs are
// saved into staging folders beside their targets while a workbook is open,
// moved into place when its turn comes, and every entry is counted and
// handed to the view. It remembers which workbook wrote each output, so a
// later one says whose output it replaced and no output of the run is ever
// taken for an input.
class OutputDelivery
{
public:
    explicit OutputDelivery(RunView &view) : m_view(view) {}

    // Forgets everything of an earlier run.
    void reset();

    // Saves one output of an opened workbook into a staging folder of its
    // own beside the target. Touches nothing shared: any thread may call it.
    // Throws AutomationError.
    // workbookPath tells how much room an output of it may need.
    static StagedOutput stage(WorkbookConverter::Workbook &workbook, const PlannedOutput &output,
                              const QString &workbookPath);
    // Makes the directories of `outputs` that are not the output directory
    // itself, once per run, clearing them of stale staging. Throws
    // AutomationError.
    void prepareDirectories(const OutputList &outputs);
    // Where prepareDirectories() notes each directory before anything is
    // staged there (a folder of this process in the output directory), so
    // that the next run clears them should this one die; none by default.
    void setStagingNotes(platform::OutputStaging *notes) { m_stagingNotes = notes; }
    // Whether the files placed are remembered by identity, for
    // isOwnOutput(); needed only where a walk may meet them (on by default).
    void setRemembersOutputFiles(bool remember) { m_remembersFiles = remember; }
    // Whether the outputs of a directory are forgotten once a result has
    // outputs in another: so it is in a mirrored tree, where no later
    // workbook writes into a directory the run has left (off by default).
    void setForgetsPassedDirectories(bool forget) { m_forgetsPassed = forget; }

    // Moves the staged outputs of `result` into place (or drops them when it
    // failed) and reports it.
    void deliver(FileResult &result);
    // Counts the entry and shows its line.
    void report(const FileResult &result);

    // What this run wrote is output, not input, wherever it lies.
    bool isOwnOutput(const QString &path) const;
    RunCounts counts() const { return m_counts; }

private:
    // Moves a staged output into place, adding the paths placed (a page's
    // pictures too) to `placed`; returns the workbook whose output it
    // replaced, if any. Throws AutomationError.
    QString place(StagedOutput &output, const QString &path, QStringList &placed);

    RunView &m_view;
    platform::OutputStaging *m_stagingNotes = nullptr;
    QSet<QString> m_preparedDirectories;   // made and cleaned of stale staging
    QHash<QString, QString> m_written;     // output path -> the workbook it was written for
    QSet<platform::FileId> m_writtenFiles; // outputs on disk, never taken as inputs
    QString m_writtenDirectory;            // of the last outputs placed, when passed ones are forgotten
    bool m_remembersFiles = true;
    bool m_forgetsPassed = false;
    RunCounts m_counts;
};
