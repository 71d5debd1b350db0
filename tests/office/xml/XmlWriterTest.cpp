// The XML spreadsheet writer on workbooks loaded by the real LibreOffice.
//
// golden/ keeps the writer's exact bytes for known workbooks. To make them
// again after a deliberate change of the output, run this program with
// TABULON_XML_WRITE_GOLDEN=1 and review the diff.
#include "OfficeTestSupport.h"

#include "common/ScratchMount.h"
#include "platform/FileSystem.h"
#include "platform/office/OfficeProcess.h"
#include "platform/office/OutputFile.h"
#include "platform/office/SpreadsheetML.h"
#include "platform/office/UnoOffice.h"

#include <com/sun/star/sheet/XCalculatable.hpp>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

// Readable failures for the texts compared below.
void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

using namespace platform::office;
using namespace officetest;
using testsupport::ScratchMount;

namespace {

QString sourceDir()
{
    return QStringLiteral(TABULON_XML_SOURCE_DIR);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entriesOf(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

class XmlWriter : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_process = std::make_unique<OfficeProcess>(QString{});
        s_office = std::make_unique<UnoOffice>();
        s_office->connect(*s_process, std::chrono::steady_clock::now() + std::chrono::seconds(60));
    }

    static void TearDownTestSuite()
    {
        try {
            s_office->terminate();
        } catch (...) {}
        s_process->waitForExit(10000);
        s_office.reset();
        s_process.reset();
    }

    // A workbook as the writer meets it, formulas calculated.
    static UnoOffice::Document load(const QString &path)
    {
        UnoOffice::Document document = s_office->load(path);
        css::uno::Reference<css::sheet::XCalculatable>(document, css::uno::UNO_QUERY_THROW)->calculateAll();
        return document;
    }

    // Writes the workbook at source to target; returns the failure's text,
    // empty when the writer succeeded.
    static QString write(const QString &source, const QString &target)
    {
        const UnoOffice::Document document = load(source);
        QString failure;
        try {
            writeSpreadsheetML(document, target);
        } catch (const OfficeFailure &e) {
            failure = e.message();
        }
        s_office->close(document);
        return failure;
    }

    QTemporaryDir m_out;

    static std::unique_ptr<OfficeProcess> s_process;
    static std::unique_ptr<UnoOffice> s_office;
};

std::unique_ptr<OfficeProcess> XmlWriter::s_process;
std::unique_ptr<UnoOffice> XmlWriter::s_office;

struct Golden
{
    QString source;
    QString reference; // under golden/; a .sha256 file holds "hash size" of a big output
};

QList<Golden> goldens()
{
    return {
        {sourceDir() + QStringLiteral("/golden.fods"), QStringLiteral("golden.xml")},
        {input(QStringLiteral("types.xls")), QStringLiteral("types.xls.xml")},
        {input(QStringLiteral("types.xlsx")), QStringLiteral("types.xlsx.xml")},
        {input(QStringLiteral("types.ods")), QStringLiteral("types.ods.xml")},
        {input(QStringLiteral("long.xlsx")), QStringLiteral("long.xlsx.sha256")},
    };
}

QByteArray fingerprint(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex() + ' ' + QByteArray::number(bytes.size())
           + '\n';
}

TEST_F(XmlWriter, BytesEqualTheReferenceOutputs)
{
    const bool update = qEnvironmentVariableIsSet("TABULON_XML_WRITE_GOLDEN");
    for (const Golden &golden : goldens()) {
        SCOPED_TRACE(golden.source.toStdString());
        const QString target = m_out.filePath(QFileInfo(golden.source).fileName() + QStringLiteral(".xml"));
        ASSERT_EQ(write(golden.source, target), QString());
        QByteArray produced = readAll(target);
        ASSERT_FALSE(produced.isEmpty());
        if (golden.reference.endsWith(QLatin1String(".sha256")))
            produced = fingerprint(produced);
        const QString reference = sourceDir() + QStringLiteral("/golden/") + golden.reference;
        if (update) {
            QFile file(reference);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(produced);
            continue;
        }
        const QByteArray expected = readAll(reference);
        ASSERT_FALSE(expected.isEmpty()) << "no reference " << reference.toStdString();
        EXPECT_TRUE(produced == expected) << "output differs from " << reference.toStdString();
    }
    if (update)
        GTEST_SKIP() << "references written";
}

// What the multi-sheet workbook holds, read back by an XML parser: the
// reference bytes above could carry a fault of their own.
TEST_F(XmlWriter, MultiSheetWorkbookReadsBackCellByCell)
{
    const QString target = m_out.filePath(QStringLiteral("golden.xml"));
    ASSERT_EQ(write(sourceDir() + QStringLiteral("/golden.fods"), target), QString());
    const XmlWorkbook book = readXmlWorkbook(target);
    ASSERT_EQ(book.error, QString());
    EXPECT_TRUE(book.hasProcessingInstruction);

    const QString first = QStringLiteral("Prices & \"Q1\" <2024> it's");
    ASSERT_EQ(book.sheets,
              QStringList({first, QStringLiteral("Other sheet"), QStringLiteral("Empty"), QStringLiteral("Last")}));

    struct Expected
    {
        int row, column;
        const char *type, *data, *formula;
    };
    const Expected cells[] = {
        {1, 1, "String", "Text & <tags> \"quoted\" 'single'", ""},
        {1, 2, "Number", "-17", ""},
        {1, 3, "Number", "0.30000000000000004", ""},
        {1, 4, "Number", "1e-10", ""},
        {1, 5, "Number", "123456789012345", ""},
        {2, 1, "DateTime", "1999-12-31T00:00:00.000", ""},
        {2, 2, "DateTime", "1899-12-30T13:45:30.000", ""},
        {2, 3, "DateTime", "2024-02-29T23:59:00.000", ""},
        {2, 4, "Number", "0.125", ""},
        {2, 5, "Number", "1234567.891", ""},
        {2, 6, "Number", "6.02214076e+23", ""},
        {3, 1, "Boolean", "1", ""},
        {3, 2, "Boolean", "0", ""},
        {3, 3, "Boolean", "1", "=1<2"},
        {3, 4, "Boolean", "1", "=TRUE()"},
        {3, 5, "String", "text in a number style", ""},
        {6, 1, "Error", "#DIV/0!", "=1/0"},
        {6, 2, "Error", "#N/A", "=NA()"},
        {6, 5, "String", "ABC & <x>", "=UPPER(\"abc\")&\" & <x>\""},
        {7, 4, "Number", "123456789012328.3", "=SUM(R[-6]C[-2]:R[-6]C[1])"},
        {7, 5, "DateTime", "2000-01-01T00:00:00.000", "=R[-5]C[-4]+1"},
        {7, 6, "Number", "42", "='Other sheet'!R[-6]C[-5]*2"},
        {4408, 1, "String", "after the first block", ""},
        {4408, 4, "Number", "4408", "=ROW()"},
        {4409, 3, "Number", "-0.5", ""},
    };
    for (const Expected &e : cells) {
        SCOPED_TRACE(testing::Message() << "row " << e.row << " column " << e.column);
        const XmlCell cell = book.at(first, e.row, e.column);
        EXPECT_EQ(cell.type, QLatin1String(e.type));
        EXPECT_EQ(cell.data, QString::fromUtf8(e.data));
        EXPECT_EQ(cell.formula, QString::fromUtf8(e.formula));
    }
    // Control characters cannot travel in XML; the rest of the text does.
    EXPECT_EQ(book.at(first, 6, 6).data, QString(QChar(0xFFFD)) + QStringLiteral("bell\ttab"));
    EXPECT_EQ(book.at(first, 6, 3).type, QLatin1String("Error"));
    EXPECT_EQ(book.at(first, 6, 4).type, QLatin1String("Error"));
    EXPECT_EQ(book.cells.value(first).size(), int(std::size(cells)) + 3);

    // Number formats travel as styles; a string or an error keeps none.
    EXPECT_FALSE(book.at(first, 2, 1).style.isEmpty());
    EXPECT_EQ(book.numberFormats.value(book.at(first, 2, 1).style), QLatin1String("YYYY-MM-DD"));
    EXPECT_EQ(book.numberFormats.value(book.at(first, 2, 5).style), QLatin1String("#,##0.00"));
    EXPECT_EQ(book.at(first, 2, 4).style, book.at(first, 4409, 3).style);
    EXPECT_TRUE(book.at(first, 3, 5).style.isEmpty());
    EXPECT_TRUE(book.at(first, 6, 4).style.isEmpty());

    const QString other = QStringLiteral("Other sheet");
    EXPECT_EQ(book.cells.value(other).size(), 3);
    EXPECT_EQ(book.at(other, 1, 1).data, QLatin1String("21"));
    EXPECT_EQ(book.at(other, 5, 8).data, QStringLiteral("Grüße, 東京, 🙂"));
    EXPECT_EQ(book.at(other, 5, 9).data, QLatin1String("12"));
    EXPECT_TRUE(book.cells.value(QStringLiteral("Empty")).isEmpty());
    EXPECT_EQ(book.at(QStringLiteral("Last"), 1, 4).data, QLatin1String("1900-03-01T00:00:00.000"));
}

TEST_F(XmlWriter, ReplacesALinkAtThePathAndKeepsTheUsualPermissions)
{
    const QString elsewhere = m_out.filePath(QStringLiteral("elsewhere.txt"));
    QFile file(elsewhere);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    const QString target = m_out.filePath(QStringLiteral("types.xml"));
    ASSERT_TRUE(QFile::link(elsewhere, target));

    const mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_EQ(write(input(QStringLiteral("types.ods")), target), QString());
    EXPECT_FALSE(QFileInfo(target).isSymLink());
    EXPECT_EQ(readAll(elsewhere), QByteArray("keep me"));
    EXPECT_EQ(readXmlWorkbook(target).error, QString());
    struct stat st
    {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    EXPECT_EQ(entriesOf(m_out.path()), QStringList({QStringLiteral("elsewhere.txt"), QStringLiteral("types.xml")}));
}

TEST_F(XmlWriter, AFullDiskIsAnErrorAndLeavesNothingBehind)
{
    // Once the sheets cannot be written at all, once the disk fills up with
    // the last rows.
    const QString reference = m_out.filePath(QStringLiteral("long.xml"));
    ASSERT_EQ(write(input(QStringLiteral("long.xlsx")), reference), QString());
    const qint64 size = QFileInfo(reference).size();
    ASSERT_GT(size, 2 << 20);

    for (const qint64 room : {qint64(256 << 10), size - (8 << 10)}) {
        SCOPED_TRACE(testing::Message() << "tmpfs of " << room << " bytes");
        ScratchMount disk(room);
        if (!disk.mounted())
            GTEST_SKIP() << disk.whyNot().toStdString();
        const QString target = disk.path() + QStringLiteral("/out/long.xml");
        EXPECT_EQ(write(input(QStringLiteral("long.xlsx")), target),
                  QStringLiteral("cannot save %1: disk full").arg(target));
        EXPECT_FALSE(QFileInfo::exists(target));
        EXPECT_EQ(entriesOf(disk.path() + QStringLiteral("/out")), QStringList());

        // A file that was there before stays as it was.
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("previous output");
        old.close();
        EXPECT_EQ(write(input(QStringLiteral("long.xlsx")), target),
                  QStringLiteral("cannot save %1: disk full").arg(target));
        EXPECT_EQ(readAll(target), QByteArray("previous output"));
        EXPECT_EQ(entriesOf(disk.path() + QStringLiteral("/out")), QStringList({QStringLiteral("long.xml")}));
    }
}

TEST_F(XmlWriter, NeedsLittleMoreRoomThanTheFileItself)
{
    const QString reference = m_out.filePath(QStringLiteral("long.xml"));
    ASSERT_EQ(write(input(QStringLiteral("long.xlsx")), reference), QString());
    const qint64 size = QFileInfo(reference).size();

    // The sheets pass through a scratch file, which is given back as it
    // is copied: far less than twice the size is enough.
    ScratchMount disk(size + (2 << 20));
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    ASSERT_LT(size + (2 << 20), 2 * size);
    const QString target = disk.path() + QStringLiteral("/long.xml");
    ASSERT_EQ(write(input(QStringLiteral("long.xlsx")), target), QString());
    EXPECT_TRUE(readAll(target) == readAll(reference));
    EXPECT_EQ(entriesOf(disk.path()), QStringList({QStringLiteral("long.xml")}));
}

// The copy of the sheets behind the styles is where a disk that took the
// sheets can still run full.
TEST(OutputFile, ACopyThatDoesNotFitFailsAndLeavesNothing)
{
    ScratchMount disk(1 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    const QString target = disk.path() + QStringLiteral("/out.xml");
    auto body = std::make_unique<OutputFile>();
    ASSERT_TRUE(body->openScratch(disk.path()));
    ASSERT_EQ(body->write(QByteArray(900 << 10, 'b')), qint64(900 << 10));
    {
        OutputFile file;
        ASSERT_TRUE(file.openTarget(target));
        ASSERT_EQ(file.write(QByteArray(200 << 10, 'h')), qint64(200 << 10));
        EXPECT_FALSE(file.appendFrom(*body));
        EXPECT_EQ(platform::describeError(file.error()), QLatin1String("disk full"));
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(file.write("more"), -1);
    }
    EXPECT_EQ(entriesOf(disk.path()), QStringList());
    body.reset();

    // With the room it needs, such a copy goes through whole, although the
    // disk could not hold two copies. (A scratch file is given back while
    // it is copied: it can be copied once.)
    OutputFile again;
    ASSERT_TRUE(again.openScratch(disk.path()));
    ASSERT_EQ(again.write(QByteArray(700 << 10, 'b')), qint64(700 << 10));
    OutputFile small;
    ASSERT_TRUE(small.openTarget(target));
    ASSERT_EQ(small.write(QByteArray(50 << 10, 'h')), qint64(50 << 10));
    ASSERT_TRUE(small.appendFrom(again)) << platform::describeError(small.error()).toStdString();
    ASSERT_TRUE(small.commit());
    const QByteArray written = readAll(target);
    EXPECT_EQ(written.size(), (50 << 10) + (700 << 10));
    EXPECT_TRUE(written.startsWith(QByteArray(50 << 10, 'h')));
    EXPECT_TRUE(written.endsWith(QByteArray(700 << 10, 'b')));
}

TEST_F(XmlWriter, UnwritablePathsNameTheReason)
{
    const QString longName = m_out.filePath(QString(300, QLatin1Char('n')) + QStringLiteral(".xml"));
    EXPECT_EQ(write(input(QStringLiteral("types.ods")), longName),
              QStringLiteral("cannot save %1: file name too long").arg(longName));
    EXPECT_EQ(entriesOf(m_out.path()), QStringList());

    // An output folder that exists keeps today's wording.
    const QString folder = m_out.filePath(QStringLiteral("folder.xml"));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_EQ(write(input(QStringLiteral("types.ods")), folder),
              QStringLiteral("cannot save %1: %1 is a folder").arg(folder));

    ScratchMount readOnly(1 << 20, true);
    if (!readOnly.mounted())
        GTEST_SKIP() << readOnly.whyNot().toStdString();
    const QString target = readOnly.path() + QStringLiteral("/types.xml");
    EXPECT_EQ(write(input(QStringLiteral("types.ods")), target),
              QStringLiteral("cannot save %1: read-only file system").arg(target));
    EXPECT_EQ(entriesOf(readOnly.path()), QStringList());
}

} // namespace
