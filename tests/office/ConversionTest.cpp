#include "OfficeTestSupport.h"

#include "platform/Automation.h"
#include "platform/office/OfficeBridge.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace platform;
using namespace officetest;

namespace {

AutomationRef startOffice(const office::OfficeOptions &options = {})
{
    office::registerExcelApplication(options);
    return createAutomationObject(QStringLiteral("Excel.Application"));
}

AutomationRef open(const AutomationRef &app, const QString &path)
{
    return toObject(toObject(app->property("workbooks"), "workbooks")->invoke("open", {path}), "workbook");
}

void convert(const AutomationRef &app, const QString &source, const QString &target, int code)
{
    AutomationRef book = open(app, source);
    book->invoke("SaveAs", {target, code});
    book->invoke("Close", {omitted()});
}

} // namespace

TEST(OfficeConversion, Explore)
{
    QTemporaryDir out;
    AutomationRef app = startOffice();
    app->setProperty("visible", false);
    for (const char *ext : {"xls", "xlsx", "ods"}) {
        const QString src = input(QStringLiteral("types.") + ext);
        for (int code : {44, 6, 46})
            convert(app, src, QStringLiteral("/tmp/explore/%1.%2").arg(ext).arg(code), code);
    }
    app->invoke("quit");
}

TEST(OfficeConversion, ExploreBad)
{
    QTemporaryDir dir;
    auto write = [&](const QString &name, const QByteArray &data) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return f.fileName();
    };
    QFile xlsx(input("types.xlsx"));
    xlsx.open(QIODevice::ReadOnly);
    QByteArray random;
    for (int i = 0; i < 5000; ++i)
        random.append(char((i * 7919 + 13) % 251));
    const QStringList bad = {
        write("empty.xls", {}),
        write("cut.xlsx", xlsx.readAll().left(3000)),
        write("random.xls", random),
        write("text.xls", "just some words\nand a second line\n"),
        write("picture.xls", QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000000010000000108060000001f15c4890000000d4944415478da63f8cfc0f01f0005000201a5f6e4a10000000049454e44ae426082")),
        input("locked.ods"), input("locked.xls"), dir.filePath("missing.xls"), dir.path(),
    };
    AutomationRef app = startOffice();
    for (const QString &path : bad) {
        try {
            AutomationRef book = open(app, path);
            book->invoke("SaveAs", {dir.filePath("out.csv"), 6});
            printf("%s: LOADED\n", qPrintable(path));
        } catch (const AutomationError &e) {
            printf("%s: %s\n", qPrintable(path), qPrintable(e.message()));
        }
    }
    AutomationRef book = open(app, input("types.ods"));
    for (const QString &target : {QString("/etc/passwd/x/out.htm"), QString(dir.path()), QString("/proc/nope.csv")}) {
        for (int code : {44, 6, 46, 51}) {
            try {
                book->invoke("SaveAs", {target, code});
                printf("%s %d: SAVED\n", qPrintable(target), code);
            } catch (const AutomationError &e) {
                printf("%s %d: %s\n", qPrintable(target), code, qPrintable(e.message()));
            }
        }
    }
    app->invoke("quit");
}
