#include "services/PreferenceStore.h"

#include "services/Settings.h"

#include <QSettings>

#include <algorithm>

namespace ui {

namespace {

const QString kGroup = QStringLiteral("Preferences");

} // namespace

const std::vector<PreferenceStore::Field>& PreferenceStore::fields()
{
    using P = ldapmodel::Preferences;
    static const std::vector<Field> table = {
        {QStringLiteral("ConnectTimeoutSeconds"), QStringLiteral("Connect time-out, seconds"), 1, 600,
         &P::connectTimeoutSeconds},
        {QStringLiteral("OperationTimeoutSeconds"), QStringLiteral("Operation time-out, seconds"), 1, 3600,
         &P::operationTimeoutSeconds},
        {QStringLiteral("ResultPauseMilliseconds"),
         QStringLiteral("Pause between background results, milliseconds, 0 = none"), 0, 1000,
         &P::resultPauseMilliseconds},
        {QStringLiteral("PageSize"), QStringLiteral("Entries per page of a large read, 0 = no paging"), 0, 100000,
         &P::pageSize},
    };
    return table;
}

const std::vector<PreferenceStore::Switch>& PreferenceStore::switches()
{
    using P = ldapmodel::Preferences;
    static const std::vector<Switch> table = {
        {QStringLiteral("LdifAsciiOnly"),
         QStringLiteral("LDIF for other tools: Base64 for every DN and value that is not printable ASCII"),
         &P::ldifAsciiOnly},
    };
    return table;
}

ldapmodel::Preferences PreferenceStore::load()
{
    ldapmodel::Preferences preferences;
    std::unique_ptr<QSettings> settings = openSettings();
    settings->beginGroup(kGroup);
    for (const Field& field : fields()) {
        bool number = false;
        const int value = settings->value(field.key).toInt(&number);
        if (number)
            preferences.*field.member = std::clamp(value, field.minimum, field.maximum);
    }
    for (const Switch& field : switches()) {
        const QString value = settings->value(field.key).toString().trimmed().toLower();
        if (value == QStringLiteral("true") || value == QStringLiteral("false"))
            preferences.*field.member = value == QStringLiteral("true");
    }
    settings->endGroup();
    return preferences;
}

void PreferenceStore::save(const ldapmodel::Preferences& preferences)
{
    std::unique_ptr<QSettings> settings = openSettings();
    settings->beginGroup(kGroup);
    for (const Field& field : fields())
        settings->setValue(field.key, preferences.*field.member);
    for (const Switch& field : switches())
        settings->setValue(field.key, preferences.*field.member);
    settings->endGroup();
    settings->sync();
}

} // namespace ui
