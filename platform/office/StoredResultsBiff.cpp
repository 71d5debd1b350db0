#include "platform/office/StoredResults.h"
#include "platform/office/StoredResults_p.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <optional>

// The .xls side of StoredResults: the compound file that holds the workbook
// stream, and the BIFF5/BIFF8 records in it.

namespace platform::office {

using stored::f64;
using stored::u16;
using stored::u32;

namespace {

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

    qsizetype position() const { return m_at; }

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

// Reads BIFF strings of a record whose CONTINUE parts were joined: where
// the characters of a string run over into the next part, that part starts
// with an option byte of its own (8 or 16 bits a character).
class BiffText
{
public:
    BiffText(const QByteArray &data, const QList<qsizetype> &breaks) : m_data(data), m_breaks(breaks) {}

    // A string whose character count (16 bits) and option byte come first,
    // as in the shared strings, LABEL and STRING records; rich text runs and
    // phonetic data after it are skipped. `at` moves past the whole string.
    QString unicode(qsizetype &at) const
    {
        const int count = u16(m_data, at);
        const quint8 options = at + 2 < m_data.size() ? quint8(m_data[at + 2]) : 0;
        at += 3;
        qsizetype after = 0;
        if (options & 0x08) { // rich text: the number of formatting runs
            after += 4 * qsizetype(u16(m_data, at));
            at += 2;
        }
        if (options & 0x04) { // phonetic data: its size
            after += u32(m_data, at);
            at += 4;
        }
        const QString text = characters(at, count, options & 0x01);
        at += after;
        return text;
    }

    // A string with an 8-bit count, then the option byte (sheet names).
    QString shortUnicode(qsizetype at) const
    {
        const int count = at < m_data.size() ? quint8(m_data[at]) : 0;
        at += 2;
        return characters(at, count, at - 1 < m_data.size() && (quint8(m_data[at - 1]) & 1));
    }

private:
    QString characters(qsizetype &at, int count, bool wide) const
    {
        QString out;
        out.reserve(count);
        auto next = std::lower_bound(m_breaks.cbegin(), m_breaks.cend(), at);
        while (out.size() < count && at < m_data.size()) {
            if (next != m_breaks.cend() && *next == at) {
                wide = quint8(m_data[at]) & 1;
                ++at;
                ++next;
                continue;
            }
            if (wide) {
                out += QChar(u16(m_data, at));
                at += 2;
            } else {
                out += QChar(quint8(m_data[at]));
                at += 1;
            }
        }
        return out;
    }

    const QByteArray &m_data;
    const QList<qsizetype> &m_breaks;
};

// BIFF record types
constexpr quint16 kBof = 0x0809, kEof = 0x000A, kBoundSheet = 0x0085, kFilePass = 0x002F, kFormula = 0x0006,
                  kString = 0x0207, kWsBool = 0x0081, kSharedStrings = 0x00FC, kPivotView = 0x00B0,
                  kLabelShared = 0x00FD, kLabel = 0x0204, kRichLabel = 0x00D6, kNumber = 0x0203, kRk = 0x027E,
                  kMultipleRk = 0x00BD, kBoolErr = 0x0205, kCodePage = 0x0042;

using Value = StoredResults::Value;

// The workbook stream: its globals (sheets, shared strings) and the
// substream of each sheet.
class BiffWorkbook
{
public:
    BiffWorkbook(const QByteArray &stream, StoredResults::Scope scope) : m_stream(stream), m_scope(scope) {}

    // The sheets listed in the globals, with their substreams' offsets;
    // false when the workbook is encrypted or is no BIFF5/BIFF8.
    bool readGlobals(QList<QPair<StoredResults::Sheet, quint32>> &sheets)
    {
        RecordReader globals(m_stream, 0);
        Record record;
        QList<qsizetype> breaks;
        if (!globals.next(record) || record.type != kBof)
            return false;
        m_biff8 = u16(record.data, 0) == 0x0600;
        for (qsizetype at = globals.position(); globals.next(record, &breaks) && record.type != kEof;
             at = globals.position()) {
            if (record.type == kFilePass)
                return false; // encrypted: the office asked for the password anyway
            if (record.type == kSharedStrings && m_sharedStringsAt < 0)
                m_sharedStringsAt = at;
            if (record.type == kCodePage)
                m_codePage = u16(record.data, 0);
            if (record.type != kBoundSheet || record.data.size() < 8)
                continue;
            StoredResults::Sheet sheet;
            const quint8 kind = quint8(record.data[5]);
            if (kind == 1)
                sheet.kind = StoredResults::SheetKind::MacroSheet;
            else if (kind == 2)
                sheet.kind = StoredResults::SheetKind::Chart;
            else if (kind == 6)
                sheet.kind = StoredResults::SheetKind::Module;
            if (m_biff8)
                sheet.name = BiffText(record.data, breaks).shortUnicode(6);
            else
                sheet.name = eightBit(record.data.mid(7, quint8(record.data[6])));
            sheets.append({sheet, u32(record.data, 0)});
        }
        return true;
    }

    bool readSheet(qsizetype at, StoredResults::Sheet &sheet)
    {
        sheet.pivotTables = pivotTables(at);
        RecordReader reader(m_stream, at);
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
            const int row = u16(d, 0), column = u16(d, 2);
            switch (record.type) {
            case kEof:
                return true;
            case kBof: // an embedded chart's substream: not this sheet's
                skipSubstream(reader);
                break;
            case kWsBool:
                if (u16(d, 0) & 0x0010)
                    sheet.kind = StoredResults::SheetKind::Dialog;
                break;
            case kFormula:
                awaitingText = false;
                if (d.size() < 20)
                    break;
                if (u16(d, 12) != 0xFFFF) {
                    sheet.results.insert(StoredResults::key(row, column), Value::ofNumber(f64(d, 6)));
                } else if (quint8(d[6]) == 0) { // the text follows in a STRING record
                    pending = StoredResults::key(row, column);
                    awaitingText = true;
                } else if (const std::optional<Value> value = special(quint8(d[6]), quint8(d[8]))) {
                    sheet.results.insert(StoredResults::key(row, column), *value);
                }
                break;
            case kString:
                if (!awaitingText)
                    break;
                awaitingText = false;
                sheet.results.insert(pending, Value::ofText(text(d, breaks, 0)));
                break;
            default:
                readCell(record, breaks, sheet);
                break;
            }
        }
        return false;
    }

private:
    static void skipSubstream(RecordReader &reader)
    {
        Record record;
        for (int depth = 1; depth > 0 && reader.next(record);)
            depth += record.type == kBof ? 1 : record.type == kEof ? -1 : 0;
    }

    // A string of a LABEL or STRING record from `at` on.
    QString text(const QByteArray &d, const QList<qsizetype> &breaks, qsizetype at) const
    {
        const BiffText reader(d, breaks);
        return m_biff8 ? reader.unicode(at) : eightBit(d.mid(at + 2, u16(d, at)));
    }

    // A logical value or an error in a FORMULA or BOOLERR record.
    static std::optional<Value> special(quint8 kind, quint8 code)
    {
        Value value;
        switch (kind) {
        case 1:
            value.kind = Value::Kind::Logical;
            value.number = code != 0 ? 1 : 0;
            return value;
        case 2:
            value.kind = Value::Kind::Error;
            value.text = stored::errorText(code);
            return value;
        case 3:
            value.kind = Value::Kind::Text;
            return value;
        }
        return std::nullopt;
    }

    // A cell with a value and no formula, kept where the scope wants it.
    void readCell(const Record &record, const QList<qsizetype> &breaks, StoredResults::Sheet &sheet)
    {
        const QByteArray &d = record.data;
        const int row = u16(d, 0), column = u16(d, 2);
        auto keep = [&](int at, const Value &value) {
            if (m_scope == StoredResults::Scope::EveryCell || sheet.inPivotTable(row, at))
                sheet.cells.insert(StoredResults::key(row, at), value);
        };
        switch (record.type) {
        case kNumber:
            keep(column, Value::ofNumber(f64(d, 6)));
            break;
        case kRk:
            keep(column, Value::ofNumber(stored::rkNumber(u32(d, 6))));
            break;
        case kMultipleRk:
            for (qsizetype at = 4, c = column; at + 6 <= d.size() - 2; at += 6, ++c)
                keep(int(c), Value::ofNumber(stored::rkNumber(u32(d, at + 2))));
            break;
        case kBoolErr:
            if (d.size() < 8)
                break;
            if (const std::optional<Value> value = special(quint8(d[7]) ? 2 : 1, quint8(d[6])))
                keep(column, *value);
            break;
        case kLabel:
        case kRichLabel:
            keep(column, Value::ofText(text(d, breaks, 6)));
            break;
        case kLabelShared:
            if (m_scope == StoredResults::Scope::EveryCell || sheet.inPivotTable(row, column))
                keep(column, Value::ofText(sharedString(u32(d, 6))));
            break;
        default:
            break;
        }
    }

    // The areas of the sheet's pivot tables (SXVIEW records), read ahead
    // of its cells, which come first.
    QList<StoredResults::Area> pivotTables(qsizetype at) const
    {
        QList<StoredResults::Area> areas;
        RecordReader reader(m_stream, at);
        Record record;
        if (!reader.next(record) || record.type != kBof)
            return areas;
        while (reader.next(record) && record.type != kEof) {
            if (record.type == kBof) {
                skipSubstream(reader);
                continue;
            }
            if (record.type != kPivotView || record.data.size() < 30)
                continue;
            const QByteArray &d = record.data;
            StoredResults::Area area{u16(d, 0), u16(d, 4), u16(d, 2), u16(d, 6)};
            // Page fields stand one to a row above the table, a row apart.
            if (const int pageFields = u16(d, 28); pageFields > 0) {
                area.top = std::max(0, area.top - pageFields - 1);
                area.right = std::max(area.right, area.left + 1);
            }
            areas << area;
        }
        return areas;
    }

    QString sharedString(quint32 index)
    {
        if (!m_sharedStringsRead)
            readSharedStrings();
        return index < quint32(m_sharedStrings.size()) ? m_sharedStrings.at(index) : QString();
    }

    void readSharedStrings()
    {
        m_sharedStringsRead = true;
        if (m_sharedStringsAt < 0)
            return;
        RecordReader reader(m_stream, m_sharedStringsAt);
        Record record;
        QList<qsizetype> breaks;
        if (!reader.next(record, &breaks) || record.type != kSharedStrings)
            return;
        const quint32 unique = u32(record.data, 4);
        const BiffText strings(record.data, breaks);
        qsizetype at = 8;
        for (quint32 i = 0; i < unique && at + 3 <= record.data.size(); ++i)
            m_sharedStrings << strings.unicode(at);
    }

    // BIFF5 keeps texts in the code page of the system that wrote it
    // (BIFF8 in UTF-16, its 8-bit strings being UTF-16 with the high bytes
    // left out).
    QString eightBit(const QByteArray &bytes) const
    {
        if (m_codePage == 0 || m_codePage == 367 || m_codePage == 1200)
            return QString::fromLatin1(bytes);
        const QByteArray name = m_codePage == 10000 || m_codePage == 32768
                                    ? QByteArrayLiteral("macintosh")
                                    : "windows-" + QByteArray::number(m_codePage == 32769 ? 1252 : m_codePage);
        QStringDecoder decoder(name.constData());
        return decoder.isValid() ? decoder.decode(bytes) : QString::fromLatin1(bytes);
    }

    const QByteArray &m_stream;
    const StoredResults::Scope m_scope;
    bool m_biff8 = false;
    quint16 m_codePage = 0;
    qsizetype m_sharedStringsAt = -1;
    bool m_sharedStringsRead = false;
    QStringList m_sharedStrings;
};

} // namespace

StoredResults StoredResults::readBiff(const QByteArray &bytes, Scope scope)
{
    StoredResults out;
    CompoundFile compound(bytes);
    const std::optional<QByteArray> stream = compound.stream({QStringLiteral("Workbook"), QStringLiteral("Book")});
    if (!stream)
        return out;
    BiffWorkbook workbook(*stream, scope);
    QList<QPair<Sheet, quint32>> found;
    if (!workbook.readGlobals(found))
        return out;
    for (auto &[sheet, offset] : found) {
        if (sheet.kind != SheetKind::Module && !workbook.readSheet(offset, sheet))
            return StoredResults{};
        out.m_sheets << sheet;
    }
    return out;
}

} // namespace platform::office
