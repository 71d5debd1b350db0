#include "cli/BatchOptions.h"

#include "platform/office/OfficeBridge.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include "platform/office/RecyclePolicy.h"

#include <algorithm>

namespace batch {

namespace {

const char *const kProgram = "tabulon-batch";

// One row per option: adding an option is adding a row (and its field in
// Options). apply() stores the value and returns an error text, empty when
// the value is good. An option without a value name is a switch: apply()
// gets an empty value when it is given.
struct OptionEntry
{
    const char *name;
    const char *valueName; // nullptr for a switch
    const char *description;
    bool required;
    QString (*apply)(const QString &value, Options &options);
};

// Stores the value as given in a text field of Options.
template <QString Options::*field>
QString store(const QString &value, Options &options)
{
    options.*field = value;
    return {};
}

// One of the words an option takes, with what it stands for.
template <typename T>
struct Choice
{
    const char *word;
    T value;
};

// Sets field to what word stands for among choices; an unknown word gets the
// error text unknown, with the word for its %1.
template <typename T, std::size_t N>
QString choose(const QString &word, const Choice<T> (&choices)[N], T &field, const QString &unknown)
{
    for (const Choice<T> &choice : choices) {
        if (word == QLatin1String(choice.word)) {
            field = choice.value;
            return {};
        }
    }
    return unknown.arg(word);
}

QString applyKind(const QString &value, Options &options)
{
    static const Choice<OutputKind> kinds[] = {
        {"html", OutputKind::Html}, {"csv", OutputKind::Csv}, {"xml", OutputKind::Xml}};
    return choose(value, kinds, options.kind, QStringLiteral("unknown kind \"%1\" (html, csv or xml)"));
}

QString applyJobs(const QString &value, Options &options)
{
    bool ok = false;
    const int jobs = value.toInt(&ok);
    if (!ok || jobs < 1)
        return QStringLiteral("--jobs needs a positive number, not \"%1\"").arg(value);
    options.jobs = jobs;
    return {};
}

// A count that may be 0 ("never"), for the office's recycling.
template <int Options::*field>
QString applyCount(const QString &value, Options &options, const char *option)
{
    bool ok = false;
    const int number = value.toInt(&ok);
    if (!ok || number < 0)
        return QStringLiteral("%1 needs a number from 0, not \"%2\"").arg(QLatin1String(option), value);
    options.*field = number;
    return {};
}

QString applyShard(const QString &value, Options &options)
{
    const QStringList parts = value.split(QLatin1Char('/'));
    bool kOk = false, nOk = false;
    const int shard = parts.value(0).toInt(&kOk);
    const int count = parts.value(1).toInt(&nOk);
    if (parts.size() != 2 || !kOk || !nOk || count < 1 || shard < 1 || shard > count)
        return QStringLiteral("--shard needs K/N with 1 <= K <= N, not \"%1\"").arg(value);
    options.shard = shard;
    options.shardCount = count;
    return {};
}

QString applyLogFormat(const QString &value, Options &options)
{
    static const Choice<LogFormat> formats[] = {{"text", LogFormat::Text}, {"jsonl", LogFormat::JsonLines}};
    return choose(value, formats, options.logFormat, QStringLiteral("unknown log format \"%1\" (text or jsonl)"));
}

QString applyCsvSheets(const QString &value, Options &options)
{
    options.csvAllSheets = value == QLatin1String("all");
    options.csvSheetPatterns.clear();
    if (value == QLatin1String("first") || value == QLatin1String("all"))
        return {};
    const QStringList names = value.split(QLatin1Char(','));
    if (names.contains(QString()))
        return QStringLiteral("--csv-sheets needs first, all or sheet names (NAME[,NAME...]), not \"%1\"").arg(value);
    options.csvSheetPatterns = names;
    return {};
}

QString applyCsvSeparator(const QString &value, Options &options)
{
    static const Choice<char16_t> words[] = {{"tab", u'\t'}, {"semicolon", u';'}, {"comma", u','}};
    if (value.size() == 1) {
        const QChar c = value.at(0);
        if (c == QLatin1Char('"') || c == QLatin1Char('\n') || c == QLatin1Char('\r') || c.isSurrogate())
            return QStringLiteral("--csv-separator cannot be %1")
                .arg(c == QLatin1Char('"') ? QStringLiteral("the quote \"") : QStringLiteral("a line break"));
        options.csv.separator = c.unicode();
        return {};
    }
    return choose(value, words, options.csv.separator,
                  QStringLiteral("--csv-separator needs one character, tab or semicolon, not \"%1\""));
}

QString applyCsvQuote(const QString &value, Options &options)
{
    static const Choice<platform::CsvFormat::Quoting> quoting[] = {{"needed", platform::CsvFormat::Quoting::Needed},
                                                                   {"all", platform::CsvFormat::Quoting::AllText}};
    return choose(value, quoting, options.csv.quoting,
                  QStringLiteral("unknown --csv-quote value \"%1\" (needed or all)"));
}

QString applyCsvEncoding(const QString &value, Options &options)
{
    const bool marked = value.compare(QLatin1String("utf-8-bom"), Qt::CaseInsensitive) == 0;
    const QString name = marked ? QStringLiteral("UTF-8") : value;
    if (!platform::office::canWriteCsvEncoding(name))
        return QStringLiteral("unknown --csv-encoding \"%1\" (a character set such as UTF-8, utf-8-bom, "
                              "windows-1252 or UTF-16)")
            .arg(value);
    options.csv.encoding = name;
    options.csv.byteOrderMark = marked;
    return {};
}

QString applyCsvValues(const QString &value, Options &options)
{
    static const Choice<platform::CsvFormat::Values> values[] = {{"shown", platform::CsvFormat::Values::Shown},
                                                                 {"raw", platform::CsvFormat::Values::Raw}};
    return choose(value, values, options.csv.values,
                  QStringLiteral("unknown --csv-values value \"%1\" (shown or raw)"));
}

QString applyProgress(const QString &value, Options &options)
{
    static const Choice<Options::Progress> whens[] = {{"auto", Options::Progress::OnTerminal},
                                                      {"always", Options::Progress::Always},
                                                      {"never", Options::Progress::Never}};
    return choose(value, whens, options.progress,
                  QStringLiteral("unknown --progress value \"%1\" (auto, always or never)"));
}

// "--progress" alone asks for the line always; a value is its own word.
QStringList withProgressValue(const QStringList &arguments)
{
    QStringList result;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        result << arguments.at(i);
        if (arguments.at(i) == QLatin1String("--progress")
            && (i + 1 == arguments.size() || arguments.at(i + 1).startsWith(QLatin1Char('-'))))
            result << QStringLiteral("always");
    }
    return result;
}

static_assert(platform::office::kDefaultRecycleAfterFiles == 2000, "the help of --office-recycle tells the default");

const OptionEntry kOptions[] = {
    {"source", "DIR", "Directory to walk, subdirectories included.", true, store<&Options::source>},
    {"out", "DIR", "Directory for the output files (made if missing).", true, store<&Options::out>},
    {"masks", "MASKS", "Comma-separated file masks (default \"*.xls\").", false, store<&Options::masks>},
    {"kind", "KIND", "Output kind: html (the default), csv or xml.", false, applyKind},
    {"office", "PROGRAM", "Office program to start (default: LibreOffice's).", false, store<&Options::office>},
    {"jobs", "N", "Offices at once (default: cores, ~300 MB each).", false, applyJobs},
    {"office-recycle", "N", "New office after N files (default 2000, 0: never).", false,
     [](const QString &value, Options &o) {
         return applyCount<&Options::officeRecycle>(value, o, "--office-recycle");
     }},
    {"office-memory", "MB", "New office above MB resident (default: RAM share).", false,
     [](const QString &value, Options &o) {
         return applyCount<&Options::officeMemoryMb>(value, o, "--office-memory");
     }},
    {"files-from", "FILE", "Convert the files listed in FILE (- for stdin).", false, store<&Options::filesFrom>},
    {"shard", "K/N", "Take shard K of N (1-based) by a path hash.", false, applyShard},
    {"keep-tree", nullptr, "Mirror the source's directories under --out.", false,
     [](const QString &, Options &o) {
         o.keepTree = true;
         return QString();
     }},
    {"log-format", "FORMAT", "text (the default) or jsonl: one JSON object a line.", false, applyLogFormat},
    {"csv-sheets", "WHICH", "first (the default), all, or NAME[,NAME...] (* ?).", false, applyCsvSheets},
    {"csv-separator", "CHAR", "Field separator: one character, tab or semicolon.", false, applyCsvSeparator},
    {"csv-quote", "WHEN", "needed (the default) or all: quote every text.", false, applyCsvQuote},
    {"csv-encoding", "NAME", "Character set (default UTF-8), e.g. utf-8-bom.", false, applyCsvEncoding},
    {"csv-values", "HOW", "shown (the default) or raw: plain numbers, ISO dates.", false, applyCsvValues},
    {"password-file", "FILE", "Passwords to try on encrypted workbooks, one a line.", false,
     store<&Options::passwordFile>},
    {"update", nullptr, "Leave workbooks whose outputs are newer (up to date).", false,
     [](const QString &, Options &o) {
         o.update = true;
         return QString();
     }},
    {"retry-failed", "LOG", "Convert again what failed in a jsonl log of a run.", false, store<&Options::retryFailed>},
    {"progress", "WHEN", "Progress on stderr: auto (a terminal), always, never.", false, applyProgress},
};

// --files-from and --retry-failed stand in for the walk of --source.
bool isExempt(const OptionEntry &entry, const Options &options)
{
    return qstrcmp(entry.name, "source") == 0 && (!options.filesFrom.isEmpty() || !options.retryFailed.isEmpty());
}

const QCommandLineOption &helpOption()
{
    static const QCommandLineOption option({QStringLiteral("h"), QStringLiteral("help")},
                                           QStringLiteral("Show this help and exit."));
    return option;
}

const QCommandLineOption &versionOption()
{
    static const QCommandLineOption option(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    return option;
}

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Converts every matching workbook under --source (or every file listed by\n"
                       "--files-from) into --out with LibreOffice Calc; prints one line per file:\n"
                       "its path followed by \"OK\" or the error, in walk order whatever --jobs is."));
    for (const OptionEntry &entry : kOptions) {
        parser.addOption(entry.valueName
                             ? QCommandLineOption(QLatin1String(entry.name), QLatin1String(entry.description),
                                                  QLatin1String(entry.valueName))
                             : QCommandLineOption(QLatin1String(entry.name), QLatin1String(entry.description)));
    }
    parser.addOption(helpOption());
    parser.addOption(versionOption());
}

QString helpText(const QCommandLineParser &parser)
{
    // The parser's own first line names whatever binary holds the
    // application object; ours names the program and its required options.
    QString text = parser.helpText();
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    text.replace(0, end < 0 ? text.size() : end, usageLine());
    return text;
}

ParsedArguments failure(const QString &message)
{
    ParsedArguments result;
    result.request = ParsedArguments::Request::Error;
    result.text = message;
    return result;
}

} // namespace

QString usageLine()
{
    QString line = QStringLiteral("usage: %1").arg(QLatin1String(kProgram));
    for (const OptionEntry &entry : kOptions) {
        QString option = QStringLiteral("--%1").arg(QLatin1String(entry.name));
        if (entry.valueName)
            option += QLatin1Char(' ') + QLatin1String(entry.valueName);
        line += entry.required ? QLatin1Char(' ') + option : QStringLiteral(" [%1]").arg(option);
    }
    return line;
}

int defaultJobs(int processors, qint64 availableMemory)
{
    int jobs = std::max(1, processors);
    if (availableMemory >= 0)
        jobs = std::min<qint64>(jobs, std::max<qint64>(1, availableMemory / kMemoryPerOffice));
    return jobs;
}

QString versionLine()
{
    return QStringLiteral("%1 %2").arg(QLatin1String(kProgram), QStringLiteral(TABULON_VERSION));
}

ParsedArguments parseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    describeOptions(parser);
    if (!parser.parse(QStringList(QLatin1String(kProgram)) + withProgressValue(arguments)))
        return failure(parser.errorText());

    ParsedArguments result;
    if (parser.isSet(helpOption())) {
        result.request = ParsedArguments::Request::Help;
        result.text = helpText(parser);
        return result;
    }
    if (parser.isSet(versionOption())) {
        result.request = ParsedArguments::Request::Version;
        result.text = versionLine() + QLatin1Char('\n');
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst()));

    for (const OptionEntry &entry : kOptions) {
        const QString name = QLatin1String(entry.name);
        if (!entry.valueName) {
            if (parser.isSet(name))
                entry.apply(QString(), result.options);
            continue;
        }
        if (!parser.isSet(name) || parser.value(name).isEmpty())
            continue;
        const QString error = entry.apply(parser.value(name), result.options);
        if (!error.isEmpty())
            return failure(error);
    }
    for (const OptionEntry &entry : kOptions) {
        const QString name = QLatin1String(entry.name);
        if (entry.required && parser.value(name).isEmpty() && !isExempt(entry, result.options))
            return failure(QStringLiteral("--%1 is required").arg(name));
    }
    if (!result.options.filesFrom.isEmpty() && !result.options.retryFailed.isEmpty())
        return failure(QStringLiteral("--files-from and --retry-failed cannot be given together"));
    if (!result.options.source.isEmpty() && !QFileInfo(result.options.source).isDir())
        return failure(QStringLiteral("%1 is not a directory").arg(result.options.source));
    return result;
}

} // namespace batch
