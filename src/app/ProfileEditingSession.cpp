#include "ProfileEditingSession.h"

#include "WindowController.h"

ProfileEditingSession::ProfileEditingSession(Context context, BRSLoginCredentials credentials)
    : context_(std::move(context)), credentials_(std::move(credentials)) {}

void ProfileEditingSession::start(Context context, BRSLoginCredentials credentials) {
    std::shared_ptr<ProfileEditingSession> session(
        new ProfileEditingSession(std::move(context), std::move(credentials)));
    session->fetch();
}

void ProfileEditingSession::fetch() {
    context_.backend->getProfile(credentials_,
                                 [self = shared_from_this()](OrlinSyncService::ProfileReply reply) {
                                     if (self->context_.owner) {
                                         self->profileFetched(std::move(reply));
                                     }
                                 });
}

template <typename Reply>
bool ProfileEditingSession::accept(const Reply& reply) {
    // A reply that failed after signing in still brings the rotated token, and the old one may be revoked.
    context_.acceptSignIn(reply.signIn);
    if (!reply.result.ok()) {
        context_.showAlert(reply.result.error());
        return false;
    }
    return true;
}

void ProfileEditingSession::profileFetched(OrlinSyncService::ProfileReply reply) {
    if (!accept(reply)) {
        // An empty form would look like a profile with nothing in it, and saving it would send nothing.
        context_.editor->setLoadFailure(reply.result.error().localizedDescription,
                                        [self = shared_from_this()] {
                                            if (self->context_.owner) {
                                                self->fetch();
                                            }
                                        });
        return;
    }
    context_.editor->setFields(reply.result.value(),
                               [self = shared_from_this()](const ProfileUpdateModel& model) {
                                   if (self->context_.owner) {
                                       self->save(model);
                                   }
                               });
}

void ProfileEditingSession::save(const ProfileUpdateModel& model) {
    context_.backend->saveProfile(credentials_, model,
                                  [self = shared_from_this()](OrlinSyncService::SaveReply reply) {
                                      if (self->context_.owner) {
                                          self->saved(std::move(reply));
                                      }
                                  });
}

void ProfileEditingSession::saved(OrlinSyncService::SaveReply reply) {
    const bool ok = accept(reply);
    context_.editor->setSaveFinished(ok);
    if (ok && context_.saved) {
        context_.saved();
    }
}
