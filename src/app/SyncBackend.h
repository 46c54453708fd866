#pragma once

#include <functional>

#include "BRSLoginCredentials.h"
#include "BRSSignatureService.h"
#include "OrlinSyncService.h"

// The controller's way to the credentials and the service. Each member is one call of the stores or the
// service client; `live()` wires the real ones, with the service's addresses as the environment's defaults
// name them then, and tests swap in their own.
struct Environment;

struct SyncBackend {
    using Text = std::optional<QString>;

    std::function<BRSLoginCredentials()> getCredentials;
    std::function<void(const Text& token, const Text& userName)> setToken;
    std::function<void(const BRSLoginCredentials&, BRSSignatureService::CheckCompletion)>
        checkForSignatureUpdates;
    std::function<void(const BRSLoginCredentials&, bool getOnlyChangedSignatures,
                       BRSSignatureService::RetrievalCompletion)>
        getSignaturesForUpdate;
    // Keeps the digests of the signatures an update installed into every mail client.
    std::function<void(const QList<BRSSignatureService::CachedDigest>&)> cacheDigests;
    std::function<void(const BRSLoginCredentials&, OrlinSyncService::ProfileCompletion)> getProfile;
    std::function<void(const BRSLoginCredentials&, const ProfileUpdateModel&,
                       OrlinSyncService::SaveCompletion)>
        saveProfile;

    // The environment's defaults must outlive the backend.
    [[nodiscard]] static SyncBackend live(const Environment& environment);
};
