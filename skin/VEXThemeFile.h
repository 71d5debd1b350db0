#pragma once

// Theme files: a 24-byte header ("Velkano_TB" magic, header size, first
// record offset) and a chain of 77-byte directory records naming images,
// integers, booleans and strings. Everything here depends on QtCore only.

#include <QBuffer>
#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

#include "platform/TextError.h"

namespace vex {

// An error while reading or assigning a theme file. The message is meant for
// the user.
class ThemeFileError : public platform::TextError
{
public:
    using TextError::TextError;
};

// Layout constants of the format.
namespace themefile {
constexpr char Magic[] = "Velkano_TB";
constexpr int MagicSize = 12; // the magic, its zero byte, one unexamined byte
constexpr quint32 HeaderSize = 24;
constexpr int HeaderSizeOffset = 12;
constexpr int FirstRecordOffset = 20;
constexpr int RecordSize = 77;
constexpr int NameSize = 64;
constexpr int KindOffset = 64;
constexpr int DataOffsetOffset = 65;
constexpr int DataSizeOffset = 69;
constexpr int NextOffset = 73;
// The largest file a reader takes in.
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
enum Kind : quint8 { ImageKind = 0, IntegerKind = 1, BooleanKind = 2, StringKind = 3 };
} // namespace themefile

// True when the file exists, can be read and its first 12 bytes hold the
// magic up to its zero byte (case-sensitive). Never throws.
bool IsThemeFile(const QString &fileName);

// Reads a whole theme file once, at construction, into four lists of
// (name, value) in file order. Immutable afterwards.
//
// The reader is built for files from anywhere: a header size other than 24,
// a record or value lying (partly) past the end of the file, a chain that
// comes back to a record already read, an integer record whose size is not 4,
// a boolean record whose size is not 1 or an empty image raise ThemeFileError.
// Nothing is read outside the file, and nothing larger than the file is
// allocated; a file over MaxFileSize is refused before it is read. The
// record that ends the chain (next = 0) is not loaded.
class TvexThemeFileReader
{
public:
    // Throws ThemeFileError when the file cannot be opened or is malformed.
    explicit TvexThemeFileReader(const QString &fileName);
    // Reads from bytes in memory; origin names them in error messages.
    TvexThemeFileReader(const QByteArray &bytes, const QString &origin);
    ~TvexThemeFileReader();
    TvexThemeFileReader(const TvexThemeFileReader &) = delete;
    TvexThemeFileReader &operator=(const TvexThemeFileReader &) = delete;

    // Lookups: the first entry whose name matches without regard to case.
    // The image's bytes as a stream rewound to its start, owned by the reader;
    // null when there is no such image.
    QBuffer *GetImageStream(const QString &name);
    int GetInt(const QString &name) const;   // -1 when missing or not a number
    bool GetBool(const QString &name) const; // low byte non-zero; false when missing

    struct Value
    {
        QString name;
        QString text; // integers and booleans as decimal text, strings as read
    };
    const QList<Value> &integers() const { return m_integers; }
    const QList<Value> &booleans() const { return m_booleans; }
    const QList<Value> &strings() const { return m_strings; }
    QStringList imageNames() const;
    // The image's bytes (a view of the file's bytes); empty when missing.
    QByteArray imageBytes(const QString &name) const;

private:
    struct Image
    {
        QString name;
        qsizetype offset = 0;
        qsizetype size = 0;
        std::unique_ptr<QBuffer> stream; // made at the first lookup
    };

    void ReadFile(const QString &origin);
    const Image *findImage(const QString &name) const;

    QByteArray m_bytes; // the whole file; images are views of it
    std::vector<Image> m_images;
    QList<Value> m_integers;
    QList<Value> m_booleans;
    QList<Value> m_strings;
};

} // namespace vex
