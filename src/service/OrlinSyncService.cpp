#include "OrlinSyncService.h"

#include "MainQueue.h"

Error OrlinSyncService::notConnectedError() {
    return Error::serviceError(
        QStringLiteral("This version of Orlin cannot connect to the Orlin service yet."));
}

void OrlinSyncService::getSignatures(const BRSLoginCredentials& /*credentials*/,
                                     SignaturesCompletion completion) {
    MainQueue::post([completion = std::move(completion)] {
        completion(std::nullopt, std::nullopt, std::nullopt, notConnectedError());
    });
}

void OrlinSyncService::getProfile(const BRSLoginCredentials& /*credentials*/, ProfileCompletion completion) {
    MainQueue::post([completion = std::move(completion)] {
        completion(std::nullopt, std::nullopt, std::nullopt, notConnectedError());
    });
}

void OrlinSyncService::saveProfile(const BRSLoginCredentials& /*credentials*/,
                                   const ProfileUpdateModel& /*profileModel*/, SaveCompletion completion) {
    MainQueue::post([completion = std::move(completion)] {
        completion(std::nullopt, std::nullopt, notConnectedError());
    });
}
