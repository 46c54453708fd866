#include "OrlinSyncService.h"

#include <QJsonObject>
#include <QJsonValue>

#include "BRSLog.h"
#include "BRSUrlBuilder.h"
#include "JsonReader.h"
#include "MainQueue.h"
#include "ProfileGetResponse.h"
#include "ProfileUpdateResponse.h"
#include "ServiceTransport.h"
#include "UrlErrors.h"

namespace {
const QString kAccessTokenMessage = QStringLiteral("There was an error getting the access token from Orlin.");
const QString kDataEmptyMessage =
    QStringLiteral("There was an error getting the access token from Orlin. Data is empty.");
const QString kRefreshTokenEmptyMessage =
    QStringLiteral("There was an error getting the access token from Orlin. Refresh token is empty.");
const QString kIncompleteAnswerMessage =
    QStringLiteral("There was an error getting the access token from Orlin. The answer is incomplete.");
const QString kInvitationCodeMessage =
    QStringLiteral("There was an error getting the invitation code from Orlin.");
const QString kNoInvitationCodeMessage = QStringLiteral(
    "There was an error getting the invitation code from Orlin. Check your e-mail address and password.");
const QString kRefreshCodeMessage = QStringLiteral("There was an error getting the refresh code from Orlin.");
const QString kNoRefreshCodeMessage = QStringLiteral(
    "There was an error getting the refresh code from Orlin. The invitation was not accepted.");
const QString kMissingUserNameMessage =
    QStringLiteral("A user name is needed to sign in to Orlin with the domain token.");
const QString kSignaturesMessage = QStringLiteral("There was an error getting the signatures from Orlin.");
const QString kProfileReadMessage = QStringLiteral("Reading profile from JSON failed.");
const QString kProfileSaveMessage = QStringLiteral("Reading response failed.");

// Where a flow can fail, as the log names it.
const QString kRefreshExchange = QStringLiteral("Orlin sign-in with the refresh token");
const QString kDomainExchange = QStringLiteral("Orlin sign-in with the domain token");
const QString kInvitationCode = QStringLiteral("Orlin sign-in asking for the invitation code");
const QString kInvitation = QStringLiteral("Orlin sign-in accepting the invitation");
const QString kSignaturesDownload = QStringLiteral("Orlin signatures download");
const QString kProfileRead = QStringLiteral("Orlin profile read");
const QString kProfileSave = QStringLiteral("Orlin profile save");

using Text = std::optional<QString>;
using SignIn = OrlinSyncService::SignIn;

// A failure this client decides on, logged here once. The transport's own failures pass through the flows
// unchanged and unlogged: the transport logged them where they happened.
Error failure(const QString& where, Error error) {
    BRSLogWarn(u"%@ failed: %@", where, error.localizedDescription);
    return error;
}

Error failure(const QString& where, const QString& message) {
    return failure(where, Error::serviceError(message));
}

// A text member of an answer; any other type counts as missing.
Text textMember(const QJsonObject& object, const QString& key) {
    return JsonReader::requiredString(object, key);
}

// The answer's own explanation where it gives one, else ours.
Error answerError(const QJsonObject& answer, const QString& fallback) {
    return Error::serviceError(textMember(answer, QStringLiteral("error")).value_or(fallback));
}

bool isTrue(const QJsonObject& answer) {
    return JsonReader::requiredBool(answer, QStringLiteral("result")).value_or(false);
}

// A token exchange's answer that says it succeeded and carries "data", or the failure that says why there
// is none: the transport's own, an answer that is not a JSON object, or the service's refusal in its own
// words (`refusal` where it gives none).
Result<QJsonObject> grantAnswer(const Result<QByteArray>& body, const QString& where,
                                const QString& refusal) {
    if (!body.ok()) {
        return body.error();
    }
    std::optional<QJsonObject> answer = JsonReader::membersFromData(body.value());
    if (!answer) {
        return failure(where, kAccessTokenMessage);
    }
    if (!answer->contains(QStringLiteral("data")) || !isTrue(*answer)) {
        return failure(where, answerError(*answer, refusal));
    }
    return std::move(*answer);
}

// The host was never heard from; a refusal or a redirect is still its answer.
bool isTransportFailure(const Error& error) {
    return error.domain == UrlErrors::kDomain && !ServiceTransport::hostAnswered(error);
}

QString endpoint(const QString& base, const QString& path,
                 const QList<std::pair<QString, Text>>& parameters) {
    BRSUrlBuilder builder(base + path);
    for (const auto& [key, value] : parameters) {
        builder.addParameterWithKey(key, value);
    }
    return builder.getUrl();
}

// The sign-in as it stands when a flow ends, which may be after another flow exchanged its token again.
SignIn latest(const RefreshTokenExchanges& exchanges, SignIn signIn) {
    if (signIn.refreshToken) {
        signIn.refreshToken = exchanges.newest(*signIn.refreshToken);
    }
    return signIn;
}
}  // namespace

OrlinSyncService::OrlinSyncService(ServiceConfiguration configuration)
    : configuration_(std::move(configuration)),
      transport_(configuration_.transportLimits()),
      exchanges_(std::make_shared<RefreshTokenExchanges>()) {}

OrlinSyncService::Text OrlinSyncService::newestRefreshToken(const Text& refreshToken) const {
    return refreshToken ? Text(exchanges_->newest(*refreshToken)) : refreshToken;
}

bool OrlinSyncService::mayReplace(const QString& stored, const QString& refreshToken) const {
    return exchanges_->descends(refreshToken, stored);
}

void OrlinSyncService::signInWithRefreshToken(const QString& refreshToken,
                                              std::function<void(Result<SignIn>)> completion) const {
    getAccessTokenFromRefreshToken(
        refreshToken, [exchanges = exchanges_, completion = std::move(completion)](Result<Access> access) {
            if (!access.ok()) {
                completion(access.error());
                return;
            }
            completion(latest(*exchanges, access.value().signIn));
        });
}

bool OrlinSyncService::isUnreachable(const Error& error) {
    return isTransportFailure(error);
}

template <typename T>
void OrlinSyncService::getBelowSyncRoot(
    const BRSLoginCredentials& credentials, const QString& path, std::function<void(Reply<T>)> completion,
    std::function<Reply<T>(ServiceTransport::Answer answer, const QString& address, SignIn signIn)> read,
    ServiceTransport::Reserve reserve, std::optional<AnswerValidator> validator) const {
    getAccessCodeAndStuffFromOrlin(
        credentials, [path, transport = transport_, exchanges = exchanges_,
                      completion = std::move(completion), read = std::move(read),
                      reserve = std::move(reserve), validator = std::move(validator)](Result<Access> access) {
            if (!access.ok()) {
                completion({access.error(), {}});
                return;
            }
            Access granted = std::move(access).value();
            const QString address = granted.syncRoot + path;
            transport.getAnswer(
                address, granted.accessToken, validator,
                [address, signIn = std::move(granted.signIn), exchanges, completion,
                 read](Result<ServiceTransport::Answer> answer) {
                    if (!answer.ok()) {
                        completion({answer.error(), latest(*exchanges, signIn)});
                        return;
                    }
                    completion(read(std::move(answer).value(), address, latest(*exchanges, signIn)));
                },
                reserve);
        });
}

void OrlinSyncService::getSignatures(const BRSLoginCredentials& credentials, SignaturesCompletion completion,
                                     const std::optional<AnswerValidator>& ifChangedSince) const {
    getBelowSyncRoot<Signatures>(
        credentials, QStringLiteral("/sync3"), std::move(completion),
        [ifChangedSince](ServiceTransport::Answer answer, const QString& address,
                         SignIn signIn) -> SignaturesReply {
            // Only an answer to our own condition means "unchanged"; a 304 nobody asked for is a page
            // without a signature list like any other.
            if (answer.status == 304 && ifChangedSince && ifChangedSince->address() == address) {
                return {Signatures(NotModified{}), std::move(signIn)};
            }
            // A top-level array parses, but holds no signature list; it is reported like a page that is
            // not JSON at all. The rotated token still reaches the caller.
            std::optional<SignaturesAnswer> signatures =
                SignaturesAnswer::fromJsonData(std::move(answer.body));
            if (!signatures) {
                return {failure(kSignaturesDownload, kSignaturesMessage), std::move(signIn)};
            }
            // An error page's validator stands for the error page.
            if (answer.status == 200) {
                signatures->setValidator(
                    AnswerValidator::fromHeaders(address, answer.entityTag, answer.lastModified));
            }
            return {Signatures(std::move(*signatures)), std::move(signIn)};
        },
        SignaturesAnswer::reserve, ifChangedSince);
}

void OrlinSyncService::getProfile(const BRSLoginCredentials& credentials,
                                  ProfileCompletion completion) const {
    getBelowSyncRoot<ProfileGetModel>(
        credentials, QStringLiteral("/api/5.0/profile"), std::move(completion),
        [](ServiceTransport::Answer answer, const QString&, SignIn signIn) -> ProfileReply {
            std::optional<ProfileGetResponse> response = ProfileGetResponse::fromJsonData(answer.body);
            if (!response) {
                return {failure(kProfileRead, kProfileReadMessage), std::move(signIn)};
            }
            // The service's "result" has been seen to disagree with its
            // "error"; the error text is what the user needs to read, so it
            // decides.
            if (response->error) {
                return {failure(kProfileRead, *response->error), std::move(signIn)};
            }
            return {std::move(response->data), std::move(signIn)};
        });
}

void OrlinSyncService::saveProfile(const BRSLoginCredentials& credentials,
                                   const ProfileUpdateModel& profileModel, SaveCompletion completion) const {
    getAccessCodeAndStuffFromOrlin(credentials, [body = profileModel.toJsonData(), transport = transport_,
                                                 exchanges = exchanges_,
                                                 completion = std::move(completion)](Result<Access> access) {
        if (!access.ok()) {
            completion({access.error(), {}});
            return;
        }
        Access granted = std::move(access).value();
        const Result<QNetworkRequest> request = ServiceTransport::requestFor(
            granted.syncRoot + QStringLiteral("/api/5.0/profile"), granted.accessToken);
        if (!request.ok()) {
            MainQueue::post([completion, exchanges, signIn = std::move(granted.signIn),
                             error = failure(kProfileSave, request.error())] {
                completion({error, latest(*exchanges, signIn)});
            });
            return;
        }
        transport.postJSON(
            request.value(), body,
            [signIn = std::move(granted.signIn), exchanges, completion](Result<QByteArray> answer) {
                SignIn current = latest(*exchanges, signIn);
                if (!answer.ok()) {
                    const Error& error = answer.error();
                    // A proxy's refusal keeps its code, so the alert can say what the user should do.
                    const bool proxyRefused = error.domain == UrlErrors::kDomain &&
                                              error.code == ServiceTransport::kProxyAuthenticationRequired;
                    completion({proxyRefused ? error : Error::serviceError(error.localizedDescription),
                                std::move(current)});
                    return;
                }
                const std::optional<ProfileUpdateResponse> response =
                    ProfileUpdateResponse::fromJsonData(answer.value());
                if (!response) {
                    completion({failure(kProfileSave, kProfileSaveMessage), std::move(current)});
                    return;
                }
                if (!response->result) {
                    completion({failure(kProfileSave, response->error.value_or(kProfileSaveMessage)),
                                std::move(current)});
                    return;
                }
                completion({Saved{}, std::move(current)});
            });
    });
}

void OrlinSyncService::getAccessCodeAndStuffFromOrlin(const BRSLoginCredentials& credentials,
                                                      AccessCompletion completion) const {
    if (credentials.harDomainToken()) {
        getAccessTokenFromDomainToken(transport_, configuration_.authBaseUrl(), *credentials.domainToken(),
                                      credentials.userName(), std::move(completion));
    } else if (!credentials.harToken()) {
        getAccessTokenFromCompatCredentials(credentials, std::move(completion));
    } else {
        getAccessTokenFromRefreshToken(*credentials.token(), std::move(completion));
    }
}

void OrlinSyncService::getAccessTokenFromRefreshToken(const QString& refreshToken,
                                                      AccessCompletion completion) const {
    using Grant = RefreshTokenExchanges::Grant;
    exchanges_->exchange(
        refreshToken,
        [transport = transport_, authBaseUrl = configuration_.authBaseUrl()](
            const QString& token, RefreshTokenExchanges::Completion done) {
            exchangeRefreshToken(
                transport, authBaseUrl, token, [done = std::move(done)](Result<Access> access) {
                    if (!access.ok()) {
                        done(access.error());
                        return;
                    }
                    const Access& granted = access.value();
                    done(Grant{granted.accessToken, granted.syncRoot,
                               granted.signIn.refreshToken.value_or(QString()), granted.signIn.userName});
                });
        },
        [completion = std::move(completion)](Result<Grant> grant) {
            if (!grant.ok()) {
                completion(grant.error());
                return;
            }
            const Grant& granted = grant.value();
            completion(Access{granted.accessToken, granted.syncRoot,
                              SignIn{granted.refreshToken, granted.userName}});
        });
}

void OrlinSyncService::exchangeRefreshToken(const ServiceTransport& transport, const QString& authBaseUrl,
                                            const QString& refreshToken, AccessCompletion completion) {
    const QString address = endpoint(authBaseUrl, QStringLiteral("OAuth/AuthorizeEmployee"),
                                     {{QStringLiteral("refreshToken"), refreshToken}});
    transport.getJSON(address, std::nullopt, [completion = std::move(completion)](Result<QByteArray> body) {
        const Result<QJsonObject> granted = grantAnswer(body, kRefreshExchange, kDataEmptyMessage);
        if (!granted.ok()) {
            completion(granted.error());
            return;
        }
        const QJsonObject& answer = granted.value();
        // A "data" that is not an object holds no token, like an empty one.
        const QJsonObject data = answer.value(QStringLiteral("data")).toObject();
        const Text newRefreshToken = textMember(data, QStringLiteral("RefreshToken"));
        if (!newRefreshToken) {
            completion(failure(kRefreshExchange, answerError(answer, kRefreshTokenEmptyMessage)));
            return;
        }
        const Text accessToken = textMember(data, QStringLiteral("AccessToken"));
        const Text syncRoot = textMember(data, QStringLiteral("SyncRoot"));
        const Text userName = textMember(data, QStringLiteral("UserName"));
        if (!accessToken || !syncRoot || !userName) {
            completion(failure(kRefreshExchange, answerError(answer, kIncompleteAnswerMessage)));
            return;
        }
        completion(Access{*accessToken, *syncRoot, SignIn{newRefreshToken, userName}});
    });
}

void OrlinSyncService::getAccessTokenFromDomainToken(const ServiceTransport& transport,
                                                     const QString& authBaseUrl, const QString& domainToken,
                                                     const Text& userName, AccessCompletion completion) {
    // Asking the service with an empty name could only fail, and with a less helpful message.
    if (!userName || userName->isEmpty()) {
        MainQueue::post([completion = std::move(completion),
                         error = failure(kDomainExchange, kMissingUserNameMessage)] { completion(error); });
        return;
    }
    const QString address =
        endpoint(authBaseUrl, QStringLiteral("OAuth/AuthorizeADEmployee"),
                 {{QStringLiteral("authToken"), domainToken}, {QStringLiteral("userName"), userName}});
    transport.getJSON(
        address, std::nullopt, [userName, completion = std::move(completion)](Result<QByteArray> body) {
            const Result<QJsonObject> granted = grantAnswer(body, kDomainExchange, QString());
            if (!granted.ok()) {
                completion(granted.error());
                return;
            }
            const QJsonObject& answer = granted.value();
            const QJsonObject data = answer.value(QStringLiteral("data")).toObject();
            const Text accessToken = textMember(data, QStringLiteral("AccessToken"));
            const Text syncRoot = textMember(data, QStringLiteral("SyncRoot"));
            if (!accessToken || !syncRoot) {
                completion(failure(kDomainExchange, answerError(answer, kIncompleteAnswerMessage)));
                return;
            }
            completion(Access{*accessToken, *syncRoot, SignIn{std::nullopt, userName}});
        });
}

QString OrlinSyncService::getCompatInvitationCodeUrl(const QString& baseUrl,
                                                     const BRSLoginCredentials& credentials) {
    return endpoint(baseUrl, QStringLiteral("RegApi/GetCompatInvitationCode"),
                    {{QStringLiteral("email"), credentials.userName().value_or(QString())},
                     {QStringLiteral("secret"), credentials.password().value_or(QString())}});
}

void OrlinSyncService::getAccessTokenFromCompatCredentials(const BRSLoginCredentials& credentials,
                                                           AccessCompletion completion) const {
    const QString fallbackAddress = getCompatInvitationCodeUrl(configuration_.appBaseUrl(), credentials);
    transport_.getJSON(
        getCompatInvitationCodeUrl(configuration_.euAppBaseUrl(), credentials), std::nullopt,
        [transport = transport_, authBaseUrl = configuration_.authBaseUrl(), fallbackAddress,
         completion = std::move(completion)](Result<QByteArray> body) {
            if (body.ok()) {
                getAccessTokenFromCombatInvitationCodeJson(transport, authBaseUrl, body.value(), completion);
                return;
            }
            // Only an unreachable EU host sends the user to the other one; whatever the EU host answered
            // is its verdict on the credentials.
            if (!isTransportFailure(body.error())) {
                completion(body.error());
                return;
            }
            transport.getJSON(fallbackAddress, std::nullopt,
                              [transport, authBaseUrl, completion](Result<QByteArray> secondBody) {
                                  if (!secondBody.ok()) {
                                      completion(secondBody.error());
                                      return;
                                  }
                                  getAccessTokenFromCombatInvitationCodeJson(transport, authBaseUrl,
                                                                             secondBody.value(), completion);
                              });
        });
}

void OrlinSyncService::getAccessTokenFromCombatInvitationCodeJson(const ServiceTransport& transport,
                                                                  const QString& authBaseUrl,
                                                                  const QByteArray& body,
                                                                  AccessCompletion completion) {
    const std::optional<QJsonObject> answer = JsonReader::membersFromData(body);
    if (!answer) {
        completion(failure(kInvitationCode, kInvitationCodeMessage));
        return;
    }
    const Text invitationCode = textMember(*answer, QStringLiteral("data"));
    if (!invitationCode) {
        completion(failure(kInvitationCode, kNoInvitationCodeMessage));
        return;
    }
    getRefreshTokenFromInvitationCode(
        transport, authBaseUrl, *invitationCode,
        [transport, authBaseUrl, completion = std::move(completion)](Result<QString> refreshToken) {
            if (!refreshToken.ok()) {
                completion(refreshToken.error());
                return;
            }
            exchangeRefreshToken(transport, authBaseUrl, refreshToken.value(), completion);
        });
}

void OrlinSyncService::getRefreshTokenFromInvitationCode(const ServiceTransport& transport,
                                                         const QString& authBaseUrl,
                                                         const QString& invitationCode,
                                                         RefreshTokenCompletion completion) {
    const QString address = endpoint(authBaseUrl, QStringLiteral("Invite/AutoInvite"),
                                     {{QStringLiteral("code"), invitationCode}});
    transport.getJSON(address, std::nullopt, [completion = std::move(completion)](Result<QByteArray> body) {
        if (!body.ok()) {
            completion(body.error());
            return;
        }
        const std::optional<QJsonObject> answer = JsonReader::membersFromData(body.value());
        if (!answer) {
            completion(failure(kInvitation, kRefreshCodeMessage));
            return;
        }
        const Text refreshToken = textMember(*answer, QStringLiteral("data"));
        if (!refreshToken) {
            completion(failure(kInvitation, kNoRefreshCodeMessage));
            return;
        }
        completion(*refreshToken);
    });
}
