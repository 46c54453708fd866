#include "OrlinSyncService.h"

#include <QJsonValue>

#include "BRSUrlBuilder.h"
#include "JsonReader.h"
#include "MainQueue.h"
#include "ProfileGetResponse.h"
#include "ProfileUpdateResponse.h"
#include "ServiceConfiguration.h"
#include "ServiceTransport.h"
#include "UrlErrors.h"

namespace {
const QString kAccessTokenMessage = QStringLiteral("There was an error getting the access token from Orlin.");
const QString kDataEmptyMessage =
    QStringLiteral("There was an error getting the access token from Orlin. Data is empty.");
const QString kRefreshTokenEmptyMessage =
    QStringLiteral("There was an error getting the access token from Orlin. Referesh token is empty.");
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

using Text = std::optional<QString>;

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
}  // namespace

void OrlinSyncService::getSignatures(const BRSLoginCredentials& credentials,
                                     SignaturesCompletion completion) {
    getAccessCodeAndStuffFromOrlin(
        credentials, [completion = std::move(completion)](Text refreshToken, Text accessToken, Text syncRoot,
                                                          Text userName, std::optional<Error> error) {
            getAccessCodeCompletion(std::move(refreshToken), std::move(accessToken), std::move(syncRoot),
                                    std::move(userName), std::move(error), completion);
        });
}

void OrlinSyncService::getAccessCodeCompletion(Text refreshToken, Text accessToken, Text syncRoot,
                                               Text userName, std::optional<Error> error,
                                               SignaturesCompletion completion) {
    if (error || !accessToken || !syncRoot || !userName) {
        completion(std::nullopt, std::nullopt, std::nullopt, std::move(error));
        return;
    }
    getSignaturesWithAccessToken(std::move(refreshToken), *accessToken, *syncRoot, *userName,
                                 std::move(completion));
}

void OrlinSyncService::getSignaturesWithAccessToken(Text refreshToken, const QString& accessToken,
                                                    const QString& syncRoot, const QString& userName,
                                                    SignaturesCompletion completion) {
    ServiceTransport::getJSON(
        syncRoot + QStringLiteral("/sync3"), accessToken,
        [refreshToken = std::move(refreshToken), userName, completion = std::move(completion)](
            QByteArray body, std::optional<Error> error) {
            if (error) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::move(error));
                return;
            }
            // A top-level array parses, but holds no signature list; it is reported like a page that is
            // not JSON at all.
            std::optional<SignaturesAnswer> signatures = SignaturesAnswer::fromJsonData(std::move(body));
            if (!signatures) {
                completion(std::nullopt, refreshToken, userName, Error::serviceError(kSignaturesMessage));
                return;
            }
            completion(std::move(signatures), refreshToken, userName, std::nullopt);
        });
}

void OrlinSyncService::getProfile(const BRSLoginCredentials& credentials, ProfileCompletion completion) {
    getAccessCodeAndStuffFromOrlin(
        credentials, [completion = std::move(completion)](Text refreshToken, Text accessToken, Text syncRoot,
                                                          Text userName, std::optional<Error> error) {
            if (error || !accessToken || !syncRoot || !userName) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::move(error));
                return;
            }
            ServiceTransport::getJSON(
                *syncRoot + QStringLiteral("/api/5.0/profile"), accessToken,
                [refreshToken, userName, completion](QByteArray body, std::optional<Error> error) {
                    if (error) {
                        completion(std::nullopt, std::nullopt, std::nullopt, std::move(error));
                        return;
                    }
                    std::optional<ProfileGetResponse> response = ProfileGetResponse::fromJsonData(body);
                    if (!response) {
                        completion(std::nullopt, std::nullopt, std::nullopt,
                                   Error::serviceError(kProfileReadMessage));
                        return;
                    }
                    // The service's "result" has been seen to disagree with its "error"; the error text is
                    // what the user needs to read, so it decides.
                    if (response->error) {
                        completion(std::nullopt, std::nullopt, std::nullopt,
                                   Error::serviceError(*response->error));
                        return;
                    }
                    completion(std::move(response->data), refreshToken, userName, std::nullopt);
                });
        });
}

void OrlinSyncService::saveProfile(const BRSLoginCredentials& credentials,
                                   const ProfileUpdateModel& profileModel, SaveCompletion completion) {
    getAccessCodeAndStuffFromOrlin(credentials, [body = profileModel.toJsonData(),
                                                 completion = std::move(completion)](
                                                    Text refreshToken, Text accessToken, Text syncRoot,
                                                    Text userName, std::optional<Error> error) {
        if (error || !accessToken || !syncRoot || !userName) {
            completion(std::nullopt, std::nullopt, std::move(error));
            return;
        }
        Error addressError;
        const std::optional<QNetworkRequest> request = ServiceTransport::requestFor(
            *syncRoot + QStringLiteral("/api/5.0/profile"), accessToken, &addressError);
        if (!request) {
            MainQueue::post(
                [completion, addressError] { completion(std::nullopt, std::nullopt, addressError); });
            return;
        }
        ServiceTransport::postJSON(
            *request, body,
            [refreshToken, userName, completion](QByteArray answer, std::optional<Error> error) {
                if (error) {
                    completion(std::nullopt, std::nullopt, Error::serviceError(error->localizedDescription));
                    return;
                }
                const std::optional<ProfileUpdateResponse> response =
                    ProfileUpdateResponse::fromJsonData(answer);
                if (!response) {
                    completion(std::nullopt, std::nullopt, Error::serviceError(kProfileSaveMessage));
                    return;
                }
                if (!response->result) {
                    completion(std::nullopt, std::nullopt,
                               Error::serviceError(response->error.value_or(kProfileSaveMessage)));
                    return;
                }
                completion(refreshToken, userName, std::nullopt);
            });
    });
}

void OrlinSyncService::getAccessCodeAndStuffFromOrlin(const BRSLoginCredentials& credentials,
                                                      TokenCompletion completion) {
    if (credentials.harDomainToken()) {
        getAccessTokenFromDomainToken(*credentials.domainToken(), credentials.userName(),
                                      std::move(completion));
    } else if (!credentials.harToken()) {
        getAccessTokenFromCompatCredentials(credentials, std::move(completion));
    } else {
        getAccessTokenFromRefreshToken(*credentials.token(), std::move(completion));
    }
}

void OrlinSyncService::getAccessTokenFromRefreshToken(const QString& refreshToken,
                                                      TokenCompletion completion) {
    const QString address =
        endpoint(ServiceConfiguration::authBaseUrl(), QStringLiteral("OAuth/AuthorizeEmployee"),
                 {{QStringLiteral("refreshToken"), refreshToken}});
    ServiceTransport::getJSON(
        address, std::nullopt,
        [completion = std::move(completion)](QByteArray body, std::optional<Error> error) {
            if (error) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::move(error));
                return;
            }
            const auto fail = [&completion](const QString& message) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           Error::serviceError(message));
            };
            const std::optional<QJsonObject> answer = JsonReader::membersFromData(body);
            if (!answer) {
                fail(kAccessTokenMessage);
                return;
            }
            if (!answer->contains(QStringLiteral("data")) || !isTrue(*answer)) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           answerError(*answer, kDataEmptyMessage));
                return;
            }
            // A "data" that is not an object holds no token, like an empty one.
            const QJsonObject data = answer->value(QStringLiteral("data")).toObject();
            const Text newRefreshToken = textMember(data, QStringLiteral("RefreshToken"));
            if (!newRefreshToken) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           answerError(*answer, kRefreshTokenEmptyMessage));
                return;
            }
            const Text accessToken = textMember(data, QStringLiteral("AccessToken"));
            const Text syncRoot = textMember(data, QStringLiteral("SyncRoot"));
            const Text userName = textMember(data, QStringLiteral("UserName"));
            if (!accessToken || !syncRoot || !userName) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           answerError(*answer, kIncompleteAnswerMessage));
                return;
            }
            completion(newRefreshToken, accessToken, syncRoot, userName, std::nullopt);
        });
}

void OrlinSyncService::getAccessTokenFromDomainToken(const QString& domainToken, const Text& userName,
                                                     TokenCompletion completion) {
    // Asking the service with an empty name could only fail, and with a less helpful message.
    if (!userName || userName->isEmpty()) {
        MainQueue::post([completion = std::move(completion)] {
            completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                       Error::serviceError(kMissingUserNameMessage));
        });
        return;
    }
    const QString address =
        endpoint(ServiceConfiguration::authBaseUrl(), QStringLiteral("OAuth/AuthorizeADEmployee"),
                 {{QStringLiteral("authToken"), domainToken}, {QStringLiteral("userName"), userName}});
    ServiceTransport::getJSON(
        address, std::nullopt,
        [userName, completion = std::move(completion)](QByteArray body, std::optional<Error> error) {
            if (error) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::move(error));
                return;
            }
            const std::optional<QJsonObject> answer = JsonReader::membersFromData(body);
            if (!answer) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           Error::serviceError(kAccessTokenMessage));
                return;
            }
            if (!answer->contains(QStringLiteral("data")) || !isTrue(*answer)) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           answerError(*answer, QString()));
                return;
            }
            const QJsonObject data = answer->value(QStringLiteral("data")).toObject();
            const Text accessToken = textMember(data, QStringLiteral("AccessToken"));
            const Text syncRoot = textMember(data, QStringLiteral("SyncRoot"));
            if (!accessToken || !syncRoot) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           answerError(*answer, kIncompleteAnswerMessage));
                return;
            }
            completion(std::nullopt, accessToken, syncRoot, userName, std::nullopt);
        });
}

QString OrlinSyncService::getCompatInvitationCodeUrl(const QString& baseUrl,
                                                     const BRSLoginCredentials& credentials) {
    return endpoint(baseUrl, QStringLiteral("RegApi/GetCompatInvitationCode"),
                    {{QStringLiteral("email"), credentials.userName().value_or(QString())},
                     {QStringLiteral("secret"), credentials.password().value_or(QString())}});
}

void OrlinSyncService::getAccessTokenFromCompatCredentials(const BRSLoginCredentials& credentials,
                                                           TokenCompletion completion) {
    const QString fallbackAddress =
        getCompatInvitationCodeUrl(ServiceConfiguration::appBaseUrl(), credentials);
    ServiceTransport::getJSON(
        getCompatInvitationCodeUrl(ServiceConfiguration::euAppBaseUrl(), credentials), std::nullopt,
        [fallbackAddress, completion = std::move(completion)](QByteArray body, std::optional<Error> error) {
            if (!error) {
                getAccessTokenFromCombatInvitationCodeJson(body, completion);
                return;
            }
            // Only an unreachable EU host sends the user to the other one; whatever the EU host answered
            // is its verdict on the credentials.
            if (!isTransportFailure(*error)) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::move(error));
                return;
            }
            ServiceTransport::getJSON(fallbackAddress, std::nullopt,
                                      [completion](QByteArray secondBody, std::optional<Error> secondError) {
                                          if (secondError) {
                                              completion(std::nullopt, std::nullopt, std::nullopt,
                                                         std::nullopt, std::move(secondError));
                                              return;
                                          }
                                          getAccessTokenFromCombatInvitationCodeJson(secondBody, completion);
                                      });
        });
}

void OrlinSyncService::getAccessTokenFromCombatInvitationCodeJson(const QByteArray& body,
                                                                  TokenCompletion completion) {
    const auto fail = [&completion](const QString& message) {
        completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt, Error::serviceError(message));
    };
    const std::optional<QJsonObject> answer = JsonReader::membersFromData(body);
    if (!answer) {
        fail(kInvitationCodeMessage);
        return;
    }
    const Text invitationCode = textMember(*answer, QStringLiteral("data"));
    if (!invitationCode) {
        fail(kNoInvitationCodeMessage);
        return;
    }
    getRefreshTokenFromInvitationCode(
        *invitationCode, [completion = std::move(completion)](Text refreshToken, std::optional<Error> error) {
            if (error || !refreshToken) {
                completion(std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                           error ? std::move(error) : Error::serviceError(kNoRefreshCodeMessage));
                return;
            }
            getAccessTokenFromRefreshToken(*refreshToken, completion);
        });
}

void OrlinSyncService::getRefreshTokenFromInvitationCode(const QString& invitationCode,
                                                         RefreshTokenCompletion completion) {
    const QString address = endpoint(ServiceConfiguration::authBaseUrl(), QStringLiteral("Invite/AutoInvite"),
                                     {{QStringLiteral("code"), invitationCode}});
    ServiceTransport::getJSON(
        address, std::nullopt,
        [completion = std::move(completion)](QByteArray body, std::optional<Error> error) {
            if (error) {
                completion(std::nullopt, std::move(error));
                return;
            }
            const std::optional<QJsonObject> answer = JsonReader::membersFromData(body);
            if (!answer) {
                completion(std::nullopt, Error::serviceError(kRefreshCodeMessage));
                return;
            }
            const Text refreshToken = textMember(*answer, QStringLiteral("data"));
            if (!refreshToken) {
                completion(std::nullopt, Error::serviceError(kNoRefreshCodeMessage));
                return;
            }
            completion(refreshToken, std::nullopt);
        });
}
