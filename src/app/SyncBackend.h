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
    std::function<BRSLoginCredentials()> getCredentials;
    // Stores a sign-in's token and user name; reached only through acceptSignIn.
    std::function<void(const OrlinSyncService::SignIn&)> storeSignIn;
    std::function<void(const BRSLoginCredentials&, BRSSignatureService::CheckCompletion)>
        checkForSignatureUpdates;
    std::function<void(const BRSLoginCredentials&, bool getOnlyChangedSignatures,
                       BRSSignatureService::UpdateCompletion)>
        getSignaturesForUpdate;
    // Keeps the digests of the signatures an update installed into every mail client.
    std::function<void(const QList<BRSSignatureService::CachedDigest>&)> cacheDigests;
    std::function<void(const BRSLoginCredentials&, OrlinSyncService::ProfileCompletion)> getProfile;
    std::function<void(const BRSLoginCredentials&, const ProfileUpdateModel&,
                       OrlinSyncService::SaveCompletion)>
        saveProfile;

    // Keeps what a flow's sign-in handed back, whatever became of the flow: the service may already have
    // revoked the token it replaced. A sign-in without a token (the service sent none) keeps ours.
    void acceptSignIn(const OrlinSyncService::SignIn& signIn) const;

    // The environment's defaults must outlive the backend.
    [[nodiscard]] static SyncBackend live(const Environment& environment);
};
