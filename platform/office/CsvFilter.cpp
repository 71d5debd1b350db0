#include "platform/office/CsvFilter.h"

#include "platform/FileSystem.h"
#include "platform/office/OfficeBridge.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUniqueCellFormatRangesSupplier.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <rtl/tencinfo.h>
#include <rtl/textcvt.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <map>
#include <utility>
#include <vector>

// Last: it opens the css namespace.
#include "platform/office/UnoNames_p.h"

namespace platform::office {

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

bool isUtf16(const QString &name)
{
    return name.compare(QLatin1String("UTF-16"), Qt::CaseInsensitive) == 0
           || name.compare(QLatin1String("UTF16"), Qt::CaseInsensitive) == 0;
}

bool canConvertTo(rtl_TextEncoding encoding)
{
    const rtl_UnicodeToTextConverter converter = rtl_createUnicodeToTextConverter(encoding);
    if (!converter)
        return false;
    rtl_destroyUnicodeToTextConverter(converter);
    return true;
}

// What raw values look like in a CSV: the format key each kind of number
// format gives way to; -1 for kinds that stay as they are (text, Boolean).
class RawKeys
{
public:
    explicit RawKeys(const Reference<util::XNumberFormats> &formats) : m_formats(formats) {}

    sal_Int32 rawFor(sal_Int32 key)
    {
        const auto known = m_raw.find(key);
        if (known != m_raw.end())
            return known->second;
        const sal_Int32 raw = keyFor(codeFor(typeOf(key)));
        m_raw.emplace(key, raw);
        return raw;
    }

private:
    sal_Int16 typeOf(sal_Int32 key) const
    {
        sal_Int16 type = util::NumberFormat::UNDEFINED;
        try {
            m_formats->getByKey(key)->getPropertyValue("Type") >>= type;
        } catch (const uno::Exception &) {
            // An unknown key formats as general.
            type = util::NumberFormat::NUMBER;
        }
        return sal_Int16(type & ~util::NumberFormat::DEFINED);
    }

    static const char *codeFor(sal_Int16 type)
    {
        if ((type & util::NumberFormat::DATETIME) == util::NumberFormat::DATETIME)
            return "YYYY-MM-DD HH:MM:SS";
        if (type & util::NumberFormat::DATE)
            return "YYYY-MM-DD";
        if (type & (util::NumberFormat::TIME | util::NumberFormat::DURATION))
            return "[HH]:MM:SS";
        if (type
            & (util::NumberFormat::NUMBER | util::NumberFormat::CURRENCY | util::NumberFormat::PERCENT
               | util::NumberFormat::SCIENTIFIC | util::NumberFormat::FRACTION))
            return "General";
        return nullptr;
    }

    sal_Int32 keyFor(const char *code)
    {
        if (!code)
            return -1;
        // English codes and separators: a decimal point, whatever the
        // office's or the workbook's language.
        const lang::Locale english("en", "US", "");
        const rtl::OUString text = rtl::OUString::createFromAscii(code);
        sal_Int32 key = m_formats->queryKey(text, english, false);
        if (key < 0)
            key = m_formats->addNew(text, english);
        return key;
    }

    Reference<util::XNumberFormats> m_formats;
    std::map<sal_Int32, sal_Int32> m_raw;
};

} // namespace

int csvCharacterSet(const QString &name)
{
    if (isUtf16(name))
        return RTL_TEXTENCODING_UNICODE;
    const QByteArray latin = name.toLatin1();
    if (latin.isEmpty() || QString::fromLatin1(latin) != name)
        return -1;
    rtl_TextEncoding encoding = rtl_getTextEncodingFromMimeCharset(latin.constData());
    if (encoding == RTL_TEXTENCODING_DONTKNOW)
        encoding = rtl_getTextEncodingFromUnixCharset(latin.constData());
    if (encoding == RTL_TEXTENCODING_DONTKNOW || !canConvertTo(encoding))
        return -1;
    return int(encoding);
}

bool canWriteCsvEncoding(const QString &name)
{
    return csvCharacterSet(name) >= 0;
}

QString csvFilterOptions(const CsvFormat &format, int sheet)
{
    const int characterSet = csvCharacterSet(format.encoding);
    if (characterSet < 0)
        throw OfficeFailure(QStringLiteral("LibreOffice cannot write the character set %1").arg(format.encoding));
    const auto flag = [](bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); };
    // Separator, text delimiter, character set, first line, column formats,
    // language, quote all text, numbers as numbers, as shown, formulas,
    // trimmed blanks, sheet, evaluated formulas, byte-order mark. Raw values
    // are written as shown too, once RawValueFormats has made the showing raw.
    return QStringList({QString::number(format.separator), QString::number(u'"'), QString::number(characterSet),
                        QStringLiteral("1"), QString(), QStringLiteral("0"),
                        flag(format.quoting == CsvFormat::Quoting::AllText), flag(true), flag(true), flag(false),
                        flag(false), QString::number(sheet), flag(false), flag(format.byteOrderMark)})
        .join(QLatin1Char(','));
}

void finishCsvFile(const CsvFormat &format, const QString &path)
{
    if (!format.byteOrderMark || csvCharacterSet(format.encoding) != RTL_TEXTENCODING_UTF8)
        return;
    const auto failure = [&path](int error) {
        return OfficeFailure(
            QStringLiteral("cannot save %1: %2").arg(QDir::toNativeSeparators(path), platform::describeError(error)));
    };
    QFile written(path);
    if (!written.open(QIODevice::ReadOnly))
        throw failure(written.error() == QFileDevice::OpenError ? ENOENT : EIO);
    if (written.peek(kUtf8Mark.size()) == kUtf8Mark)
        return;
    // Copied behind the mark into a file of its own, renamed over the one
    // the office wrote only when complete.
    QSaveFile marked(path);
    if (!marked.open(QIODevice::WriteOnly) || marked.write(kUtf8Mark) != kUtf8Mark.size())
        throw failure(platform::writeProblem(QFileInfo(path).absolutePath()));
    while (!written.atEnd()) {
        const QByteArray block = written.read(1 << 20);
        if (block.isEmpty() || marked.write(block) != block.size())
            throw failure(platform::writeProblem(QFileInfo(path).absolutePath()));
    }
    if (!marked.commit())
        throw failure(platform::writeProblem(QFileInfo(path).absolutePath()));
}

struct RawValueFormats::Saved
{
    Reference<beans::XPropertySet> model;
    bool changeReadOnly = false;
    // Each set of cells whose format was changed, with the key it had.
    std::vector<std::pair<Reference<beans::XPropertySet>, sal_Int32>> formats;
};

RawValueFormats::RawValueFormats(const UnoOffice::Document &document, int sheetIndex)
    : m_saved(std::make_unique<Saved>())
{
    const Reference<sheet::XSpreadsheetDocument> spreadsheet(document, UNO_QUERY_THROW);
    const Reference<container::XIndexAccess> sheets(spreadsheet->getSheets(), UNO_QUERY_THROW);
    const Reference<sheet::XUniqueCellFormatRangesSupplier> supplier(sheets->getByIndex(sheetIndex), UNO_QUERY_THROW);
    const Reference<util::XNumberFormatsSupplier> formatsSupplier(document, UNO_QUERY_THROW);
    RawKeys keys(formatsSupplier->getNumberFormats());
    const Reference<beans::XPropertySet> model(document, UNO_QUERY_THROW);
    const rtl::OUString changeReadOnly("IsChangeReadOnlyEnabled");
    model->getPropertyValue(changeReadOnly) >>= m_saved->changeReadOnly;
    const rtl::OUString numberFormat("NumberFormat");
    try {
        // The workbook is loaded read-only, which keeps every cell as it is
        // unless changes are let through.
        m_saved->model = model;
        model->setPropertyValue(changeReadOnly, uno::Any(true));
        // One set per distinct format: a few calls for a whole sheet.
        const Reference<container::XIndexAccess> sets = supplier->getUniqueCellFormatRanges();
        for (sal_Int32 i = 0; i < sets->getCount(); ++i) {
            const Reference<beans::XPropertySet> cells(sets->getByIndex(i), UNO_QUERY);
            sal_Int32 key = 0;
            if (!cells.is() || !(cells->getPropertyValue(numberFormat) >>= key))
                continue;
            const sal_Int32 raw = keys.rawFor(key);
            if (raw < 0 || raw == key)
                continue;
            cells->setPropertyValue(numberFormat, uno::Any(raw));
            m_saved->formats.emplace_back(cells, key);
            // A protected sheet refuses without a word.
            sal_Int32 now = key;
            cells->getPropertyValue(numberFormat) >>= now;
            if (now != raw)
                throw OfficeFailure(QStringLiteral("the raw values of the sheet cannot be written: it is protected"));
        }
    } catch (...) {
        restore(); // what was changed goes back before the error leaves
        throw;
    }
}

RawValueFormats::~RawValueFormats()
{
    restore();
}

void RawValueFormats::restore()
{
    const std::vector<std::pair<Reference<beans::XPropertySet>, sal_Int32>> changed = std::move(m_saved->formats);
    m_saved->formats.clear();
    try {
        for (const auto &[cells, key] : changed)
            cells->setPropertyValue("NumberFormat", uno::Any(key));
        if (m_saved->model.is())
            m_saved->model->setPropertyValue("IsChangeReadOnlyEnabled", uno::Any(m_saved->changeReadOnly));
    } catch (const uno::Exception &) {
        // The workbook is closed after its outputs either way.
    }
}

} // namespace platform::office
