#include "cli/BatchOptions.h"
#include "common/ChildProgram.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

#include <gtest/gtest.h>

using batch::ParsedArguments;
using Request = ParsedArguments::Request;

namespace {

testsupport::ProgramRun runBatch(const QStringList &arguments)
{
    return testsupport::runProgram(QStringList{QStringLiteral(TABULON_BATCH)} + arguments,
                                   QProcessEnvironment::systemEnvironment(), 30000);
}

const char *const kValueOptions[] = {
    "--source",     "--out",           "--masks",          "--kind",          "--office",       "--jobs",
    "--files-from", "--log-format",    "--csv-sheets",     "--csv-separator", "--csv-quote",    "--csv-encoding",
    "--csv-values", "--password-file", "--office-recycle", "--office-memory", "--retry-failed", "--progress"};

} // namespace

TEST(BatchOptions, EveryOptionReachesItsFieldAndTheRestKeepTheirDefaults)
{
    QTemporaryDir dir;
    const ParsedArguments all = batch::parseArguments({"--source", dir.path(), "--out", "/o", "--masks", "*.xlsx,*.ods",
                                                       "--kind", "xml", "--office", "/x/soffice.bin"});
    ASSERT_EQ(all.request, Request::Run) << qPrintable(all.text);
    EXPECT_EQ(all.options.source, dir.path());
    EXPECT_EQ(all.options.out, "/o");
    EXPECT_EQ(all.options.masks, "*.xlsx,*.ods");
    EXPECT_EQ(all.options.kind, OutputKind::Xml);
    EXPECT_EQ(all.options.office, "/x/soffice.bin");

    const ParsedArguments least = batch::parseArguments({"--out=/o", "--source=" + dir.path(), "--kind", "csv"});
    ASSERT_EQ(least.request, Request::Run) << qPrintable(least.text);
    EXPECT_EQ(least.options.source, dir.path()) << "the --name=value form works too";
    EXPECT_EQ(least.options.masks, "*.xls");
    EXPECT_EQ(least.options.kind, OutputKind::Csv);
    EXPECT_TRUE(least.options.office.isEmpty());
    EXPECT_EQ(batch::parseArguments({"--source", dir.path(), "--out", "/o"}).options.kind, OutputKind::Html);
    EXPECT_FALSE(least.options.keepTree);
    EXPECT_EQ(least.options.logFormat, batch::LogFormat::Text);
    EXPECT_FALSE(least.options.csvAllSheets);
}

TEST(BatchOptions, RunOptionsForLargeTrees)
{
    QTemporaryDir dir;
    const QStringList base{"--source", dir.path(), "--out", "/o"};
    const ParsedArguments set =
        batch::parseArguments(base + QStringList{"--keep-tree", "--log-format", "jsonl", "--csv-sheets=all"});
    ASSERT_EQ(set.request, Request::Run) << qPrintable(set.text);
    EXPECT_TRUE(set.options.keepTree);
    EXPECT_EQ(set.options.logFormat, batch::LogFormat::JsonLines);
    EXPECT_TRUE(set.options.csvAllSheets);
    const ParsedArguments back =
        batch::parseArguments(base + QStringList{"--log-format", "text", "--csv-sheets", "first"});
    EXPECT_EQ(back.options.logFormat, batch::LogFormat::Text);
    EXPECT_FALSE(back.options.csvAllSheets);
    for (const QStringList &bad : {QStringList{"--log-format", "json"}, QStringList{"--csv-sheets", "a,,b"},
                                   QStringList{"--keep-tree=yes"}, QStringList{"--log-format"}}) {
        const ParsedArguments parsed = batch::parseArguments(base + bad);
        EXPECT_EQ(parsed.request, Request::Error) << qPrintable(bad.join(' '));
    }
    EXPECT_TRUE(batch::usageLine().contains(" [--keep-tree] ")) << qPrintable(batch::usageLine());
}

TEST(BatchOptions, OfficeRecyclingTakesCountsFromZeroAndDefaultsWhenNotGiven)
{
    QTemporaryDir dir;
    const QStringList base{"--source", dir.path(), "--out", "/o"};
    const ParsedArguments none = batch::parseArguments(base);
    EXPECT_EQ(none.options.officeRecycle, -1);
    EXPECT_EQ(none.options.officeMemoryMb, -1);
    const ParsedArguments set =
        batch::parseArguments(base + QStringList{"--office-recycle", "200", "--office-memory=4096"});
    ASSERT_EQ(set.request, Request::Run) << qPrintable(set.text);
    EXPECT_EQ(set.options.officeRecycle, 200);
    EXPECT_EQ(set.options.officeMemoryMb, 4096);
    const ParsedArguments never =
        batch::parseArguments(base + QStringList{"--office-recycle", "0", "--office-memory", "0"});
    EXPECT_EQ(never.options.officeRecycle, 0);
    EXPECT_EQ(never.options.officeMemoryMb, 0);
    for (const QStringList &bad : {QStringList{"--office-recycle", "-1"}, QStringList{"--office-recycle", "many"},
                                   QStringList{"--office-memory", "1.5"}, QStringList{"--office-memory", "99999999999"},
                                   QStringList{"--office-memory"}}) {
        const ParsedArguments parsed = batch::parseArguments(base + bad);
        EXPECT_EQ(parsed.request, Request::Error) << qPrintable(bad.join(' '));
        EXPECT_TRUE(parsed.text.contains(bad.first())) << qPrintable(parsed.text);
    }
}

TEST(BatchOptions, BadArgumentsAreErrorsThatNameTheirCause)
{
    QTemporaryDir dir;
    const QStringList good{"--source", dir.path(), "--out", dir.path()};
    const struct
    {
        QStringList arguments;
        const char *cause;
    } cases[] = {
        {good + QStringList{"--bogus", "1"}, "bogus"},
        {good + QStringList{"stray"}, "stray"},
        {QStringList{"stray"} + good, "stray"},
        {good + QStringList{"--kind", "pdf"}, "pdf"},
        {good + QStringList{"--masks"}, "masks"},
        {{"--out", dir.path()}, "--source"},
        {{"--source", dir.path()}, "--out"},
        {{"--source", "", "--out", dir.path()}, "--source"},
        {{"--source", dir.filePath("none"), "--out", dir.path()}, "none"},
        {{}, "--source"},
    };
    for (const auto &c : cases) {
        const ParsedArguments parsed = batch::parseArguments(c.arguments);
        EXPECT_EQ(parsed.request, Request::Error) << qPrintable(c.arguments.join(' '));
        EXPECT_TRUE(parsed.text.contains(QLatin1String(c.cause)))
            << qPrintable(c.arguments.join(' ')) << " -> " << qPrintable(parsed.text);
    }
}

TEST(BatchOptions, AnUnknownWordNamesItselfAndTheWordsThatAreKnown)
{
    QTemporaryDir dir;
    const QStringList good{"--source", dir.path(), "--out", dir.path()};
    const std::pair<QStringList, QString> cases[] = {
        {{"--kind", "pdf"}, R"(unknown kind "pdf" (html, csv or xml))"},
        {{"--kind", "HTML"}, R"(unknown kind "HTML" (html, csv or xml))"},
        {{"--log-format", "json"}, R"(unknown log format "json" (text or jsonl))"},
        {{"--csv-sheets", ","}, R"(--csv-sheets needs first, all or sheet names (NAME[,NAME...]), not ",")"},
        {{"--csv-quote", "some"}, R"(unknown --csv-quote value "some" (needed or all))"},
        {{"--csv-values", "formatted"}, R"(unknown --csv-values value "formatted" (shown or raw))"},
        {{"--csv-separator", "::"}, R"(--csv-separator needs one character, tab or semicolon, not "::")"},
        {{"--csv-separator", "\""}, R"(--csv-separator cannot be the quote ")"},
        {{"--csv-separator", "\n"}, R"(--csv-separator cannot be a line break)"},
        {{"--csv-encoding", "klingon-8"}, R"(unknown --csv-encoding "klingon-8")"},
        {{"--csv-encoding", "utf-8-bom-please"}, R"(unknown --csv-encoding "utf-8-bom-please")"},
    };
    for (const auto &[words, error] : cases) {
        const ParsedArguments parsed = batch::parseArguments(good + words);
        EXPECT_EQ(parsed.request, Request::Error) << qPrintable(words.join(' '));
        EXPECT_TRUE(parsed.text.contains(error)) << qPrintable(parsed.text);
    }
}

TEST(BatchOptions, HelpAndVersionWinOverMissingOptions)
{
    for (const QStringList &arguments :
         {QStringList{"--help"}, QStringList{"-h"}, QStringList{"--out", "/o", "--help"}}) {
        const ParsedArguments parsed = batch::parseArguments(arguments);
        EXPECT_EQ(parsed.request, Request::Help) << qPrintable(arguments.join(' '));
        EXPECT_TRUE(parsed.text.startsWith(batch::usageLine())) << qPrintable(parsed.text);
    }
    const ParsedArguments version = batch::parseArguments({"--version"});
    EXPECT_EQ(version.request, Request::Version);
    EXPECT_EQ(version.text.trimmed(), "tabulon-batch " TABULON_VERSION);
}

TEST(BatchProgram, HelpListsEveryOptionWithADescriptionAndExitsZero)
{
    const testsupport::ProgramRun e = runBatch({"--help"});
    EXPECT_EQ(e.status, 0) << qPrintable(e.err);
    EXPECT_TRUE(e.err.isEmpty()) << qPrintable(e.err);
    const QStringList lines = e.out.split('\n');
    EXPECT_TRUE(lines.value(0).startsWith("usage: tabulon-batch --source DIR --out DIR")) << qPrintable(lines.value(0));
    for (const char *name : kValueOptions) {
        const QStringList described =
            lines.filter(QRegularExpression(QStringLiteral("^\\s+%1 <[A-Z]+>\\s+\\S").arg(name)));
        EXPECT_EQ(described.size(), 1) << name << " is listed once, with its value and a description:\n"
                                       << qPrintable(e.out);
        EXPECT_TRUE(lines.value(0).contains(QLatin1String(name))) << name << " is in the usage line";
    }
    EXPECT_EQ(lines.filter(QRegularExpression("^\\s+--version\\s+\\S")).size(), 1) << qPrintable(e.out);
    EXPECT_EQ(lines.filter(QRegularExpression("^\\s+--shard <K/N>\\s+\\S.*1-based")).size(), 1) << qPrintable(e.out);
    EXPECT_EQ(lines.filter(QRegularExpression("^\\s+--keep-tree\\s+\\S")).size(), 1) << qPrintable(e.out);
    const QStringList options = lines.mid(lines.indexOf("Options:") + 1);
    for (const QString &line : options)
        EXPECT_TRUE(line.isEmpty() || line.startsWith("  -")) << "a description runs on: " << qPrintable(line);
    EXPECT_EQ(lines.filter(QRegularExpression("^\\s+-h, --help\\s+\\S")).size(), 1) << qPrintable(e.out);
}

TEST(BatchProgram, VersionIsTheProjectVersion)
{
    const testsupport::ProgramRun e = runBatch({"--version"});
    EXPECT_EQ(e.status, 0);
    EXPECT_EQ(e.out, "tabulon-batch " TABULON_VERSION "\n");
}

TEST(BatchProgram, UnknownOptionsAndStrayWordsExit64WithTheUsage)
{
    QTemporaryDir dir;
    for (const QStringList &arguments :
         {QStringList{"--source", dir.path(), "--out", dir.path(), "--bogus"},
          QStringList{"--source", dir.path(), "--out", dir.path(), "extra"}, QStringList{"-x"}}) {
        const testsupport::ProgramRun e = runBatch(arguments);
        EXPECT_EQ(e.status, 64) << qPrintable(arguments.join(' '));
        EXPECT_TRUE(e.out.isEmpty()) << qPrintable(e.out);
        EXPECT_TRUE(e.err.startsWith("tabulon-batch: ")) << qPrintable(e.err);
        EXPECT_TRUE(e.err.contains("\nusage: tabulon-batch --source DIR --out DIR")) << qPrintable(e.err);
        EXPECT_TRUE(e.err.contains(QString(arguments.last()).remove(QRegularExpression("^-+")))) << qPrintable(e.err);
    }
}

TEST(BatchOptions, CsvOptionsReachTheFormatAndTheDefaultIsRfc4180Utf8)
{
    QTemporaryDir dir;
    const QStringList base{"--source", dir.path(), "--out", "/o", "--kind", "csv"};
    using Format = platform::CsvFormat;
    EXPECT_TRUE(batch::parseArguments(base).options.csv == Format()) << "no option, no change";
    const Format plain;
    EXPECT_EQ(plain.separator, u',');
    EXPECT_EQ(plain.quoting, Format::Quoting::Needed);
    EXPECT_EQ(plain.encoding, "UTF-8");
    EXPECT_FALSE(plain.byteOrderMark);
    EXPECT_EQ(plain.values, Format::Values::Shown);

    const struct
    {
        QStringList words;
        std::function<void(Format &)> expected;
    } cases[] = {
        {{"--csv-separator", "tab"}, [](Format &f) { f.separator = u'\t'; }},
        {{"--csv-separator", "semicolon"}, [](Format &f) { f.separator = u';'; }},
        {{"--csv-separator", "|"}, [](Format &f) { f.separator = u'|'; }},
        {{"--csv-separator", "§"}, [](Format &f) { f.separator = u'§'; }},
        {{"--csv-quote", "all"}, [](Format &f) { f.quoting = Format::Quoting::AllText; }},
        {{"--csv-quote", "needed"}, [](Format &) {}},
        {{"--csv-encoding", "windows-1252"}, [](Format &f) { f.encoding = "windows-1252"; }},
        {{"--csv-encoding", "UTF-16"}, [](Format &f) { f.encoding = "UTF-16"; }},
        {{"--csv-encoding", "Shift_JIS"}, [](Format &f) { f.encoding = "Shift_JIS"; }},
        {{"--csv-encoding", "utf-8-bom"},
         [](Format &f) {
             f.encoding = "UTF-8";
             f.byteOrderMark = true;
         }},
        {{"--csv-values", "raw"}, [](Format &f) { f.values = Format::Values::Raw; }},
        {{"--csv-values", "shown"}, [](Format &) {}},
    };
    for (const auto &c : cases) {
        const ParsedArguments parsed = batch::parseArguments(base + c.words);
        ASSERT_EQ(parsed.request, Request::Run) << qPrintable(c.words.join(' ') + ": " + parsed.text);
        Format expected;
        c.expected(expected);
        EXPECT_TRUE(parsed.options.csv == expected) << qPrintable(c.words.join(' '));
    }

    const std::pair<const char *, QStringList> sheets[] = {
        {"first", {}}, {"all", {}}, {"Sales", {"Sales"}}, {"Sales*,Q?,Summary 2020", {"Sales*", "Q?", "Summary 2020"}}};
    for (const auto &[value, patterns] : sheets) {
        const ParsedArguments parsed = batch::parseArguments(base + QStringList{"--csv-sheets", value});
        ASSERT_EQ(parsed.request, Request::Run) << value;
        EXPECT_EQ(parsed.options.csvSheetPatterns, patterns) << value;
        EXPECT_EQ(parsed.options.csvAllSheets, qstrcmp(value, "all") == 0) << value;
    }
}

TEST(BatchProgram, BadCsvValuesAndUnusablePasswordFilesExit64WithTheUsage)
{
    QTemporaryDir dir;
    const QString empty = dir.filePath("empty");
    QFile(empty).open(QIODevice::WriteOnly);
    const QStringList good{"--source", dir.path(), "--out", dir.filePath("out"), "--kind", "csv"};
    const std::pair<QStringList, const char *> cases[] = {
        {{"--csv-separator", "ab"}, "--csv-separator"},
        {{"--csv-quote", "never"}, "never"},
        {{"--csv-encoding", "no-such-set"}, "no-such-set"},
        {{"--csv-values", "pretty"}, "pretty"},
        {{"--password-file", dir.filePath("missing")}, "cannot read the password file"},
        {{"--password-file", empty}, "holds no password"},
    };
    for (const auto &[words, cause] : cases) {
        const testsupport::ProgramRun e = runBatch(good + words);
        EXPECT_EQ(e.status, 64) << qPrintable(words.join(' '));
        EXPECT_TRUE(e.out.isEmpty()) << qPrintable(e.out);
        EXPECT_TRUE(e.err.contains(QLatin1String(cause))) << qPrintable(e.err);
        EXPECT_TRUE(e.err.contains("\nusage: tabulon-batch --source DIR --out DIR")) << qPrintable(e.err);
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("out"))) << "refused before anything is made";
    }
}

TEST(BatchOptions, UpdateRetryAndProgressAreReadAndTheirConflictsRefused)
{
    QTemporaryDir dir;
    const QStringList base{"--source", dir.path(), "--out", "/o"};
    using Progress = batch::Options::Progress;
    const struct
    {
        QStringList arguments;
        Progress progress;
    } progressCases[] = {
        {{}, Progress::OnTerminal},
        {{"--progress"}, Progress::Always},
        {{"--progress", "--update"}, Progress::Always},
        {{"--progress", "never"}, Progress::Never},
        {{"--progress=never"}, Progress::Never},
        {{"--progress", "auto"}, Progress::OnTerminal},
        {{"--progress", "always", "--keep-tree"}, Progress::Always},
    };
    for (const auto &c : progressCases) {
        const ParsedArguments parsed = batch::parseArguments(base + c.arguments);
        ASSERT_EQ(parsed.request, Request::Run) << qPrintable(c.arguments.join(' ') + ": " + parsed.text);
        EXPECT_EQ(parsed.options.progress, c.progress) << qPrintable(c.arguments.join(' '));
        EXPECT_EQ(parsed.options.update, c.arguments.contains("--update")) << qPrintable(c.arguments.join(' '));
    }

    const ParsedArguments retry = batch::parseArguments({"--retry-failed", "log.jsonl", "--out", "/o"});
    ASSERT_EQ(retry.request, Request::Run) << "a log stands in for --source: " << qPrintable(retry.text);
    EXPECT_EQ(retry.options.retryFailed, "log.jsonl");

    const struct
    {
        QStringList arguments;
        const char *error;
    } refused[] = {
        {base + QStringList{"--progress", "sometimes"}, "unknown --progress value \"sometimes\""},
        {{"--retry-failed", "log.jsonl", "--files-from", "list", "--out", "/o"}, "cannot be given together"},
        {{"--out", "/o", "--update"}, "--source is required"},
    };
    for (const auto &c : refused) {
        const ParsedArguments parsed = batch::parseArguments(c.arguments);
        EXPECT_EQ(parsed.request, Request::Error) << qPrintable(c.arguments.join(' '));
        EXPECT_TRUE(parsed.text.contains(QLatin1String(c.error))) << qPrintable(parsed.text);
    }
}

TEST(BatchProgram, AForeignOrUnreadableRetryLogExits64BeforeAnyOfficeStarts)
{
    QTemporaryDir dir;
    const struct
    {
        const char *name;
        QByteArray content; // none: the file is not there
        const char *error;
    } cases[] = {
        {"missing.jsonl", {}, "cannot read the log"},
        {"text.log", "/a/b.xlsOK\n", "is not a jsonl log of tabulon-batch (line 1)"},
        {"other.jsonl", "{\"path\":\"/a.xls\",\"status\":\"ok\"}\n{\"level\":\"info\"}\n",
         "is not a jsonl log of tabulon-batch (line 2)"},
        {"empty.jsonl", "\n", "is not a jsonl log of tabulon-batch (it is empty)"},
    };
    for (const auto &c : cases) {
        const QString log = dir.filePath(c.name);
        if (!c.content.isNull()) {
            QFile file(log);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.content);
        }
        const testsupport::ProgramRun e =
            runBatch({"--retry-failed", log, "--out", dir.filePath("out"), "--office", "/nonexistent/office"});
        EXPECT_EQ(e.status, 64) << c.name << ": " << qPrintable(e.err);
        EXPECT_TRUE(e.err.contains(QLatin1String(c.error))) << c.name << ": " << qPrintable(e.err);
        EXPECT_TRUE(e.out.isEmpty()) << qPrintable(e.out);
    }
}
