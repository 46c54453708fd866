#pragma once

#include <QString>

// Where the service lives. Each address is a defaults key, so an administrator (or a test) can point the
// agent at another installation; without one, the production addresses are used.
class ServiceConfiguration final {
public:
    ServiceConfiguration() = delete;

    static inline const QString kAuthBaseUrlKey = QStringLiteral("authBaseUrl");
    static inline const QString kEuAppBaseUrlKey = QStringLiteral("euAppBaseUrl");
    static inline const QString kAppBaseUrlKey = QStringLiteral("appBaseUrl");
    static inline const QString kImageHostUrlKey = QStringLiteral("imageHostUrl");

    static inline const QString kDefaultAuthBaseUrl = QStringLiteral("https://auth.orlin.example/");
    static inline const QString kDefaultEuAppBaseUrl = QStringLiteral("https://eu.app.orlin.example/");
    static inline const QString kDefaultAppBaseUrl = QStringLiteral("https://app.orlin.example/");
    static inline const QString kDefaultImageHostUrl = QStringLiteral("https://images.orlin.example/");

    // The three bases always end in "/", since endpoint paths are appended to them as text.
    [[nodiscard]] static QString authBaseUrl();
    [[nodiscard]] static QString euAppBaseUrl();
    [[nodiscard]] static QString appBaseUrl();
    [[nodiscard]] static QString imageHostUrl();

private:
    [[nodiscard]] static QString configuredText(const QString& key, const QString& fallback);
    [[nodiscard]] static QString baseUrl(const QString& key, const QString& fallback);
};
