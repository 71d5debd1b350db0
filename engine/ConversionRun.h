#pragma once

#include "engine/ConverterPool.h"
#include "engine/DirectoryWalker.h"
#include "engine/FileResult.h"
#include "engine/OutputDelivery.h"
#include "engine/OutputPlan.h"
#include "engine/RunView.h"
#include "engine/WorkbookConverter.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace platform {
class OutputStaging;
}

// One conversion run: walks a directory tree depth first, files before
// subdirectories, and converts every file that matches a mask. The walk
// (DirectoryWalker) finds the files, the plan (OutputPlan) names their
// outputs, a pool of one or more applications (ConverterPool) converts them
// and the delivery (OutputDelivery) puts the outputs into place and reports
// every entry to the view, in walk order.
class WalkCount;

class ConversionRun : private DirectoryWalker::Visitor
{
public:
    enum class Outcome { Completed, Stopped, OutputDirectoryFailed, ApplicationUnavailable };

    ConversionRun(RunSettings &settings, RunView &view, WorkbookConverter &converter);
    ~ConversionRun() override;

    // Where a relative output directory is taken from; by default the
    // current directory when the run starts.
    void setBaseDirectory(const QString &dir) { m_baseDirectory = dir; }

    // Converts with `jobs` applications at once, each made by `factory` on a
    // thread of its own; the converter given to the constructor is then not
    // used. Lines, counts and outputs are those of a run with one: the walk
    // order decides the order of the lines and which of two same-named
    // outputs stays. Meant for settings that do not change during the run.
    using ConverterFactory = std::function<std::unique_ptr<WorkbookConverter>()>;
    void setParallel(int jobs, ConverterFactory factory);

    // Counts, besides the walk, how many entries it gives, and tells the
    // view (showTotal) as soon as they are counted: the walk itself keeps
    // pace with the conversions. The masks are those of the start.
    void setCountsAhead(bool count) { m_countsAhead = count; }

    // Only the files (and unusable directories) for which this answers true
    // are converted (or logged); the others are left out without a line.
    void setFileFilter(std::function<bool(const QString &path)> filter) { m_filter = std::move(filter); }

    // The whole run, from creating the output directory to quitting the
    // application. Running from the first step on: the start of the
    // application is part of it.
    Outcome execute(const QString &rootDirectory);
    // The same with a list of files instead of a walk: each is converted in
    // list order, whatever the masks say.
    Outcome executeFiles(const QStringList &paths);
    // The same with each file's directory below the source it was walked
    // from ('/'-separated, "" at its top), so that a mirrored tree gets the
    // outputs where a walk would have put them.
    struct ListedFile
    {
        QString path;
        QString relativeDirectory;
    };
    Outcome executeFiles(const QList<ListedFile> &files);

    // Ends the run after the file being converted, or cancels the start of
    // the application; safe to call from a handler that runs while the run
    // yields.
    void requestStop();
    bool isStopRequested() const { return m_stopRequested; }
    bool isRunning() const { return m_running; }
    RunCounts counts() const { return m_delivery.counts(); }

private:
    Outcome runOver(const std::function<void()> &source);
    std::unique_ptr<ConverterPool> makePool();
    void convertFile(const QString &path, const QString &relativeDirectory);
    // The outputs of a workbook once its sheets are known.
    std::function<OutputList(const QStringList &)> planFor(const QString &path, const QString &relativeDirectory);
    OutputList outputsFor(const QString &path, const QString &relativeDirectory) const;
    void reportFailure(const QString &path, const QString &reason, const QByteArray &rawPath = {});
    // The output directory as the user typed it, a relative one taken
    // against the base directory.
    QString resolvedOutputDirectory() const;
    QString canonicalOutputDirectory() const;
    // Whether the canonical directory lies in the output directory's subtree.
    bool isInOutputTree(const QString &canonicalDirectory) const;
    // Whether a walk with one application, going on after the file being
    // converted, is still to take the file at `path`.
    bool isInputToCome(const QString &path) const;
    // A stop while the application started: the first workbook of the walk
    // gets the line that says so, and the run ends there.
    void reportStopAtStart(const std::function<void()> &source);
    // Whether a workbook is to be left as it is, its outputs being newer
    // and none of them an output an earlier workbook of the run was to write.
    bool isUpToDate(const QString &path, const OutputList &outputs) const;
    // The outputs a workbook that is converted is to write: none of them is
    // up to date for a later workbook.
    void claim(const OutputList &outputs);
    void addInput(const QString &path);

    // DirectoryWalker::Visitor
    bool stopRequested() const override { return m_stopRequested || (m_pool && m_pool->cannotConvert()); }
    QString masks() const override { return m_settings.masks(); }
    void showStatus(const QString &text) override { m_view.setStatusText(text); }
    void yield() override { m_view.processEvents(); }
    void foundFile(const QString &path, const QString &relativeDirectory) override;
    void foundProblem(const QString &path, const QString &reason, const QByteArray &rawPath) override;
    void foundInputs(const QStringList &paths) override;
    bool isLeftOut(const QString &canonicalDirectory) const override;
    bool isOutput(const QString &path) const override;

    RunSettings &m_settings;
    RunView &m_view;
    WorkbookConverter &m_converter;
    QString m_baseDirectory; // where a relative output directory is resolved
    std::function<bool(const QString &)> m_filter;
    bool m_countsAhead = false;
    bool m_totalShown = false; // this run's
    int m_entriesFound = 0;    // by this run's walk so far
    int m_jobs = 1;
    ConverterFactory m_factory;
    std::unique_ptr<ConverterPool> m_pool; // during a run
    OutputDelivery m_delivery;
    QString m_root; // canonical path of the walked directory
    // Whether an output may land where an input lies, in a walked directory
    // or a listed file: inputs and outputs are then recorded by identity.
    // Not so for a walk that writes outside its tree, whatever its size.
    bool m_outputsMeetInputs = true;
    // Output paths (hashed) that workbooks to be converted claimed; for a
    // mirrored tree only those of the directory being walked.
    QSet<size_t> m_claimed;
    QString m_claimedDirectory;
    std::unique_ptr<platform::OutputStaging> m_stagingNotes; // where this run stages besides the output directory
    bool m_stopAtFirstWorkbook = false;                      // the start was stopped: the next workbook says so
    bool m_stopRequested = false;
    bool m_running = false;
};
