#pragma once

#include <QString>

class PreferencesStorage;

// The domain token and user name an administrator deployed for this user.
class DomainTokenSettings final {
public:
    [[nodiscard]] const QString& userName() const { return userName_; }
    [[nodiscard]] const QString& domainToken() const { return domainToken_; }

private:
    friend class PreferencesStorage;
    DomainTokenSettings(QString userName, QString domainToken)
        : userName_(std::move(userName)), domainToken_(std::move(domainToken)) {}

    QString userName_;
    QString domainToken_;
};
