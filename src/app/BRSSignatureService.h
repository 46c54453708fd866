#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

#include "BRSLoginCredentials.h"
#include "BRSSignature.h"
#include "Error.h"

// Fetches the user's signatures and tells which of them must be installed. Stateless: make one per call.
// Every call ends with exactly one call of its completion, on the main thread.
class BRSSignatureService final {
public:
    using Text = std::optional<QString>;
    using RetrievalCompletion = std::function<void(std::optional<QList<BRSSignature>> signatures, bool clean,
                                                   Text token, Text userName, std::optional<Error> error)>;
    using CheckCompletion =
        std::function<void(bool updatesAvailable, Text token, Text userName, std::optional<Error> error)>;

    void getSignaturesAsynchronous(const BRSLoginCredentials& credentials, bool isUpdating,
                                   bool getOnlyChangedSignatures, RetrievalCompletion completionHandler);
    void checkForSignatureUpdatesAsynchronous(const BRSLoginCredentials& credentials,
                                              CheckCompletion completionHandler);

    [[nodiscard]] static Error signaturesError();
};
