// CSV dialects, sheets chosen by name, and encrypted workbooks, with the
// real office: the bridge in-process for the byte-exact dialect table, the
// program for what reaches it from the command line.
#include "OfficeTestSupport.h"

#include "platform/Automation.h"
#include "platform/CsvFormat.h"
#include "platform/office/EncryptedWorkbook.h"
#include "platform/office/OfficeBridge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace platform;
using namespace officetest;
using Format = platform::CsvFormat;

namespace {

QString dataFile(const QString &name)
{
    return QStringLiteral(TABULON_TEST_DATA "/") + name;
}

QStringList encryptedCorpus()
{
    QStringList paths;
    for (const QString &name : QDir(dataFile("encrypted")).entryList(QDir::Files, QDir::Name))
        paths << dataFile("encrypted/" + name);
    return paths;
}

AutomationRef startOffice(const office::OfficeOptions &options = {})
{
    office::registerExcelApplication(options);
    return createAutomationObject(QStringLiteral("excel.application"));
}

AutomationRef open(const AutomationRef &app, const QString &path)
{
    return toObject(toObject(app->property("workbooks"), "workbooks")->invoke("open", {path}), "workbook");
}

QString openFailure(const AutomationRef &app, const QString &path)
{
    try {
        open(app, path)->invoke("Close", {omitted()});
    } catch (const AutomationError &error) {
        return error.message();
    }
    return QStringLiteral("(opened)");
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QByteArray utf16le(const QByteArray &utf8)
{
    const QString text = QString::fromUtf8(utf8);
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

// An .xls of the inputs with its first records after the BOF turned into an
// XOR-obfuscation FILEPASS record of the same size, so nothing else moves.
QString xorObfuscatedCopy(const QTemporaryDir &dir)
{
    QByteArray data = bytesOf(input("types.xls"));
    const QByteArray bof = QByteArray::fromHex("0908100000060500");
    const qsizetype at = data.indexOf(bof);
    if (at < 0)
        return {};
    const qsizetype next = at + 4 + 16; // the BOF's header and body
    // INTERFACEHDR, MMS and INTERFACEEND (16 bytes) become FILEPASS (XOR,
    // a key and a verifier that no default password matches) and INTERFACEHDR.
    if (data.mid(next, 16) != QByteArray::fromHex("e1000200b004c10002000000e2000000"))
        return {};
    data.replace(next, 16, QByteArray::fromHex("2f000600000034127856e1000200b004"));
    QFile file(dir.filePath("xor.xls"));
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        return {};
    return file.fileName();
}

} // namespace

TEST(CsvDialect, EveryOptionWritesTheRowAsReadersExpectByteForByte)
{
    QTemporaryDir dir;
    AutomationRef app = startOffice();
    AutomationRef book = open(app, dataFile("dialect.fods"));
    const QByteArray row = "plain,\"a,b\",\"say \"\"hi\"\"\",\"line1\nline2\",7,数据,00123,semi;colon,Grüße\n";
    const struct
    {
        const char *name;
        std::function<void(Format &)> set;
        QByteArray expected;
    } cases[] = {
        {"default", [](Format &) {}, row},
        {"quote all", [](Format &f) { f.quoting = Format::Quoting::AllText; },
         "\"plain\",\"a,b\",\"say \"\"hi\"\"\",\"line1\nline2\",7,\"数据\",\"00123\",\"semi;colon\",\"Grüße\"\n"},
        {"semicolon", [](Format &f) { f.separator = u';'; },
         "plain;a,b;\"say \"\"hi\"\"\";\"line1\nline2\";7;数据;00123;\"semi;colon\";Grüße\n"},
        {"tab", [](Format &f) { f.separator = u'\t'; },
         "plain\ta,b\t\"say \"\"hi\"\"\"\t\"line1\nline2\"\t7\t数据\t00123\tsemi;colon\tGrüße\n"},
        {"windows-1252", [](Format &f) { f.encoding = "windows-1252"; },
         "plain,\"a,b\",\"say \"\"hi\"\"\",\"line1\nline2\",7,??,00123,semi;colon,Gr\xfc\xdf"
         "e\n"},
        {"utf-8-bom", [](Format &f) { f.byteOrderMark = true; }, "\xEF\xBB\xBF" + row},
        {"UTF-16", [](Format &f) { f.encoding = "UTF-16"; }, "\xFF\xFE" + utf16le(row)},
    };
    for (const auto &c : cases) {
        Format format;
        c.set(format);
        const QString path = dir.filePath(QStringLiteral("%1.csv").arg(c.name));
        book->invoke("SaveAs", {path, 6, omitted(), QVariant::fromValue(format)});
        EXPECT_EQ(bytesOf(path), c.expected) << c.name;
    }
    book->invoke("Close", {omitted()});
    app->invoke("quit");
}

TEST(CsvDialect, FormattedValuesShownOrRawAndTheWorkbookKeepsItsFormats)
{
    QTemporaryDir dir;
    AutomationRef app = startOffice();
    AutomationRef book = open(app, dataFile("dialect.fods"));
    Format raw;
    raw.values = Format::Values::Raw;
    const QByteArray shown = "$123.00,7/23/2020,12.5%,\"1,234.57\",23.7.2020 13:45,0.1\n";
    book->invoke("SaveAs", {dir.filePath("shown.csv"), 6, 2, QVariant::fromValue(Format())});
    book->invoke("SaveAs", {dir.filePath("raw.csv"), 6, 2, QVariant::fromValue(raw)});
    book->invoke("SaveAs", {dir.filePath("again.csv"), 6, 2, QVariant::fromValue(Format())});
    EXPECT_EQ(bytesOf(dir.filePath("shown.csv")), shown);
    EXPECT_EQ(bytesOf(dir.filePath("raw.csv")), "123,2020-07-23,0.125,1234.5678,2020-07-23 13:45:00,0.1\n");
    EXPECT_EQ(bytesOf(dir.filePath("again.csv")), shown) << "raw values leave the cells' formats as they were";
    book->invoke("Close", {omitted()});
    app->invoke("quit");
}

TEST(CsvDialect, SheetsByNameAndPatternFromTheCommandLineAndAWorkbookWithoutThem)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src"), out = dir.filePath("out");
    QDir().mkpath(src);
    ASSERT_TRUE(QFile::copy(dataFile("dialect.fods"), src + "/dialect.fods"));
    copyInput("types.ods", src + "/types.ods");
    const testsupport::ProgramRun r =
        runBatch({"--source", src, "--out", out, "--masks", "*.fods,*.ods", "--kind", "csv", "--csv-sheets",
                  "formatted,totals*,Missing", "--csv-values", "raw", "--csv-separator", "semicolon"});
    ASSERT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_EQ(r.lines, QStringList({src + "/dialect.fodsOK (no sheet matches \"Missing\")",
                                    src
                                        + "/types.odsNot converted: no sheet matches \"formatted\", \"totals*\" or "
                                          "\"Missing\" (the sheets: Values, Second, Third)"}));
    EXPECT_EQ(bytesOf(out + "/dialect.Formatted.csv"), "123;2020-07-23;0.125;1234.5678;2020-07-23 13:45:00;0.1\n");
    EXPECT_EQ(bytesOf(out + "/dialect.Totals 2020.csv"), "t2020\n");
    EXPECT_EQ(bytesOf(out + "/dialect.Totals 2021.csv"), "t2021\n");
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"dialect.Formatted.csv", "dialect.Totals 2020.csv", "dialect.Totals 2021.csv"}))
        << "nothing of the failed workbook, nothing of the sheets not asked for";
    EXPECT_TRUE(r.err.contains("2 files: 1 converted, 1 failed")) << qPrintable(r.err);
}

TEST(EncryptedWorkbooks, EveryKindIsToldFromItsBytes)
{
    using office::Encryption;
    QTemporaryDir dir;
    const QStringList corpus = encryptedCorpus();
    ASSERT_EQ(corpus.size(), 8) << "the corpus copies in tests/data/encrypted";
    QList<std::pair<QString, Encryption>> cases;
    for (const QString &path : corpus) {
        const QString name = QFileInfo(path).fileName();
        cases.append({path, name == "locked.xlsx"                   ? Encryption::Ooxml
                            : name == "password_2002_40_972000.xls" ? Encryption::BiffRc4
                                                                    : Encryption::BiffCryptoApi});
    }
    QFile cut(dir.filePath("cut.xls"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytesOf(corpus.first()).left(1000));
    cut.close();
    cases.append({{input("locked.xlsx"), Encryption::Ooxml},
                  {input("locked.xls"), Encryption::BiffRc4},
                  {xorObfuscatedCopy(dir), Encryption::BiffXor},
                  {input("types.xls"), Encryption::None},
                  {input("types.xlsx"), Encryption::None},
                  {input("locked.ods"), Encryption::None}, // a zip package: the office asks for its password
                  {dataFile("dialect.fods"), Encryption::None},
                  {cut.fileName(), Encryption::None},
                  {dir.filePath("missing.xls"), Encryption::None}});
    for (const auto &[path, expected] : std::as_const(cases))
        EXPECT_EQ(office::encryptionOf(path), expected) << qPrintable(path);
}

TEST(EncryptedWorkbooks, EveryKindIsNamedPasswordProtectedWhateverTheOfficeAnswers)
{
    QTemporaryDir dir;
    QStringList locked = encryptedCorpus();
    locked << input("locked.ods") << input("locked.xls") << input("locked.xlsx") << xorObfuscatedCopy(dir);
    AutomationRef app = startOffice();
    for (const QString &path : std::as_const(locked)) {
        const QString failure = openFailure(app, path);
        const QString expected =
            office::encryptionOf(path) == office::Encryption::BiffCryptoApi
                ? "Can't open the workbook: the workbook is password-protected (RC4 CryptoAPI encryption, which "
                  "LibreOffice does not decrypt)"
                : "Can't open the workbook: the workbook is password-protected";
        // A later office may decrypt what this one cannot: then it asks.
        EXPECT_TRUE(failure == expected || failure == "Can't open the workbook: the workbook is password-protected")
            << qPrintable(path) << ": " << qPrintable(failure);
    }
    app->invoke("quit");
}

TEST(EncryptedWorkbooks, APasswordListOpensOneAndFailsAnotherWithTheSameLinesForAnyJobs)
{
    QTemporaryDir dir;
    const QString list = dir.filePath("list"), passwords = dir.filePath("passwords");
    // Agile OOXML (the corpus), RC4 .xls and ODF (made by the office with
    // "secret"), one that none opens and one without a password; each has a
    // base name of its own.
    const QString opened = dir.filePath("agile.xlsx");
    ASSERT_TRUE(QFile::copy(dataFile("encrypted/locked.xlsx"), opened));
    const QString rc4 = copyInput("locked.xls", dir.filePath("rc4.xls"));
    const QString odf = copyInput("locked.ods", dir.filePath("odf.ods"));
    const QString failed = dataFile("encrypted/password_2002_40_972000.xls");
    const QString undecryptable = dataFile("encrypted/password_2002_128_strong.xls");
    const QString plain = input("types.xlsx");
    QFile listFile(list), passwordFile(passwords);
    ASSERT_TRUE(listFile.open(QIODevice::WriteOnly) && passwordFile.open(QIODevice::WriteOnly));
    for (const QString &path : {opened, rc4, odf, failed, undecryptable, plain})
        listFile.write(QFile::encodeName(path) + "\n");
    passwordFile.write("wrong-one\r\ncorpus-pass\r\nsecret\r\n");
    listFile.close();
    passwordFile.close();

    const QString withPassword = QStringLiteral("OK (opened with a password from the list)");
    const QStringList expected{opened + withPassword,
                               rc4 + withPassword + " (the CSV holds only the first of 3 sheets)",
                               odf + withPassword + " (the CSV holds only the first of 3 sheets)",
                               failed
                                   + "Can't open the workbook: the workbook is password-protected (none of the "
                                     "3 passwords opened it)",
                               undecryptable
                                   + "Can't open the workbook: the workbook is password-protected (RC4 "
                                     "CryptoAPI encryption, which LibreOffice does not decrypt)",
                               plain + kCsvOfThreeSheetsOk};
    for (const char *jobs : {"1", "2"}) {
        const QString out = dir.filePath(QStringLiteral("out%1").arg(jobs));
        const testsupport::ProgramRun r = runBatch(
            {"--files-from", list, "--out", out, "--kind", "csv", "--jobs", jobs, "--password-file", passwords});
        ASSERT_EQ(r.status, 0) << qPrintable(r.err);
        EXPECT_EQ(r.lines, expected) << "--jobs " << jobs;
        EXPECT_EQ(readCsv(out + "/rc4.csv").value(1).value(0), "Apple, red") << "--jobs " << jobs;
        EXPECT_TRUE(QFile::exists(out + "/agile.csv") && QFile::exists(out + "/odf.csv")) << "--jobs " << jobs;
        EXPECT_FALSE(QFile::exists(out + "/password_2002_40_972000.csv"));
        EXPECT_FALSE((r.out + r.err).contains("corpus-pass") || (r.out + r.err).contains("secret"))
            << "a password is never printed";
    }
    const testsupport::ProgramRun json = runBatch({"--files-from", list, "--out", dir.filePath("json"), "--kind", "csv",
                                                   "--log-format", "jsonl", "--password-file", passwords});
    ASSERT_EQ(json.status, 0) << qPrintable(json.err);
    EXPECT_FALSE((json.out + json.err).contains("corpus-pass")) << "nor put in the JSON log";
    const QJsonObject first = QJsonDocument::fromJson(json.lines.value(0).toUtf8()).object();
    EXPECT_EQ(first["status"].toString(), "ok");
    EXPECT_EQ(first["notes"].toVariant().toStringList(), QStringList{"opened with a password from the list"});

    const testsupport::ProgramRun none =
        runBatch({"--files-from", list, "--out", dir.filePath("none"), "--kind", "csv"});
    EXPECT_EQ(none.lines.value(0), opened + "Can't open the workbook: the workbook is password-protected")
        << "without a list the line is what it always was";
}
