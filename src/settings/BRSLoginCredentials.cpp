#include "BRSLoginCredentials.h"

namespace {
bool hasText(const BRSLoginCredentials::Text& text) {
    return text.has_value() && !text->isEmpty();
}
}  // namespace

BRSLoginCredentials BRSLoginCredentials::initWithUserName(Text userName, Text password) {
    BRSLoginCredentials credentials;
    credentials.userName_ = std::move(userName);
    credentials.password_ = std::move(password);
    return credentials;
}

BRSLoginCredentials BRSLoginCredentials::initWithToken(Text token) {
    BRSLoginCredentials credentials;
    credentials.token_ = std::move(token);
    return credentials;
}

BRSLoginCredentials BRSLoginCredentials::initWithDomainToken(Text domainToken, Text userName) {
    BRSLoginCredentials credentials;
    credentials.domainToken_ = std::move(domainToken);
    credentials.userName_ = std::move(userName);
    return credentials;
}

bool BRSLoginCredentials::harCredentials() const {
    return hasText(userName_);
}

bool BRSLoginCredentials::harToken() const {
    return hasText(token_);
}

bool BRSLoginCredentials::harDomainToken() const {
    return hasText(domainToken_);
}
