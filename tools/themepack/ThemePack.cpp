// Packs a folder of bitmaps and a values.txt into a theme file, or lists what
// a theme file holds.
//
//     tabulon-themepack <folder> <output file>
//     tabulon-themepack --list <theme file>

#include "ThemeFileWriter.h"

#include "skin/VEXThemeFile.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "--list") {
        try {
            vex::TvexThemeFileReader reader(args[2]);
            for (const QString &name : reader.imageNames())
                std::printf("image    %-36s %lld bytes\n", qPrintable(name),
                            static_cast<long long>(reader.imageBytes(name).size()));
            for (const auto &v : reader.integers())
                std::printf("integer  %-36s %s\n", qPrintable(v.name), qPrintable(v.text));
            for (const auto &v : reader.booleans())
                std::printf("boolean  %-36s %s\n", qPrintable(v.name), qPrintable(v.text));
            for (const auto &v : reader.strings())
                std::printf("string   %-36s \"%s\"\n", qPrintable(v.name), qPrintable(v.text));
        } catch (const vex::ThemeFileError &e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        return 0;
    }
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: tabulon-themepack <folder> <output file>\n"
                             "       tabulon-themepack --list <theme file>\n");
        return 2;
    }
    themepack::ThemeFileWriter writer;
    QString error;
    if (!writer.addFolder(args[1], &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QFile out(args[2]);
    if (!out.open(QIODevice::WriteOnly) || out.write(writer.build()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args[2]));
        return 1;
    }
    std::printf("%d values written to %s\n", writer.count(), qPrintable(args[2]));
    return 0;
}
