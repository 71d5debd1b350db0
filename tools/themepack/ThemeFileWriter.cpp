#include "ThemeFileWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace themepack {

namespace {

void put32(QByteArray &out, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((v >> (8 * i)) & 0xFF);
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    put32(b, 0, v);
    return b;
}

constexpr int HeaderSize = 24;
constexpr int RecordSize = 77;

} // namespace

QByteArray bmpFile(const QImage &picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "BMP");
    return bytes;
}

void ThemeFileWriter::add(const QString &name, quint8 kind, const QByteArray &data)
{
    m_records.append({name.toLatin1().left(64), kind, data});
}

void ThemeFileWriter::addInteger(const QString &name, qint32 value)
{
    add(name, Integer, le32(quint32(value)));
}

void ThemeFileWriter::addBoolean(const QString &name, quint8 value)
{
    add(name, Boolean, QByteArray(1, char(value)));
}

QByteArray ThemeFileWriter::build() const
{
    QByteArray out(HeaderSize, '\0');
    out.replace(0, 10, "Velkano_TB");
    put32(out, 12, HeaderSize);

    QList<quint32> offsets;
    for (const Record &r : m_records) {
        offsets.append(quint32(out.size()));
        out.append(r.data);
    }
    const quint32 first = quint32(out.size());
    put32(out, 20, first);
    for (int i = 0; i <= m_records.size(); ++i) {
        QByteArray record(RecordSize, '\0');
        if (i < m_records.size()) {
            const Record &r = m_records[i];
            record.replace(0, int(r.name.size()), r.name);
            record[64] = char(r.kind);
            put32(record, 65, offsets[i]);
            put32(record, 69, quint32(r.data.size()));
            put32(record, 73, first + quint32(i + 1) * RecordSize);
        }
        // The last record, with next = 0, only ends the chain.
        out.append(record);
    }
    return out;
}

static bool parseInteger(const QString &text, qint32 *value)
{
    bool ok = false;
    qint64 v = 0;
    if (text.startsWith("0x", Qt::CaseInsensitive))
        v = text.mid(2).toLongLong(&ok, 16);
    else
        v = text.toLongLong(&ok, 10);
    if (!ok || v < -2147483648LL || v > 4294967295LL)
        return false;
    *value = qint32(quint32(v));
    return true;
}

bool ThemeFileWriter::addFolder(const QString &dir, QString *error)
{
    const QDir folder(dir);
    if (!folder.exists()) {
        *error = QStringLiteral("no such folder: %1").arg(dir);
        return false;
    }
    const QFileInfoList images = folder.entryInfoList({"*.bmp", "*.BMP"}, QDir::Files, QDir::Name);
    for (const QFileInfo &info : images) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1").arg(info.filePath());
            return false;
        }
        const QByteArray bytes = file.readAll();
        if (!bytes.startsWith("BM")) {
            *error = QStringLiteral("%1 is not a bitmap file").arg(info.filePath());
            return false;
        }
        addImage(info.completeBaseName(), bytes);
    }
    QFile values(folder.filePath("values.txt"));
    if (!values.exists())
        return true;
    if (!values.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("cannot read %1").arg(values.fileName());
        return false;
    }
    int lineNo = 0;
    while (!values.atEnd()) {
        ++lineNo;
        QString line = QString::fromUtf8(values.readLine());
        const int hash = int(line.indexOf('#'));
        const int quote = int(line.indexOf('"'));
        if (hash >= 0 && (quote < 0 || hash < quote))
            line.truncate(hash);
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const int eq = int(line.indexOf('='));
        const QString name = eq > 0 ? line.left(eq).trimmed() : QString();
        const QString value = eq > 0 ? line.mid(eq + 1).trimmed() : QString();
        auto bad = [&](const QString &why) {
            *error = QStringLiteral("%1:%2: %3").arg(values.fileName()).arg(lineNo).arg(why);
            return false;
        };
        if (name.isEmpty() || value.isEmpty())
            return bad(QStringLiteral("expected Name = value"));
        if (name.toLatin1().size() > 64)
            return bad(QStringLiteral("name longer than 64 characters"));
        if (value.startsWith('"')) {
            if (value.size() < 2 || !value.endsWith('"'))
                return bad(QStringLiteral("unterminated text"));
            addString(name, value.mid(1, value.size() - 2).toLatin1());
        } else if (name.endsWith("Bool", Qt::CaseInsensitive)) {
            const QString v = value.toLower();
            qint32 n = 0;
            if (v == "true" || v == "yes")
                addBoolean(name, 1);
            else if (v == "false" || v == "no")
                addBoolean(name, 0);
            else if (parseInteger(v, &n) && n >= 0 && n <= 255)
                addBoolean(name, quint8(n));
            else
                return bad(QStringLiteral("not a boolean: %1").arg(value));
        } else {
            qint32 n = 0;
            if (!parseInteger(value, &n))
                return bad(QStringLiteral("not an integer: %1").arg(value));
            addInteger(name, n);
        }
    }
    return true;
}

} // namespace themepack
