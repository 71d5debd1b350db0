#include "engine/SheetFileNames.h"

#include <QSet>

namespace {

bool isUnsafe(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0) || u == '/' || c.category() == QChar::Other_Format
           || u == 0x2028 || u == 0x2029;
}

// Cuts `text` to at most `maxBytes` bytes of UTF-8 without splitting a
// character (a surrogate pair stays whole).
QString boundedTo(const QString &text, int maxBytes)
{
    QString result;
    int bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const QString piece = text.mid(i, pair ? 2 : 1);
        const int size = int(piece.toUtf8().size());
        if (bytes + size > maxBytes)
            break;
        result += piece;
        bytes += size;
        if (pair)
            ++i;
    }
    return result;
}

QString safePart(const QString &sheetName, int number)
{
    QString part;
    part.reserve(sheetName.size());
    for (qsizetype i = 0; i < sheetName.size(); ++i) {
        const QChar c = sheetName.at(i);
        // A lone surrogate has no UTF-8 form of its own.
        const bool lone = (c.isHighSurrogate() && !(i + 1 < sheetName.size() && sheetName.at(i + 1).isLowSurrogate()))
                          || (c.isLowSurrogate() && !(i > 0 && sheetName.at(i - 1).isHighSurrogate()));
        part += isUnsafe(c) || lone ? QChar(u'_') : c;
    }
    // A leading dot would hide the file, and "." and ".." are no names.
    if (part.startsWith(QLatin1Char('.')))
        part[0] = QChar(u'_');
    part = boundedTo(part, kMaxSheetPartBytes);
    if (part.isEmpty())
        part = QStringLiteral("Sheet%1").arg(number);
    return part;
}

} // namespace

QStringList sheetFileNameParts(const QStringList &sheetNames)
{
    QStringList parts;
    QSet<QString> taken;
    for (int i = 0; i < sheetNames.size(); ++i) {
        const QString part = safePart(sheetNames.at(i), i + 1);
        QString unique = part;
        for (int n = 2; taken.contains(unique); ++n) {
            const QString suffix = QStringLiteral("~%1").arg(n);
            unique = boundedTo(part, kMaxSheetPartBytes - int(suffix.size())) + suffix;
        }
        taken.insert(unique);
        parts << unique;
    }
    return parts;
}
