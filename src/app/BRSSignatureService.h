#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

#include "BRSLoginCredentials.h"
#include "BRSSignature.h"
#include "Error.h"
#include "OrlinSyncService.h"
#include "Result.h"
#include "SignaturesAnswer.h"

// Turns the service's signatures answer into the signatures to install: image references made absolute,
// each HTML body's digest compared with the local cache in the folder it is given. Stateless: make one
// per call. Every call ends
// with exactly one call of its completion, on the main thread.
//
// A check whose answer left nothing to install keeps the answer's validator beside the cache, bound to the
// image host and to the cache files as that check saw them, so the next check may be answered "not
// modified" without a download. Any other outcome, and an update, forgets it: a 304 must never stand for
// an answer that still has something to install.
class BRSSignatureService final {
public:
    // The digest a signature leaves in the cache, kept under its name.
    struct CachedDigest {
        QString name;
        QByteArray digest;
    };
    // What a check found: whether any signature differs from the digest cached for it.
    struct CheckOutcome {
        bool updatesAvailable = false;
    };
    // What an update retrieved. The digests are not cached yet: a signature counts as installed only once
    // every mail client has taken it, and only the update cycle knows that.
    struct UpdateOutcome {
        // A list without digests caches nothing.
        UpdateOutcome(QList<BRSSignature> signatures = {}, QList<QByteArray> digests = {}, bool clean = false)
            : signatures(std::move(signatures)), digests(std::move(digests)), clean(clean) {}

        // The digests of the signatures the `installed` flags (one per signature, in order) mark.
        [[nodiscard]] QList<CachedDigest> digestsOf(const QList<bool>& installed) const;

        QList<BRSSignature> signatures;
        // One per signature, in the same order.
        QList<QByteArray> digests;
        // The service asks for every other signature in the mail clients to go.
        bool clean = false;
    };
    using CheckReply = OrlinSyncService::Reply<CheckOutcome>;
    using UpdateReply = OrlinSyncService::Reply<UpdateOutcome>;
    using CheckCompletion = std::function<void(CheckReply)>;
    using UpdateCompletion = std::function<void(UpdateReply)>;
    using FetchCompletion = OrlinSyncService::SignaturesCompletion;
    // How the signatures answer is fetched: the service client's download, or a test's stand-in. With a
    // validator, the answer may be "not modified".
    using Fetch = std::function<void(const BRSLoginCredentials&,
                                     const std::optional<AnswerValidator>& ifChangedSince, FetchCompletion)>;

    BRSSignatureService(Fetch fetch, QUrl imageHost, QString cacheFolder);
    // Downloads through the service client.
    BRSSignatureService(OrlinSyncService service, QUrl imageHost, QString cacheFolder);

    void getSignaturesAsynchronous(const BRSLoginCredentials& credentials, bool isUpdating,
                                   bool getOnlyChangedSignatures, UpdateCompletion completionHandler);
    void checkForSignatureUpdatesAsynchronous(const BRSLoginCredentials& credentials,
                                              CheckCompletion completionHandler);

    // The signatures an answer's bytes stand for, with the cache consulted and, when updating, written as
    // if every one of them had been installed. An answer that is not a JSON object stands for none.
    [[nodiscard]] QList<BRSSignature> signaturesFromAnswer(QByteArray answerData, const QUrl& imageHost,
                                                           bool isUpdating, bool getOnlyChangedSignatures,
                                                           bool* clean = nullptr) const;

    // The local cache: one file per signature, holding the digest last taken for installation. It is
    // "<name>.brs" whenever that is a file name; any other name gets an escaped file of its own.
    [[nodiscard]] std::optional<QString> getPathForFile(const QString& fileName) const;
    // Keeps the digests of signatures that are installed now; a digest not written is logged and only
    // makes the next check report its signature again.
    void cacheDigests(const QList<CachedDigest>& digests) const;
    Result<void> writeContentsToFileForSignature(const QString& name, const QString& content) const;
    [[nodiscard]] Result<QString> readContentsFromSignatureFile(const QString& name) const;

    [[nodiscard]] static Error signaturesError();

private:
    // Why a cache file could not be reached at all: its folder is missing and cannot be made.
    [[nodiscard]] Error cacheFolderError() const;
    // The validator the last quiet check kept, when it still stands for the cache as it is now; a stale
    // one is forgotten.
    [[nodiscard]] static std::optional<AnswerValidator> rememberedValidator(const QString& cacheFolder,
                                                                            const QUrl& imageHost);
    static void rememberValidator(const QString& cacheFolder, const QUrl& imageHost,
                                  const AnswerValidator& validator);
    static void forgetValidator(const QString& cacheFolder);
    [[nodiscard]] static UpdateOutcome signaturesFromAnswer(const SignaturesAnswer& answer,
                                                            const QUrl& imageHost, const QString& cacheFolder,
                                                            bool isUpdating, bool getOnlyChangedSignatures);
    // What a check needs: whether any signature's digest differs from the cache. It stops at the first.
    [[nodiscard]] static bool anySignatureChanged(const SignaturesAnswer& answer, const QUrl& imageHost,
                                                  const QString& cacheFolder);

    Fetch fetch_;
    QUrl imageHost_;
    QString cacheFolder_;
};
