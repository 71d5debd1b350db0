#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

namespace platform::office {

// The parts of a zip package (an OOXML workbook), read whole into memory:
// enough to read a few named parts of a workbook. No zip64, no encryption.
class ZipPackage
{
public:
    // Reads the central directory; isValid() is false for anything that is
    // no readable zip package.
    explicit ZipPackage(QByteArray bytes);

    bool isValid() const { return m_valid; }
    // The part's bytes, or nothing when it is missing or damaged.
    std::optional<QByteArray> part(const QString &name) const;

private:
    struct Entry
    {
        quint16 method;
        quint32 compressedSize;
        quint32 size;
        quint32 localHeader;
    };

    QByteArray m_bytes;
    QHash<QString, Entry> m_entries;
    bool m_valid = false;
};

} // namespace platform::office
