#include "platform/FileSystem.h"

#include "platform/Automation.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace platform {

QString joinPath(const QString &left, const QString &right)
{
    return left + QDir::separator() + right;
}

QString currentDirectory()
{
    return QDir::toNativeSeparators(QDir::currentPath());
}

bool setCurrentDirectory(const QString &path)
{
    return !path.isEmpty() && QDir::setCurrent(path);
}

void forceDirectories(const QString &path)
{
    if (path.isEmpty())
        throw AutomationError(QStringLiteral("Unable to create directory"));
    QDir().mkpath(path);
}

bool isHiddenName(const QString &name)
{
    return name.startsWith(QLatin1Char('.'));
}

namespace {

bool matchFrom(const QString &name, int n, const QString &mask, int m)
{
    // Iterative wildcard match with one back-tracking point per '*'.
    int starMask = -1, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask.at(m) == QLatin1Char('?') ||
                                mask.at(m).toCaseFolded() == name.at(n).toCaseFolded())) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask.at(m) == QLatin1Char('*')) {
            starMask = m++;
            starName = n;
        } else if (starMask >= 0) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask.at(m) == QLatin1Char('*'))
        ++m;
    return m == mask.size();
}

void sortByName(QStringList &names)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    std::stable_sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        return collator.compare(a, b) < 0;
    });
}

} // namespace

bool matchesMask(const QString &name, const QString &mask)
{
    if (mask.isEmpty() || mask.contains(QLatin1Char('/')) || mask.contains(QDir::separator()))
        return false;
    // "*.*" also matches names without a dot, as the shell has it.
    if (mask == QLatin1String("*.*"))
        return true;
    return matchFrom(name, 0, mask, 0);
}

QStringList listSubdirectories(const QString &dir)
{
    QStringList names;
    QDirIterator it(dir, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (!isHiddenName(name))
            names.append(name);
    }
    sortByName(names);
    return names;
}

QStringList listMatchingFiles(const QString &dir, const QString &mask)
{
    QStringList names;
    if (mask.isEmpty())
        return names;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (matchesMask(name, mask))
            names.append(name);
    }
    sortByName(names);
    return names;
}

QString defaultOutputDirectory()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\html");
#else
    return QDir::toNativeSeparators(QDir::home().filePath(QStringLiteral("html")));
#endif
}

} // namespace platform
