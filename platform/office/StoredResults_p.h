#pragma once

// Shared by the readers of the stored results: little-endian fields and the
// codes that both of Excel's binary formats use.

#include <QByteArray>
#include <QString>

#include <cstring>

namespace platform::office::stored {

inline quint16 u16(const QByteArray &b, qsizetype at)
{
    return at >= 0 && at + 2 <= b.size() ? quint16(quint8(b[at]) | quint8(b[at + 1]) << 8) : 0;
}

inline quint32 u32(const QByteArray &b, qsizetype at)
{
    return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16;
}

inline double f64(const QByteArray &b, qsizetype at)
{
    double value = 0;
    if (at >= 0 && at + 8 <= b.size())
        std::memcpy(&value, b.constData() + at, 8);
    return value;
}

// The text of an error code, "#DIV/0!" for 0x07.
QString errorText(quint8 code);

// A number in the 30 bits of an RK field: an integer or the high bits of a
// double, either of them possibly a hundred times the value.
double rkNumber(quint32 rk);

} // namespace platform::office::stored
