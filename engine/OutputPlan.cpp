#include "engine/OutputPlan.h"

#include "engine/SheetFileNames.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>

const OutputFormat outputFormats[3] = {
    {OutputKind::Html, ".htm", platform::spreadsheet::xlHtml},
    {OutputKind::Csv, ".csv", platform::spreadsheet::xlCSV},
    {OutputKind::Xml, ".xml", platform::spreadsheet::xlXMLSpreadsheet},
};

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

OutputList outputsFor(const QString &path, const QString &directory, const QList<OutputKind> &kinds)
{
    OutputList outputs;
    const QString base = baseName(path);
    for (const OutputFormat &format : outputFormats) {
        if (kinds.contains(format.kind))
            outputs.append({&format, platform::joinPath(directory, base + QLatin1String(format.extension))});
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
        } else if (!everySheet) {
            // Named: the application's own choice would be the active sheet.
            outputs.append({output.format, output.path, 1});
        } else {
            const QString stem = output.path.chopped(int(qstrlen(output.format->extension)));
            const QStringList parts = sheetFileNameParts(sheetNames);
            for (int i = 0; i < parts.size(); ++i) {
                outputs.append({output.format,
                                stem + QLatin1Char('.') + parts.at(i) + QLatin1String(output.format->extension),
                                i + 1});
            }
        }
    }
    return outputs;
}

QString refusalFor(const QString &path, const OutputList &outputs)
{
    const QString problem = platform::inputProblem(path);
    if (!problem.isEmpty())
        return QStringLiteral("Can't open the workbook: %1").arg(problem);
    const platform::FileId input = platform::fileId(path);
    for (const PlannedOutput &output : outputs) {
        if (platform::fileId(output.path) == input)
            return QStringLiteral("Not converted: the output %1 is this workbook itself, which is left as it is")
                .arg(output.path);
        if (QFile::encodeName(QFileInfo(output.path).fileName()).size() > NAME_MAX)
            return QStringLiteral("Can't save %1: %2").arg(output.path, platform::describeError(ENAMETOOLONG));
    }
    return {};
}

} // namespace OutputPlan
