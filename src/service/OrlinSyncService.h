#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include "AnswerValidator.h"
#include "BRSLoginCredentials.h"
#include "Error.h"
#include "ProfileGetModel.h"
#include "ProfileUpdateModel.h"
#include "RefreshTokenExchanges.h"
#include "Result.h"
#include "ServiceConfiguration.h"
#include "ServiceTransport.h"
#include "SignaturesAnswer.h"

// The Orlin service's HTTPS interface. Every operation first turns the credentials into an access token
// and the user's sync root, then calls the endpoint below that root. Each returns at once and calls its
// completion exactly once, on the main queue. The refresh token and user name that a call hands back are
// for the caller to store; copies of one service share its refresh token exchanges, so the copies an agent
// makes never spend one token twice. A call in progress holds nothing else of the object, so the object
// may go before its completions run.
class OrlinSyncService final {
public:
    using Text = std::optional<QString>;

    // What signing in leaves for the caller to store: the rotated refresh token (none for a domain token)
    // and the user name.
    struct SignIn {
        Text refreshToken;
        Text userName;
    };

    // A flow's outcome with the sign-in beside it. The sign-in is empty only when signing in itself failed:
    // once the service has rotated the token, the old one may already be revoked, so whatever fails after
    // that, the new one must still be stored.
    template <typename T>
    struct Reply {
        Result<T> result;
        SignIn signIn;
    };
    // A save hands back nothing but its sign-in.
    struct Saved {};

    // The service's word that the answer a validator stood for is still the current one.
    struct NotModified {};
    // The whole answer, or no change since the one the request's validator stood for.
    using Signatures = std::variant<SignaturesAnswer, NotModified>;

    using SignaturesReply = Reply<Signatures>;
    using ProfileReply = Reply<ProfileGetModel>;
    using SaveReply = Reply<Saved>;
    using SignaturesCompletion = std::function<void(SignaturesReply)>;
    using ProfileCompletion = std::function<void(ProfileReply)>;
    using SaveCompletion = std::function<void(SaveReply)>;

    explicit OrlinSyncService(ServiceConfiguration configuration);

    // With a validator from an earlier answer of the same address, asks for the answer only if it changed
    // since; without one (or with one from another address) always downloads the whole answer, which then
    // carries the validator the service sent, if any.
    void getSignatures(const BRSLoginCredentials& credentials, SignaturesCompletion completion,
                       const std::optional<AnswerValidator>& ifChangedSince = std::nullopt) const;
    void getProfile(const BRSLoginCredentials& credentials, ProfileCompletion completion) const;
    void saveProfile(const BRSLoginCredentials& credentials, const ProfileUpdateModel& profileModel,
                     SaveCompletion completion) const;

    // Spends a refresh token the user has just entered, at once: the sign-in to store in its place when the
    // service accepts it. Goes through the same exchanges as every flow of this service, so a second try
    // with a code already spent here spends its successor rather than failing.
    void signInWithRefreshToken(const QString& refreshToken,
                                std::function<void(Result<SignIn>)> completion) const;
    // True when the service was never heard from: a refusal or an error page is still its answer.
    [[nodiscard]] static bool isUnreachable(const Error& error);

    // The token to store for one a flow handed back: its successor when a later flow of this agent has
    // already exchanged it, so flows finishing out of order never store a spent token.
    [[nodiscard]] Text newestRefreshToken(const Text& refreshToken) const;
    // True when `refreshToken` is `stored` or this agent reached it from `stored` by signing in: a flow's
    // token may replace only those, never one the user entered while the flow ran.
    [[nodiscard]] bool mayReplace(const QString& stored, const QString& refreshToken) const;

private:
    // What signing in ends with: the bearer token, the root every user endpoint sits below, and the
    // sign-in to hand back.
    struct Access {
        QString accessToken;
        QString syncRoot;
        SignIn signIn;
    };
    using AccessCompletion = std::function<void(Result<Access>)>;
    using RefreshTokenCompletion = std::function<void(Result<QString>)>;

    // Signs in, then GETs `path` below the sync root, conditionally when a validator for that address is
    // given. A failure on the way ends the flow with its error; otherwise `read` makes the flow's reply
    // from the answer, the address it came from and the sign-in. `reserve` is the reader's say in the
    // download buffer.
    template <typename T>
    void getBelowSyncRoot(
        const BRSLoginCredentials& credentials, const QString& path, std::function<void(Reply<T>)> completion,
        std::function<Reply<T>(ServiceTransport::Answer answer, const QString& address, SignIn signIn)> read,
        ServiceTransport::Reserve reserve = {},
        std::optional<AnswerValidator> validator = std::nullopt) const;

    // The one way a flow gets its access token, whichever form the credentials take.
    void getAccessCodeAndStuffFromOrlin(const BRSLoginCredentials& credentials,
                                        AccessCompletion completion) const;

    void getAccessTokenFromRefreshToken(const QString& refreshToken, AccessCompletion completion) const;
    static void exchangeRefreshToken(const ServiceTransport& transport, const QString& authBaseUrl,
                                     const QString& refreshToken, AccessCompletion completion);
    static void getAccessTokenFromDomainToken(const ServiceTransport& transport, const QString& authBaseUrl,
                                              const QString& domainToken, const Text& userName,
                                              AccessCompletion completion);
    void getAccessTokenFromCompatCredentials(const BRSLoginCredentials& credentials,
                                             AccessCompletion completion) const;
    [[nodiscard]] static QString getCompatInvitationCodeUrl(const QString& baseUrl,
                                                            const BRSLoginCredentials& credentials);
    static void getAccessTokenFromCombatInvitationCodeJson(const ServiceTransport& transport,
                                                           const QString& authBaseUrl, const QByteArray& body,
                                                           AccessCompletion completion);
    static void getRefreshTokenFromInvitationCode(const ServiceTransport& transport,
                                                  const QString& authBaseUrl, const QString& invitationCode,
                                                  RefreshTokenCompletion completion);

    ServiceConfiguration configuration_;
    ServiceTransport transport_;
    std::shared_ptr<RefreshTokenExchanges> exchanges_;
};
