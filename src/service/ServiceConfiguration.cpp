#include "ServiceConfiguration.h"

#include <QVariant>

#include "UserDefaults.h"

QString ServiceConfiguration::authBaseUrl() {
    return baseUrl(kAuthBaseUrlKey, kDefaultAuthBaseUrl);
}

QString ServiceConfiguration::euAppBaseUrl() {
    return baseUrl(kEuAppBaseUrlKey, kDefaultEuAppBaseUrl);
}

QString ServiceConfiguration::appBaseUrl() {
    return baseUrl(kAppBaseUrlKey, kDefaultAppBaseUrl);
}

QString ServiceConfiguration::imageHostUrl() {
    return configuredText(kImageHostUrlKey, kDefaultImageHostUrl);
}

QString ServiceConfiguration::configuredText(const QString& key, const QString& fallback) {
    const QVariant value = UserDefaults::standardUserDefaults().objectForKey(key);
    // Only a text can be an address; a number or an empty value set by mistake falls back to production.
    if (value.typeId() != QMetaType::QString) {
        return fallback;
    }
    const QString text = value.toString().trimmed();
    return text.isEmpty() ? fallback : text;
}

QString ServiceConfiguration::baseUrl(const QString& key, const QString& fallback) {
    QString base = configuredText(key, fallback);
    // An administrator easily leaves the slash off; without it the host would run into the path.
    if (!base.endsWith(QLatin1Char('/'))) {
        base += QLatin1Char('/');
    }
    return base;
}
