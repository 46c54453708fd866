#include "BRSSignatureService.h"

#include "OrlinSyncService.h"

Error BRSSignatureService::signaturesError() {
    return Error::serviceError(QStringLiteral("There was an error getting the signatures from Orlin."));
}

void BRSSignatureService::getSignaturesAsynchronous(const BRSLoginCredentials& credentials,
                                                    bool /*isUpdating*/, bool /*getOnlyChangedSignatures*/,
                                                    RetrievalCompletion completionHandler) {
    OrlinSyncService::getSignatures(credentials, [completionHandler = std::move(completionHandler)](
                                                     std::optional<QJsonObject> /*signatures*/, Text token,
                                                     Text userName, std::optional<Error> error) {
        // Reading the signature dictionary, and the cache it is compared with, is not part of this
        // version: an answer, whatever it holds, cannot be taken for installation yet.
        completionHandler(std::nullopt, false, std::move(token), std::move(userName),
                          error ? std::move(error) : signaturesError());
    });
}

void BRSSignatureService::checkForSignatureUpdatesAsynchronous(const BRSLoginCredentials& credentials,
                                                               CheckCompletion completionHandler) {
    getSignaturesAsynchronous(
        credentials, false, true,
        [completionHandler = std::move(completionHandler)](std::optional<QList<BRSSignature>> signatures,
                                                           bool /*clean*/, Text token, Text userName,
                                                           std::optional<Error> error) {
            if (error) {
                completionHandler(false, std::move(token), std::move(userName), std::move(error));
                return;
            }
            const bool available = signatures && !signatures->isEmpty();
            completionHandler(available, std::move(token), std::move(userName), std::nullopt);
        });
}
