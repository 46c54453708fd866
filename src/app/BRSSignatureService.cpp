#include "BRSSignatureService.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>

#include "AppInfo.h"
#include "AtomicFile.h"
#include "BRSLog.h"
#include "BRSSystemLog.h"
#include "Hashes.h"
#include "ImageReferences.h"
#include "OrlinSyncService.h"
#include "ServiceConfiguration.h"

namespace {

const QString kCacheSuffix = QStringLiteral(".brs");
// A name that cannot be a file name as it is (a "/" or NUL in it, or too long) gets a file ending in one of
// these instead. No "<name>.brs" ends this way, so such a file can never stand for another name, and the
// two forms cannot meet each other either.
const QByteArray kEscapedSuffix = QByteArrayLiteral(".brs-escaped");
const QByteArray kDigestSuffix = QByteArrayLiteral(".brs-digest");
constexpr qsizetype kMaxFileNameBytes = 255;

// "%", "/" and NUL written as %XX: one to one, and nothing left that the file system would split on.
QByteArray escapedName(const QByteArray& utf8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray escaped;
    escaped.reserve(utf8.size());
    for (const char byte : utf8) {
        if (byte == '%' || byte == '/' || byte == '\0') {
            escaped.append('%').append(kHex[uchar(byte) >> 4]).append(kHex[uchar(byte) & 0xF]);
        } else {
            escaped.append(byte);
        }
    }
    return escaped;
}

// The cache file of a signature name, always directly inside the cache folder. Names that make a file name
// keep "<name>.brs" exactly, so caches written before stay valid.
QString cacheFileName(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    if (!utf8.contains('/') && !utf8.contains('\0') &&
        utf8.size() + kCacheSuffix.size() <= kMaxFileNameBytes) {
        return name + kCacheSuffix;
    }
    const QByteArray escaped = escapedName(utf8);
    if (escaped.size() + kEscapedSuffix.size() <= kMaxFileNameBytes) {
        return QString::fromUtf8(escaped + kEscapedSuffix);
    }
    // Too long even so: a readable start, kept apart from other names by the digest of the whole name.
    const QByteArray tail = '~' + Hashes::sha256(name).toLatin1() + kDigestSuffix;
    qsizetype cut = kMaxFileNameBytes - tail.size();
    while (cut > 0 && (uchar(escaped.at(cut)) & 0xC0) == 0x80) {
        --cut;  // never split a character's UTF-8 bytes
    }
    return QString::fromUtf8(escaped.left(cut) + tail);
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
    const std::optional<QString> path = getPathForFile(cacheFileName(name));
    if (!path) {
        return false;
    }
    Error failure;
    if (AtomicFile::write(*path, content.toUtf8(), &failure)) {
        return true;
    }
    // The system log, not the agent's own log files, as for every failure of the cache.
    BRSSystemLog::report(QStringLiteral("writeToFile: %1").arg(failure.localizedDescription));
    if (error) {
        *error = std::move(failure);
    }
    return false;
}

std::optional<QString> BRSSignatureService::readContentsFromSignatureFile(const QString& name, Error* error) {
    const std::optional<QString> path = getPathForFile(cacheFileName(name));
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
