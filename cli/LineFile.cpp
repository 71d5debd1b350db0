#include "cli/LineFile.h"

#include <QFile>

#include <cstdio>

namespace batch {

LineFile readLineFile(const QString &path, const QString &what, StandardInput dash)
{
    LineFile result;
    QFile file;
    const bool opened = dash == StandardInput::ForDash && path == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        result.error = QStringLiteral("cannot read the %1 %2: %3").arg(what, path, file.errorString());
        return result;
    }
    result.lines = nonEmptyLines(file);
    return result;
}

QList<QByteArray> nonEmptyLines(QIODevice &device)
{
    QList<QByteArray> lines;
    for (QByteArray line : device.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            lines.append(line);
    }
    return lines;
}

} // namespace batch
