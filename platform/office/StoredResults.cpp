#include "platform/office/StoredResults.h"
#include "platform/office/StoredResults_p.h"

#include <QFile>

namespace platform::office {

namespace stored {

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

double rkNumber(quint32 rk)
{
    double value = 0;
    if (rk & 0x02) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&value, &bits, 8);
    }
    return (rk & 0x01) ? value / 100 : value;
}

} // namespace stored

StoredResults StoredResults::read(const QString &path, Scope scope)
{
    QFile file(path);
    // Larger files are left to the office alone: this reads them whole.
    if (!file.open(QIODevice::ReadOnly) || file.size() > (qint64(256) << 20))
        return {};
    const QByteArray bytes = file.readAll();
    return bytes.startsWith("PK") ? readPackage(bytes, scope) : readBiff(bytes, scope);
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
