#include "SyncBackend.h"

#include "BRSLog.h"
#include "BRSSettingsStorage.h"
#include "Environment.h"
#include "ServiceConfiguration.h"
#include "UserDefaults.h"

void SyncBackend::acceptSignIn(const OrlinSyncService::SignIn& signIn) const {
    if (signIn.refreshToken && !signIn.refreshToken->isEmpty()) {
        storeSignIn(signIn);
    }
}

SyncBackend SyncBackend::live(const Environment& environment) {
    UserDefaults& defaults = environment.defaults();
    const ServiceConfiguration configuration = ServiceConfiguration::fromDefaults(defaults);
    const OrlinSyncService service(configuration);
    const QUrl imageHost(configuration.imageHostUrl());
    const QString cacheFolder = environment.folders.applicationSupport;
    SyncBackend backend;
    backend.getCredentials = [&defaults] { return BRSSettingsStorage(defaults).getCredentials(); };
    // Two flows of this agent may finish out of order; only the newest token of the series stays valid.
    // A token the user entered while a flow ran is not of that series, and stays.
    backend.storeSignIn = [&defaults, service](const OrlinSyncService::SignIn& signIn) {
        using Text = OrlinSyncService::Text;
        BRSSettingsStorage storage(defaults);
        const Text newest = service.newestRefreshToken(signIn.refreshToken);
        const Text stored = storage.getCredentials().token();
        if (newest && stored && !stored->isEmpty() && !service.mayReplace(*stored, *newest)) {
            BRSLogInfo(u"%@", QStringLiteral("A token entered while Orlin was signing in was kept."));
            return;
        }
        storage.setToken(newest, signIn.userName);
    };
    backend.checkForSignatureUpdates = [service, imageHost, cacheFolder](
                                           const BRSLoginCredentials& credentials,
                                           BRSSignatureService::CheckCompletion completion) {
        BRSSignatureService(service, imageHost, cacheFolder)
            .checkForSignatureUpdatesAsynchronous(credentials, std::move(completion));
    };
    backend.getSignaturesForUpdate = [service, imageHost, cacheFolder](
                                         const BRSLoginCredentials& credentials,
                                         bool getOnlyChangedSignatures,
                                         BRSSignatureService::UpdateCompletion completion) {
        BRSSignatureService(service, imageHost, cacheFolder)
            .getSignaturesAsynchronous(credentials, true, getOnlyChangedSignatures, std::move(completion));
    };
    backend.cacheDigests = [service, imageHost,
                            cacheFolder](const QList<BRSSignatureService::CachedDigest>& digests) {
        BRSSignatureService(service, imageHost, cacheFolder).cacheDigests(digests);
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
