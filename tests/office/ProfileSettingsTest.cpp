// What a profile of ours records before its office starts, and when an
// office is replaced: both without an office.
#include "platform/office/ProfileSettings.h"
#include "common/TestSupport.h"
#include "platform/office/OfficeProcess.h"
#include "platform/office/ProfileSlot.h"
#include "platform/office/RecyclePolicy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace platform::office;
using testsupport::fileBytes;
using testsupport::writeFile;

namespace {

const OfficeRelease kRelease{QStringLiteral("7.4"), QStringLiteral("40(Build:2)")};

QByteArray item(const char *path, const char *name, const char *value)
{
    return QByteArray("<item oor:path=\"") + path + "\"><prop oor:name=\"" + name + "\" oor:op=\"fuse\"><value>" +
           value + "</value></prop></item>\n";
}

QByteArray settingsFile(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
           "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n" +
           items + "</oor:items>\n";
}

const QByteArray kAllRecorded = item("/org.openoffice.Office.Common/Misc", "FirstRun", "false") +
                                item("/org.openoffice.Setup/Office", "ooSetupInstCompleted", "true") +
                                item("/org.openoffice.Setup/Product", "ooSetupLastVersion", "7.4") +
                                item("/org.openoffice.Setup/Office", "LastCompatibilityCheckID", "40(Build:2)");

// The value the office takes for a property: the last item that sets it.
QString lastValue(const QByteArray &settings, const QString &name)
{
    const QRegularExpression pattern(QStringLiteral("oor:name=\"%1\"[^>]*><value>([^<]*)</value>").arg(name));
    QString value;
    for (auto it = pattern.globalMatch(QString::fromUtf8(settings)); it.hasNext();)
        value = it.next().captured(1);
    return value;
}

} // namespace

TEST(ProfileSettings, AProfileGetsWhatSparesTheStartAndKeepsWhatItHolds)
{
    const QByteArray nested = "<item oor:path=\"/org.openoffice.Office.Views/Windows\"><node oor:name=\"W\" "
                              "oor:op=\"replace\"><prop oor:name=\"FirstRun\" oor:op=\"fuse\"><value>true</value>"
                              "</prop></node></item>\n";
    const QByteArray own = item("/org.openoffice.Setup/L10N", "ooLocale", "de-DE");
    struct Case
    {
        const char *what;
        bool exists;
        QByteArray before;
        bool unchanged; // the file is left byte for byte
    };
    const QList<Case> cases = {
        {"a fresh profile", false, {}, false},
        {"one of a headless start", true, settingsFile(own + item("/org.openoffice.Office.Common/Misc", "FirstRun", "false")), false},
        {"one of an older release", true, settingsFile(kAllRecorded + item("/org.openoffice.Setup/Product", "ooSetupLastVersion", "7.3")), false},
        {"one that records it all", true, settingsFile(own + kAllRecorded), true},
        {"a property of the same name in a nested node", true, settingsFile(nested + kAllRecorded), true},
        {"a file without its end tag", true, "<?xml version=\"1.0\"?>\n<oor:items>", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir root;
        const QString profile = root.filePath("profile");
        const QString settings = profile + "/user/registrymodifications.xcu";
        if (c.exists)
            writeFile(profile, "user/registrymodifications.xcu", c.before);
        ASSERT_TRUE(settleProfile(profile, kRelease));
        const QByteArray after = fileBytes(settings);
        if (c.unchanged) {
            EXPECT_EQ(after, c.before);
        }
        EXPECT_EQ(lastValue(after, "ooSetupLastVersion"), "7.4");
        EXPECT_EQ(lastValue(after, "LastCompatibilityCheckID"), "40(Build:2)");
        EXPECT_EQ(lastValue(after, "ooSetupInstCompleted"), "true");
        EXPECT_TRUE(after.trimmed().endsWith("</oor:items>"));
        EXPECT_FALSE(isProfileDamaged(profile)) << after.constData();
        if (c.before.contains("de-DE")) {
            EXPECT_TRUE(after.contains(own)) << "the profile's own settings stay";
        }
        EXPECT_EQ(fileBytes(profile + "/user/extensions/buildid"), "40(Build:2)");
        EXPECT_EQ(QDir(profile + "/user").entryList(QDir::Files | QDir::Hidden),
                  QStringList{"registrymodifications.xcu"})
            << "no temporary file is left";

        ASSERT_TRUE(settleProfile(profile, kRelease));
        EXPECT_EQ(fileBytes(settings), after) << "a second time changes nothing";
    }
}

TEST(ProfileSettings, TheExtensionMarkOfAnotherBuildIsLeftForTheOfficeToHandle)
{
    QTemporaryDir root;
    writeFile(root.path(), "user/extensions/buildid", "39(Build:1)");
    ASSERT_TRUE(settleProfile(root.path(), kRelease));
    EXPECT_EQ(fileBytes(root.filePath("user/extensions/buildid")), "39(Build:1)");
}

TEST(ProfileSettings, AnUnknownReleaseRecordsOnlyWhatNeedsNoVersion)
{
    QTemporaryDir root;
    ASSERT_TRUE(settleProfile(root.path(), OfficeRelease{}));
    const QByteArray after = fileBytes(root.filePath("user/registrymodifications.xcu"));
    EXPECT_EQ(lastValue(after, "FirstRun"), "false");
    EXPECT_FALSE(after.contains("ooSetupLastVersion"));
    EXPECT_FALSE(after.contains("LastCompatibilityCheckID"));
    EXPECT_FALSE(QFileInfo::exists(root.filePath("user/extensions/buildid")));
}

TEST(ProfileSettings, AProfileThatCannotBeWrittenIsReported)
{
    QTemporaryDir root;
    writeFile(root.path(), "profile", "a file where the profile belongs");
    EXPECT_FALSE(settleProfile(root.filePath("profile"), kRelease));
}

TEST(OfficeRelease, ReadFromTheInstallationOfTheProgram)
{
    QTemporaryDir root;
    writeFile(root.path(), "program/versionrc", "[Version]\nAllLanguages=en-US\nbuildid=12(Build:3)\nVendor=x\n");
    writeFile(root.path(), "share/registry/main.xcd",
              "<oor:data><prop oor:name=\"ooSetupVersion\" oor:type=\"xs:string\"><value/></prop>"
              "<prop oor:name=\"ooSetupVersion\">\n   <value>9.1</value>\n</prop></oor:data>");
    const OfficeRelease release = OfficeRelease::of(root.filePath("program/soffice.bin"));
    EXPECT_EQ(release.productVersion, "9.1") << "the schema's empty value is skipped";
    EXPECT_EQ(release.buildId, "12(Build:3)");

    const OfficeRelease none = OfficeRelease::of(root.filePath("elsewhere/soffice.bin"));
    EXPECT_TRUE(none.productVersion.isEmpty() && none.buildId.isEmpty());

    const OfficeRelease installed = OfficeRelease::of(OfficeProcess::defaultProgram());
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+$").match(installed.productVersion).hasMatch())
        << qPrintable(installed.productVersion);
    EXPECT_FALSE(installed.buildId.isEmpty());
}

TEST(RecyclePolicy, AnOfficeIsReplacedAfterItsFilesOrAboveItsMemory)
{
    constexpr qint64 MiB = 1024 * 1024;
    struct Case
    {
        RecyclePolicy policy;
        int files;
        qint64 resident;
        QString reason;
    };
    const QList<Case> cases = {
        {{0, 0}, 100000, 100000 * MiB, {}},
        {{3, 0}, 2, 0, {}},
        {{3, 0}, 3, 0, "after 3 files"},
        {{3, 0}, 4, 0, "after 4 files"},
        {{0, 512 * MiB}, 1, 512 * MiB, {}},
        {{0, 512 * MiB}, 1, 513 * MiB, "at 513 MB resident, above its limit of 512 MB"},
        {{0, 512 * MiB}, 1, -1, {}},
        {{1, 512 * MiB}, 0, 600 * MiB, {}},
        {{2, 512 * MiB}, 2, 600 * MiB, "after 2 files"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 files, %2 bytes").arg(c.files).arg(c.resident).toStdString());
        EXPECT_EQ(c.policy.reasonToReplace(c.files, c.resident), c.reason);
    }

    constexpr qint64 GiB = 1024 * MiB;
    EXPECT_EQ(defaultOfficeMemoryLimit(24 * GiB, 2), 3 * GiB);
    EXPECT_EQ(defaultOfficeMemoryLimit(24 * GiB, 1), 6 * GiB);
    EXPECT_EQ(defaultOfficeMemoryLimit(24 * GiB, 0), 6 * GiB);
    EXPECT_EQ(defaultOfficeMemoryLimit(2 * GiB, 4), GiB) << "never below 1 GiB";
    EXPECT_EQ(defaultOfficeMemoryLimit(-1, 2), 0) << "no limit on a machine that does not tell";
}
