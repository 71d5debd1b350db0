#include "engine/OutputDelivery.h"

#include "platform/OutputStaging.h"

#include <QDir>
#include <QFileInfo>

using platform::AutomationError;

void OutputDelivery::reset()
{
    m_preparedDirectories.clear();
    m_written.clear();
    m_ownersNotMarked.clear();
    m_writtenFiles.clear();
    m_writtenDirectory.clear();
    m_counts = {};
}

namespace {

// The office words a failed write by what it saw; on a file system that
// filled up meanwhile that is often "write error" or even "permission
// denied". A file system without room for an output of the workbook's size
// is full whatever the office said.
QString withTrueCause(const QString &message, const QString &stagingFolder, const QString &workbook)
{
    static const char *const vague[] = {": write error", ": permission denied", ": input/output error"};
    for (const char *words : vague) {
        const QLatin1String tail(words);
        if (!message.endsWith(tail))
            continue;
        const qint64 room = std::max<qint64>(1 << 20, 2 * QFileInfo(workbook).size());
        if (const int error = platform::spaceProblem(stagingFolder, room))
            return message.chopped(tail.size()) + QStringLiteral(": ") + platform::describeError(error);
    }
    return message;
}

} // namespace

StagedOutput OutputDelivery::stage(WorkbookConverter::Workbook &workbook, const PlannedOutput &planned,
                                   const QString &workbookPath)
{
    StagedOutput output;
    output.path = planned.path;
    const QString &path = planned.path;
    const QFileInfo target(path);
    output.staging = std::make_shared<platform::OutputStaging>(target.path());
    if (output.staging->error() != 0)
        throw AutomationError(
            QStringLiteral("Can't save %1: %2").arg(path, platform::describeError(output.staging->error())));
    const QString staged = output.staging->stagedPath(target.fileName());
    try {
        if (planned.format->kind == OutputKind::Csv)
            workbook.saveCsvAs(staged, planned.sheet, planned.csv);
        else if (planned.sheet > 0)
            workbook.saveSheetAs(staged, planned.format->fileFormat, planned.sheet);
        else
            workbook.saveAs(staged, planned.format->fileFormat);
    } catch (const AutomationError &error) {
        // The converter names the path it was given; the user knows the other.
        throw AutomationError(
            withTrueCause(QString(error.message()).replace(staged, path), output.staging->path(), workbookPath));
    }
    return output;
}

void OutputDelivery::prepareDirectories(const OutputList &outputs)
{
    for (const PlannedOutput &output : outputs) {
        const QString dir = QFileInfo(output.path).path();
        if (m_preparedDirectories.contains(dir))
            continue;
        if (const int error = platform::makeDirectories(dir))
            throw AutomationError(QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(error)));
        if (m_stagingNotes)
            m_stagingNotes->noteStagingDirectory(dir);
        platform::OutputStaging::removeStale(dir);
        m_preparedDirectories.insert(dir);
    }
}

bool OutputDelivery::isOwnOutput(const QString &path) const
{
    const platform::FileId id = platform::fileId(path);
    return id.isValid() && m_writtenFiles.contains(id);
}

void OutputDelivery::deliver(FileResult &result)
{
    // A file converted ahead of its turn may have been replaced since by an
    // output of this run: then it is output, not input.
    if (isOwnOutput(result.path))
        return;
    if (!result.failed()) {
        try {
            for (StagedOutput &output : result.staged) {
                const QString owner = place(output, result.path, result.outputs);
                // One owner of several outputs (every sheet, every kind) is named once.
                if (!owner.isEmpty() && !result.replacedOwners.contains(owner))
                    result.replacedOwners << owner;
            }
            if (!result.replacedOwners.isEmpty())
                result.status = FileResult::Status::Replaced;
        } catch (const AutomationError &error) {
            result.status = FileResult::Status::Failed;
            result.error = error.message();
            result.notes.clear();
        }
    }
    // Whatever was not placed goes with its staging folder.
    result.staged.clear();
    report(result);
}

QString OutputDelivery::place(StagedOutput &output, const QString &path, QStringList &placed)
{
    const QFileInfo target(output.path);
    if (m_forgetsPassed && target.path() != m_writtenDirectory) {
        m_written.clear();
        m_ownersNotMarked.clear();
        m_writtenDirectory = target.path();
    }
    // A run over millions of workbooks into one directory remembers a hash
    // of each output's name; whose output it was is read from the mark it
    // carries, so only outputs whose mark could not say are kept in full.
    const size_t key = OutputPlan::pathKey(output.path);
    const QString owner = !m_written.contains(key) ? QString()
                          : m_ownersNotMarked.contains(key) ? m_ownersNotMarked.value(key)
                                                            : platform::outputWrittenFor(output.path);
    const int error = output.staging->commit(target.fileName(), &placed, path);
    output.staging.reset();
    if (error != 0)
        throw AutomationError(QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(error)));
    if (m_remembersFiles)
        m_writtenFiles.insert(platform::fileId(output.path));
    m_written.insert(key);
    if (platform::outputWrittenFor(output.path) == path)
        m_ownersNotMarked.remove(key);
    else
        m_ownersNotMarked.insert(key, path);
    // A workbook that matches two masks takes its own name again: no news.
    return owner == path ? QString() : owner;
}

void OutputDelivery::report(const FileResult &result)
{
    if (result.failed()) {
        ++m_counts.failed;
    } else if (result.status == FileResult::Status::UpToDate) {
        ++m_counts.upToDate;
    } else {
        ++m_counts.converted;
        m_counts.replaced += result.replacedOwners.size();
    }
    m_view.showResult(result);
    m_view.showCounts(m_counts);
}
