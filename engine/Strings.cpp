#include "engine/Strings.h"

#include "platform/SystemLanguage.h"

#include <QFile>

namespace Strings {

namespace {

QHash<int, QString> readTable()
{
    QHash<int, QString> table;
    QFile file(QStringLiteral(":/strings/strings.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const int tab = line.indexOf(QLatin1Char('\t'));
        bool ok = false;
        const int id = line.left(tab).toInt(&ok);
        if (tab > 0 && ok)
            table.insert(id, line.mid(tab + 1));
    }
    return table;
}

} // namespace

int stringBaseFor(int languageId)
{
    switch (languageId) {
    case 2052:
        return 10000; // Chinese (PRC): Simplified Chinese
    case 1028:
        return 30000; // Chinese (Taiwan): Traditional Chinese
    case 1041:
        return 40000; // Japanese
    default:
        return 20000; // English
    }
}

int GetStringBase()
{
    return stringBaseFor(platform::systemLanguageId());
}

QString load(int id)
{
    // The program's own resources: read once, constant afterwards.
    static const QHash<int, QString> table = readTable();
    return table.value(id);
}

} // namespace Strings
