#include "OfficeTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <unistd.h>

namespace officetest {

QString inputsDir()
{
    return qEnvironmentVariable("TABULON_OFFICE_INPUTS", QStringLiteral(TABULON_OFFICE_INPUTS_DIR));
}

QString input(const QString &name)
{
    return QDir(inputsDir()).filePath(name);
}

QString copyInput(const QString &name, const QString &target)
{
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(input(name), target)) << qPrintable(target);
    return target;
}

QStringList batchCommand(const QStringList &arguments)
{
    return QStringList{QStringLiteral(TABULON_BATCH)} + arguments;
}

testsupport::ProgramRun runBatch(const QStringList &arguments, const QProcessEnvironment &env)
{
    return testsupport::runProgram(batchCommand(arguments), env);
}

namespace {
QList<pid_t> officeProcesses(const std::function<bool(pid_t, const QByteArray &stat, const QByteArray &cmdline)> &pred)
{
    QList<pid_t> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!stat.open(QIODevice::ReadOnly) || !cmd.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = stat.readAll();
        const QByteArray c = cmd.readAll();
        if (!s.contains("(soffice.bin)") || s.contains(") Z "))
            continue;
        if (pred(pid, s, c))
            found << pid;
    }
    return found;
}
} // namespace

QList<pid_t> officeChildren()
{
    return officeChildrenOf(::getpid());
}

QList<pid_t> officeChildrenOf(qint64 parent)
{
    return officeProcesses([parent](pid_t, const QByteArray &stat, const QByteArray &) {
        // After "(comm) S " comes the parent's pid.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        return fields.size() > 1 && fields.at(1).toLongLong() == parent;
    });
}

QList<pid_t> waitForOfficesOf(qint64 parent, int ms)
{
    QList<pid_t> offices;
    const bool found = QTest::qWaitFor(
        [&] {
            offices = officeChildrenOf(parent);
            return !offices.isEmpty();
        },
        ms);
    return found ? offices : QList<pid_t>();
}

bool isWorking(pid_t pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task + QStringLiteral("/stat")));
        if (stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") R "))
            return true;
    }
    return false;
}

bool processGone(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
}

QList<pid_t> officeProcessesMatching(const QString &text)
{
    const QByteArray needle = text.toUtf8();
    return officeProcesses(
        [needle](pid_t, const QByteArray &, const QByteArray &cmdline) { return cmdline.contains(needle); });
}

QList<QStringList> readCsv(const QString &path)
{
    QFile file(path);
    QList<QStringList> rows;
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    const QString text = QString::fromUtf8(file.readAll());
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
        } else if (c != u'\r') {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}

QList<QList<QStringList>> readHtmlTables(const QString &path)
{
    QFile file(path);
    QList<QList<QStringList>> tables;
    if (!file.open(QIODevice::ReadOnly))
        return tables;
    const QString html = QString::fromUtf8(file.readAll());
    static const QRegularExpression table(QStringLiteral("<table[^>]*>(.*?)</table>"),
                                          QRegularExpression::DotMatchesEverythingOption
                                              | QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression row(QStringLiteral("<tr[^>]*>(.*?)</tr>"),
                                        QRegularExpression::DotMatchesEverythingOption
                                            | QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression cell(QStringLiteral("<t[dh][^>]*>(.*?)</t[dh]>"),
                                         QRegularExpression::DotMatchesEverythingOption
                                             | QRegularExpression::CaseInsensitiveOption);
    for (auto t = table.globalMatch(html); t.hasNext();) {
        QList<QStringList> rows;
        const QString tableText = t.next().captured(1);
        for (auto r = row.globalMatch(tableText); r.hasNext();) {
            QStringList cells;
            const QString rowText = r.next().captured(1);
            for (auto c = cell.globalMatch(rowText); c.hasNext();) {
                QTextDocument doc;
                doc.setHtml(c.next().captured(1));
                cells << doc.toPlainText().trimmed();
            }
            rows << cells;
        }
        tables << rows;
    }
    return tables;
}

XmlWorkbook readXmlWorkbook(const QString &path)
{
    XmlWorkbook book;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        book.error = QStringLiteral("cannot open ") + path;
        return book;
    }
    const QString ss = QStringLiteral("urn:schemas-microsoft-com:office:spreadsheet");
    QXmlStreamReader xml(&file);
    QString sheet, style;
    int row = 0, column = 0, span = 0;
    XmlCell cell;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isProcessingInstruction() && xml.processingInstructionTarget() == QLatin1String("mso-application")
            && xml.processingInstructionData().contains(QLatin1String("progid=\"Excel.Sheet\"")))
            book.hasProcessingInstruction = true;
        if (xml.isStartElement()) {
            const auto a = xml.attributes();
            const QStringView name = xml.name();
            if (xml.namespaceUri() != ss) {
                continue;
            } else if (name == QLatin1String("Style")) {
                style = a.value(ss, QStringLiteral("ID")).toString();
            } else if (name == QLatin1String("NumberFormat")) {
                book.numberFormats.insert(style, a.value(ss, QStringLiteral("Format")).toString());
            } else if (name == QLatin1String("Worksheet")) {
                sheet = a.value(ss, QStringLiteral("Name")).toString();
                book.sheets << sheet;
                row = 0;
            } else if (name == QLatin1String("Row")) {
                row = a.hasAttribute(ss, QStringLiteral("Index")) ? a.value(ss, QStringLiteral("Index")).toInt()
                                                                  : row + 1;
                column = 0;
                span = 0;
            } else if (name == QLatin1String("Cell")) {
                // The cells a merged cell spans take no column of their own.
                column = a.hasAttribute(ss, QStringLiteral("Index")) ? a.value(ss, QStringLiteral("Index")).toInt()
                                                                     : column + 1 + span;
                cell = XmlCell{};
                cell.formula = a.value(ss, QStringLiteral("Formula")).toString();
                span = a.value(ss, QStringLiteral("MergeAcross")).toInt();
                cell.style = a.value(ss, QStringLiteral("StyleID")).toString();
            } else if (name == QLatin1String("Comment")) {
                xml.skipCurrentElement(); // its Data is the note's text, not the cell's
            } else if (name == QLatin1String("Data")) {
                cell.type = a.value(ss, QStringLiteral("Type")).toString();
                // Rich text holds formatting elements: their text counts.
                cell.data = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                book.cells[sheet].insert(qMakePair(row, column), cell);
            }
        }
    }
    if (xml.hasError())
        book.error = xml.errorString();
    return book;
}

} // namespace officetest
