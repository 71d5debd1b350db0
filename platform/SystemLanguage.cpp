#include "platform/SystemLanguage.h"

#include <QHash>
#include <QString>

namespace platform {

namespace {

constexpr int englishUnitedStates = 1033;

// Language and territory to the identifiers the system reports for them.
const QHash<QString, int> &identifiers()
{
    static const QHash<QString, int> table = {
        {"zh_CN", 2052}, {"zh_TW", 1028}, {"zh_HK", 3076},  {"zh_SG", 4100}, {"zh_MO", 5124}, {"ja_JP", 1041},
        {"ko_KR", 1042}, {"en_US", 1033}, {"en_GB", 2057},  {"en_AU", 3081}, {"en_CA", 4105}, {"en_NZ", 5129},
        {"en_IE", 6153}, {"en_ZA", 7177}, {"en_IN", 16393}, {"de_DE", 1031}, {"de_CH", 2055}, {"de_AT", 3079},
        {"fr_FR", 1036}, {"fr_BE", 2060}, {"fr_CA", 3084},  {"fr_CH", 4108}, {"es_ES", 3082}, {"es_MX", 2058},
        {"it_IT", 1040}, {"pt_BR", 1046}, {"pt_PT", 2070},  {"nl_NL", 1043}, {"nl_BE", 2067}, {"sv_SE", 1053},
        {"da_DK", 1030}, {"nb_NO", 1044}, {"fi_FI", 1035},  {"pl_PL", 1045}, {"cs_CZ", 1029}, {"hu_HU", 1038},
        {"ru_RU", 1049}, {"uk_UA", 1058}, {"tr_TR", 1055},  {"el_GR", 1032}, {"he_IL", 1037}, {"ar_SA", 1025},
        {"th_TH", 1054}, {"vi_VN", 1066}, {"id_ID", 1057},
    };
    return table;
}

} // namespace

int languageIdForLocale(const QByteArray &localeName)
{
    QString name = QString::fromLatin1(localeName);
    // Drop the code set and modifier: "zh_CN.UTF-8@pinyin" -> "zh_CN".
    name = name.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    name.replace(QLatin1Char('-'), QLatin1Char('_'));
    return identifiers().value(name, englishUnitedStates);
}

int systemLanguageId()
{
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray value = qgetenv(variable);
        if (!value.isEmpty())
            return languageIdForLocale(value);
    }
    return englishUnitedStates;
}

} // namespace platform
