#include "BRSAppleMailService3.h"

#include <plist/plist.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

#include "AtomicFile.h"
#include "BRSLog.h"
#include "FileLock.h"
#include "PropertyList.h"
#include "SystemVersion.h"

namespace {

// File and property-list failures carry the platform's own domain and codes, as on macOS.
const QString kCocoaErrorDomain = QStringLiteral("NSCocoaErrorDomain");
constexpr qint64 kFileReadCorruptFile = 259;
constexpr qint64 kFileReadNoSuchFile = 260;
constexpr qint64 kFileWriteUnknown = 512;
constexpr qint64 kFileLocking = 255;
// Mail's local folders from Big Sur on; older ones belong to the systems of the table.
constexpr int kFirstDiscoveredMailVersion = 8;
constexpr qint64 kPropertyListWriteInvalid = 3851;

const char* const kSignatureName = "SignatureName";
const char* const kSignatureUniqueId = "SignatureUniqueId";
const char* const kSignatureIsRich = "SignatureIsRich";

// Keeps errno as the code, so that a refusal by the system (EPERM where macOS withholds Full Disk Access)
// reaches the caller as exactly that.
Error posixError(int code, const QString& what) {
    return Error{ErrorDomains::kPosix, code,
                 QStringLiteral("%1: %2.").arg(what, QString::fromLocal8Bit(std::strerror(code)))};
}

Error listNotFound() {
    // Mail makes the list the first time it runs; without a description here the user would see an alert
    // that says nothing.
    return Error{
        kCocoaErrorDomain, kFileReadNoSuchFile,
        QStringLiteral("Apple Mail's signature list was not found. Open Apple Mail once, then try again.")};
}

// Characters XML 1.0 cannot carry would cut a name short (NUL) or turn into "?" (a lone surrogate), so the
// stored name never matched again and every install added another entry. They are mapped the way the
// Outlook scripts map them, which keeps two such names apart.
QString xmlSafe(const QString& text) {
    return BRSMailAppService::portableText(text);
}

// The XML writer puts returns, line feeds and tabs into text as they are, and a reader then normalises a
// return (or return and line feed) to a line feed, so "A\rB" came back as "A\nB" and never matched again.
// Written as character references, they read back unchanged. Outside text the writer uses only line
// feeds and tabs for layout, and inside it every "<" is escaped, so text runs from <string> or <key> to the
// next "<".
QByteArray withLineEndsAsReferences(const QByteArray& xml) {
    QByteArray result;
    result.reserve(xml.size());
    qsizetype at = 0;
    // Each tag is looked for again only once passed, so a list of many strings and no keys stays linear.
    qsizetype string = xml.indexOf("<string>");
    qsizetype key = xml.indexOf("<key>");
    while (at < xml.size()) {
        if (string >= 0 && string < at) {
            string = xml.indexOf("<string>", at);
        }
        if (key >= 0 && key < at) {
            key = xml.indexOf("<key>", at);
        }
        const qsizetype tag = string < 0 ? key : key < 0 ? string : std::min(string, key);
        if (tag < 0) {
            break;
        }
        const qsizetype textStart = tag + (tag == string ? 8 : 5);
        qsizetype textEnd = xml.indexOf('<', textStart);
        if (textEnd < 0) {
            textEnd = xml.size();
        }
        result.append(xml.constData() + at, textStart - at);
        for (qsizetype i = textStart; i < textEnd; ++i) {
            switch (xml.at(i)) {
                case '\r':
                    result.append("&#13;");
                    break;
                case '\n':
                    result.append("&#10;");
                    break;
                case '\t':
                    result.append("&#9;");
                    break;
                default:
                    result.append(xml.at(i));
            }
        }
        at = textEnd;
    }
    result.append(xml.constData() + at, xml.size() - at);
    return result;
}

plist_t newString(const QString& text) {
    return plist_new_string(xmlSafe(text).toUtf8().constData());
}

// Mail's own entries may hold such characters when the list arrives in binary form; written back as they
// are, they would make the whole list unreadable. The parse bounds the depth, so recursion is safe here.
void makeXmlSafe(plist_t node) {
    switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            char* raw = nullptr;
            plist_get_string_val(node, &raw);
            const QByteArray bytes(raw ? raw : "");
            std::free(raw);
            const QByteArray safe = xmlSafe(QString::fromUtf8(bytes)).toUtf8();
            if (safe != bytes) {
                plist_set_string_val(node, safe.constData());
            }
            break;
        }
        case PLIST_ARRAY:
            for (uint32_t i = 0; i < plist_array_get_size(node); ++i) {
                makeXmlSafe(plist_array_get_item(node, i));
            }
            break;
        case PLIST_DICT: {
            for (const QByteArray& key : PropertyList::keysOf(node)) {
                plist_t value = plist_dict_get_item(node, key.constData());
                makeXmlSafe(value);
                const QByteArray safeKey = xmlSafe(QString::fromUtf8(key)).toUtf8();
                if (safeKey != key) {
                    plist_dict_set_item(node, safeKey.constData(), plist_copy(value));
                    plist_dict_remove_item(node, key.constData());
                }
            }
            break;
        }
        default:
            break;
    }
}

// Reads the whole list; a missing file is the list Mail has not made yet.
Result<QByteArray> readListFile(const QString& path) {
    const QString what = QStringLiteral("The file “%1” couldn’t be opened").arg(QFileInfo(path).fileName());
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        return code == ENOENT || code == ENOTDIR ? listNotFound() : posixError(code, what);
    }
    QByteArray bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            const int code = errno;
            ::close(fd);
            return posixError(code, what);
        }
        if (count == 0) {
            break;
        }
        bytes.append(buffer, count);
    }
    ::close(fd);
    return bytes;
}

// Holds the list lock from the moment it is taken until it goes out of scope. Only the OS lock on the open
// file decides who holds it; the file's contents name the holder for whoever looks, nothing more. So an
// empty or garbage file left by a power cut, or one that iCloud Drive brought over from another Mac (an OS
// lock never crosses machines, and a synced file could never have kept two Macs apart), is taken over as
// soon as no process here holds it.
class ListLock final {
public:
    ListLock() = default;
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;
    ~ListLock() {
        if (fd_ >= 0) {
            // Removed while still held: a writer that opened this file before then finds, once it holds
            // the lock, that the name no longer leads to it, and starts over.
            ::unlink(path_.constData());
            ::close(fd_);
        }
    }

    // Fails when the lock cannot be had within `timeout`, or the file cannot be made.
    Result<void> lock(const QString& path, const QString& listName, std::chrono::milliseconds timeout) {
        path_ = QFile::encodeName(path);
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const FileLock::Attempt attempt = FileLock::tryLock(path_, 0644);
            if (attempt.fd >= 0 && namesThisFile(attempt.fd)) {
                fd_ = attempt.fd;
                writeHint();
                return {};
            }
            if (attempt.fd >= 0) {
                ::close(attempt.fd);
            } else if (attempt.error != EWOULDBLOCK) {
                return posixError(attempt.error,
                                  QStringLiteral("The signature list “%1” couldn’t be locked").arg(listName));
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) {
                return Error{kCocoaErrorDomain, kFileLocking,
                             QStringLiteral("Apple Mail's signature list “%1” is in use by another copy of "
                                            "Orlin. Try again in a moment.")
                                 .arg(listName)};
            }
            std::this_thread::sleep_for(
                std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(50)));
        }
    }

private:
    // Whether the path still leads to the locked file: the last holder removes it as it lets go.
    bool namesThisFile(int fd) const {
        struct stat held {};
        struct stat named {};
        return ::fstat(fd, &held) == 0 && ::lstat(path_.constData(), &named) == 0 &&
               held.st_dev == named.st_dev && held.st_ino == named.st_ino;
    }

    void writeHint() const {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        const QByteArray hint = QByteArray::number(qint64(::getpid())) + ' ' + QByteArray(host) + '\n';
        if (const int code = FileLock::writeHint(fd_, hint); code != 0) {
            // The lock holds all the same; a full disk shows, with its own errno, at the list's write.
            BRSLogWarn(u"The lock file %@ does not name its holder: %@", QFile::decodeName(path_),
                       QString::fromLocal8Bit(std::strerror(code)));
        }
    }

    QByteArray path_;
    int fd_ = -1;
};

// The newest "V<n>" folder of Mail's that already holds a signature folder; the number is compared as a
// number, so V10 is newer than V9.
Result<QString> newestLocalSignatureFolder(const QString& library) {
    static const QRegularExpression kVersionFolder(QStringLiteral("^V([1-9][0-9]{0,8})$"));
    const QString mail = library + QStringLiteral("/Mail");
    DIR* folder = ::opendir(QFile::encodeName(mail).constData());
    const int openError = folder ? 0 : errno;
    if (!folder && openError != ENOENT && openError != ENOTDIR) {
        return posixError(openError, QStringLiteral("The folder “Mail” couldn’t be opened"));
    }
    int newest = -1;
    while (folder) {
        const dirent* item = ::readdir(folder);
        if (!item) {
            break;
        }
        const QRegularExpressionMatch match = kVersionFolder.match(QFile::decodeName(item->d_name));
        const int number = match.hasMatch() ? match.captured(1).toInt() : -1;
        if (number < kFirstDiscoveredMailVersion || number <= newest) {
            continue;
        }
        struct stat info {};
        const QString signatures = mail + QStringLiteral("/V%1/MailData/Signatures").arg(number);
        if (::stat(QFile::encodeName(signatures).constData(), &info) == 0 && S_ISDIR(info.st_mode)) {
            newest = number;
        }
    }
    if (folder) {
        ::closedir(folder);
    }
    if (newest < 0) {
        return Error{kCocoaErrorDomain, kFileReadNoSuchFile,
                     QStringLiteral("Apple Mail's signature folder was not found. Open Apple Mail once, then "
                                    "try again.")};
    }
    return QStringLiteral("Mail/V%1/MailData/Signatures").arg(newest);
}

// The unique id of a list element named `name`, in the upper-case form the file name uses; nothing when
// the element is not such a dictionary or its id is not a UUID, so the walk goes on past it.
std::optional<QString> uniqueIdOfElementNamed(plist_t element, const QString& safeName) {
    static const QRegularExpression kUuid(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (plist_get_node_type(element) != PLIST_DICT) {
        return std::nullopt;
    }
    const std::optional<QString> name =
        PropertyList::stringValue(plist_dict_get_item(element, kSignatureName));
    if (!name || xmlSafe(*name) != safeName) {
        return std::nullopt;
    }
    const std::optional<QString> id =
        PropertyList::stringValue(plist_dict_get_item(element, kSignatureUniqueId));
    if (!id || !kUuid.match(*id).hasMatch()) {
        return std::nullopt;
    }
    return id->toUpper();
}

QString newUuidString() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// Nothing for a system this installer does not serve.
std::optional<QString> tableSignatureFolder(const SystemVersion& version, bool isUsingICloudDrive) {
    if (version.majorVersion != 10 || version.minorVersion < 11 || version.minorVersion > 15) {
        return std::nullopt;
    }
    if (isUsingICloudDrive) {
        return version.minorVersion == 11
                   ? QStringLiteral("Mobile Documents/com~apple~mail/Data/V3/MailData/Signatures")
                   : QStringLiteral("Mobile Documents/com~apple~mail/Data/V4/Signatures");
    }
    return QStringLiteral("Mail/V%1/MailData/Signatures").arg(version.minorVersion - 8);
}

}  // namespace

BRSAppleMailService3::BRSAppleMailService3(bool isUsingICloudDrive, QString libraryFolder,
                                           const UserDefaults& defaults, QString recordPath)
    : isUsingICloudDrive_(isUsingICloudDrive),
      libraryFolder_(std::move(libraryFolder)),
      defaults_(defaults),
      recordPath_(std::move(recordPath)) {}

QString BRSAppleMailService3::appName() const {
    return QStringLiteral("Apple Mail");
}

Result<QString> BRSAppleMailService3::getFolderUrlForSignatures() const {
    const QString& library = libraryFolder_;
    if (!QDir().mkpath(library)) {
        return Error{kCocoaErrorDomain, kFileWriteUnknown,
                     QStringLiteral("The folder “%1” couldn’t be created.").arg(library)};
    }
    const SystemVersion version = SystemVersion::operatingSystemVersion(defaults_);
    if (version.majorVersion >= 11) {
        if (isUsingICloudDrive_) {
            return library + QStringLiteral("/Mobile Documents/com~apple~mail/Data/V4/Signatures");
        }
        const Result<QString> relative = newestLocalSignatureFolder(library);
        if (!relative) {
            return relative.error();
        }
        return library + QLatin1Char('/') + relative.value();
    }
    const std::optional<QString> relative = tableSignatureFolder(version, isUsingICloudDrive_);
    if (!relative) {
        // The code is whatever errno holds: callers show only the description.
        return Error{ErrorDomains::kOrlin, errno,
                     QStringLiteral("Apple Mail is supported on El Capitan up to and including Catalina.")};
    }
    return library + QLatin1Char('/') + *relative;
}

void BRSAppleMailService3::install(const QList<BRSSignature>& signatures, bool clean,
                                   const Observer& observer) {
    // Nothing to install leaves even a clean update's list alone, as it does Outlook's signatures, and
    // looks for no folder.
    if (signatures.isEmpty()) {
        return;
    }
    const Result<QString> folder = getFolderUrlForSignatures();
    if (!folder) {
        reportEach(signatures.size(), folder.error(), observer);
        return;
    }
    // Only El Capitan kept the iCloud copies under a prefix of their own.
    const SystemVersion version = SystemVersion::operatingSystemVersion(defaults_);
    const bool prefixed = isUsingICloudDrive_ && version.majorVersion == 10 && version.minorVersion == 11;
    setSignatures(signatures, clean, folder.value(), prefixed ? QStringLiteral("ubiquitous_") : QString(),
                  observer);
}

void BRSAppleMailService3::reportEach(qsizetype count, const Error& error, const Observer& observer) {
    for (qsizetype i = 0; i < count; ++i) {
        observer.announce(i);
        if (observer.report(i, error) == Next::StopClient) {
            return;
        }
    }
}

void BRSAppleMailService3::setSignatures(const QList<BRSSignature>& signatures, bool clean,
                                         const QString& folder, const QString& filePrefix,
                                         const Observer& observer) {
    if (signatures.isEmpty()) {
        return;
    }
    const QString listName = filePrefix + QStringLiteral("AllSignatures.plist");
    const QString listPath = folder + QLatin1Char('/') + listName;
    // The folder is opened first: macOS lets a process without Full Disk Access look up paths in Mail's
    // data but refuses to open them (EPERM), and that refusal, not a lock or stat failure further on, is
    // what tells the user what to do.
    if (DIR* contents = ::opendir(QFile::encodeName(folder).constData())) {
        ::closedir(contents);
    } else if (const int code = errno; code != ENOENT && code != ENOTDIR) {
        reportEach(
            signatures.size(),
            posixError(
                code, QStringLiteral("The folder “%1” couldn’t be opened").arg(QFileInfo(folder).fileName())),
            observer);
        return;
    }
    // Only a list Mail has made is locked, so that a missing folder or list gets its own message.
    struct stat listInfo {};
    if (::stat(QFile::encodeName(listPath).constData(), &listInfo) != 0) {
        const int code = errno;
        reportEach(signatures.size(),
                   code == ENOENT || code == ENOTDIR
                       ? listNotFound()
                       : posixError(code, QStringLiteral("The file “%1” couldn’t be opened").arg(listName)),
                   observer);
        return;
    }

    // Two writers of ours reading and writing the list at once would lose each other's entries. A holder
    // that has died lets go with its process; a living one is waited for only briefly. The lock is held
    // until the last signature file is written.
    ListLock lock;
    if (const Result<void> locked = lock.lock(listPath + QStringLiteral(".lock"), listName, listLockTimeout_);
        !locked) {
        reportEach(signatures.size(), locked.error(), observer);
        return;
    }
    const Result<QByteArray> listBytes = readListFile(listPath);
    if (!listBytes) {
        reportEach(signatures.size(), listBytes.error(), observer);
        return;
    }
    PropertyList::Node list = PropertyList::parse(listBytes.value());
    if (!list) {
        reportEach(signatures.size(),
                   Error{kCocoaErrorDomain, ErrorCodes::kPropertyListReadCorrupt,
                         QStringLiteral("The data couldn’t be read because it isn’t in the correct format.")},
                   observer);
        return;
    }
    // Writing anything else back would destroy whatever Mail keeps there.
    if (plist_get_node_type(list.get()) != PLIST_ARRAY) {
        reportEach(
            signatures.size(),
            Error{kCocoaErrorDomain, kFileReadCorruptFile,
                  QStringLiteral("The file “%1” couldn’t be opened because it isn’t in the correct format.")
                      .arg(listName)},
            observer);
        return;
    }
    if (clean) {
        list.reset(plist_new_array());
    }

    // Every signature gets its entry (found, or added at the end) before the list is written once.
    QStringList uniqueIds;
    uniqueIds.reserve(signatures.size());
    QSet<QString> addedIds;
    qint64 addedNameLength = 0;
    for (const BRSSignature& signature : signatures) {
        const QString safeName = xmlSafe(signature.name());
        std::optional<QString> uniqueId;
        const uint32_t count = plist_array_get_size(list.get());
        for (uint32_t i = 0; i < count && !uniqueId; ++i) {
            uniqueId = uniqueIdOfElementNamed(plist_array_get_item(list.get(), i), safeName);
        }
        if (!uniqueId) {
            uniqueId = newUuidString();
            plist_t element = plist_new_dict();
            plist_dict_set_item(element, kSignatureIsRich, plist_new_string("true"));
            plist_dict_set_item(element, kSignatureName, newString(safeName));
            plist_dict_set_item(element, kSignatureUniqueId, newString(*uniqueId));
            plist_array_append_item(list.get(), element);
            addedIds.insert(*uniqueId);
            addedNameLength += safeName.size();
        }
        uniqueIds.append(*uniqueId);
    }
    makeXmlSafe(list.get());

    char* xml = nullptr;
    uint32_t xmlLength = 0;
    plist_to_xml(list.get(), &xml, &xmlLength);
    // Objects a binary list shares are written out once per place: a list that grew far past what was
    // read (even as XML, with escapes and indentation) is a hostile one, and writing it could fill the disk.
    const qint64 allowedLength =
        16 * qint64(listBytes.value().size()) + (qint64(1) << 20) + 8 * addedNameLength;
    if (xml && qint64(xmlLength) > allowedLength) {
        std::free(xml);
        reportEach(signatures.size(),
                   Error{kCocoaErrorDomain, kPropertyListWriteInvalid,
                         QStringLiteral("Apple Mail's signature list would grow from %1 to %2 bytes, so it "
                                        "was left as it was.")
                             .arg(listBytes.value().size())
                             .arg(xmlLength)},
                   observer);
        return;
    }
    if (!xml) {
        reportEach(signatures.size(),
                   Error{kCocoaErrorDomain, kPropertyListWriteInvalid,
                         QStringLiteral("The signature list couldn’t be converted to a property list.")},
                   observer);
        return;
    }
    const QByteArray listXml = withLineEndsAsReferences(QByteArray(xml, static_cast<qsizetype>(xmlLength)));
    std::free(xml);
    const Result<void> listWritten = AtomicFile::write(listPath, listXml);
    // A new entry that did not reach the list would leave a signature file Mail never shows, while the
    // user is told it is installed; an entry already listed needs no change to be found. After a clean
    // every entry is new, so a list that was not written leaves everything as it was.
    const bool anyListed = std::any_of(uniqueIds.cbegin(), uniqueIds.cend(),
                                       [&addedIds](const QString& id) { return !addedIds.contains(id); });
    if (!listWritten && anyListed) {
        BRSLogWarn(u"Apple Mail's signature list %@ was not rewritten: %@", listPath,
                   listWritten.error().localizedDescription);
    }

    QList<MailSignatureRecord::Entry> written;
    for (qsizetype i = 0; i < signatures.size(); ++i) {
        observer.announce(i);
        const QString& uniqueId = uniqueIds.at(i);
        Result<void> outcome;
        if (!listWritten && addedIds.contains(uniqueId)) {
            outcome = listWritten.error();
        } else {
            const QString signaturePath =
                folder + QLatin1Char('/') + filePrefix + uniqueId + QStringLiteral(".mailsignature");
            const QByteArray content =
                signatureFileContent(newUuidString(), signatures.at(i).htmlContent()).toUtf8();
            outcome = AtomicFile::write(signaturePath, content);
            if (outcome) {
                remember(written, signatures.at(i).name(), signaturePath, content);
            }
        }
        if (observer.report(i, outcome) == Next::StopClient) {
            break;
        }
    }
    replaceRecord(written);
}

void BRSAppleMailService3::remember(QList<MailSignatureRecord::Entry>& written, const QString& name,
                                    const QString& path, const QByteArray& content) const {
    if (recordPath_.isEmpty()) {
        return;
    }
    Result<MailSignatureRecord::Entry> entry = MailSignatureRecord::entryOfWrittenFile(name, path, content);
    if (!entry) {
        // Left out of the record, the signature is simply not watched until the next update.
        BRSLogWarn(u"The signature '%@' written to Apple Mail is not watched for changes: %@", name,
                   entry.error().localizedDescription);
        return;
    }
    written.append(std::move(entry).value());
}

void BRSAppleMailService3::replaceRecord(const QList<MailSignatureRecord::Entry>& written) const {
    // An update that wrote nothing into Mail leaves the record of the last one that did.
    if (recordPath_.isEmpty() || written.isEmpty()) {
        return;
    }
    if (const Result<void> replaced = MailSignatureRecord(recordPath_).replace(written); !replaced) {
        BRSLogWarn(u"Apple Mail's signatures are not watched for changes until the next update: %@",
                   replaced.error().localizedDescription);
    }
}

QString BRSAppleMailService3::signatureFileContent(const QString& messageId, const QString& htmlContent) {
    // Joined, not filled in with arg(): the HTML may contain "%1".
    return QStringLiteral(
               "Content-Transfer-Encoding: 7bit\n"
               "Content-Type: text/html;\n"
               "charset=us-ascii\n"
               "Message-Id: <") +
           messageId +
           QStringLiteral(
               "@lan>\n"
               "Mime-Version: 1.0 (Mac OS X Mail 7.2 \\(1874\\))\n"
               "\n") +
           htmlContent + QLatin1Char('\n');
}
