#include "engine/OutputPlan.h"

#include "engine/SheetFileNames.h"
#include "platform/Automation.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>

const OutputFormat outputFormats[3] = {
    {OutputKind::Html, ".htm", platform::spreadsheet::xlHtml},
    {OutputKind::Csv, ".csv", platform::spreadsheet::xlCSV},
    {OutputKind::Xml, ".xml", platform::spreadsheet::xlXMLSpreadsheet},
};

namespace {

bool matchesAnySheetPattern(const QString &sheetName, const QStringList &patterns)
{
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const QString &pattern) { return platform::matchesMask(sheetName, pattern); });
}

bool matchesAnySheet(const QString &pattern, const QStringList &sheetNames)
{
    return std::any_of(sheetNames.begin(), sheetNames.end(),
                       [&](const QString &sheetName) { return platform::matchesMask(sheetName, pattern); });
}

// "a", "b" or "c"
QString quotedList(const QStringList &items)
{
    QStringList quoted;
    for (const QString &item : items)
        quoted << QLatin1Char('"') + item + QLatin1Char('"');
    if (quoted.size() < 2)
        return quoted.join(QString());
    const QString last = quoted.takeLast();
    return quoted.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

} // namespace

namespace OutputPlan {

QString baseName(const QString &path)
{
    const int slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QDir::separator()));
    const QString name = path.mid(slash + 1);
    int start = 0;
    while (start < name.size() && name.at(start) == QLatin1Char('.'))
        ++start;
    const int dot = name.indexOf(QLatin1Char('.'), start);
    return dot < 0 ? name : name.left(dot);
}

QString outputDirectory(const QString &outputDirectory, const QString &relativeDirectory, bool keepTree)
{
    if (!keepTree || relativeDirectory.isEmpty())
        return outputDirectory;
    return platform::joinPath(outputDirectory, relativeDirectory);
}

size_t pathKey(const QString &outputPath)
{
    return qHash(QDir::cleanPath(QFileInfo(outputPath).absoluteFilePath()), size_t(0x9e3779b97f4a7c15ULL));
}

OutputList outputsFor(const QString &path, const QString &directory, const QList<OutputKind> &kinds)
{
    OutputList outputs;
    const QString base = baseName(path);
    for (const OutputFormat &format : outputFormats) {
        if (!kinds.contains(format.kind))
            continue;
        PlannedOutput output;
        output.format = &format;
        output.path = platform::joinPath(directory, base + QLatin1String(format.extension));
        outputs.append(output);
    }
    return outputs;
}

OutputList withSheets(const OutputList &planned, const QStringList &sheetNames, bool everySheet)
{
    if (sheetNames.isEmpty())
        return planned;
    OutputList outputs;
    for (const PlannedOutput &output : planned) {
        if (output.format->kind != OutputKind::Csv) {
            outputs.append(output);
        } else if (!everySheet && output.sheetPatterns.isEmpty()) {
            // Named: the application's own choice would be the active sheet.
            PlannedOutput first = output;
            first.sheet = 1;
            outputs.append(first);
        } else {
            const QString stem = output.path.chopped(int(qstrlen(output.format->extension)));
            const QStringList parts = sheetFileNameParts(sheetNames);
            const qsizetype before = outputs.size();
            for (int i = 0; i < parts.size(); ++i) {
                if (!output.sheetPatterns.isEmpty() && !matchesAnySheetPattern(sheetNames.at(i), output.sheetPatterns))
                    continue;
                PlannedOutput sheet = output;
                sheet.path = stem + QLatin1Char('.') + parts.at(i) + QLatin1String(output.format->extension);
                sheet.sheet = i + 1;
                outputs.append(sheet);
            }
            if (outputs.size() == before)
                throw platform::AutomationError(
                    QStringLiteral("Not converted: no sheet matches %1 (the sheets: %2)")
                        .arg(quotedList(output.sheetPatterns), sheetNames.join(QStringLiteral(", "))));
        }
    }
    return outputs;
}

QStringList sheetNotes(const OutputList &planned, const QStringList &sheetNames)
{
    QStringList notes;
    int firstOnly = 0;
    QStringList patterns;
    for (const PlannedOutput &output : planned) {
        if (output.format->kind != OutputKind::Csv)
            continue;
        if (output.sheetPatterns.isEmpty())
            ++firstOnly;
        else
            patterns = output.sheetPatterns;
    }
    if (firstOnly == 1 && sheetNames.size() > 1)
        notes << QStringLiteral("the CSV holds only the first of %1 sheets").arg(sheetNames.size());
    // A name asked for and not there is said, though others were written.
    QStringList unmatched;
    for (const QString &pattern : std::as_const(patterns)) {
        if (!matchesAnySheet(pattern, sheetNames))
            unmatched << pattern;
    }
    if (!unmatched.isEmpty() && !sheetNames.isEmpty())
        notes << QStringLiteral("no sheet matches %1").arg(quotedList(unmatched));
    return notes;
}

QString refusal(const platform::FileId &workbook, const QList<OutputTarget> &outputs, const InputSet &inputs,
                qsizetype nameMax)
{
    for (const OutputTarget &output : outputs) {
        if (output.existing.isValid() && output.existing == workbook)
            return QStringLiteral("Not converted: the output %1 is this workbook itself, which is left as it is")
                .arg(output.path);
        if (output.existing.isValid() && inputs.contains(output.existing))
            return QStringLiteral("Not converted: the output %1 is an input, which is left as it is").arg(output.path);
        if (output.nameBytes > nameMax)
            return QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(ENAMETOOLONG));
    }
    return {};
}

QString refusalFor(const QString &path, const OutputList &outputs, const InputSet &inputs)
{
    const QString problem = platform::inputProblem(path);
    if (!problem.isEmpty())
        return QStringLiteral("Can't open the workbook: %1").arg(problem);
    QList<OutputTarget> targets;
    for (const PlannedOutput &output : outputs)
        targets.append(
            {output.path, platform::fileId(output.path), QFile::encodeName(QFileInfo(output.path).fileName()).size()});
    return refusal(platform::fileId(path), targets, inputs, NAME_MAX);
}

} // namespace OutputPlan
