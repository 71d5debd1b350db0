#include "platform/office/ExcelValues.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QTime>

#include <algorithm>
#include <cmath>

namespace platform::office::excel {

namespace {

constexpr qint64 kDayMs = 86400000;

QString timeOfDay(qint64 ms)
{
    return QTime::fromMSecsSinceStartOfDay(int(ms)).toString(QStringLiteral("HH:mm:ss.zzz"));
}

// Index just past the bracket, quote or parenthesis that closes the one at
// `open`, or -1.
qsizetype skipQuoted(const QString &text, qsizetype open)
{
    const QChar quote = text.at(open);
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        if (text.at(i) != quote)
            continue;
        // A doubled quote is one quote character inside the text.
        if (i + 1 < text.size() && text.at(i + 1) == quote) {
            ++i;
            continue;
        }
        return i + 1;
    }
    return -1;
}

} // namespace

DateSystem::DateSystem(const QDate &nullDate, bool excelSerials)
    : m_nullDate(nullDate), m_excel1900(excelSerials && nullDate == QDate(1899, 12, 30))
{}

QString DateSystem::dateTime(double serial) const
{
    const qint64 ms = qint64(std::llround(serial * double(kDayMs)));
    QDate base = m_nullDate;
    if (m_excel1900) {
        // Excel's serial 1 is 1 January 1900 and its serial 60 the 29th of
        // February of that year; from serial 61 on it agrees with the calendar.
        if (ms >= 60 * kDayMs && ms < 61 * kDayMs)
            return QStringLiteral("1900-02-29T") + timeOfDay(ms - 60 * kDayMs);
        if (ms < 60 * kDayMs)
            base = QDate(1899, 12, 31);
    }
    const QDateTime t = QDateTime(base, QTime(0, 0), Qt::UTC).addMSecs(ms);
    return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

bool isDateTimeCode(const QString &code)
{
    static const QRegularExpression elapsed(QStringLiteral("^\\[(h+|m+|s+)\\]"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression marker(QStringLiteral("AM/PM|A/P"), QRegularExpression::CaseInsensitiveOption);
    QString letters;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('"')) {
            const qsizetype end = skipQuoted(code, i);
            if (end < 0)
                break;
            i = end - 1;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i; // the next character stands for itself
        } else if (c == QLatin1Char('[')) {
            // Elapsed time ([h]:mm) counts as a time where it leads; after
            // other date or time letters Excel refuses the whole code.
            if (code.mid(i).contains(elapsed)) {
                QString before = letters;
                before.remove(marker);
                return std::none_of(before.cbegin(), before.cend(), [](QChar l) { return l.isLetter(); });
            }
            const qsizetype end = code.indexOf(QLatin1Char(']'), i);
            if (end < 0)
                break;
            i = end;
        } else {
            letters += c;
        }
    }
    letters.remove(marker);
    for (const QChar c : std::as_const(letters)) {
        if (c.isLetter())
            return true;
    }
    return false;
}

bool isLogicalFormula(const QString &formula)
{
    static const QSet<QString> logicalFunctions = {
        QStringLiteral("AND"),       QStringLiteral("OR"),    QStringLiteral("XOR"),
        QStringLiteral("NOT"),       QStringLiteral("TRUE"),  QStringLiteral("FALSE"),
        QStringLiteral("ISBLANK"),   QStringLiteral("ISERR"), QStringLiteral("ISERROR"),
        QStringLiteral("ISLOGICAL"), QStringLiteral("ISNA"),  QStringLiteral("ISNONTEXT"),
        QStringLiteral("ISNUMBER"),  QStringLiteral("ISREF"), QStringLiteral("ISTEXT"),
        QStringLiteral("ISEVEN"),    QStringLiteral("ISODD"), QStringLiteral("EXACT"),
        QStringLiteral("ISFORMULA"),
    };
    if (!formula.startsWith(QLatin1Char('=')))
        return false;
    // Comparisons bind last: one outside every parenthesis decides the type.
    int depth = 0;
    qsizetype firstOpen = -1, lastClose = -1;
    bool wrapped = true; // the whole formula is one call
    for (qsizetype i = 1; i < formula.size(); ++i) {
        const QChar c = formula.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype end = skipQuoted(formula, i);
            if (end < 0)
                return false;
            i = end - 1;
            if (depth == 0)
                wrapped = false;
        } else if (c == QLatin1Char('(') || c == QLatin1Char('{')) {
            if (depth == 0 && firstOpen < 0)
                firstOpen = i;
            else if (depth == 0)
                wrapped = false;
            ++depth;
        } else if (c == QLatin1Char(')') || c == QLatin1Char('}')) {
            if (--depth == 0)
                lastClose = i;
        } else if (depth == 0) {
            if (c == QLatin1Char('=') || c == QLatin1Char('<') || c == QLatin1Char('>'))
                return true;
            if (lastClose >= 0 && !c.isSpace())
                wrapped = false;
        }
    }
    if (firstOpen < 0)
        return QStringList{QStringLiteral("TRUE"), QStringLiteral("FALSE")}.contains(
            formula.mid(1).trimmed().toUpper());
    if (!wrapped || lastClose < 0)
        return false;
    return logicalFunctions.contains(formula.mid(1, firstOpen - 1).trimmed().toUpper());
}

QString decodeOoxmlEscapes(const QString &text)
{
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    qsizetype from = 0;
    QRegularExpressionMatchIterator it = escape.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += text.mid(from, m.capturedStart() - from);
        out += QChar(char16_t(m.captured(1).toUShort(nullptr, 16)));
        from = m.capturedEnd();
    }
    out += text.mid(from);
    return out;
}

} // namespace platform::office::excel
