#include "BRSSignatureService.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSaveFile>

#include "AppInfo.h"
#include "BRSLog.h"
#include "BRSSystemLog.h"
#include "Hashes.h"
#include "ImageReferences.h"
#include "OrlinSyncService.h"
#include "ServiceConfiguration.h"

namespace {

const QString kCacheSuffix = QStringLiteral(".brs");

// Names come from the service: one that could address a file outside the cache folder is never used as a
// file name. It reads as not cached, so the signature simply counts as changed.
bool isSafeCacheName(const QString& name) {
    return !name.contains(QLatin1Char('/')) && !name.contains(QChar(u'\0')) && name != QLatin1String(".") &&
           name != QLatin1String("..");
}

QString textOrEmpty(const QJsonValue& value) {
    return value.isString() ? value.toString() : QString();
}

}  // namespace

BRSSignatureService::BRSSignatureService()
    : BRSSignatureService(&OrlinSyncService::getSignatures, QUrl(ServiceConfiguration::imageHostUrl())) {}

BRSSignatureService::BRSSignatureService(Fetch fetch, QUrl imageHost)
    : fetch_(std::move(fetch)), imageHost_(std::move(imageHost)) {}

Error BRSSignatureService::signaturesError() {
    return Error::serviceError(QStringLiteral("There was an error getting the signatures from Orlin."));
}

void BRSSignatureService::getSignaturesAsynchronous(const BRSLoginCredentials& credentials, bool isUpdating,
                                                    bool getOnlyChangedSignatures,
                                                    RetrievalCompletion completionHandler) {
    fetch_(credentials, [completionHandler = std::move(completionHandler), imageHost = imageHost_, isUpdating,
                         getOnlyChangedSignatures](std::optional<QJsonObject> answer, Text token,
                                                   Text userName, std::optional<Error> error) {
        if (error) {
            completionHandler(std::nullopt, false, std::move(token), std::move(userName), std::move(error));
            return;
        }
        if (!answer) {
            // Neither answer nor error: still end the call, or an update would wait for ever.
            completionHandler(std::nullopt, false, std::move(token), std::move(userName), signaturesError());
            return;
        }
        bool clean = false;
        QList<BRSSignature> signatures =
            signaturesFromAnswer(*answer, imageHost, isUpdating, getOnlyChangedSignatures, &clean);
        completionHandler(std::move(signatures), clean, std::move(token), std::move(userName), std::nullopt);
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
            completionHandler(signatures && !signatures->isEmpty(), std::move(token), std::move(userName),
                              std::nullopt);
        });
}

QList<BRSSignature> BRSSignatureService::signaturesFromAnswer(const QJsonObject& answer,
                                                              const QUrl& imageHost, bool isUpdating,
                                                              bool getOnlyChangedSignatures, bool* cleanOut) {
    const QJsonValue cleanValue = answer.value(QLatin1String("clean"));
    const bool clean =
        cleanValue.isBool() ? cleanValue.toBool() : (cleanValue.isDouble() && cleanValue.toDouble() != 0);
    if (cleanOut) {
        *cleanOut = clean;
    }
    const ImageReferences images(answer.value(QLatin1String("images")).toArray(), imageHost);

    QList<BRSSignature> taken;
    for (const QJsonValue& entry : answer.value(QLatin1String("signatures")).toArray()) {
        const QJsonObject signature = entry.toObject();
        const QString name = textOrEmpty(signature.value(QLatin1String("Name")));
        if (name.isEmpty()) {
            continue;
        }
        const QString originalHtml = textOrEmpty(signature.value(QLatin1String("HTML")));
        const QString text = textOrEmpty(signature.value(QLatin1String("Text")));
        BRSLogVerbose(u"Name: %@", name);
        BRSLogVerbose(u"HTML: %@", originalHtml);
        BRSLogVerbose(u"Text: %@", text);
        const QString html = images.rewrite(originalHtml);

        const QString digest = Hashes::sha1(html);
        const std::optional<QString> cached = readContentsFromSignatureFile(name);
        const bool take = !cached || *cached != digest || !getOnlyChangedSignatures || (clean && isUpdating);
        if (!take) {
            continue;
        }
        taken.append(BRSSignature(name, html, text));
        if (isUpdating) {
            writeContentsToFileForSignature(name, digest);
        }
    }
    return taken;
}

std::optional<QString> BRSSignatureService::getPathForFile(const QString& fileName) {
    const QString folder = AppInfo::applicationSupportDirectory();
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        return std::nullopt;
    }
    return folder + QLatin1Char('/') + fileName;
}

bool BRSSignatureService::writeContentsToFileForSignature(const QString& name, const QString& content,
                                                          Error* error) {
    const std::optional<QString> path = getPathForFile(name + kCacheSuffix);
    if (!path) {
        return false;
    }
    QString failure;
    if (!isSafeCacheName(name)) {
        failure = QStringLiteral("The signature name \"%1\" cannot be used as a file name.").arg(name);
    } else {
        QSaveFile file(*path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content.toUtf8()) < 0 || !file.commit()) {
            failure = file.errorString();
        }
    }
    if (failure.isEmpty()) {
        return true;
    }
    // The system log, not the agent's own log files, as for every failure of the cache.
    BRSSystemLog::report(QStringLiteral("writeToFile: %1").arg(failure));
    if (error) {
        *error = Error{QStringLiteral("NSCocoaErrorDomain"), 512, failure};
    }
    return false;
}

std::optional<QString> BRSSignatureService::readContentsFromSignatureFile(const QString& name, Error* error) {
    if (!isSafeCacheName(name)) {
        if (error) {
            *error =
                Error{QStringLiteral("NSCocoaErrorDomain"), 260,
                      QStringLiteral("The signature name \"%1\" cannot be used as a file name.").arg(name)};
        }
        return std::nullopt;
    }
    const std::optional<QString> path = getPathForFile(name + kCacheSuffix);
    if (!path) {
        return std::nullopt;
    }
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = Error{QStringLiteral("NSCocoaErrorDomain"), 260, file.errorString()};
        }
        return std::nullopt;
    }
    return QString::fromUtf8(file.readAll());
}
