#include "platform/office/ZipPackage.h"

#include <zlib.h>

namespace platform::office {

namespace {

quint16 u16(const QByteArray &b, qsizetype at)
{
    return at >= 0 && at + 2 <= b.size() ? quint16(quint8(b[at]) | quint8(b[at + 1]) << 8) : 0;
}

quint32 u32(const QByteArray &b, qsizetype at)
{
    return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16;
}

// Parts of a workbook are far smaller; a larger size claims too much.
constexpr quint32 kLargestPart = 1u << 30;

} // namespace

ZipPackage::ZipPackage(QByteArray bytes) : m_bytes(std::move(bytes))
{
    // The end record sits in the last 64 KiB (its comment at most that long).
    qsizetype end = -1;
    for (qsizetype at = m_bytes.size() - 22; at >= 0 && at >= m_bytes.size() - 22 - 65535; --at) {
        if (u32(m_bytes, at) == 0x06054b50) {
            end = at;
            break;
        }
    }
    if (end < 0)
        return;
    const int count = u16(m_bytes, end + 10);
    qsizetype at = u32(m_bytes, end + 16);
    for (int i = 0; i < count; ++i) {
        if (u32(m_bytes, at) != 0x02014b50)
            return;
        const int nameLength = u16(m_bytes, at + 28);
        const Entry entry{u16(m_bytes, at + 10), u32(m_bytes, at + 20), u32(m_bytes, at + 24), u32(m_bytes, at + 42)};
        if (at + 46 + nameLength > m_bytes.size())
            return;
        m_entries.insert(QString::fromUtf8(m_bytes.mid(at + 46, nameLength)), entry);
        at += 46 + nameLength + u16(m_bytes, at + 30) + u16(m_bytes, at + 32);
    }
    m_valid = true;
}

std::optional<QByteArray> ZipPackage::part(const QString &name) const
{
    const auto it = m_entries.constFind(name);
    if (it == m_entries.cend() || it->size > kLargestPart || it->compressedSize > kLargestPart)
        return {};
    const qsizetype header = it->localHeader;
    if (u32(m_bytes, header) != 0x04034b50)
        return {};
    const qsizetype data = header + 30 + u16(m_bytes, header + 26) + u16(m_bytes, header + 28);
    if (data + qsizetype(it->compressedSize) > m_bytes.size())
        return {};
    if (it->method == 0)
        return m_bytes.mid(data, it->compressedSize);
    if (it->method != 8)
        return {};
    QByteArray out(qsizetype(it->size), Qt::Uninitialized);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return {};
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(m_bytes.constData() + data));
    z.avail_in = it->compressedSize;
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = it->size;
    const int result = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    if (result != Z_STREAM_END || z.total_out != it->size)
        return {};
    return out;
}

} // namespace platform::office
