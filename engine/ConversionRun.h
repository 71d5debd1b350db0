#pragma once

#include "engine/DirectoryWalker.h"
#include "engine/FileResult.h"
#include "engine/OutputDelivery.h"
#include "engine/OutputPlan.h"
#include "engine/RunView.h"
#include "engine/WorkbookConverter.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class ConverterPool;

// One conversion run: walks a directory tree depth first, files before
// subdirectories, and converts every file that matches a mask. The walk
// (DirectoryWalker) finds the files, the plan (OutputPlan) names their
// outputs, a pool of one or more applications (ConverterPool) converts them
// and the delivery (OutputDelivery) puts the outputs into place and reports
// every entry to the view, in walk order.
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

    // DirectoryWalker::Visitor
    bool stopRequested() const override { return m_stopRequested; }
    QString masks() const override { return m_settings.masks(); }
    void showStatus(const QString &text) override { m_view.setStatusText(text); }
    void yield() override { m_view.processEvents(); }
    void foundFile(const QString &path, const QString &relativeDirectory) override;
    void foundProblem(const QString &path, const QString &reason, const QByteArray &rawPath) override;

    RunSettings &m_settings;
    RunView &m_view;
    WorkbookConverter &m_converter;
    QString m_baseDirectory; // where a relative output directory is resolved
    std::function<bool(const QString &)> m_filter;
    int m_jobs = 1;
    ConverterFactory m_factory;
    std::unique_ptr<ConverterPool> m_pool; // during a run
    OutputDelivery m_delivery;
    bool m_stopRequested = false;
    bool m_running = false;
};
