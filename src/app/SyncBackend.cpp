#include "SyncBackend.h"

#include "BRSSettingsStorage.h"
#include "ServiceConfiguration.h"
#include "UserDefaults.h"

SyncBackend SyncBackend::live() {
    const ServiceConfiguration configuration =
        ServiceConfiguration::fromDefaults(UserDefaults::standardUserDefaults());
    const OrlinSyncService service(configuration);
    const QUrl imageHost(configuration.imageHostUrl());
    SyncBackend backend;
    backend.getCredentials = [] { return BRSSettingsStorage().getCredentials(); };
    backend.setToken = [](const Text& token, const Text& userName) {
        BRSSettingsStorage().setToken(token, userName);
    };
    backend.checkForSignatureUpdates = [service, imageHost](const BRSLoginCredentials& credentials,
                                                            BRSSignatureService::CheckCompletion completion) {
        BRSSignatureService(service, imageHost)
            .checkForSignatureUpdatesAsynchronous(credentials, std::move(completion));
    };
    backend.getSignaturesForUpdate = [service, imageHost](
                                         const BRSLoginCredentials& credentials,
                                         bool getOnlyChangedSignatures,
                                         BRSSignatureService::RetrievalCompletion completion) {
        BRSSignatureService(service, imageHost)
            .getSignaturesAsynchronous(credentials, true, getOnlyChangedSignatures, std::move(completion));
    };
    backend.getProfile = [service](const BRSLoginCredentials& credentials,
                                   OrlinSyncService::ProfileCompletion completion) {
        service.getProfile(credentials, std::move(completion));
    };
    backend.saveProfile = [service](const BRSLoginCredentials& credentials, const ProfileUpdateModel& model,
                                    OrlinSyncService::SaveCompletion completion) {
        service.saveProfile(credentials, model, std::move(completion));
    };
    return backend;
}
