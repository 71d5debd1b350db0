// Makes the office tests' workbooks with the installed LibreOffice:
//   MakeInputs <types.fods> <output dir>
// writes types.xls, types.xlsx, types.ods (three sheets of typed values and
// formulas), long.xlsx (5000 rows), and locked.ods / locked.xls / locked.xlsx
// (password "secret"; the .xlsx is an encrypted OOXML package). Run by CTest as a fixture before the office tests.
#include "platform/office/OfficeProcess.h"
#include "platform/office/UnoOffice.h"

#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/sheet/XCalculatable.hpp>
#include <com/sun/star/uno/Exception.hpp>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdio>

using namespace css;
using namespace platform::office;

namespace {

beans::PropertyValue prop(const char *name, const uno::Any &value)
{
    return beans::PropertyValue(rtl::OUString::createFromAscii(name), 0, value, beans::PropertyState_DIRECT_VALUE);
}

void store(const UnoOffice::Document &document, const QString &path, const char *filter, const char *password = nullptr)
{
    uno::Sequence<beans::PropertyValue> props(password ? 3 : 2);
    props[0] = prop("FilterName", uno::Any(rtl::OUString::createFromAscii(filter)));
    props[1] = prop("Overwrite", uno::Any(true));
    if (password)
        props[2] = prop("Password", uno::Any(rtl::OUString::createFromAscii(password)));
    uno::Reference<frame::XStorable>(document, uno::UNO_QUERY_THROW)->storeToURL(fileUrl(path), props);
}

// OOXML is encrypted from the package's encryption data; a plain Password
// is not applied by the export filter.
void storeEncryptedOoxml(const UnoOffice::Document &document, const QString &path, const char *password)
{
    uno::Sequence<beans::NamedValue> encryption(2);
    encryption[0].Name = "OOXPassword";
    encryption[0].Value = uno::Any(rtl::OUString::createFromAscii(password));
    encryption[1].Name = "CryptoType";
    encryption[1].Value = uno::Any(rtl::OUString("Standard"));
    uno::Sequence<beans::PropertyValue> props(3);
    props[0] = prop("FilterName", uno::Any(rtl::OUString("Calc MS Excel 2007 XML")));
    props[1] = prop("Overwrite", uno::Any(true));
    props[2] = prop("EncryptionData", uno::Any(encryption));
    uno::Reference<frame::XStorable>(document, uno::UNO_QUERY_THROW)->storeToURL(fileUrl(path), props);
}

UnoOffice::Document loadCalculated(UnoOffice &office, const QString &path)
{
    UnoOffice::Document document = office.load(path);
    uno::Reference<sheet::XCalculatable>(document, uno::UNO_QUERY_THROW)->calculateAll();
    return document;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: MakeInputs <types.fods> <output dir>\n");
        return 64;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QDir out(QString::fromLocal8Bit(argv[2]));
    QDir().mkpath(out.path());

    OfficeProcess process(QString{});
    UnoOffice office;
    try {
        office.connect(process, std::chrono::steady_clock::now() + std::chrono::seconds(60));

        UnoOffice::Document types = loadCalculated(office, source);
        store(types, out.filePath("types.xls"), "MS Excel 97");
        store(types, out.filePath("types.xlsx"), "Calc MS Excel 2007 XML");
        store(types, out.filePath("types.ods"), "calc8");
        store(types, out.filePath("locked.ods"), "calc8", "secret");
        store(types, out.filePath("locked.xls"), "MS Excel 97", "secret");
        storeEncryptedOoxml(types, out.filePath("locked.xlsx"), "secret");
        office.close(types);

        // Crosses the writer's block of rows read at once.
        const QString csv = out.filePath("long.csv");
        QFile file(csv);
        if (!file.open(QIODevice::WriteOnly))
            throw OfficeFailure("cannot write " + csv);
        QTextStream text(&file);
        for (int row = 1; row <= 5000; ++row) {
            text << "r" << row;
            for (int column = 1; column < 10; ++column)
                text << ',' << row * 10 + column;
            text << '\n';
        }
        file.close();
        UnoOffice::Document longer = office.load(csv);
        store(longer, out.filePath("long.xlsx"), "Calc MS Excel 2007 XML");
        office.close(longer);
        QFile::remove(csv);

        office.terminate();
        process.waitForExit(10000);
    } catch (const OfficeFailure &failure) {
        std::fprintf(stderr, "MakeInputs: %s\n", qPrintable(failure.message()));
        return 1;
    } catch (const uno::Exception &e) {
        std::fprintf(stderr, "MakeInputs: %s\n", qPrintable(toQString(e.Message)));
        return 1;
    }
    return 0;
}
