// The office's life as tabulon-batch users meet it: any locale, signals that
// end the program, leftovers of killed runs, and the reused profile.
#include "OfficeTestSupport.h"

#include "common/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace officetest;
using testsupport::ProgramRun;
using testsupport::RunningProgram;

namespace {

// A home of its own for the program under test: HOME, the XDG folders and
// TMPDIR point into one temporary folder, and no locale variable is set.
struct Sandbox
{
    QTemporaryDir root;
    QString home() const { return root.filePath("home"); }
    QString cache() const { return root.filePath("cache"); }
    QString temp() const { return root.filePath("tmp"); }
    QString profiles() const { return cache() + "/tabulon/profiles"; }

    Sandbox()
    {
        for (const QString &dir : {home(), cache(), temp()})
            QDir().mkpath(dir);
    }

    QProcessEnvironment environment(const QMap<QString, QString> &locale = {{"LC_ALL", "C.UTF-8"}}) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name :
             {"LANG", "LANGUAGE", "LC_ALL", "LC_CTYPE", "LC_MESSAGES", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
            env.remove(QString::fromLatin1(name));
        env.insert("HOME", home());
        env.insert("XDG_CACHE_HOME", cache());
        env.insert("TMPDIR", temp());
        for (auto it = locale.begin(); it != locale.end(); ++it)
            env.insert(it.key(), it.value());
        return env;
    }
};

QStringList batchArguments(const QString &src, const QString &out, const QString &masks, const QString &kind)
{
    // One office: these cases are about what a run does with its office.
    return {"--jobs", "1", "--source", src, "--out", out, "--masks", masks, "--kind", kind};
}

// Whether the process has a handler of its own for this signal.
bool catchesSignal(qint64 pid, int number)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (number - 1)) & 1;
    }
    return false;
}

QByteArray commandLineOf(pid_t pid)
{
    QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return cmd.open(QIODevice::ReadOnly) ? cmd.readAll().replace('\0', ' ') : QByteArray();
}

QList<QByteArray> environmentOf(pid_t pid)
{
    QFile env(QStringLiteral("/proc/%1/environ").arg(pid));
    return env.open(QIODevice::ReadOnly) ? env.readAll().split('\0') : QList<QByteArray>();
}

QStringList entriesOf(const QString &dir, const QString &filter = "*")
{
    return QDir(dir).entryList({filter}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QStringList pipesOf(qint64 pid)
{
    return entriesOf("/tmp", QStringLiteral("OSL_PIPE_%1_tabulon_%2_*").arg(::getuid()).arg(pid));
}

// Every file below dir with its size and modification time.
QStringList snapshot(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        files << QStringLiteral("%1 %2 %3")
                     .arg(it.filePath())
                     .arg(it.fileInfo().size())
                     .arg(it.fileInfo().lastModified().toMSecsSinceEpoch());
    }
    files.sort();
    return files;
}

} // namespace

TEST(OfficeLife, NonAsciiPathsConvertWithAnyLocale)
{
    Sandbox box;
    const QString src = box.root.filePath("Quellen/Übersicht 日本");
    const QString workbook = copyInput("types.xls", src + "/Größe été.xls");
    const QList<QPair<QString, QMap<QString, QString>>> locales = {
        {"LANG unset", {}},
        {"LANG=C", {{"LANG", "C"}}},
        {"LC_ALL=POSIX", {{"LC_ALL", "POSIX"}}},
        {"LANG=xx_YY.UTF-8, not installed", {{"LANG", "xx_YY.UTF-8"}}},
    };
    int round = 0;
    for (const auto &[name, locale] : locales) {
        SCOPED_TRACE(qPrintable(name));
        const QString out = box.root.filePath(QStringLiteral("Ausgabe ü %1").arg(++round));
        const ProgramRun r = runBatch(batchArguments(src, out, "*.xls", "csv"), box.environment(locale));
        EXPECT_EQ(r.status, 0) << qPrintable(r.err);
        EXPECT_EQ(r.lines, QStringList{workbook + kCsvOfThreeSheetsOk}) << qPrintable(r.err);
        EXPECT_EQ(entriesOf(out), QStringList{"Größe été.csv"});
        EXPECT_EQ(readCsv(out + "/Größe été.csv").size(), 5);
    }
}

TEST(OfficeLife, TheOfficeGetsAUtf8CharacterTypeAndAPrivateTemporaryFolder)
{
    Sandbox box;
    const QString src = box.root.filePath("src");
    for (int i = 0; i < 6; ++i)
        copyInput("long.xlsx", QStringLiteral("%1/f%2.xlsx").arg(src).arg(i));
    RunningProgram batch(batchCommand(batchArguments(src, box.root.filePath("out"), "*.xlsx", "xml")),
                         box.environment({{"LANG", "xx_YY.UTF-8"}}));
    ASSERT_TRUE(batch.started());
    const QList<pid_t> offices = waitForOfficesOf(batch.processId());
    ASSERT_FALSE(offices.isEmpty());
    const QList<QByteArray> env = environmentOf(offices.first());
    EXPECT_TRUE(env.contains("LC_CTYPE=C.UTF-8"));
    EXPECT_TRUE(env.contains("LANG=xx_YY.UTF-8")) << "only the character type changes";
    QByteArray tmpdir;
    for (const QByteArray &e : env) {
        if (e.startsWith("TMPDIR="))
            tmpdir = e.mid(7);
    }
    EXPECT_TRUE(tmpdir.startsWith(
        QFile::encodeName(box.temp() + "/tabulon-office-" + QString::number(batch.processId()) + "-")))
        << tmpdir.constData();
    EXPECT_TRUE(commandLineOf(offices.first()).contains(QFile::encodeName(box.profiles() + "/0/profile")));
    const qint64 pid = batch.processId();
    batch.finish(120000);
    ASSERT_FALSE(batch.timedOut());
    EXPECT_EQ(batch.status(), 0) << qPrintable(batch.err());
    EXPECT_EQ(entriesOf(box.temp()), QStringList()) << "the private folder goes with the office";
    EXPECT_EQ(pipesOf(pid), QStringList());
}

TEST(OfficeLife, EndingSignalsStopTheRunEndTheOfficeAndLeaveNothing)
{
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(number);
        Sandbox box;
        const QString src = box.root.filePath("src"), out = box.root.filePath("out");
        const int files = 12;
        for (int i = 0; i < files; ++i)
            copyInput("long.xlsx", QStringLiteral("%1/f%2.xlsx").arg(src).arg(i, 2, 10, QLatin1Char('0')));

        RunningProgram batch(batchCommand(batchArguments(src, out, "*.xlsx", "xml")), box.environment());
        ASSERT_TRUE(batch.started());
        ASSERT_TRUE(batch.waitForLines(2, 90000));
        const QList<pid_t> offices = officeChildrenOf(batch.processId());
        ASSERT_EQ(offices.size(), 1);
        const qint64 pid = batch.processId();
        ::kill(pid_t(pid), number);

        const bool exited = batch.finish(30000);
        ASSERT_FALSE(batch.timedOut());
        EXPECT_TRUE(exited) << "the program cleans up and exits itself";
        EXPECT_EQ(batch.status(), 128 + number);
        EXPECT_TRUE(processGone(offices.first())) << "office " << offices.first() << " survived";
        EXPECT_EQ(entriesOf(box.temp()), QStringList()) << "no private folder is left in TMPDIR";
        EXPECT_EQ(pipesOf(pid), QStringList());
        const QStringList &lines = batch.lines();
        EXPECT_LT(lines.size(), files) << "the run stopped instead of going on";
        ASSERT_FALSE(lines.isEmpty());
        if (!lines.last().endsWith("OK")) {
            EXPECT_TRUE(lines.last().endsWith(
                            "Can't open the workbook: stopped while loading the file, the program was told to end")
                        || lines.last().endsWith("stopped while saving the file, the program was told to end"))
                << qPrintable(lines.last());
        }
        for (const QString &line : lines.mid(0, lines.size() - 1))
            EXPECT_TRUE(line.endsWith("OK")) << qPrintable(line);
        const QString err = batch.err();
        EXPECT_TRUE(err.contains(QStringLiteral("stopped by signal %1").arg(number))) << qPrintable(err);
        const QStringList written = entriesOf(out);
        for (const QString &name : written)
            EXPECT_TRUE(lines.contains(src + "/" + QString(name).replace(".xml", ".xlsx") + "OK"))
                << "no output without its OK line: " << qPrintable(name);
        EXPECT_TRUE(QDir(box.profiles() + "/0/profile/user").exists()) << "the profile stays for the next run";
    }
}

TEST(OfficeLife, LeftoversOfEndedRunsGoAtTheNextStartThoseOfLiveOnesStay)
{
    Sandbox box;
    QProcess ended;
    ended.start("true", {});
    ASSERT_TRUE(ended.waitForStarted());
    const qint64 dead = ended.processId();
    ASSERT_TRUE(ended.waitForFinished());
    QProcess alive;
    alive.start("sleep", {"120"});
    ASSERT_TRUE(alive.waitForStarted());
    const qint64 live = alive.processId();

    const QString staleTemp = QStringLiteral("%1/tabulon-office-%2-Ab12Cd").arg(box.temp()).arg(dead);
    const QString liveTemp = QStringLiteral("%1/tabulon-office-%2-Ef34Gh").arg(box.temp()).arg(live);
    const QString stalePipe = QStringLiteral("/tmp/OSL_PIPE_%1_tabulon_%2_0_Ab12Cd").arg(::getuid()).arg(dead);
    const QString livePipe = QStringLiteral("/tmp/OSL_PIPE_%1_tabulon_%2_0_Ef34Gh").arg(::getuid()).arg(live);
    QDir().mkpath(staleTemp + "/lu42.tmp");
    QDir().mkpath(liveTemp + "/lu43.tmp");
    QFile(stalePipe).open(QIODevice::WriteOnly);
    QFile(livePipe).open(QIODevice::WriteOnly);

    const QString src = box.root.filePath("src");
    copyInput("types.xls", src + "/a.xls");
    const ProgramRun r = runBatch(batchArguments(src, box.root.filePath("out"), "*.xls", "csv"), box.environment());
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_EQ(r.lines, QStringList{src + "/a.xls" + kCsvOfThreeSheetsOk});
    EXPECT_FALSE(QFileInfo::exists(staleTemp));
    EXPECT_FALSE(QFileInfo::exists(stalePipe));
    EXPECT_TRUE(QFileInfo::exists(liveTemp + "/lu43.tmp"));
    EXPECT_TRUE(QFileInfo::exists(livePipe));
    EXPECT_EQ(entriesOf(box.temp()), QStringList{QFileInfo(liveTemp).fileName()});

    alive.kill();
    alive.waitForFinished();
    QFile::remove(livePipe);
}

TEST(OfficeLife, TheProfileIsKeptInTheCacheAndReusedAndTheUsersOwnIsUntouched)
{
    Sandbox box;
    const QString own = box.home() + "/.config/libreoffice/4/user";
    QDir().mkpath(own);
    QFile settings(own + "/registrymodifications.xcu");
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("<?xml version=\"1.0\"?><oor:items xmlns:oor=\"http://openoffice.org/2001/registry\"/>");
    settings.close();
    const QStringList before = snapshot(box.home() + "/.config");

    const QString src = box.root.filePath("src");
    copyInput("types.xls", src + "/a.xls");
    const ProgramRun first =
        runBatch(batchArguments(src, box.root.filePath("out1"), "*.xls", "csv"), box.environment());
    EXPECT_EQ(first.lines, QStringList{src + "/a.xls" + kCsvOfThreeSheetsOk}) << qPrintable(first.err);
    const QString profile = box.profiles() + "/0/profile";
    ASSERT_TRUE(QFileInfo(profile + "/user/registrymodifications.xcu").isFile());
    // The office writes this log when it runs its graphics tests, which a
    // converter's start has no use for.
    EXPECT_FALSE(QFileInfo::exists(profile + "/user/GraphicsRenderTests.log"));
    EXPECT_TRUE(testsupport::fileBytes(profile + "/user/registrymodifications.xcu").contains("ooSetupLastVersion"))
        << "the office kept the version recorded for it";
    QFile marker(profile + "/user/tabulon-marker");
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();

    const ProgramRun second =
        runBatch(batchArguments(src, box.root.filePath("out2"), "*.xls", "csv"), box.environment());
    EXPECT_EQ(second.lines, QStringList{src + "/a.xls" + kCsvOfThreeSheetsOk}) << qPrintable(second.err);
    EXPECT_TRUE(marker.exists()) << "the second run reused the profile instead of making one";
    EXPECT_EQ(entriesOf(box.profiles()), QStringList{"0"});
    EXPECT_EQ(snapshot(box.home() + "/.config"), before) << "the user's own profile is not touched";
}

TEST(OfficeLife, TwoRunsAtOnceUseTwoProfilesAndBothConvert)
{
    Sandbox box;
    const QString src = box.root.filePath("src");
    const int files = 10;
    for (int i = 0; i < files; ++i)
        copyInput("long.xlsx", QStringLiteral("%1/f%2.xlsx").arg(src).arg(i));

    QProcess a, b;
    for (QProcess *p : {&a, &b})
        p->setProcessEnvironment(box.environment());
    a.start(QStringLiteral(TABULON_BATCH), batchArguments(src, box.root.filePath("outA"), "*.xlsx", "xml"));
    ASSERT_TRUE(a.waitForStarted());
    const QList<pid_t> officeA = waitForOfficesOf(a.processId());
    ASSERT_FALSE(officeA.isEmpty());
    const QByteArray cmdA = commandLineOf(officeA.first());
    b.start(QStringLiteral(TABULON_BATCH), batchArguments(src, box.root.filePath("outB"), "*.xlsx", "xml"));
    ASSERT_TRUE(b.waitForStarted());
    const QList<pid_t> officeB = waitForOfficesOf(b.processId());
    ASSERT_FALSE(officeB.isEmpty());
    const QByteArray cmdB = commandLineOf(officeB.first());
    // The first run, not its first office: on a fresh profile that office
    // ends once for a restart, and under load it may be gone by now.
    ASSERT_EQ(a.state(), QProcess::Running) << "the first run ended before the second one's office started";
    EXPECT_TRUE(cmdA.contains(QFile::encodeName(box.profiles() + "/0/profile"))) << cmdA.constData();
    EXPECT_TRUE(cmdB.contains(QFile::encodeName(box.profiles() + "/1/profile"))) << cmdB.constData();

    for (QProcess *p : {&a, &b}) {
        ASSERT_TRUE(p->waitForFinished(150000));
        EXPECT_EQ(p->exitCode(), 0);
        const QStringList lines = QString::fromUtf8(p->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.filter(QRegularExpression("OK$")).size(), files) << qPrintable(lines.join('\n'));
    }
    EXPECT_EQ(entriesOf(box.root.filePath("outA")).size(), files);
    EXPECT_EQ(entriesOf(box.root.filePath("outB")).size(), files);
}

TEST(OfficeLife, ADamagedCachedProfileIsReplacedAndTheRunConverts)
{
    Sandbox box;
    const QString src = box.root.filePath("src");
    copyInput("types.xls", src + "/a.xls");
    const QString profile = box.profiles() + "/0/profile";
    const ProgramRun made = runBatch(batchArguments(src, box.root.filePath("out0"), "*.xls", "csv"), box.environment());
    ASSERT_EQ(made.lines, QStringList{src + "/a.xls" + kCsvOfThreeSheetsOk}) << qPrintable(made.err);
    ASSERT_TRUE(QFileInfo(profile + "/user/registrymodifications.xcu").isFile());

    const auto replaceByFile = [&](const QString &folder) {
        QDir(profile + "/" + folder).removeRecursively();
        testsupport::writeFile(profile, folder, "x");
    };
    const QList<QPair<const char *, std::function<void()>>> damages = {
        {"truncated settings", [&] { QFile::resize(profile + "/user/registrymodifications.xcu", 100); }},
        {"garbage settings",
         [&] {
             testsupport::writeFile(profile, "user/registrymodifications.xcu", "\x01\x02 this is not a settings file");
         }},
        {"user folder replaced by a file", [&] { replaceByFile("user"); }},
        // Passes every check made before the start; the office itself
        // aborts on it, and only a new profile gets it going again.
        {"extensions folder replaced by a file", [&] { replaceByFile("user/extensions"); }},
    };
    int round = 0;
    for (const auto &[what, damage] : damages) {
        SCOPED_TRACE(what);
        damage();
        const QString out = box.root.filePath(QStringLiteral("out%1").arg(++round));
        const ProgramRun r = runBatch(batchArguments(src, out, "*.xls", "csv"), box.environment());
        EXPECT_EQ(r.status, 0) << qPrintable(r.err);
        EXPECT_EQ(r.lines, QStringList{src + "/a.xls" + kCsvOfThreeSheetsOk}) << qPrintable(r.err);
        EXPECT_EQ(readCsv(out + "/a.csv").size(), 5);
        EXPECT_TRUE(QFileInfo(profile + "/user").isDir());
        EXPECT_TRUE(QFileInfo(profile + "/user/extensions").isDir());
        QFile settingsFile(profile + "/user/registrymodifications.xcu");
        ASSERT_TRUE(settingsFile.open(QIODevice::ReadOnly));
        EXPECT_TRUE(settingsFile.readAll().trimmed().endsWith("</oor:items>")) << "a new, whole settings file";
    }
}

TEST(OfficeLife, TheWindowEndsCleanlyOnAnEndingSignal)
{
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(number);
        Sandbox box;
        QProcess window;
        QProcessEnvironment env = box.environment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        window.setProcessEnvironment(env);
        window.start(QStringLiteral(TABULON_APP), {});
        ASSERT_TRUE(window.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([&] { return catchesSignal(window.processId(), number); }, 30000));
        ::kill(pid_t(window.processId()), number);
        ASSERT_TRUE(window.waitForFinished(10000));
        EXPECT_EQ(window.exitStatus(), QProcess::NormalExit) << "closed by its own code, not killed";
        EXPECT_EQ(window.exitCode(), 128 + number);
        EXPECT_EQ(entriesOf(box.temp(), "tabulon-office-*"), QStringList());
    }
}

TEST(OfficeLife, ACacheThatCannotBeWrittenStillConvertsOnAProfileOfItsOwn)
{
    Sandbox box;
    QFile blocker(box.root.filePath("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QProcessEnvironment env = box.environment();
    env.insert("XDG_CACHE_HOME", blocker.fileName()); // profiles would go below a file
    const QString src = box.root.filePath("src"), out = box.root.filePath("out");
    copyInput("types.xls", src + "/a.xls");

    const ProgramRun r = runBatch(batchArguments(src, out, "*.xls", "csv"), env);
    EXPECT_EQ(r.status, 0) << qPrintable(r.err);
    EXPECT_EQ(r.lines, QStringList{src + "/a.xls" + kCsvOfThreeSheetsOk}) << qPrintable(r.err);
    EXPECT_EQ(readCsv(out + "/a.csv").size(), 5);
    EXPECT_EQ(entriesOf(box.temp(), "tabulon-office-*"), QStringList()) << "that profile goes with the office";
}
