#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <optional>

#include "BRSLoginCredentials.h"
#include "Error.h"
#include "ProfileGetModel.h"
#include "ProfileUpdateModel.h"
#include "SignaturesAnswer.h"

// The Orlin service's HTTPS interface. Every operation first turns the credentials into an access token
// and the user's sync root, then calls the endpoint below that root. Each returns at once and calls its
// completion exactly once, on the main queue. Nothing is kept between calls: the refresh token and user
// name that a call hands back are for the caller to store.
class OrlinSyncService final {
public:
    using Text = std::optional<QString>;
    using SignaturesCompletion = std::function<void(std::optional<SignaturesAnswer> signatures, Text token,
                                                    Text userName, std::optional<Error>)>;
    using ProfileCompletion = std::function<void(std::optional<ProfileGetModel> profile, Text token,
                                                 Text userName, std::optional<Error>)>;
    using SaveCompletion = std::function<void(Text token, Text userName, std::optional<Error>)>;

    OrlinSyncService() = delete;

    static void getSignatures(const BRSLoginCredentials& credentials, SignaturesCompletion completion);
    static void getProfile(const BRSLoginCredentials& credentials, ProfileCompletion completion);
    static void saveProfile(const BRSLoginCredentials& credentials, const ProfileUpdateModel& profileModel,
                            SaveCompletion completion);

private:
    // What every token flow ends with: either the error, or the access token, sync root and user name
    // (the refresh token only where the flow yields one).
    using TokenCompletion = std::function<void(Text refreshToken, Text accessToken, Text syncRoot,
                                               Text userName, std::optional<Error>)>;
    using RefreshTokenCompletion = std::function<void(Text refreshToken, std::optional<Error>)>;

    static void getAccessCodeAndStuffFromOrlin(const BRSLoginCredentials& credentials,
                                               TokenCompletion completion);
    static void getAccessTokenFromRefreshToken(const QString& refreshToken, TokenCompletion completion);
    static void getAccessTokenFromDomainToken(const QString& domainToken, const Text& userName,
                                              TokenCompletion completion);
    static void getAccessTokenFromCompatCredentials(const BRSLoginCredentials& credentials,
                                                    TokenCompletion completion);
    [[nodiscard]] static QString getCompatInvitationCodeUrl(const QString& baseUrl,
                                                            const BRSLoginCredentials& credentials);
    static void getAccessTokenFromCombatInvitationCodeJson(const QByteArray& body,
                                                           TokenCompletion completion);
    static void getRefreshTokenFromInvitationCode(const QString& invitationCode,
                                                  RefreshTokenCompletion completion);

    static void getAccessCodeCompletion(Text refreshToken, Text accessToken, Text syncRoot, Text userName,
                                        std::optional<Error> error, SignaturesCompletion completion);
    static void getSignaturesWithAccessToken(Text refreshToken, const QString& accessToken,
                                             const QString& syncRoot, const QString& userName,
                                             SignaturesCompletion completion);
};
