#include "SyncBackend.h"

#include "BRSSettingsStorage.h"

SyncBackend SyncBackend::live() {
    SyncBackend backend;
    backend.getCredentials = [] { return BRSSettingsStorage().getCredentials(); };
    backend.setToken = [](const Text& token, const Text& userName) {
        BRSSettingsStorage().setToken(token, userName);
    };
    backend.checkForSignatureUpdates = [](const BRSLoginCredentials& credentials,
                                          BRSSignatureService::CheckCompletion completion) {
        BRSSignatureService().checkForSignatureUpdatesAsynchronous(credentials, std::move(completion));
    };
    backend.getSignaturesForUpdate = [](const BRSLoginCredentials& credentials, bool getOnlyChangedSignatures,
                                        BRSSignatureService::RetrievalCompletion completion) {
        BRSSignatureService().getSignaturesAsynchronous(credentials, true, getOnlyChangedSignatures,
                                                        std::move(completion));
    };
    backend.getProfile = &OrlinSyncService::getProfile;
    backend.saveProfile = &OrlinSyncService::saveProfile;
    return backend;
}
