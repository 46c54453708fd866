#include "ServiceConfiguration.h"

#include <QVariant>

#include "UserDefaults.h"

namespace {

QString configuredText(const UserDefaults& defaults, const QString& key, const QString& fallback) {
    const QVariant value = defaults.objectForKey(key);
    // Only a text can be an address; a number or an empty value set by mistake falls back to production.
    if (value.typeId() != QMetaType::QString) {
        return fallback;
    }
    const QString text = value.toString().trimmed();
    return text.isEmpty() ? fallback : text;
}

QString baseUrl(const UserDefaults& defaults, const QString& key, const QString& fallback) {
    QString base = configuredText(defaults, key, fallback);
    // An administrator easily leaves the slash off; without it the host would run into the path.
    if (!base.endsWith(QLatin1Char('/'))) {
        base += QLatin1Char('/');
    }
    return base;
}

}  // namespace

ServiceConfiguration ServiceConfiguration::fromDefaults(const UserDefaults& defaults) {
    ServiceConfiguration configuration;
    configuration.authBaseUrl_ = baseUrl(defaults, kAuthBaseUrlKey, kDefaultAuthBaseUrl);
    configuration.euAppBaseUrl_ = baseUrl(defaults, kEuAppBaseUrlKey, kDefaultEuAppBaseUrl);
    configuration.appBaseUrl_ = baseUrl(defaults, kAppBaseUrlKey, kDefaultAppBaseUrl);
    configuration.imageHostUrl_ = configuredText(defaults, kImageHostUrlKey, kDefaultImageHostUrl);
    return configuration;
}
