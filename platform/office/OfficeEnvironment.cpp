#include "platform/office/OfficeEnvironment.h"

#include <QList>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

extern char **environ;

namespace platform::office {

namespace {

// "de_DE.ISO-8859-1@euro" -> "de_DE"; empty for the C and POSIX locales.
QByteArray languageAndTerritory(const QByteArray &locale)
{
    QByteArray base = locale;
    const qsizetype cut = base.indexOf('.') >= 0 ? base.indexOf('.') : base.indexOf('@');
    if (cut >= 0)
        base.truncate(cut);
    if (base == "C" || base == "POSIX")
        return {};
    return base;
}

QByteArray variableName(const char *entry)
{
    const char *equals = std::strchr(entry, '=');
    return equals ? QByteArray(entry, equals - entry) : QByteArray(entry);
}

} // namespace

bool isInstalledUtf8Locale(const QByteArray &name)
{
    if (name.isEmpty())
        return false;
    const locale_t locale = ::newlocale(LC_CTYPE_MASK, name.constData(), locale_t(nullptr));
    if (!locale)
        return false;
    const bool utf8 = std::strcmp(::nl_langinfo_l(CODESET, locale), "UTF-8") == 0;
    ::freelocale(locale);
    return utf8;
}

LocaleFix utf8LocaleFix(const QByteArray &lcAll, const QByteArray &lcCtype, const QByteArray &lang)
{
    const QByteArray inForce = !lcAll.isEmpty() ? lcAll : !lcCtype.isEmpty() ? lcCtype : lang;
    if (isInstalledUtf8Locale(inForce))
        return {};
    QList<QByteArray> candidates;
    const QByteArray base = languageAndTerritory(inForce);
    if (!base.isEmpty())
        candidates << base + ".UTF-8";
    candidates << "C.UTF-8"
               << "C.utf8"
               << "en_US.UTF-8";
    for (const QByteArray &candidate : candidates) {
        if (isInstalledUtf8Locale(candidate))
            return {lcAll.isEmpty() ? QByteArray("LC_CTYPE") : QByteArray("LC_ALL"), candidate};
    }
    return {};
}

std::vector<QByteArray> officeEnvironment(const QByteArray &tempDir)
{
    const LocaleFix fix = utf8LocaleFix(qgetenv("LC_ALL"), qgetenv("LC_CTYPE"), qgetenv("LANG"));
    std::vector<QByteArray> environment;
    for (char **entry = environ; entry && *entry; ++entry) {
        const QByteArray name = variableName(*entry);
        if (name == "TMPDIR" || (!fix.variable.isEmpty() && name == fix.variable))
            continue;
        environment.emplace_back(*entry);
    }
    if (!fix.variable.isEmpty())
        environment.push_back(fix.variable + '=' + fix.value);
    if (!tempDir.isEmpty())
        environment.push_back("TMPDIR=" + tempDir);
    return environment;
}

} // namespace platform::office
