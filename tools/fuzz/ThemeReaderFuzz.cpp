// Feeds arbitrary bytes to the theme file reader: it must end with a
// ThemeFileError or a reader, never read outside the bytes, never hang and
// never allocate more than the input holds (run with -malloc_limit_mb).

#include "skin/VEXThemeFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        vex::TvexThemeFileReader reader(bytes, QStringLiteral("fuzz"));
        for (const QString &name : reader.imageNames()) {
            QBuffer *stream = reader.GetImageStream(name);
            if (stream)
                stream->readAll();
        }
        for (const auto &v : reader.integers())
            reader.GetInt(v.name);
        for (const auto &v : reader.booleans())
            reader.GetBool(v.name);
    } catch (const vex::ThemeFileError &) {}
    return 0;
}
