#include "BRSSignatureService.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>

#include "AtomicFile.h"
#include "BRSLog.h"
#include "BRSSystemLog.h"
#include "FileContents.h"
#include "Hashes.h"
#include "ImageReferences.h"

namespace {

const QString kCacheSuffix = QStringLiteral(".brs");
// A name that cannot be a file name as it is (a "/" or NUL in it, or too long) gets a file ending in one of
// these instead. No "<name>.brs" ends this way, so such a file can never stand for another name, and the
// two forms cannot meet each other either.
const QByteArray kEscapedSuffix = QByteArrayLiteral(".brs-escaped");
const QByteArray kDigestSuffix = QByteArrayLiteral(".brs-digest");
constexpr qsizetype kMaxFileNameBytes = 255;
// Beside the digests, under a name no signature's cache file can have (they all end in ".brs…").
const QString kValidatorFileName = QStringLiteral("signatures-answer.validator");
constexpr qsizetype kMaxValidatorFileBytes = 8 * 1024;

// The name as UTF-8 with "%", "/" and NUL written as %XX, and each lone surrogate as "%uXXXX": it has no
// UTF-8 form, and the conversion would turn every one into the same character, so "\ud800x" and "\ud801x"
// shared one cache file and neither ever settled. One to one, and nothing left that the file system would
// split on.
QByteArray escapedName(const QString& name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray escaped;
    escaped.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name.at(i).unicode();
        const bool pair =
            QChar::isHighSurrogate(unit) && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        if (QChar::isSurrogate(unit) && !pair) {
            escaped.append("%u");
            for (int shift = 12; shift >= 0; shift -= 4) {
                escaped.append(kHex[(unit >> shift) & 0xF]);
            }
            continue;
        }
        const QByteArray utf8 = QStringView(name).mid(i, pair ? 2 : 1).toUtf8();
        i += pair ? 1 : 0;
        for (const char byte : utf8) {
            if (byte == '%' || byte == '/' || byte == '\0') {
                escaped.append('%').append(kHex[uchar(byte) >> 4]).append(kHex[uchar(byte) & 0xF]);
            } else {
                escaped.append(byte);
            }
        }
    }
    return escaped;
}

// The cache file of a signature name, always directly inside the cache folder. Names that make a file name
// keep "<name>.brs" exactly, so caches written before stay valid.
QString cacheFileName(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    const bool lossless = QString::fromUtf8(utf8) == name;
    if (lossless && !utf8.contains('/') && !utf8.contains('\0') &&
        utf8.size() + kCacheSuffix.size() <= kMaxFileNameBytes) {
        return name + kCacheSuffix;
    }
    const QByteArray escaped = escapedName(name);
    if (escaped.size() + kEscapedSuffix.size() <= kMaxFileNameBytes) {
        return QString::fromUtf8(escaped + kEscapedSuffix);
    }
    // Too long even so: a readable start, kept apart from other names by the digest of the whole name
    // (of its escaped form when UTF-8 would lose its lone surrogates).
    const QByteArray tail =
        '~' + Hashes::sha256(lossless ? name : QString::fromUtf8(escaped)).toLatin1() + kDigestSuffix;
    qsizetype cut = kMaxFileNameBytes - tail.size();
    while (cut > 0 && (uchar(escaped.at(cut)) & 0xC0) == 0x80) {
        --cut;  // never split a character's UTF-8 bytes
    }
    return QString::fromUtf8(escaped.left(cut) + tail);
}

// The cache folder, made when missing; nothing when it cannot be.
std::optional<QString> cacheFolder(const QString& folder) {
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        BRSLogWarn(u"The signature cache folder \"%@\" cannot be made; every signature counts as changed.",
                   folder);
        return std::nullopt;
    }
    return folder;
}

// A cached digest; one byte more than a digest is enough to tell any longer file from it. Nothing when
// there is none, which makes its signature count as changed.
std::optional<QByteArray> readDigest(const QString& path) {
    Result<QByteArray> digest = FileContents::read(path, 41);
    if (digest.ok()) {
        return std::move(digest).value();
    }
    // A signature seen for the first time has no cached digest; anything else is worth a line.
    if (digest.error().code != ENOENT) {
        BRSLogWarn(u"The cached digest \"%@\" cannot be read, so its signature counts as changed: %@", path,
                   digest.error().localizedDescription);
    }
    return std::nullopt;
}

Result<void> writeCacheFile(const QString& path, const QByteArray& content) {
    Result<void> written = AtomicFile::write(path, content);
    if (!written.ok()) {
        // The system log keeps the line it has always had; the agent's own log gets the whole path.
        BRSSystemLog::report(QStringLiteral("writeToFile: %1").arg(written.error().localizedDescription));
    }
    return written;
}

struct Visited {
    QString name;
    QByteArray html;
    QByteArrayView text;
    QByteArray digest;
    std::optional<QByteArray> cached;
};

// Every named signature of an answer with its rewritten body, that body's digest and the digest cached
// for its name, in answer order, until `visit` answers false. The cache folder is found once. A check logs
// the texts of new and changed signatures only: every signature on every check filled the rolling log
// with the same megabytes every few minutes and pushed out everything worth reading.
template <typename Visit>
void eachSignature(const SignaturesAnswer& answer, const QUrl& imageHost, const QString& cacheFolderPath,
                   bool logEverySignature, Visit visit) {
    const ImageReferences images(answer.images(), imageHost);
    const std::optional<QString> folder = cacheFolder(cacheFolderPath);
    answer.visitSignatures([&](const SignaturesAnswer::Texts& signature) {
        if (signature.name.isEmpty()) {
            return true;
        }
        Visited visited{signature.name, images.rewrite(signature.html), signature.text, {}, {}};
        visited.digest = Hashes::sha1OfUtf8(visited.html);
        if (folder) {
            visited.cached = readDigest(*folder + QLatin1Char('/') + cacheFileName(visited.name));
        }
        if (logEverySignature || !visited.cached || *visited.cached != visited.digest) {
            BRSLogVerbose(u"Name: %@", signature.name);
            BRSLogVerbose(u"HTML: %@", QString::fromUtf8(signature.html));
            BRSLogVerbose(u"Text: %@", QString::fromUtf8(signature.text));
        }
        return visit(visited);
    });
}

// What the cache files are now: names, sizes and times. Any digest written, removed or added since changes
// it, and with it what a kept validator may stand for. A listing, not a read of every file.
QByteArray cacheFingerprint(const QString& folder) {
    const QFileInfoList files = QDir(folder).entryInfoList(
        {QStringLiteral("*") + kCacheSuffix, QStringLiteral("*") + QString::fromLatin1(kEscapedSuffix),
         QStringLiteral("*") + QString::fromLatin1(kDigestSuffix)},
        QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    QByteArray listing;
    for (const QFileInfo& file : files) {
        listing += file.fileName().toUtf8() + '\0' + QByteArray::number(file.size()) + '\0' +
                   QByteArray::number(file.lastModified().toMSecsSinceEpoch()) + '\n';
    }
    return Hashes::sha1OfUtf8(listing);
}

}  // namespace

BRSSignatureService::BRSSignatureService(OrlinSyncService service, QUrl imageHost, QString cacheFolder)
    : BRSSignatureService(
          [service = std::move(service)](const BRSLoginCredentials& credentials,
                                         const std::optional<AnswerValidator>& ifChangedSince,
                                         FetchCompletion completion) {
              service.getSignatures(credentials, std::move(completion), ifChangedSince);
          },
          std::move(imageHost), std::move(cacheFolder)) {}

BRSSignatureService::BRSSignatureService(Fetch fetch, QUrl imageHost, QString cacheFolder)
    : fetch_(std::move(fetch)), imageHost_(std::move(imageHost)), cacheFolder_(std::move(cacheFolder)) {}

Error BRSSignatureService::signaturesError() {
    return Error::serviceError(QStringLiteral("There was an error getting the signatures from Orlin."));
}

void BRSSignatureService::getSignaturesAsynchronous(const BRSLoginCredentials& credentials, bool isUpdating,
                                                    bool getOnlyChangedSignatures,
                                                    UpdateCompletion completionHandler) {
    // What is installed next is whatever this download brings, so no earlier answer's validator stands for
    // it any longer; and an update always takes the whole answer.
    forgetValidator(cacheFolder_);
    fetch_(
        credentials, std::nullopt,
        [completionHandler = std::move(completionHandler), imageHost = imageHost_, cacheFolder = cacheFolder_,
         isUpdating, getOnlyChangedSignatures](OrlinSyncService::SignaturesReply reply) {
            if (!reply.result.ok()) {
                completionHandler({reply.result.error(), std::move(reply.signIn)});
                return;
            }
            auto* whole = std::get_if<SignaturesAnswer>(&reply.result.value());
            if (!whole) {
                BRSLogWarn(u"The signatures download was answered \"not modified\" without being asked so.");
                completionHandler({signaturesError(), std::move(reply.signIn)});
                return;
            }
            std::optional<SignaturesAnswer> answer = std::move(*whole);
            UpdateOutcome retrieved =
                signaturesFromAnswer(*answer, imageHost, cacheFolder, isUpdating, getOnlyChangedSignatures);
            // Gone before the completion runs, so that its tens of megabytes are back with the system by
            // then.
            answer.reset();
            completionHandler({std::move(retrieved), std::move(reply.signIn)});
        });
}

void BRSSignatureService::checkForSignatureUpdatesAsynchronous(const BRSLoginCredentials& credentials,
                                                               CheckCompletion completionHandler) {
    std::optional<AnswerValidator> validator = rememberedValidator(cacheFolder_, imageHost_);
    const bool conditional = validator.has_value();
    fetch_(
        credentials, validator,
        [completionHandler = std::move(completionHandler), imageHost = imageHost_, cacheFolder = cacheFolder_,
         conditional](OrlinSyncService::SignaturesReply reply) {
            if (!reply.result.ok()) {
                completionHandler({reply.result.error(), std::move(reply.signIn)});
                return;
            }
            auto* whole = std::get_if<SignaturesAnswer>(&reply.result.value());
            if (!whole) {
                if (!conditional) {
                    BRSLogWarn(u"The signatures check was answered \"not modified\" without being asked so.");
                    completionHandler({signaturesError(), std::move(reply.signIn)});
                    return;
                }
                // The answer the validator stands for left nothing to install, and the cache is as it was
                // then.
                BRSLogVerbose(
                    u"The signatures have not changed on the service since the last check (not "
                    u"modified): nothing was downloaded.");
                completionHandler({CheckOutcome{false}, std::move(reply.signIn)});
                return;
            }
            std::optional<SignaturesAnswer> answer = std::move(*whole);
            const bool changed = anySignatureChanged(*answer, imageHost, cacheFolder);
            // Only an answer that left nothing to install may be answered "not modified" next time.
            if (!changed && answer->validator()) {
                rememberValidator(cacheFolder, imageHost, *answer->validator());
            } else {
                forgetValidator(cacheFolder);
            }
            // As after an update.
            answer.reset();
            completionHandler({CheckOutcome{changed}, std::move(reply.signIn)});
        });
}

QList<BRSSignature> BRSSignatureService::signaturesFromAnswer(QByteArray answerData, const QUrl& imageHost,
                                                              bool isUpdating, bool getOnlyChangedSignatures,
                                                              bool* cleanOut) const {
    const std::optional<SignaturesAnswer> answer = SignaturesAnswer::fromJsonData(std::move(answerData));
    if (cleanOut) {
        *cleanOut = answer && answer->clean();
    }
    if (!answer) {
        return {};
    }
    UpdateOutcome taken =
        signaturesFromAnswer(*answer, imageHost, cacheFolder_, isUpdating, getOnlyChangedSignatures);
    if (isUpdating) {
        cacheDigests(taken.digestsOf(QList<bool>(taken.signatures.size(), true)));
    }
    return std::move(taken.signatures);
}

BRSSignatureService::UpdateOutcome BRSSignatureService::signaturesFromAnswer(const SignaturesAnswer& answer,
                                                                             const QUrl& imageHost,
                                                                             const QString& cacheFolder,
                                                                             bool isUpdating,
                                                                             bool getOnlyChangedSignatures) {
    const bool clean = answer.clean();
    UpdateOutcome taken({}, {}, clean);
    eachSignature(answer, imageHost, cacheFolder, isUpdating, [&](Visited& visited) {
        const bool take = !visited.cached || *visited.cached != visited.digest || !getOnlyChangedSignatures ||
                          (clean && isUpdating);
        if (!take) {
            return true;
        }
        taken.signatures.append(
            BRSSignature(visited.name, QString::fromUtf8(visited.html), QString::fromUtf8(visited.text)));
        taken.digests.append(std::move(visited.digest));
        return true;
    });
    return taken;
}

QList<BRSSignatureService::CachedDigest> BRSSignatureService::UpdateOutcome::digestsOf(
    const QList<bool>& installed) const {
    QList<CachedDigest> kept;
    // A list that came without its digests has nothing to keep.
    if (digests.size() != signatures.size() || installed.size() != signatures.size()) {
        return kept;
    }
    for (qsizetype i = 0; i < signatures.size(); ++i) {
        if (installed.at(i)) {
            kept.append(CachedDigest{signatures.at(i).name(), digests.at(i)});
        }
    }
    return kept;
}

void BRSSignatureService::cacheDigests(const QList<CachedDigest>& digests) const {
    if (digests.isEmpty()) {
        return;
    }
    const std::optional<QString> folder = cacheFolder(cacheFolder_);
    if (!folder) {
        return;
    }
    for (const CachedDigest& cached : digests) {
        const QString path = *folder + QLatin1Char('/') + cacheFileName(cached.name);
        const Result<void> written = writeCacheFile(path, cached.digest);
        // Nobody above hears of it: a digest not kept only makes the next check report the signature again.
        if (!written.ok()) {
            BRSLogWarn(u"The cached digest \"%@\" was not written: %@", path,
                       written.error().localizedDescription);
        }
    }
}

bool BRSSignatureService::anySignatureChanged(const SignaturesAnswer& answer, const QUrl& imageHost,
                                              const QString& cacheFolder) {
    bool changed = false;
    eachSignature(answer, imageHost, cacheFolder, false, [&changed](const Visited& visited) {
        changed = !visited.cached || *visited.cached != visited.digest;
        return !changed;
    });
    return changed;
}

std::optional<AnswerValidator> BRSSignatureService::rememberedValidator(const QString& cacheFolder,
                                                                        const QUrl& imageHost) {
    const QString path = cacheFolder + QLatin1Char('/') + kValidatorFileName;
    const Result<QByteArray> contents = FileContents::read(path, kMaxValidatorFileBytes);
    if (!contents.ok()) {
        if (contents.error().code != ENOENT) {
            BRSLogWarn(
                u"The signatures answer's validator \"%@\" cannot be read, so the check downloads the "
                u"whole answer: %@",
                path, contents.error().localizedDescription);
        }
        return std::nullopt;
    }
    const QJsonObject kept = QJsonDocument::fromJson(contents.value()).object();
    std::optional<AnswerValidator> validator =
        AnswerValidator::fromJson(kept.value(QStringLiteral("validator")).toObject());
    // Another image host makes other bodies of the same answer, and a cache file changed since makes
    // another comparison: either way that check's "nothing to install" no longer holds.
    if (!validator || kept.value(QStringLiteral("imageHost")).toString() != imageHost.toString() ||
        kept.value(QStringLiteral("cache")).toString().toLatin1() != cacheFingerprint(cacheFolder)) {
        BRSLogVerbose(u"The signatures answer's validator no longer stands for the cache; it is forgotten.");
        forgetValidator(cacheFolder);
        return std::nullopt;
    }
    return validator;
}

void BRSSignatureService::rememberValidator(const QString& cacheFolder, const QUrl& imageHost,
                                            const AnswerValidator& validator) {
    const QJsonObject kept{{QStringLiteral("validator"), validator.toJson()},
                           {QStringLiteral("imageHost"), imageHost.toString()},
                           {QStringLiteral("cache"), QString::fromLatin1(cacheFingerprint(cacheFolder))}};
    const QString path = cacheFolder + QLatin1Char('/') + kValidatorFileName;
    const Result<void> written = AtomicFile::write(path, QJsonDocument(kept).toJson(QJsonDocument::Compact));
    // Costs only the next check a whole download; an older validator left behind could stand for another
    // answer, so it goes.
    if (!written.ok()) {
        BRSLogWarn(u"The signatures answer's validator \"%@\" was not written: %@", path,
                   written.error().localizedDescription);
        forgetValidator(cacheFolder);
    }
}

void BRSSignatureService::forgetValidator(const QString& cacheFolder) {
    QFile file(cacheFolder + QLatin1Char('/') + kValidatorFileName);
    if (file.exists() && !file.remove()) {
        BRSLogWarn(u"The signatures answer's validator \"%@\" cannot be removed: %@", file.fileName(),
                   file.errorString());
    }
}

std::optional<QString> BRSSignatureService::getPathForFile(const QString& fileName) const {
    const std::optional<QString> folder = cacheFolder(cacheFolder_);
    return folder ? std::optional<QString>(*folder + QLatin1Char('/') + fileName) : std::nullopt;
}

Result<void> BRSSignatureService::writeContentsToFileForSignature(const QString& name,
                                                                  const QString& content) const {
    const std::optional<QString> path = getPathForFile(cacheFileName(name));
    if (!path) {
        return cacheFolderError();
    }
    return writeCacheFile(*path, content.toUtf8());
}

Result<QString> BRSSignatureService::readContentsFromSignatureFile(const QString& name) const {
    const std::optional<QString> path = getPathForFile(cacheFileName(name));
    if (!path) {
        return cacheFolderError();
    }
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Error{QStringLiteral("NSCocoaErrorDomain"), 260, file.errorString()};
    }
    return QString::fromUtf8(file.readAll());
}

Error BRSSignatureService::cacheFolderError() const {
    return Error{QStringLiteral("NSCocoaErrorDomain"), 4,
                 QStringLiteral("The signature cache folder \"%1\" cannot be made.").arg(cacheFolder_)};
}
