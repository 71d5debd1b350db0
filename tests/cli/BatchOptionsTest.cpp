#include "cli/BatchOptions.h"
#include "common/ChildProgram.h"

#include <QTemporaryDir>

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
    "--source",     "--out",        "--masks",      "--kind",           "--office",       "--jobs",
    "--files-from", "--log-format", "--csv-sheets", "--office-recycle", "--office-memory"};

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
    for (const QStringList &bad : {QStringList{"--log-format", "json"}, QStringList{"--csv-sheets", "2"},
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
        {{"--csv-sheets", "2"}, R"(unknown --csv-sheets value "2" (first or all))"},
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
