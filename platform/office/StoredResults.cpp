#include "platform/office/StoredResults.h"

#include "platform/office/ExcelValues.h"
#include "platform/office/ZipPackage.h"

#include <QFile>
#include <QXmlStreamReader>

#include <cstring>
#include <optional>

namespace platform::office {

namespace {

quint16 u16(const QByteArray &b, qsizetype at)
{
    return at + 2 <= b.size() ? quint16(quint8(b[at]) | quint8(b[at + 1]) << 8) : 0;
}

quint32 u32(const QByteArray &b, qsizetype at)
{
    return at + 4 <= b.size() ? quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16 : 0;
}

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFreeSector = 0xFFFFFFFF;

// The compound file (the container of .xls): just enough to read one
// stream by name from the root storage.
class CompoundFile
{
public:
    explicit CompoundFile(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    std::optional<QByteArray> stream(const QStringList &names)
    {
        static const QByteArray magic = QByteArray::fromHex("d0cf11e0a1b11ae1");
        if (!m_bytes.startsWith(magic))
            return {};
        const int shift = u16(m_bytes, 0x1E);
        const int miniShift = u16(m_bytes, 0x20);
        if (shift < 7 || shift > 16 || miniShift < 2 || miniShift >= shift)
            return {};
        m_sectorSize = 1 << shift;
        if (!readFat())
            return {};
        const QByteArray directory = chain(u32(m_bytes, 0x30), m_fat, m_sectorSize, nullptr);
        QByteArray root, miniFat;
        for (qsizetype at = 0; at + 128 <= directory.size(); at += 128) {
            const int nameBytes = u16(directory, at + 0x40);
            const int type = quint8(directory[at + 0x42]);
            if (nameBytes < 2 || nameBytes > 64)
                continue;
            const QString name =
                QString::fromUtf16(reinterpret_cast<const char16_t *>(directory.constData() + at), nameBytes / 2 - 1);
            const quint32 start = u32(directory, at + 0x74);
            const quint32 size = u32(directory, at + 0x78);
            if (type == 5) {
                root = chain(start, m_fat, m_sectorSize, nullptr).left(size);
                miniFat = chain(u32(m_bytes, 0x3C), m_fat, m_sectorSize, nullptr);
                continue;
            }
            if (type != 2 || !names.contains(name, Qt::CaseInsensitive))
                continue;
            if (size < u32(m_bytes, 0x38)) {
                QList<quint32> fat;
                for (qsizetype i = 0; i + 4 <= miniFat.size(); i += 4)
                    fat << u32(miniFat, i);
                return chain(start, fat, 1 << miniShift, &root).left(size);
            }
            return chain(start, m_fat, m_sectorSize, nullptr).left(size);
        }
        return {};
    }

private:
    bool readFat()
    {
        QList<quint32> fatSectors;
        for (int i = 0; i < 109; ++i) {
            const quint32 s = u32(m_bytes, 0x4C + 4 * i);
            if (s >= kEndOfChain)
                break;
            fatSectors << s;
        }
        quint32 difat = u32(m_bytes, 0x44);
        for (int guard = 0; difat < kEndOfChain && guard < 10000; ++guard) {
            const QByteArray block = sector(difat, m_sectorSize, nullptr);
            if (block.isEmpty())
                return false;
            const int perBlock = m_sectorSize / 4 - 1;
            for (int i = 0; i < perBlock; ++i) {
                const quint32 s = u32(block, 4 * i);
                if (s < kEndOfChain)
                    fatSectors << s;
            }
            difat = u32(block, 4 * perBlock);
        }
        for (quint32 s : std::as_const(fatSectors)) {
            const QByteArray block = sector(s, m_sectorSize, nullptr);
            if (block.isEmpty())
                return false;
            for (qsizetype i = 0; i + 4 <= block.size(); i += 4)
                m_fat << u32(block, i);
        }
        return !m_fat.isEmpty();
    }

    // A sector of the file, or of the mini stream when `mini` is given.
    QByteArray sector(quint32 n, int size, const QByteArray *mini) const
    {
        const qint64 at = mini ? qint64(n) * size : (qint64(n) + 1) * size;
        const QByteArray &from = mini ? *mini : m_bytes;
        if (at + size > from.size())
            return {};
        return from.mid(at, size);
    }

    QByteArray chain(quint32 start, const QList<quint32> &fat, int size, const QByteArray *mini) const
    {
        QByteArray out;
        // A chain longer than the file has sectors loops.
        for (qsizetype steps = 0; start < kEndOfChain && start < quint32(fat.size()) && steps <= fat.size(); ++steps) {
            const QByteArray block = sector(start, size, mini);
            if (block.isEmpty())
                break;
            out += block;
            start = fat.at(start);
        }
        return out;
    }

    QByteArray m_bytes;
    QList<quint32> m_fat;
    int m_sectorSize = 512;
};

struct Record
{
    quint16 type;
    QByteArray data;
};

// Records from `at` on, CONTINUE records joined to the one they continue
// (with the positions where each continuation began, which strings need).
class RecordReader
{
public:
    RecordReader(const QByteArray &stream, qsizetype at) : m_stream(stream), m_at(at) {}

    bool next(Record &record, QList<qsizetype> *breaks = nullptr)
    {
        if (m_at + 4 > m_stream.size())
            return false;
        record.type = u16(m_stream, m_at);
        const quint16 length = u16(m_stream, m_at + 2);
        if (m_at + 4 + length > m_stream.size())
            return false;
        record.data = m_stream.mid(m_at + 4, length);
        m_at += 4 + length;
        if (breaks)
            breaks->clear();
        while (m_at + 4 <= m_stream.size() && u16(m_stream, m_at) == 0x003C) {
            const quint16 more = u16(m_stream, m_at + 2);
            if (m_at + 4 + more > m_stream.size())
                return false;
            if (breaks)
                *breaks << record.data.size();
            record.data += m_stream.mid(m_at + 4, more);
            m_at += 4 + more;
        }
        return true;
    }

private:
    const QByteArray &m_stream;
    qsizetype m_at;
};

// A BIFF8 string of `count` characters at `at` whose option byte comes
// first; each CONTINUE break starts with an option byte of its own.
QString unicodeString(const QByteArray &data, qsizetype at, int count, const QList<qsizetype> &breaks)
{
    QString out;
    bool wide = at < data.size() && (quint8(data[at]) & 1);
    ++at;
    while (out.size() < count && at < data.size()) {
        if (breaks.contains(at)) {
            wide = quint8(data[at]) & 1;
            ++at;
            continue;
        }
        if (wide) {
            out += QChar(u16(data, at));
            at += 2;
        } else {
            out += QChar(quint8(data[at]));
            at += 1;
        }
    }
    return out;
}

QString errorText(quint8 code)
{
    static const struct
    {
        quint8 code;
        const char *text;
    } errors[] = {{0x00, "#NULL!"}, {0x07, "#DIV/0!"}, {0x0F, "#VALUE!"}, {0x17, "#REF!"},
                  {0x1D, "#NAME?"}, {0x24, "#NUM!"},   {0x2A, "#N/A"}};
    for (const auto &e : errors) {
        if (e.code == code)
            return QLatin1String(e.text);
    }
    return QStringLiteral("#VALUE!");
}

// BIFF record types
constexpr quint16 kBof = 0x0809, kEof = 0x000A, kBoundSheet = 0x0085, kFilePass = 0x002F, kFormula = 0x0006,
                  kString = 0x0207, kWsBool = 0x0081;

bool readSheet(const QByteArray &stream, qsizetype at, bool biff8, StoredResults::Sheet &sheet)
{
    RecordReader reader(stream, at);
    Record record;
    QList<qsizetype> breaks;
    if (!reader.next(record) || record.type != kBof)
        return false;
    const quint16 type = u16(record.data, 2);
    if (type == 0x0020)
        sheet.kind = StoredResults::SheetKind::Chart;
    else if (type == 0x0040)
        sheet.kind = StoredResults::SheetKind::MacroSheet;
    quint64 pending = 0; // the formula cell whose text result the next STRING holds
    bool awaitingText = false;
    while (reader.next(record, &breaks)) {
        const QByteArray &d = record.data;
        switch (record.type) {
        case kEof:
            return true;
        case kBof: // an embedded chart's substream: not this sheet's
            for (int depth = 1; depth > 0 && reader.next(record);)
                depth += record.type == kBof ? 1 : record.type == kEof ? -1 : 0;
            break;
        case kWsBool:
            if (u16(d, 0) & 0x0010)
                sheet.kind = StoredResults::SheetKind::Dialog;
            break;
        case kFormula: {
            if (d.size() < 20)
                break;
            const quint64 cell = StoredResults::key(u16(d, 0), u16(d, 2));
            StoredResults::Value value;
            awaitingText = false;
            if (u16(d, 12) == 0xFFFF) {
                switch (quint8(d[6])) {
                case 0: // the text follows in a STRING record
                    pending = cell;
                    awaitingText = true;
                    continue;
                case 1:
                    value.kind = StoredResults::Value::Kind::Logical;
                    value.number = quint8(d[8]) != 0 ? 1 : 0;
                    break;
                case 2:
                    value.kind = StoredResults::Value::Kind::Error;
                    value.text = errorText(quint8(d[8]));
                    break;
                case 3:
                    value.kind = StoredResults::Value::Kind::Text;
                    break;
                default:
                    continue;
                }
            } else {
                std::memcpy(&value.number, d.constData() + 6, 8);
            }
            sheet.results.insert(cell, value);
            break;
        }
        case kString: {
            if (!awaitingText)
                break;
            awaitingText = false;
            StoredResults::Value value;
            value.kind = StoredResults::Value::Kind::Text;
            const int count = u16(d, 0);
            if (biff8) {
                value.text = unicodeString(d, 2, count, breaks);
            } else {
                value.text = QString::fromLatin1(d.mid(2, count));
            }
            sheet.results.insert(pending, value);
            break;
        }
        default:
            break;
        }
    }
    return false;
}

// An .xlsb record: a type and a length of up to 7 bits a byte each.
bool nextBinaryRecord(const QByteArray &b, qsizetype &at, quint32 &type, QByteArray &data)
{
    const auto varint = [&](int maxBytes, quint32 &value) {
        value = 0;
        for (int i = 0; i < maxBytes; ++i) {
            if (at >= b.size())
                return false;
            const quint8 byte = quint8(b[at++]);
            value |= quint32(byte & 0x7f) << (7 * i);
            if (!(byte & 0x80))
                return true;
        }
        return true;
    };
    quint32 length = 0;
    if (!varint(2, type) || !varint(4, length) || at + qsizetype(length) > b.size())
        return false;
    data = b.mid(at, length);
    at += length;
    return true;
}

QString wideString(const QByteArray &data, qsizetype at, qsizetype *end = nullptr)
{
    const quint32 count = u32(data, at);
    if (count == 0xFFFFFFFF || at + 4 + qsizetype(count) * 2 > data.size()) {
        if (end)
            *end = at + 4;
        return {};
    }
    if (end)
        *end = at + 4 + qsizetype(count) * 2;
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(data.constData() + at + 4), count);
}

// .xlsb record types
constexpr quint32 kRowHeader = 0, kFormulaText = 8, kFormulaNumber = 9, kFormulaLogical = 10, kFormulaError = 11,
                  kBundleSheet = 156;

bool readBinarySheet(const QByteArray &part, StoredResults::Sheet &sheet)
{
    qsizetype at = 0;
    quint32 type = 0;
    QByteArray d;
    int row = 0;
    while (at < part.size()) {
        if (!nextBinaryRecord(part, at, type, d))
            return false;
        if (type == kRowHeader) {
            row = int(u32(d, 0));
            continue;
        }
        if (type < kFormulaText || type > kFormulaError || d.size() < 9)
            continue;
        StoredResults::Value value;
        switch (type) {
        case kFormulaText:
            value.kind = StoredResults::Value::Kind::Text;
            value.text = wideString(d, 8);
            break;
        case kFormulaNumber:
            if (d.size() < 16)
                continue;
            std::memcpy(&value.number, d.constData() + 8, 8);
            break;
        case kFormulaLogical:
            value.kind = StoredResults::Value::Kind::Logical;
            value.number = quint8(d[8]) != 0 ? 1 : 0;
            break;
        default:
            value.kind = StoredResults::Value::Kind::Error;
            value.text = errorText(quint8(d[8]));
            break;
        }
        sheet.results.insert(StoredResults::key(row, int(u32(d, 0))), value);
    }
    return true;
}

// "BC12" as 0-based row and column; false for anything else.
bool cellReference(QStringView text, int &row, int &column)
{
    qsizetype i = 0;
    column = 0;
    while (i < text.size() && text[i].isUpper())
        column = column * 26 + (text[i++].unicode() - 'A' + 1);
    bool ok = false;
    row = text.mid(i).toInt(&ok) - 1;
    --column;
    return ok && i > 0 && row >= 0 && column >= 0;
}

// The stored results of an .xlsx worksheet: the value of every cell that
// has a formula.
bool readXmlSheet(const QByteArray &part, StoredResults::Sheet &sheet)
{
    QXmlStreamReader xml(part);
    int row = 0, column = 0;
    QString type, value;
    bool formula = false, inCell = false, hasValue = false;
    while (!xml.atEnd()) {
        xml.readNext();
        const QStringView name = xml.name();
        if (xml.isStartElement()) {
            if (name == QLatin1String("c")) {
                inCell = cellReference(xml.attributes().value(QLatin1String("r")), row, column);
                type = xml.attributes().value(QLatin1String("t")).toString();
                formula = hasValue = false;
                value.clear();
            } else if (inCell && name == QLatin1String("f")) {
                formula = true;
            } else if (inCell && name == QLatin1String("v")) {
                value = xml.readElementText();
                hasValue = true;
            }
        } else if (xml.isEndElement() && name == QLatin1String("c") && inCell) {
            inCell = false;
            if (!formula || !hasValue)
                continue; // no stored result: the office computes it
            StoredResults::Value stored;
            if (type == QLatin1String("str")) {
                stored.kind = StoredResults::Value::Kind::Text;
                stored.text = excel::decodeOoxmlEscapes(value);
            } else if (type == QLatin1String("b")) {
                stored.kind = StoredResults::Value::Kind::Logical;
                stored.number = value.trimmed() == QLatin1String("1") ? 1 : 0;
            } else if (type == QLatin1String("e")) {
                stored.kind = StoredResults::Value::Kind::Error;
                stored.text = value;
            } else if (type.isEmpty() || type == QLatin1String("n")) {
                bool ok = false;
                stored.number = value.toDouble(&ok);
                if (!ok)
                    continue;
            } else {
                continue;
            }
            sheet.results.insert(StoredResults::key(row, column), stored);
        }
    }
    return !xml.hasError();
}

StoredResults::SheetKind kindOfRelation(const QString &type)
{
    if (type.endsWith(QLatin1String("/chartsheet")))
        return StoredResults::SheetKind::Chart;
    if (type.endsWith(QLatin1String("/dialogsheet")))
        return StoredResults::SheetKind::Dialog;
    if (type.endsWith(QLatin1String("acrosheet"), Qt::CaseInsensitive)) // xlMacrosheet, xlIntlMacrosheet
        return StoredResults::SheetKind::MacroSheet;
    return StoredResults::SheetKind::Worksheet;
}

} // namespace

StoredResults StoredResults::readPackage(const QByteArray &bytes)
{
    StoredResults out;
    const ZipPackage zip(bytes);
    if (!zip.isValid())
        return out;
    const bool binary = zip.part(QStringLiteral("xl/workbook.bin")).has_value();
    const std::optional<QByteArray> workbook =
        zip.part(binary ? QStringLiteral("xl/workbook.bin") : QStringLiteral("xl/workbook.xml"));
    const std::optional<QByteArray> relations =
        zip.part(binary ? QStringLiteral("xl/_rels/workbook.bin.rels") : QStringLiteral("xl/_rels/workbook.xml.rels"));
    if (!workbook || !relations)
        return out;

    struct Target
    {
        SheetKind kind;
        QString part;
    };
    QHash<QString, Target> targets;
    QXmlStreamReader rels(*relations);
    while (!rels.atEnd()) {
        rels.readNext();
        if (!rels.isStartElement() || rels.name() != QLatin1String("Relationship"))
            continue;
        const auto a = rels.attributes();
        const QString target = a.value(QLatin1String("Target")).toString();
        targets.insert(a.value(QLatin1String("Id")).toString(),
                       {kindOfRelation(a.value(QLatin1String("Type")).toString()),
                        target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target});
    }

    QList<QPair<QString, QString>> sheets; // name, relation id
    if (binary) {
        qsizetype at = 0;
        quint32 type = 0;
        QByteArray d;
        while (at < workbook->size() && nextBinaryRecord(*workbook, at, type, d)) {
            if (type != kBundleSheet)
                continue;
            qsizetype next = 0;
            const QString relation = wideString(d, 8, &next);
            sheets.append({wideString(d, next), relation});
        }
    } else {
        QXmlStreamReader xml(*workbook);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("sheet")) {
                const auto a = xml.attributes();
                QString relation;
                for (const QXmlStreamAttribute &attribute : a) {
                    if (attribute.name() == QLatin1String("id")
                        && attribute.namespaceUri().endsWith(QLatin1String("/relationships")))
                        relation = attribute.value().toString();
                }
                sheets.append({a.value(QLatin1String("name")).toString(), relation});
            }
        }
        if (xml.hasError())
            return out;
    }
    for (const auto &[name, relation] : sheets) {
        Sheet sheet;
        sheet.name = name;
        const Target target = targets.value(relation, {SheetKind::Worksheet, {}});
        sheet.kind = target.kind;
        if (sheet.kind == SheetKind::Worksheet) {
            const std::optional<QByteArray> part = zip.part(target.part);
            if (!part || !(binary ? readBinarySheet(*part, sheet) : readXmlSheet(*part, sheet)))
                return StoredResults{};
        }
        out.m_sheets << sheet;
    }
    return out;
}

StoredResults StoredResults::read(const QString &path)
{
    QFile file(path);
    // Larger files are left to the office alone: this reads them whole.
    if (!file.open(QIODevice::ReadOnly) || file.size() > (qint64(256) << 20))
        return {};
    const QByteArray bytes = file.readAll();
    return bytes.startsWith("PK") ? readPackage(bytes) : readBiff(bytes);
}

StoredResults StoredResults::readBiff(const QByteArray &bytes)
{
    StoredResults out;
    CompoundFile compound(bytes);
    const std::optional<QByteArray> stream = compound.stream({QStringLiteral("Workbook"), QStringLiteral("Book")});
    if (!stream)
        return out;
    RecordReader globals(*stream, 0);
    Record record;
    QList<qsizetype> breaks;
    if (!globals.next(record) || record.type != kBof)
        return out;
    const bool biff8 = u16(record.data, 0) == 0x0600;
    QList<QPair<Sheet, quint32>> found;
    while (globals.next(record, &breaks) && record.type != kEof) {
        if (record.type == kFilePass)
            return out; // encrypted: the office asked for the password anyway
        if (record.type != kBoundSheet || record.data.size() < 8)
            continue;
        Sheet sheet;
        const quint8 kind = quint8(record.data[5]);
        if (kind == 1)
            sheet.kind = SheetKind::MacroSheet;
        else if (kind == 2)
            sheet.kind = SheetKind::Chart;
        else if (kind == 6)
            sheet.kind = SheetKind::Module;
        const int count = quint8(record.data[6]);
        sheet.name =
            biff8 ? unicodeString(record.data, 7, count, breaks) : QString::fromLatin1(record.data.mid(7, count));
        found.append({sheet, u32(record.data, 0)});
    }
    for (auto &[sheet, offset] : found) {
        if (sheet.kind != SheetKind::Module && !readSheet(*stream, offset, biff8, sheet))
            return StoredResults{};
        out.m_sheets << sheet;
    }
    return out;
}

const StoredResults::Sheet *StoredResults::sheet(const QString &name) const
{
    for (const Sheet &s : m_sheets) {
        if (s.name == name)
            return &s;
    }
    return nullptr;
}

} // namespace platform::office
