// The office's private resources without an office: profile slots, the
// child's locale, and the names by which leftovers of ended runs are found.
#include "platform/office/ProfileSlot.h"
#include "common/TestSupport.h"
#include "platform/office/Leftovers.h"
#include "platform/office/OfficeEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace platform::office;

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    file.write(content);
}

const QByteArray kGoodSettings =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\"><item oor:path=\"/a\"/></oor:items>\n";

// A pid that belonged to a process which has ended.
pid_t deadPid()
{
    QProcess process;
    process.start(QStringLiteral("true"), {});
    process.waitForStarted();
    const pid_t pid = pid_t(process.processId()); // 0 once the end is seen
    process.waitForFinished();
    return pid;
}

} // namespace

TEST(ProfileSlot, SlotsAreExclusiveAndFreedWithTheirHolder)
{
    QTemporaryDir root;
    auto first = ProfileSlot::takeFree(root.path());
    auto second = ProfileSlot::takeFree(root.path());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->number(), 0);
    EXPECT_EQ(second->number(), 1);
    EXPECT_NE(first->profilePath(), second->profilePath());
    EXPECT_EQ(ProfileSlot::take(0, root.path()), nullptr) << "a held slot is not handed out twice";

    first.reset();
    auto again = ProfileSlot::take(0, root.path());
    ASSERT_TRUE(again) << "a released slot is free again";
    EXPECT_EQ(ProfileSlot::takeFree(root.path())->number(), 2) << "slots 0 and 1 are still held";
    EXPECT_TRUE(again->installationUrl().startsWith("file://"));
    EXPECT_EQ(QFile::permissions(root.filePath("0")) & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions())
        << "profiles are private";
}

TEST(ProfileSlot, AProfileIsReusedWhenSoundAndMadeAnewWhenDamaged)
{
    QTemporaryDir root;
    const QString settings = root.filePath("0/profile/user/registrymodifications.xcu");
    writeFile(settings, kGoodSettings);
    writeFile(root.filePath("0/profile/user/marker"), "kept");
    {
        auto slot = ProfileSlot::take(0, root.path());
        ASSERT_TRUE(slot);
        EXPECT_TRUE(slot->wasUsedBefore());
        EXPECT_TRUE(QFile::exists(root.filePath("0/profile/user/marker")));
    }

    const QList<QPair<const char *, std::function<void()>>> damages = {
        {"truncated settings", [&] { writeFile(settings, kGoodSettings.left(60)); }},
        {"empty settings", [&] { writeFile(settings, {}); }},
        {"garbage settings", [&] { writeFile(settings, QByteArray("\0\x01garbage", 9)); }},
        {"settings replaced by a folder",
         [&] {
             QFile::remove(settings);
             QDir().mkpath(settings);
         }},
        {"user folder replaced by a file",
         [&] {
             QDir(root.filePath("0/profile/user")).removeRecursively();
             writeFile(root.filePath("0/profile/user"), "x");
         }},
        {"profile replaced by a file",
         [&] {
             QDir(root.filePath("0/profile")).removeRecursively();
             writeFile(root.filePath("0/profile"), "x");
         }},
        {"slot replaced by a file",
         [&] {
             QDir(root.filePath("0")).removeRecursively();
             writeFile(root.filePath("0"), "x");
         }},
    };
    for (const auto &[what, damage] : damages) {
        SCOPED_TRACE(what);
        QDir(root.filePath("0")).removeRecursively();
        QFile::remove(root.filePath("0"));
        writeFile(settings, kGoodSettings);
        writeFile(root.filePath("0/profile/user/marker"), "old");
        damage();
        EXPECT_TRUE(isProfileDamaged(root.filePath("0/profile")) || !QFileInfo(root.filePath("0")).isDir());
        auto slot = ProfileSlot::take(0, root.path());
        ASSERT_TRUE(slot);
        EXPECT_FALSE(slot->wasUsedBefore());
        EXPECT_FALSE(QFileInfo::exists(slot->profilePath()))
            << "the damaged profile is gone, the office makes a new one";
        EXPECT_FALSE(isProfileDamaged(slot->profilePath()));
    }
}

TEST(ProfileSlot, RenewThrowsTheProfileAwayOnce)
{
    QTemporaryDir root;
    writeFile(root.filePath("3/profile/user/registrymodifications.xcu"), kGoodSettings);
    auto slot = ProfileSlot::take(3, root.path());
    ASSERT_TRUE(slot);
    ASSERT_TRUE(slot->wasUsedBefore());
    EXPECT_TRUE(slot->renew());
    EXPECT_FALSE(QFileInfo::exists(slot->profilePath()));
    EXPECT_FALSE(slot->wasUsedBefore());
    EXPECT_FALSE(slot->renew()) << "a second failure is not the profile's fault";
}

TEST(OfficeLocale, ACharacterTypeThatIsNotInstalledUtf8IsReplaced)
{
    ASSERT_TRUE(isInstalledUtf8Locale("C.UTF-8")) << "C.UTF-8 ships with every Debian 12";
    EXPECT_FALSE(isInstalledUtf8Locale("C"));
    EXPECT_FALSE(isInstalledUtf8Locale("POSIX"));
    EXPECT_FALSE(isInstalledUtf8Locale("xx_YY.UTF-8"));
    EXPECT_FALSE(isInstalledUtf8Locale(""));

    struct Case
    {
        QByteArray lcAll, lcCtype, lang;
        QByteArray variable; // empty: nothing changes
    };
    const QList<Case> cases = {
        {"", "", "", "LC_CTYPE"},
        {"", "", "C", "LC_CTYPE"},
        {"", "", "POSIX", "LC_CTYPE"},
        {"", "", "xx_YY.UTF-8", "LC_CTYPE"},
        {"", "", "C.UTF-8", ""},
        {"", "C.UTF-8", "C", ""},
        {"", "POSIX", "C.UTF-8", "LC_CTYPE"},
        {"C", "", "C.UTF-8", "LC_ALL"},
        {"C.UTF-8", "C", "POSIX", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(("LC_ALL=" + c.lcAll + " LC_CTYPE=" + c.lcCtype + " LANG=" + c.lang).constData());
        const LocaleFix fix = utf8LocaleFix(c.lcAll, c.lcCtype, c.lang);
        EXPECT_EQ(fix.variable, c.variable);
        if (!c.variable.isEmpty()) {
            EXPECT_TRUE(isInstalledUtf8Locale(fix.value)) << fix.value.constData();
        }
    }
}

TEST(OfficeLocale, TheChildEnvironmentChangesOnlyWhatItMust)
{
    std::vector<QByteArray> environment;
    {
        using testsupport::ScopedEnvironment;
        const ScopedEnvironment noLcAll("LC_ALL", ScopedEnvironment::Unset);
        const ScopedEnvironment noLcCtype("LC_CTYPE", ScopedEnvironment::Unset);
        const ScopedEnvironment lang("LANG", "xx_YY.UTF-8");
        const ScopedEnvironment mark("TABULON_TEST_MARK", "1");
        environment = officeEnvironment("/private/tmp");
    }

    auto count = [&](const QByteArray &entry) { return std::count(environment.begin(), environment.end(), entry); };
    auto countPrefix = [&](const QByteArray &prefix) {
        return std::count_if(environment.begin(), environment.end(),
                             [&](const QByteArray &e) { return e.startsWith(prefix); });
    };
    EXPECT_EQ(count("LC_CTYPE=C.UTF-8"), 1);
    EXPECT_EQ(countPrefix("LC_CTYPE="), 1);
    EXPECT_EQ(count("LANG=xx_YY.UTF-8"), 1) << "the other categories keep the user's language";
    EXPECT_EQ(countPrefix("LC_ALL="), 0);
    EXPECT_EQ(count("TMPDIR=/private/tmp"), 1);
    EXPECT_EQ(countPrefix("TMPDIR="), 1);
    EXPECT_EQ(count("TABULON_TEST_MARK=1"), 1);
}

TEST(Leftovers, OnlyNamesOfOurSchemeWithTheOwnersPid)
{
    EXPECT_EQ(leftoverOwner("tabulon-office-4242-aB3xYz"), 4242);
    EXPECT_EQ(leftoverOwner(QStringLiteral("OSL_PIPE_%1_tabulon_77_3_Qw12er").arg(::getuid())), 77);
    EXPECT_EQ(leftoverOwner("tabulon-office-aB3xYz"), -1) << "no pid, no way to tell whether it is in use";
    EXPECT_EQ(leftoverOwner("tabulon-office-4242-"), -1);
    EXPECT_EQ(leftoverOwner("OSL_PIPE_0_SingleOfficeIPC_1cd8772fd8d9"), -1);
    EXPECT_EQ(leftoverOwner("tabulon-office-99999999999999999999-ab"), -1);
    EXPECT_EQ(leftoverOwner("my-tabulon-office-12-ab"), -1);

    const QString pipe = pipeSocketPath(pipeName(5, "tag"));
    EXPECT_EQ(leftoverOwner(QFileInfo(pipe).fileName()), ::getpid());
    const QString temp = QString(privateTempTemplate("/t")).replace("XXXXXX", "a1B2c3");
    EXPECT_EQ(leftoverOwner(QFileInfo(temp).fileName()), ::getpid());
}

TEST(Leftovers, ThoseOfEndedProgramsAreRemovedThoseOfLiveOnesKept)
{
    QTemporaryDir temp, pipes;
    const pid_t dead = deadPid();
    ASSERT_FALSE(processExists(dead));
    ASSERT_TRUE(processExists(::getpid()));
    const QString staleDir = temp.filePath(QStringLiteral("tabulon-office-%1-Ab12Cd").arg(dead));
    const QString liveDir = temp.filePath(QStringLiteral("tabulon-office-%1-Ef34Gh").arg(::getpid()));
    const QString foreign = temp.filePath("tabulon-office-Zz99Yy");
    const QString stalePipe =
        pipes.filePath(QStringLiteral("OSL_PIPE_%1_tabulon_%2_0_Ab12Cd").arg(::getuid()).arg(dead));
    const QString livePipe =
        pipes.filePath(QStringLiteral("OSL_PIPE_%1_tabulon_%2_1_Ef34Gh").arg(::getuid()).arg(::getpid()));
    writeFile(staleDir + "/lu1234.tmp/part", "x");
    writeFile(liveDir + "/lu5678.tmp/part", "y");
    writeFile(foreign + "/x", "z");
    writeFile(stalePipe, {});
    writeFile(livePipe, {});

    EXPECT_EQ(removeLeftovers(temp.path(), pipes.path()), 2);
    EXPECT_FALSE(QFileInfo::exists(staleDir));
    EXPECT_FALSE(QFileInfo::exists(stalePipe));
    EXPECT_TRUE(QFileInfo::exists(liveDir + "/lu5678.tmp/part"));
    EXPECT_TRUE(QFileInfo::exists(livePipe));
    EXPECT_TRUE(QFileInfo::exists(foreign + "/x"));
    EXPECT_EQ(removeLeftovers(temp.path(), pipes.path()), 0);
}
