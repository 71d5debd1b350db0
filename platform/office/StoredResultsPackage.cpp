#include "platform/office/ExcelValues.h"
#include "platform/office/StoredResults.h"
#include "platform/office/StoredResults_p.h"
#include "platform/office/ZipPackage.h"

#include <QDir>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>
#include <optional>

// The package side of StoredResults: .xlsx and .xlsm (XML parts) and .xlsb
// (binary parts) in their zip package.

namespace platform::office {

using stored::f64;
using stored::u32;

namespace {

using Value = StoredResults::Value;
using Area = StoredResults::Area;

// An .xlsb record: a type and a length of up to 7 bits a byte each.
bool nextBinaryRecord(const QByteArray &b, qsizetype &at, quint32 &type, QByteArray &data)
{
    const auto varint = [&](int maxBytes, quint32 &value) {
        value = 0;
        for (int i = 0; i < maxBytes; ++i) {
            if (at >= b.size())
                return false;
            const quint8 byte = quint8(b[at++]);
            value |= quint32(byte & 0x7f) << (7 * i);
            if (!(byte & 0x80))
                return true;
        }
        return true;
    };
    quint32 length = 0;
    if (!varint(2, type) || !varint(4, length) || at + qsizetype(length) > b.size())
        return false;
    data = b.mid(at, length);
    at += length;
    return true;
}

QString wideString(const QByteArray &data, qsizetype at, qsizetype *end = nullptr)
{
    const quint32 count = u32(data, at);
    if (count == 0xFFFFFFFF || at + 4 + qsizetype(count) * 2 > data.size()) {
        if (end)
            *end = at + 4;
        return {};
    }
    if (end)
        *end = at + 4 + qsizetype(count) * 2;
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(data.constData() + at + 4), count);
}

// .xlsb record types
constexpr quint32 kRowHeader = 0, kCellRk = 2, kCellError = 3, kCellBool = 4, kCellReal = 5, kCellText = 6,
                  kCellShared = 7, kFormulaText = 8, kFormulaNumber = 9, kFormulaLogical = 10, kFormulaError = 11,
                  kSharedString = 19, kBundleSheet = 156, kPivotLocation = 314;

// "BC12" as 0-based row and column; false for anything else.
bool cellReference(QStringView text, int &row, int &column)
{
    qsizetype i = 0;
    column = 0;
    while (i < text.size() && text[i].isUpper())
        column = column * 26 + (text[i++].unicode() - 'A' + 1);
    bool ok = false;
    row = text.mid(i).toInt(&ok) - 1;
    --column;
    return ok && i > 0 && row >= 0 && column >= 0;
}

// "B2:C4" or "B2"; an empty area for anything else.
Area areaOf(const QString &reference)
{
    const QStringList corners = reference.split(QLatin1Char(':'));
    Area area;
    if (!cellReference(corners.first(), area.top, area.left))
        return {};
    if (corners.size() < 2 || !cellReference(corners.last(), area.bottom, area.right)) {
        area.bottom = area.top;
        area.right = area.left;
    }
    return area;
}

// A pivot table's location with its page fields: those stand above it, a
// row apart, in columns of label and value a column apart.
Area withPageFields(Area area, int pageRows, int pageColumns)
{
    if (pageRows > 0 && pageColumns > 0) {
        area.top = std::max(0, area.top - pageRows - 1);
        area.right = std::max(area.right, area.left + 3 * pageColumns - 2);
    }
    return area;
}

StoredResults::SheetKind kindOfRelation(const QString &type)
{
    if (type.endsWith(QLatin1String("/chartsheet")))
        return StoredResults::SheetKind::Chart;
    if (type.endsWith(QLatin1String("/dialogsheet")))
        return StoredResults::SheetKind::Dialog;
    if (type.endsWith(QLatin1String("acrosheet"), Qt::CaseInsensitive)) // xlMacrosheet, xlIntlMacrosheet
        return StoredResults::SheetKind::MacroSheet;
    return StoredResults::SheetKind::Worksheet;
}

struct Relation
{
    QString type;
    QString part; // the target's name in the package
};

// The relations of a part ("xl/workbook.xml" has "xl/_rels/workbook.xml.rels"),
// by id, their targets resolved against the part's folder.
QHash<QString, Relation> relationsOf(const ZipPackage &zip, const QString &part)
{
    QHash<QString, Relation> out;
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    const QString folder = part.left(slash + 1);
    const std::optional<QByteArray> rels =
        zip.part(folder + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels"));
    if (!rels)
        return out;
    QXmlStreamReader xml(*rels);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("Relationship"))
            continue;
        const auto a = xml.attributes();
        const QString target = a.value(QLatin1String("Target")).toString();
        out.insert(a.value(QLatin1String("Id")).toString(),
                   {a.value(QLatin1String("Type")).toString(),
                    target.startsWith(QLatin1Char('/')) ? target.mid(1) : QDir::cleanPath(folder + target)});
    }
    return out;
}

class PackageWorkbook
{
public:
    PackageWorkbook(const ZipPackage &zip, bool binary, StoredResults::Scope scope)
        : m_zip(zip), m_binary(binary), m_scope(scope)
    {}

    bool readSheet(const QString &part, StoredResults::Sheet &sheet)
    {
        if (!m_binary && !m_stylesRead)
            readXmlStyles();
        const std::optional<QByteArray> bytes = m_zip.part(part);
        if (!bytes)
            return false;
        sheet.pivotTables = pivotTables(part);
        return m_binary ? readBinarySheet(*bytes, sheet) : readXmlSheet(*bytes, sheet);
    }

private:
    bool wanted(const StoredResults::Sheet &sheet, int row, int column) const
    {
        return m_scope == StoredResults::Scope::EveryCell || sheet.inPivotTable(row, column);
    }

    QList<Area> pivotTables(const QString &sheetPart) const
    {
        QList<Area> areas;
        for (const Relation &relation : relationsOf(m_zip, sheetPart)) {
            if (!relation.type.endsWith(QLatin1String("/pivotTable")))
                continue;
            const std::optional<QByteArray> definition = m_zip.part(relation.part);
            if (!definition)
                continue;
            if (const std::optional<Area> area = m_binary ? binaryLocation(*definition) : xmlLocation(*definition))
                areas << *area;
        }
        return areas;
    }

    static std::optional<Area> xmlLocation(const QByteArray &definition)
    {
        QXmlStreamReader xml(definition);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement() || xml.name() != QLatin1String("location"))
                continue;
            const auto a = xml.attributes();
            const Area area = areaOf(a.value(QLatin1String("ref")).toString());
            if (area.bottom < area.top)
                return std::nullopt;
            return withPageFields(area, a.value(QLatin1String("rowPageCount")).toInt(),
                                  a.value(QLatin1String("colPageCount")).toInt());
        }
        return std::nullopt;
    }

    static std::optional<Area> binaryLocation(const QByteArray &definition)
    {
        qsizetype at = 0;
        quint32 type = 0;
        QByteArray d;
        while (at < definition.size() && nextBinaryRecord(definition, at, type, d)) {
            if (type != kPivotLocation || d.size() < 36)
                continue;
            const Area area{int(u32(d, 0)), int(u32(d, 8)), int(u32(d, 4)), int(u32(d, 12))};
            return withPageFields(area, int(u32(d, 28)), int(u32(d, 32)));
        }
        return std::nullopt;
    }

    QString sharedString(quint32 index)
    {
        if (!m_sharedStringsRead)
            readSharedStrings();
        return index < quint32(m_sharedStrings.size()) ? m_sharedStrings.at(index) : QString();
    }

    void readSharedStrings()
    {
        m_sharedStringsRead = true;
        const QString workbook = m_binary ? QStringLiteral("xl/workbook.bin") : QStringLiteral("xl/workbook.xml");
        for (const Relation &relation : relationsOf(m_zip, workbook)) {
            if (!relation.type.endsWith(QLatin1String("/sharedStrings")))
                continue;
            if (const std::optional<QByteArray> part = m_zip.part(relation.part))
                m_binary ? readBinarySharedStrings(*part) : readXmlSharedStrings(*part);
            return;
        }
    }

    void readBinarySharedStrings(const QByteArray &part)
    {
        qsizetype at = 0;
        quint32 type = 0;
        QByteArray d;
        while (at < part.size() && nextBinaryRecord(part, at, type, d)) {
            if (type == kSharedString)
                m_sharedStrings << wideString(d, 1);
        }
    }

    // The text of every <si>, its runs joined, its phonetic reading left out.
    void readXmlSharedStrings(const QByteArray &part)
    {
        QXmlStreamReader xml(part);
        QString text;
        int phonetic = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            const QStringView name = xml.name();
            if (xml.isStartElement()) {
                if (name == QLatin1String("si"))
                    text.clear();
                else if (name == QLatin1String("rPh"))
                    ++phonetic;
                else if (name == QLatin1String("t") && phonetic == 0)
                    text += xml.readElementText();
            } else if (xml.isEndElement()) {
                if (name == QLatin1String("rPh"))
                    --phonetic;
                else if (name == QLatin1String("si"))
                    m_sharedStrings << excel::decodeOoxmlEscapes(text);
            }
        }
    }

    // Which cell formats (by index) have the General number format.
    void readXmlStyles()
    {
        m_stylesRead = true;
        std::optional<QByteArray> part;
        for (const Relation &relation : relationsOf(m_zip, QStringLiteral("xl/workbook.xml"))) {
            if (relation.type.endsWith(QLatin1String("/styles")))
                part = m_zip.part(relation.part);
        }
        if (!part)
            return;
        QXmlStreamReader xml(*part);
        bool cellFormats = false;
        while (!xml.atEnd()) {
            xml.readNext();
            const QStringView name = xml.name();
            if (name == QLatin1String("cellXfs"))
                cellFormats = xml.isStartElement();
            else if (cellFormats && xml.isStartElement() && name == QLatin1String("xf"))
                m_generalStyles << (xml.attributes().value(QLatin1String("numFmtId")).toInt() == 0);
        }
    }

    bool readBinarySheet(const QByteArray &part, StoredResults::Sheet &sheet)
    {
        qsizetype at = 0;
        quint32 type = 0;
        QByteArray d;
        int row = 0;
        while (at < part.size()) {
            if (!nextBinaryRecord(part, at, type, d))
                return false;
            if (type == kRowHeader) {
                row = int(u32(d, 0));
                continue;
            }
            if (type < kCellRk || type > kFormulaError || d.size() < 9)
                continue;
            const int column = int(u32(d, 0));
            const bool formula = type >= kFormulaText;
            if (!formula && !wanted(sheet, row, column))
                continue;
            Value value;
            switch (type) {
            case kFormulaText:
            case kCellText:
                value = Value::ofText(wideString(d, 8));
                break;
            case kFormulaNumber:
            case kCellReal:
                if (d.size() < 16)
                    continue;
                value = Value::ofNumber(f64(d, 8));
                break;
            case kCellRk:
                value = Value::ofNumber(stored::rkNumber(u32(d, 8)));
                break;
            case kFormulaLogical:
            case kCellBool:
                value = Value::ofLogical(quint8(d[8]) != 0);
                break;
            case kCellShared:
                value = Value::ofText(sharedString(u32(d, 8)));
                break;
            default: // kFormulaError, kCellError
                value = Value::ofError(stored::errorText(quint8(d[8])));
                break;
            }
            (formula ? sheet.results : sheet.cells).insert(StoredResults::key(row, column), value);
        }
        return true;
    }

    // The value of every cell with a formula, and of the wanted others.
    bool readXmlSheet(const QByteArray &part, StoredResults::Sheet &sheet)
    {
        QXmlStreamReader xml(part);
        int row = 0, column = 0, phonetic = 0;
        QString type, value;
        bool formula = false, inCell = false, hasValue = false, inline_ = false, general = false;
        QList<Area> arrays;
        while (!xml.atEnd()) {
            xml.readNext();
            const QStringView name = xml.name();
            if (xml.isStartElement()) {
                if (name == QLatin1String("c")) {
                    const auto a = xml.attributes();
                    inCell = cellReference(a.value(QLatin1String("r")), row, column);
                    type = a.value(QLatin1String("t")).toString();
                    general = m_generalStyles.value(a.value(QLatin1String("s")).toInt());
                    formula = hasValue = inline_ = false;
                    value.clear();
                } else if (inCell && name == QLatin1String("f")) {
                    formula = true;
                    const auto a = xml.attributes();
                    if (a.value(QLatin1String("t")) == QLatin1String("array"))
                        arrays << areaOf(a.value(QLatin1String("ref")).toString());
                } else if (inCell && name == QLatin1String("v")) {
                    value = xml.readElementText();
                    hasValue = true;
                } else if (inCell && name == QLatin1String("is")) {
                    inline_ = hasValue = true;
                } else if (inline_ && name == QLatin1String("rPh")) {
                    ++phonetic;
                } else if (inline_ && phonetic == 0 && name == QLatin1String("t")) {
                    value += xml.readElementText();
                }
            } else if (xml.isEndElement() && name == QLatin1String("rPh") && inline_) {
                --phonetic;
            } else if (xml.isEndElement() && name == QLatin1String("c") && inCell) {
                inCell = false;
                if (formula && general)
                    sheet.generalFormulas.insert(StoredResults::key(row, column));
                // The other cells of an array formula hold its results.
                const bool arrayPart = !formula && hasValue
                                       && std::any_of(arrays.cbegin(), arrays.cend(),
                                                      [&](const Area &a) { return a.contains(row, column); });
                if (arrayPart) {
                    formula = true;
                    sheet.arrayParts.insert(StoredResults::key(row, column));
                }
                // Without a stored result the office computes the formula.
                if (!hasValue || (!formula && !wanted(sheet, row, column)))
                    continue;
                // An inline text is no formula's result in Excel's files.
                if (formula && type == QLatin1String("inlineStr"))
                    continue;
                if (const std::optional<Value> stored = xmlValue(type, value))
                    (formula ? sheet.results : sheet.cells).insert(StoredResults::key(row, column), *stored);
            }
        }
        return !xml.hasError();
    }

    std::optional<Value> xmlValue(const QString &type, const QString &value)
    {
        if (type == QLatin1String("str") || type == QLatin1String("inlineStr"))
            return Value::ofText(excel::decodeOoxmlEscapes(value));
        if (type == QLatin1String("s")) {
            bool ok = false;
            const uint index = value.trimmed().toUInt(&ok);
            return ok ? std::optional<Value>(Value::ofText(sharedString(index))) : std::nullopt;
        }
        if (type == QLatin1String("b"))
            return Value::ofLogical(value.trimmed() == QLatin1String("1"));
        if (type == QLatin1String("e"))
            return Value::ofError(value);
        if (type.isEmpty() || type == QLatin1String("n")) {
            bool ok = false;
            const double number = value.toDouble(&ok);
            return ok ? std::optional<Value>(Value::ofNumber(number)) : std::nullopt;
        }
        return std::nullopt;
    }

    const ZipPackage &m_zip;
    const bool m_binary;
    const StoredResults::Scope m_scope;
    bool m_sharedStringsRead = false;
    QStringList m_sharedStrings;
    bool m_stylesRead = false;
    QList<bool> m_generalStyles; // by cell format index
};

} // namespace

StoredResults StoredResults::readPackage(const QByteArray &bytes, Scope scope)
{
    StoredResults out;
    const ZipPackage zip(bytes);
    if (!zip.isValid())
        return out;
    const bool binary = zip.part(QStringLiteral("xl/workbook.bin")).has_value();
    const QString workbookPart = binary ? QStringLiteral("xl/workbook.bin") : QStringLiteral("xl/workbook.xml");
    const std::optional<QByteArray> workbook = zip.part(workbookPart);
    const QHash<QString, Relation> targets = relationsOf(zip, workbookPart);
    if (!workbook || targets.isEmpty())
        return out;

    QList<QPair<QString, QString>> sheets; // name, relation id
    if (binary) {
        qsizetype at = 0;
        quint32 type = 0;
        QByteArray d;
        while (at < workbook->size() && nextBinaryRecord(*workbook, at, type, d)) {
            if (type != kBundleSheet)
                continue;
            qsizetype next = 0;
            const QString relation = wideString(d, 8, &next);
            sheets.append({wideString(d, next), relation});
        }
    } else {
        QXmlStreamReader xml(*workbook);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("sheet")) {
                const auto a = xml.attributes();
                QString relation;
                for (const QXmlStreamAttribute &attribute : a) {
                    if (attribute.name() == QLatin1String("id")
                        && attribute.namespaceUri().endsWith(QLatin1String("/relationships")))
                        relation = attribute.value().toString();
                }
                sheets.append({a.value(QLatin1String("name")).toString(), relation});
            }
        }
        if (xml.hasError())
            return out;
    }
    PackageWorkbook reader(zip, binary, scope);
    for (const auto &[name, relation] : sheets) {
        Sheet sheet;
        sheet.name = name;
        const Relation target = targets.value(relation);
        sheet.kind = kindOfRelation(target.type);
        if (sheet.kind == SheetKind::Worksheet && !reader.readSheet(target.part, sheet))
            return StoredResults{};
        out.m_sheets << sheet;
    }
    return out;
}

} // namespace platform::office
