#include "platform/office/ProfileSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QXmlStreamReader>

#include <vector>

namespace platform::office {

namespace {

struct Setting
{
    const char *path;
    const char *name;
    QString value;
};

// What an interactive start of this release leaves in a profile and a
// headless one never records, each with the start-up work it spares.
std::vector<Setting> convertersSettings(const OfficeRelease &release)
{
    std::vector<Setting> settings = {
        // The first-start wizard and the first-start checks.
        {"/org.openoffice.Office.Common/Misc", "FirstRun", QStringLiteral("false")},
        {"/org.openoffice.Setup/Office", "ooSetupInstCompleted", QStringLiteral("true")},
    };
    // The graphics render tests and the "what's new" notice run whenever the
    // version last recorded is older than the running one.
    if (!release.productVersion.isEmpty())
        settings.push_back({"/org.openoffice.Setup/Product", "ooSetupLastVersion", release.productVersion});
    // The check of every installed extension against a build it has not seen.
    if (!release.buildId.isEmpty())
        settings.push_back({"/org.openoffice.Setup/Office", "LastCompatibilityCheckID", release.buildId});
    return settings;
}

QString key(const QString &path, const QString &name)
{
    return path + QLatin1Char('\n') + name;
}

// The values the profile's settings file holds, by item path and property
// name; props in nested nodes are not settings of ours and are skipped.
QHash<QString, QString> readSettings(QFile &file)
{
    QHash<QString, QString> values;
    QXmlStreamReader xml(&file);
    QString item;
    int depthInItem = 0;
    QString prop;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (xml.name() == QLatin1String("item")) {
                item = xml.attributes().value(QLatin1String("oor:path")).toString();
                depthInItem = 0;
            } else if (!item.isEmpty()) {
                ++depthInItem;
                if (depthInItem == 1 && xml.name() == QLatin1String("prop"))
                    prop = xml.attributes().value(QLatin1String("oor:name")).toString();
                else if (depthInItem == 2 && !prop.isEmpty() && xml.name() == QLatin1String("value"))
                    values.insert(key(item, prop), xml.readElementText());
            }
            break;
        case QXmlStreamReader::EndElement:
            if (xml.name() == QLatin1String("item")) {
                item.clear();
                prop.clear();
            } else if (!item.isEmpty()) {
                if (depthInItem == 1)
                    prop.clear();
                --depthInItem;
            }
            break;
        default:
            break;
        }
    }
    return values;
}

QByteArray itemText(const Setting &setting)
{
    return QStringLiteral("<item oor:path=\"%1\"><prop oor:name=\"%2\" oor:op=\"fuse\"><value>%3</value></prop></item>\n")
        .arg(QLatin1String(setting.path), QLatin1String(setting.name), setting.value.toHtmlEscaped())
        .toUtf8();
}

const char kSettingsHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
                             "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                             "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n";
const char kSettingsTail[] = "</oor:items>\n";

bool writeWhole(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(content);
    return file.commit();
}

// Items later in the file win over earlier ones of the same property, so
// appending is enough; the office writes the file anew, merged, on its way out.
bool recordSettings(const QString &fileName, const std::vector<Setting> &settings)
{
    QFile file(fileName);
    QByteArray content;
    QHash<QString, QString> present;
    if (file.open(QIODevice::ReadOnly)) {
        present = readSettings(file);
        file.seek(0);
        content = file.readAll();
        file.close();
    }
    QByteArray missing;
    for (const Setting &setting : settings) {
        const auto found = present.constFind(key(QLatin1String(setting.path), QLatin1String(setting.name)));
        if (found == present.constEnd() || *found != setting.value)
            missing += itemText(setting);
    }
    if (missing.isEmpty())
        return true;
    const qsizetype tail = content.lastIndexOf("</oor:items>");
    if (tail < 0)
        content = kSettingsHead + missing + kSettingsTail;
    else
        content.insert(tail, missing);
    return writeWhole(fileName, content);
}

// A fresh profile without the build's mark makes the office clean its
// (empty) extension cache and then restart itself before it serves anyone.
bool markExtensionCache(const QString &userPath, const QString &buildId)
{
    const QString fileName = userPath + QStringLiteral("/extensions/buildid");
    if (buildId.isEmpty() || QFileInfo::exists(fileName))
        return true;
    return QDir().mkpath(QFileInfo(fileName).absolutePath()) && writeWhole(fileName, buildId.toUtf8());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

OfficeRelease OfficeRelease::of(const QString &program)
{
    const QString programDir = QFileInfo(program).absolutePath();
    OfficeRelease release;
    static const QRegularExpression buildId(QStringLiteral("^buildid=(.+)$"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch build = buildId.match(QString::fromUtf8(readFile(programDir + "/versionrc")));
    if (build.hasMatch())
        release.buildId = build.captured(1).trimmed();
    // The product's own settings name its version ("7.4"): the value the
    // office compares the recorded one with.
    const QByteArray settings = readFile(programDir + QStringLiteral("/../share/registry/main.xcd"));
    const QByteArray marker = "<prop oor:name=\"ooSetupVersion\">";
    for (qsizetype at = settings.indexOf(marker); at >= 0; at = settings.indexOf(marker, at + 1)) {
        static const QRegularExpression value(QStringLiteral("^\\s*<value>([^<]+)</value>"));
        const QRegularExpressionMatch match =
            value.match(QString::fromUtf8(settings.mid(at + marker.size(), 200)));
        if (match.hasMatch()) {
            release.productVersion = match.captured(1).trimmed();
            break;
        }
    }
    return release;
}

bool settleProfile(const QString &profilePath, const OfficeRelease &release)
{
    const QString user = profilePath + QStringLiteral("/user");
    if (!QDir().mkpath(user))
        return false;
    const bool recorded = recordSettings(user + QStringLiteral("/registrymodifications.xcu"),
                                         convertersSettings(release));
    return markExtensionCache(user, release.buildId) && recorded;
}

} // namespace platform::office
