#include "MailSignatureRecord.h"

#include <sys/stat.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cstring>
#include <optional>

#include "AtomicFile.h"
#include "BRSLog.h"
#include "FileContents.h"

namespace {

const QString kSignatures = QStringLiteral("signatures");
const QString kName = QStringLiteral("name");
const QString kPath = QStringLiteral("path");
const QString kDigest = QStringLiteral("sha1");
const QString kStamp = QStringLiteral("stamp");

// The signatures answer is capped well below this, so no file we wrote was larger: a bigger one is not
// ours, and is not read into memory to prove it.
constexpr qint64 kLargestSignatureFile = qint64(128) << 20;

Error posixError(int code, const QString& path) {
    return Error{ErrorDomains::kPosix, code,
                 QStringLiteral("The file “%1” could not be looked at: %2.")
                     .arg(path, QString::fromLocal8Bit(std::strerror(code)))};
}

QByteArray stampOf(const struct stat& info) {
#ifdef __APPLE__
    const timespec& modified = info.st_mtimespec;
#else
    const timespec& modified = info.st_mtim;
#endif
    return QByteArray::number(qint64(info.st_size)) + ' ' + QByteArray::number(quint64(info.st_ino)) + ' ' +
           QByteArray::number(qint64(modified.tv_sec)) + '.' + QByteArray::number(qint64(modified.tv_nsec));
}

QByteArray digestOf(QByteArrayView body) {
    // A check digests only the files whose stamp moved, and an update only what it has just written, so
    // Qt's SHA-1 is enough here and the installers need no crypto library of their own.
    return QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex();
}

// Whether the entry's file no longer holds what the entry recorded; nothing when that cannot be told.
std::optional<bool> differs(const MailSignatureRecord::Entry& entry) {
    struct stat info {};
    if (::stat(QFile::encodeName(entry.path).constData(), &info) != 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR) {
            return true;
        }
        BRSLogWarn(u"Apple Mail's signature file %@ could not be looked at: %@", entry.path,
                   QString::fromLocal8Bit(std::strerror(code)));
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode) || qint64(info.st_size) > kLargestSignatureFile) {
        return true;
    }
    if (stampOf(info) == entry.stamp) {
        return false;
    }
    // One byte past the size shows a file that grew between the stat and the read as a different one.
    const Result<QByteArray> content = FileContents::read(entry.path, qsizetype(info.st_size) + 1);
    if (!content) {
        if (content.error().code == ENOENT) {
            return true;
        }
        BRSLogWarn(u"Apple Mail's signature file %@ could not be read: %@", entry.path,
                   content.error().localizedDescription);
        return std::nullopt;
    }
    return digestOf(MailSignatureRecord::bodyOf(content.value())) != entry.digest;
}

}  // namespace

MailSignatureRecord::MailSignatureRecord(QString path) : path_(std::move(path)) {}

QByteArrayView MailSignatureRecord::bodyOf(QByteArrayView content) {
    const qsizetype plain = content.indexOf(QByteArrayView("\n\n"));
    const qsizetype crlf = content.indexOf(QByteArrayView("\r\n\r\n"));
    if (crlf >= 0 && (plain < 0 || crlf < plain)) {
        return content.sliced(crlf + 4);
    }
    return plain >= 0 ? content.sliced(plain + 2) : content;
}

Result<MailSignatureRecord::Entry> MailSignatureRecord::entryOfWrittenFile(const QString& name,
                                                                           const QString& path,
                                                                           QByteArrayView content) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return posixError(errno, path);
    }
    return Entry{name, path, digestOf(bodyOf(content)), stampOf(info)};
}

Result<void> MailSignatureRecord::replace(const QList<Entry>& entries) const {
    QJsonArray signatures;
    for (const Entry& entry : entries) {
        signatures.append(QJsonObject{{kName, entry.name},
                                      {kPath, entry.path},
                                      {kDigest, QString::fromLatin1(entry.digest)},
                                      {kStamp, QString::fromLatin1(entry.stamp)}});
    }
    // Orlin's data folder is made by its first check; an update started before any check may come first.
    QDir().mkpath(QFileInfo(path_).absolutePath());
    const Result<void> written = AtomicFile::write(
        path_, QJsonDocument(QJsonObject{{kSignatures, signatures}}).toJson(QJsonDocument::Compact));
    if (!written) {
        QFile::remove(path_);
    }
    return written;
}

Result<QList<MailSignatureRecord::Entry>> MailSignatureRecord::entries() const {
    QFile file(path_);
    if (!file.exists()) {
        return QList<Entry>();
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return Error{QStringLiteral("NSCocoaErrorDomain"), 256,
                     QStringLiteral("The record of Apple Mail's signatures “%1” could not be read: %2")
                         .arg(path_, file.errorString())};
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject()) {
        return Error{
            QStringLiteral("NSCocoaErrorDomain"), 259,
            QStringLiteral("The record of Apple Mail's signatures “%1” is not in the correct format.")
                .arg(path_)};
    }
    QList<Entry> entries;
    for (const QJsonValue& value : document.object().value(kSignatures).toArray()) {
        const QJsonObject object = value.toObject();
        Entry entry{object.value(kName).toString(), object.value(kPath).toString(),
                    object.value(kDigest).toString().toLatin1(), object.value(kStamp).toString().toLatin1()};
        // An entry without a file to look at says nothing about Mail.
        if (!entry.path.isEmpty()) {
            entries.append(std::move(entry));
        }
    }
    return entries;
}

QStringList MailSignatureRecord::drifted() const {
    const Result<QList<Entry>> recorded = entries();
    if (!recorded) {
        BRSLogWarn(u"Apple Mail's signatures were not compared with what Orlin installed: %@",
                   recorded.error().localizedDescription);
        return {};
    }
    QStringList names;
    for (const Entry& entry : recorded.value()) {
        if (differs(entry).value_or(false)) {
            names.append(entry.name);
        }
    }
    return names;
}
