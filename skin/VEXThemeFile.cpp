#include "skin/VEXThemeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace vex {

using namespace themefile;

namespace {

quint32 u32(const QByteArray &bytes, qsizetype at)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData() + at);
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

// The magic check on the first bytes of a file: the text up to the first
// zero byte within 12 bytes must be exactly the magic.
bool hasMagic(const QByteArray &head)
{
    if (head.size() < MagicSize)
        return false;
    const QByteArray first = head.left(MagicSize);
    const qsizetype zero = first.indexOf('\0');
    return (zero < 0 ? first : first.left(zero)) == QByteArray(Magic);
}

[[noreturn]] void fail(const QString &origin, const QString &what)
{
    throw ThemeFileError(QStringLiteral("Theme file \"%1\": %2").arg(origin, what));
}

void checkSize(qint64 size, const QString &origin)
{
    if (size > MaxFileSize)
        fail(origin, QStringLiteral("the file is %1 bytes long, more than a theme file may be (%2 MiB)")
                         .arg(size)
                         .arg(MaxFileSize / (1024 * 1024)));
}

bool fits(qsizetype fileSize, quint64 offset, quint64 size)
{
    return offset <= quint64(fileSize) && size <= quint64(fileSize) - offset;
}

} // namespace

bool IsThemeFile(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile())
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(16);
    return head.size() == 16 && hasMagic(head);
}

TvexThemeFileReader::TvexThemeFileReader(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        fail(fileName, QStringLiteral("cannot open the file (%1)").arg(file.errorString()));
    // The whole file is held in memory: refuse one of absurd size before
    // reading it.
    checkSize(file.size(), fileName);
    m_bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(fileName, QStringLiteral("cannot read the file (%1)").arg(file.errorString()));
    ReadFile(fileName);
}

TvexThemeFileReader::TvexThemeFileReader(const QByteArray &bytes, const QString &origin) : m_bytes(bytes)
{
    checkSize(bytes.size(), origin);
    ReadFile(origin);
}

TvexThemeFileReader::~TvexThemeFileReader() = default;

// Reads the header and walks the record chain over the bytes in memory. Every
// offset and size is checked against the file before it is used; a record
// offset seen before ends the reading (a chain that loops would never end).
void TvexThemeFileReader::ReadFile(const QString &origin)
{
    const qsizetype size = m_bytes.size();
    if (size < 16)
        fail(origin, QStringLiteral("the file is shorter than its header"));
    const quint32 headerSize = u32(m_bytes, HeaderSizeOffset);
    if (headerSize != HeaderSize)
        fail(origin, QStringLiteral("header size %1 (expected %2)").arg(headerSize).arg(HeaderSize));
    if (size < qsizetype(HeaderSize))
        fail(origin, QStringLiteral("the file is shorter than its header"));

    QSet<quint32> visited;
    quint32 at = u32(m_bytes, FirstRecordOffset);
    for (;;) {
        if (!fits(size, at, RecordSize))
            fail(origin, QStringLiteral("the directory record at offset %1 lies past the end of the file").arg(at));
        if (visited.contains(at))
            fail(origin, QStringLiteral("the record chain comes back to offset %1").arg(at));
        visited.insert(at);

        const quint32 next = u32(m_bytes, at + NextOffset);
        if (next == 0)
            break; // the record that ends the chain carries no value

        const char *nameBytes = m_bytes.constData() + at;
        qsizetype nameLength = 0;
        while (nameLength < NameSize && nameBytes[nameLength] != '\0')
            ++nameLength; // a name may fill all 64 bytes
        const QString name = QString::fromLatin1(nameBytes, nameLength);
        const quint8 kind = quint8(m_bytes[at + KindOffset]);
        const quint32 dataOffset = u32(m_bytes, at + DataOffsetOffset);
        const quint32 dataSize = u32(m_bytes, at + DataSizeOffset);

        if (kind <= StringKind && !fits(size, dataOffset, dataSize))
            fail(origin, QStringLiteral("the value of \"%1\" (offset %2, %3 bytes) lies past the end of the file")
                             .arg(name)
                             .arg(dataOffset)
                             .arg(dataSize));
        switch (kind) {
        case ImageKind:
            if (dataSize == 0)
                fail(origin, QStringLiteral("the image \"%1\" is empty").arg(name));
            m_images.push_back(Image{name, qsizetype(dataOffset), qsizetype(dataSize), nullptr});
            break;
        case IntegerKind:
            if (dataSize != 4)
                fail(origin, QStringLiteral("the integer \"%1\" has %2 bytes (expected 4)").arg(name).arg(dataSize));
            m_integers.append({name, QString::number(qint32(u32(m_bytes, dataOffset)))});
            break;
        case BooleanKind:
            if (dataSize != 1)
                fail(origin, QStringLiteral("the boolean \"%1\" has %2 bytes (expected 1)").arg(name).arg(dataSize));
            m_booleans.append({name, QString::number(quint8(m_bytes[dataOffset]))});
            break;
        case StringKind:
            m_strings.append({name, QString::fromLatin1(m_bytes.constData() + dataOffset, dataSize)});
            break;
        default:
            break; // other kinds are passed over
        }
        at = next;
    }
}

const TvexThemeFileReader::Image *TvexThemeFileReader::findImage(const QString &name) const
{
    for (const Image &image : m_images)
        if (image.name.compare(name, Qt::CaseInsensitive) == 0)
            return &image;
    return nullptr;
}

QBuffer *TvexThemeFileReader::GetImageStream(const QString &name)
{
    auto *image = const_cast<Image *>(findImage(name));
    if (!image)
        return nullptr;
    if (!image->stream) {
        // A view of the file's bytes: the image is not copied.
        image->stream = std::make_unique<QBuffer>();
        image->stream->setData(QByteArray::fromRawData(m_bytes.constData() + image->offset, image->size));
        image->stream->open(QIODevice::ReadOnly);
    }
    image->stream->seek(0);
    return image->stream.get();
}

int TvexThemeFileReader::GetInt(const QString &name) const
{
    for (const Value &v : m_integers)
        if (v.name.compare(name, Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const int i = v.text.toInt(&ok);
            return ok ? i : -1;
        }
    return -1;
}

bool TvexThemeFileReader::GetBool(const QString &name) const
{
    for (const Value &v : m_booleans)
        if (v.name.compare(name, Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const int i = v.text.toInt(&ok);
            return ok && (i & 0xFF) != 0;
        }
    return false;
}

QStringList TvexThemeFileReader::imageNames() const
{
    QStringList names;
    for (const Image &image : m_images)
        names.append(image.name);
    return names;
}

QByteArray TvexThemeFileReader::imageBytes(const QString &name) const
{
    const Image *image = findImage(name);
    return image ? m_bytes.mid(image->offset, image->size) : QByteArray();
}

} // namespace vex
