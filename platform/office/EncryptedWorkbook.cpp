#include "platform/office/EncryptedWorkbook.h"

#include <QFile>
#include <QtEndian>

#include <optional>
#include <vector>

namespace platform::office {

namespace {

constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kLastSector = 0xFFFFFFF9; // ids above it mark free, FAT or DIFAT sectors
constexpr quint32 kNoEntry = 0xFFFFFFFF;

quint16 u16(const QByteArray &data, qsizetype at)
{
    return at + 2 <= data.size() ? qFromLittleEndian<quint16>(data.constData() + at) : 0;
}

quint32 u32(const QByteArray &data, qsizetype at)
{
    return at + 4 <= data.size() ? qFromLittleEndian<quint32>(data.constData() + at) : kEndOfChain;
}

// Just enough of a compound file (the container of .xls and of encrypted
// OOXML) to find the streams at its root and read their first bytes.
// Every chain is followed at most as many steps as there are sectors, so a
// damaged file ends the walk instead of looping.
class CompoundFile
{
public:
    struct Entry
    {
        QString name;
        quint32 start = kEndOfChain;
        quint64 size = 0;
    };

    explicit CompoundFile(const QString &path) : m_file(path) { m_valid = m_file.open(QIODevice::ReadOnly) && load(); }

    bool isValid() const { return m_valid; }

    // The stream or storage of this name directly below the root.
    std::optional<Entry> rootEntry(const QString &name) const
    {
        for (const Entry &entry : m_rootEntries) {
            if (entry.name.compare(name, Qt::CaseInsensitive) == 0)
                return entry;
        }
        return std::nullopt;
    }

    // Up to maxBytes of the stream's start.
    QByteArray readStart(const Entry &entry, qsizetype maxBytes)
    {
        const qsizetype wanted = qsizetype(qMin<quint64>(entry.size, quint64(maxBytes)));
        QByteArray data;
        if (entry.size < m_miniCutoff) {
            for (quint32 id = entry.start; data.size() < wanted && id <= kLastSector; id = nextMini(id)) {
                const QByteArray sector = readMiniSector(id);
                if (sector.isEmpty() || data.size() > qsizetype(m_miniFat.size()) << m_miniShift)
                    return {};
                data += sector;
            }
        } else {
            quint32 steps = 0;
            for (quint32 id = entry.start; data.size() < wanted && id <= kLastSector; id = next(id)) {
                const QByteArray sector = readSector(id);
                if (sector.isEmpty() || ++steps > m_fat.size())
                    return {};
                data += sector;
            }
        }
        return data.left(wanted);
    }

private:
    bool load()
    {
        const QByteArray header = m_file.read(512);
        if (header.size() < 512 || !header.startsWith(QByteArray::fromHex("d0cf11e0a1b11ae1")))
            return false;
        m_shift = u16(header, 0x1E);
        m_miniShift = u16(header, 0x20);
        if ((m_shift != 9 && m_shift != 12) || m_miniShift != 6)
            return false;
        m_miniCutoff = u32(header, 0x38);
        const quint32 sectors = quint32(m_file.size() >> m_shift);
        const quint32 fatSectors = qMin(u32(header, 0x2C), sectors);
        std::vector<quint32> fatIds;
        for (int i = 0; i < 109 && fatIds.size() < fatSectors; ++i)
            fatIds.push_back(u32(header, 0x4C + 4 * i));
        const int perDifat = (1 << m_shift) / 4 - 1;
        for (quint32 id = u32(header, 0x44), steps = 0; fatIds.size() < fatSectors && id <= kLastSector; ++steps) {
            const QByteArray difat = readSector(id);
            if (difat.isEmpty() || steps > sectors)
                return false;
            for (int i = 0; i < perDifat && fatIds.size() < fatSectors; ++i)
                fatIds.push_back(u32(difat, 4 * i));
            id = u32(difat, 4 * perDifat);
        }
        for (quint32 id : fatIds) {
            const QByteArray sector = readSector(id);
            if (sector.isEmpty())
                return false;
            for (qsizetype at = 0; at < sector.size(); at += 4)
                m_fat.push_back(u32(sector, at));
        }
        const QByteArray directory = readChain(u32(header, 0x30));
        const QByteArray miniFat = readChain(u32(header, 0x3C));
        for (qsizetype at = 0; at + 4 <= miniFat.size(); at += 4)
            m_miniFat.push_back(u32(miniFat, at));
        return readDirectory(directory);
    }

    bool readDirectory(const QByteArray &directory)
    {
        const qsizetype count = directory.size() / 128;
        if (count == 0 || directory.at(0x42) != 5)
            return false;
        m_miniStream = chainOf(u32(directory, 0x74));
        // The root's children are a tree of siblings below its child.
        std::vector<quint32> pending{u32(directory, 0x4C)};
        std::vector<bool> seen(size_t(count), false);
        while (!pending.empty()) {
            const quint32 id = pending.back();
            pending.pop_back();
            if (id == kNoEntry || id >= quint32(count) || seen[id])
                continue;
            seen[id] = true;
            const qsizetype at = qsizetype(id) * 128;
            const int nameBytes = qMin<int>(u16(directory, at + 0x40), 64);
            Entry entry;
            entry.name = QString::fromUtf16(reinterpret_cast<const char16_t *>(directory.constData() + at),
                                            qMax(0, nameBytes / 2 - 1));
            entry.start = u32(directory, at + 0x74);
            entry.size = u32(directory, at + 0x78); // the high half is not trusted in small files
            m_rootEntries.push_back(entry);
            pending.push_back(u32(directory, at + 0x44));
            pending.push_back(u32(directory, at + 0x48));
        }
        return true;
    }

    quint32 next(quint32 id) const { return id < m_fat.size() ? m_fat[id] : kEndOfChain; }
    quint32 nextMini(quint32 id) const { return id < m_miniFat.size() ? m_miniFat[id] : kEndOfChain; }

    std::vector<quint32> chainOf(quint32 start) const
    {
        std::vector<quint32> chain;
        for (quint32 id = start; id <= kLastSector && chain.size() <= m_fat.size(); id = next(id))
            chain.push_back(id);
        return chain;
    }

    QByteArray readChain(quint32 start)
    {
        QByteArray data;
        for (quint32 id : chainOf(start)) {
            const QByteArray sector = readSector(id);
            if (sector.isEmpty())
                return {};
            data += sector;
        }
        return data;
    }

    QByteArray readSector(quint32 id)
    {
        const qint64 size = qint64(1) << m_shift;
        if (!m_file.seek((qint64(id) + 1) << m_shift))
            return {};
        const QByteArray sector = m_file.read(size);
        return sector.size() == size ? sector : QByteArray();
    }

    QByteArray readMiniSector(quint32 id)
    {
        const quint64 offset = quint64(id) << m_miniShift;
        const quint64 index = offset >> m_shift;
        if (index >= m_miniStream.size())
            return {};
        const QByteArray sector = readSector(m_miniStream[size_t(index)]);
        return sector.mid(qsizetype(offset & ((quint64(1) << m_shift) - 1)), qsizetype(1) << m_miniShift);
    }

    QFile m_file;
    bool m_valid = false;
    int m_shift = 9;
    int m_miniShift = 6;
    quint32 m_miniCutoff = 4096;
    std::vector<quint32> m_fat;
    std::vector<quint32> m_miniFat;
    std::vector<quint32> m_miniStream; // the sectors of the root's stream, which holds the small streams
    std::vector<Entry> m_rootEntries;
};

// A BIFF5/BIFF8 workbook stream is encrypted when a FILEPASS record follows
// its first BOF among the records that may come before it; the record says
// how.
Encryption biffEncryption(const QByteArray &stream)
{
    constexpr quint16 kBof = 0x0809, kFilePass = 0x002F, kEof = 0x000A;
    constexpr quint16 kBiff8 = 0x0600;
    if (u16(stream, 0) != kBof)
        return Encryption::None;
    const bool biff8 = u16(stream, 4) == kBiff8;
    qsizetype at = 0;
    for (int records = 0; records < 64 && at + 4 <= stream.size(); ++records) {
        const quint16 type = u16(stream, at);
        if (type == kFilePass) {
            // BIFF5 knows only XOR; BIFF8 says XOR (0) or RC4 (1), and for
            // RC4 its version: 1 plain, 2 to 4 through CryptoAPI.
            if (!biff8 || u16(stream, at + 4) == 0)
                return Encryption::BiffXor;
            return u16(stream, at + 6) == 1 ? Encryption::BiffRc4 : Encryption::BiffCryptoApi;
        }
        if (type == kEof)
            break;
        at += 4 + u16(stream, at + 2);
    }
    return Encryption::None;
}

} // namespace

Encryption encryptionOf(const QString &path)
{
    CompoundFile file(path);
    if (!file.isValid())
        return Encryption::None;
    if (file.rootEntry(QStringLiteral("EncryptedPackage")) && file.rootEntry(QStringLiteral("EncryptionInfo")))
        return Encryption::Ooxml;
    for (const char *name : {"Workbook", "Book"}) {
        if (const std::optional<CompoundFile::Entry> stream = file.rootEntry(QLatin1String(name)))
            return biffEncryption(file.readStart(*stream, 16 * 1024));
    }
    return Encryption::None;
}

QString encryptionName(Encryption encryption)
{
    switch (encryption) {
    case Encryption::None:
        break;
    case Encryption::BiffXor:
        return QStringLiteral("XOR");
    case Encryption::BiffRc4:
        return QStringLiteral("RC4");
    case Encryption::BiffCryptoApi:
        return QStringLiteral("RC4 CryptoAPI");
    case Encryption::Ooxml:
        return QStringLiteral("OOXML");
    }
    return QStringLiteral("no");
}

} // namespace platform::office
