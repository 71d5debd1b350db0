#pragma once

// Packs named values into a theme file: a 24-byte header, the value bytes,
// then the chain of 77-byte directory records and the record that ends it.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

namespace themepack {

// The picture as the bytes of a BMP file, the form theme files hold images in.
QByteArray bmpFile(const QImage &picture);

class ThemeFileWriter
{
public:
    enum Kind : quint8 { Image = 0, Integer = 1, Boolean = 2, String = 3 };

    void addImage(const QString &name, const QByteArray &bmpFile) { add(name, Image, bmpFile); }
    void addInteger(const QString &name, qint32 value);
    void addBoolean(const QString &name, quint8 value);
    void addString(const QString &name, const QByteArray &text) { add(name, String, text); }
    // Any record, for files that bend the format (tests).
    void add(const QString &name, quint8 kind, const QByteArray &data);

    int count() const { return int(m_records.size()); }

    // The whole file. Names longer than 64 bytes are cut to 64.
    QByteArray build() const;

    // Reads a theme folder: every *.bmp file becomes an image named after its
    // base name, and the optional values.txt holds one "Name = value" a line:
    //     FormBorderColor = 0x7F7F7F      colours as 0x00BBGGRR, or decimal
    //     TitleBarButtonTopInt = 4
    //     ButtonTransparentBool = true    (true/false/yes/no/0..255)
    //     Author = "A. Person"            quoted text is a string value
    // Names ending in "Bool" are booleans, other unquoted values integers.
    // '#' starts a comment. Answers false with a message in *error.
    bool addFolder(const QString &dir, QString *error);

private:
    struct Record
    {
        QByteArray name;
        quint8 kind;
        QByteArray data;
    };
    QList<Record> m_records;
};

} // namespace themepack
