#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "BRSLoginCredentials.h"
#include "Error.h"
#include "OrlinSyncService.h"
#include "ProfileUpdateModel.h"
#include "SyncBackend.h"

class WindowController;

// One opening of the profile editor: the profile fetched with the credentials of that moment, handed to
// the editor, and each save the editor sends made with those same credentials, its outcome reported to the
// user and to the editor. The session lives while a request or one of the editor's actions (save, try
// again) holds it; once its owner is gone, whatever still arrives is dropped.
class ProfileEditingSession final : public std::enable_shared_from_this<ProfileEditingSession> {
public:
    using Text = std::optional<QString>;

    // What the session works through, all of it living as long as `owner`.
    struct Context {
        QPointer<QObject> owner;
        SyncBackend* backend = nullptr;
        WindowController* editor = nullptr;
        std::function<void(const OrlinSyncService::SignIn&)> acceptSignIn;
        std::function<void(const Error&)> showAlert;
        // After a save the service accepted: the signatures made from the profile have changed now, not
        // at the next poll.
        std::function<void()> saved;
    };

    // Sends the profile request; returns at once.
    static void start(Context context, BRSLoginCredentials credentials);

private:
    ProfileEditingSession(Context context, BRSLoginCredentials credentials);

    void fetch();
    void profileFetched(OrlinSyncService::ProfileReply reply);
    void save(const ProfileUpdateModel& model);
    void saved(OrlinSyncService::SaveReply reply);
    // Keeps the sign-in any reply brings, then shows the alert for a failed one; true for a successful one.
    template <typename Reply>
    bool accept(const Reply& reply);

    Context context_;
    const BRSLoginCredentials credentials_;
};
