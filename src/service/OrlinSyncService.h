#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>
#include <optional>

#include "BRSLoginCredentials.h"
#include "Error.h"
#include "ProfileGetModel.h"
#include "ProfileUpdateModel.h"

// The Orlin service's HTTPS interface. Every operation returns at once and calls its completion exactly
// once, on the main queue.
//
// This build has no transport yet: every operation completes with a service error that says so, so
// callers take their ordinary failure paths.
class OrlinSyncService final {
public:
    using Text = std::optional<QString>;
    using SignaturesCompletion = std::function<void(std::optional<QJsonObject> signatures, Text token,
                                                    Text userName, std::optional<Error>)>;
    using ProfileCompletion = std::function<void(std::optional<ProfileGetModel> profile, Text token,
                                                 Text userName, std::optional<Error>)>;
    using SaveCompletion = std::function<void(Text token, Text userName, std::optional<Error>)>;

    OrlinSyncService() = delete;

    static void getSignatures(const BRSLoginCredentials& credentials, SignaturesCompletion completion);
    static void getProfile(const BRSLoginCredentials& credentials, ProfileCompletion completion);
    static void saveProfile(const BRSLoginCredentials& credentials, const ProfileUpdateModel& profileModel,
                            SaveCompletion completion);

    [[nodiscard]] static Error notConnectedError();
};
