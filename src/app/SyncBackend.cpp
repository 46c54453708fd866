#include "SyncBackend.h"

#include "BRSLog.h"
#include "BRSSettingsStorage.h"
#include "Environment.h"
#include "MailSignatureRecord.h"
#include "PreferencesStorage.h"
#include "ServiceConfiguration.h"
#include "UserDefaults.h"

namespace {

// Whether Apple Mail's copy of a signature Orlin installed there no longer holds what Orlin wrote. Nothing
// is compared while the administrator turned repairs off or Orlin does not serve Mail: an update would
// not rewrite Mail's files then, and the check would report the same change for ever.
bool mailSignaturesDrifted(UserDefaults& defaults, const QString& dataFolder) {
    const Preferences preferences = PreferencesStorage(defaults).getPreferences();
    if (!preferences.repairInstalledSignatures() || !preferences.updateSignaturesForMail()) {
        return false;
    }
    const QStringList drifted = MailSignatureRecord(MailSignatureRecord::pathIn(dataFolder)).drifted();
    if (drifted.isEmpty()) {
        return false;
    }
    BRSLogInfo(u"Apple Mail no longer holds the signatures Orlin installed as %@; they count as changed.",
               QStringLiteral("'%1'").arg(drifted.join(QStringLiteral("', '"))));
    return true;
}

}  // namespace

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
    backend.checkForSignatureUpdates = [service, imageHost, cacheFolder, &defaults](
                                           const BRSLoginCredentials& credentials,
                                           BRSSignatureService::CheckCompletion completion) {
        BRSSignatureService(service, imageHost, cacheFolder)
            .checkForSignatureUpdatesAsynchronous(
                credentials, [completion = std::move(completion), cacheFolder,
                              &defaults](BRSSignatureService::CheckReply reply) {
                    // Mail is looked at only when the service has nothing new: an update then rewrites
                    // every signature anyway. A failed check stays a failure.
                    if (reply.result && !reply.result.value().updatesAvailable &&
                        mailSignaturesDrifted(defaults, cacheFolder)) {
                        reply.result.value().updatesAvailable = true;
                    }
                    completion(std::move(reply));
                });
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
