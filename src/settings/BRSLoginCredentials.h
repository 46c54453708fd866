#pragma once

#include <QString>
#include <optional>

// What proves the user to the service, in one of three forms: user name and password, a token, or a
// domain token with its user name. Immutable once made.
class BRSLoginCredentials final {
public:
    using Text = std::optional<QString>;

    [[nodiscard]] static BRSLoginCredentials initWithUserName(Text userName, Text password);
    [[nodiscard]] static BRSLoginCredentials initWithToken(Text token);
    [[nodiscard]] static BRSLoginCredentials initWithDomainToken(Text domainToken, Text userName);

    [[nodiscard]] const Text& userName() const { return userName_; }
    [[nodiscard]] const Text& password() const { return password_; }
    [[nodiscard]] const Text& token() const { return token_; }
    [[nodiscard]] const Text& domainToken() const { return domainToken_; }

    // Each looks at one value only; a domain-token record with a user name answers yes to two of them.
    [[nodiscard]] bool harCredentials() const;
    [[nodiscard]] bool harToken() const;
    [[nodiscard]] bool harDomainToken() const;

private:
    BRSLoginCredentials() = default;

    Text userName_;
    Text password_;
    Text token_;
    Text domainToken_;
};
