#pragma once

#include <QString>

#include "TransportLimits.h"

class UserDefaults;

// Where the service lives, and how long and how much a request to it may take. Each address is a defaults
// key, so an administrator (or a test) can point the agent at another installation; without one, the
// production addresses are used. Read once, when the service client is made.
class ServiceConfiguration final {
public:
    static inline const QString kAuthBaseUrlKey = QStringLiteral("authBaseUrl");
    static inline const QString kEuAppBaseUrlKey = QStringLiteral("euAppBaseUrl");
    static inline const QString kAppBaseUrlKey = QStringLiteral("appBaseUrl");
    static inline const QString kImageHostUrlKey = QStringLiteral("imageHostUrl");

    static inline const QString kDefaultAuthBaseUrl = QStringLiteral("https://auth.orlin.example/");
    static inline const QString kDefaultEuAppBaseUrl = QStringLiteral("https://eu.app.orlin.example/");
    static inline const QString kDefaultAppBaseUrl = QStringLiteral("https://app.orlin.example/");
    static inline const QString kDefaultImageHostUrl = QStringLiteral("https://images.orlin.example/");

    [[nodiscard]] static ServiceConfiguration fromDefaults(const UserDefaults& defaults);

    // The three bases always end in "/", since endpoint paths are appended to them as text.
    [[nodiscard]] const QString& authBaseUrl() const { return authBaseUrl_; }
    [[nodiscard]] const QString& euAppBaseUrl() const { return euAppBaseUrl_; }
    [[nodiscard]] const QString& appBaseUrl() const { return appBaseUrl_; }
    [[nodiscard]] const QString& imageHostUrl() const { return imageHostUrl_; }
    // The production limits unless a test has set smaller ones.
    [[nodiscard]] const TransportLimits& transportLimits() const { return transportLimits_; }
    void setTransportLimits(const TransportLimits& limits) { transportLimits_ = limits; }

private:
    ServiceConfiguration() = default;

    QString authBaseUrl_;
    QString euAppBaseUrl_;
    QString appBaseUrl_;
    QString imageHostUrl_;
    TransportLimits transportLimits_;
};
