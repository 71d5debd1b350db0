#pragma once

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace testsupport {

// Waits, processing events, until pred() holds or ms elapse; returns pred().
bool waitFor(const std::function<bool()> &pred, int ms = 5000);

// Writes data to dir/relative, creating parent directories; returns the path.
QString writeFile(const QString &dir, const QString &relative, const QByteArray &data = "x");

// The colour of a pixel as 0x00RRGGBB, for readable expectations.
unsigned rgbAt(const QImage &image, int x, int y);

} // namespace testsupport

#include <ostream>

// Readable QStrings in the failure messages of EXPECT_EQ.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
