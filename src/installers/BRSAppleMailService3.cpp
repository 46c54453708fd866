#include "BRSAppleMailService3.h"

#include <plist/plist.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QUuid>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "AtomicFile.h"
#include "BRSAppleScript.h"
#include "BRSLog.h"
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

void report(Error* error, Error value) {
    if (error) {
        *error = std::move(value);
    }
}

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

// Characters XML 1.0 cannot carry (NUL, the other C0 controls but tab and line ends, lone surrogates,
// U+FFFE and U+FFFF) become U+FFFD. Without this, a NUL cut the name short and a lone surrogate turned
// into "?", so the stored name never matched again and every install added another entry.
QString xmlSafe(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result.append(text.at(i));
            result.append(text.at(++i));
            continue;
        }
        const bool forbidden = (unit < 0x20 && unit != 0x09 && unit != 0x0A && unit != 0x0D) ||
                               QChar::isSurrogate(unit) || unit == 0xFFFE || unit == 0xFFFF;
        result.append(forbidden ? QChar(QChar::ReplacementCharacter) : text.at(i));
    }
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
bool readListFile(const QString& path, QByteArray* bytes, Error* error) {
    const QString what = QStringLiteral("The file “%1” couldn’t be opened").arg(QFileInfo(path).fileName());
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        report(error, code == ENOENT || code == ENOTDIR ? listNotFound() : posixError(code, what));
        return false;
    }
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            const int code = errno;
            ::close(fd);
            report(error, posixError(code, what));
            return false;
        }
        if (count == 0) {
            break;
        }
        bytes->append(buffer, count);
    }
    ::close(fd);
    return true;
}

// The newest "V<n>" folder of Mail's that already holds a signature folder; the number is compared as a
// number, so V10 is newer than V9.
std::optional<QString> newestLocalSignatureFolder(const QString& library, Error* error) {
    static const QRegularExpression kVersionFolder(QStringLiteral("^V([1-9][0-9]{0,8})$"));
    const QString mail = library + QStringLiteral("/Mail");
    DIR* folder = ::opendir(QFile::encodeName(mail).constData());
    const int openError = folder ? 0 : errno;
    if (!folder && openError != ENOENT && openError != ENOTDIR) {
        report(error, posixError(openError, QStringLiteral("The folder “Mail” couldn’t be opened")));
        return std::nullopt;
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
        report(error, Error{kCocoaErrorDomain, kFileReadNoSuchFile,
                            QStringLiteral("Apple Mail's signature folder was not found. Open Apple Mail "
                                           "once, then try again.")});
        return std::nullopt;
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
                                           const UserDefaults& defaults, BRSAppleScript script)
    : isUsingICloudDrive_(isUsingICloudDrive),
      libraryFolder_(std::move(libraryFolder)),
      defaults_(defaults),
      script_(std::move(script)) {}

QString BRSAppleMailService3::appName() const {
    return QStringLiteral("Apple Mail");
}

void BRSAppleMailService3::deleteAllSignaturesNotIn(const QStringList& /*names*/) {
    deleteAll_ = true;
}

std::optional<QString> BRSAppleMailService3::getFolderUrlForSignatures(Error* error) const {
    const QString& library = libraryFolder_;
    if (!QDir().mkpath(library)) {
        report(error, Error{kCocoaErrorDomain, kFileWriteUnknown,
                            QStringLiteral("The folder “%1” couldn’t be created.").arg(library)});
        return std::nullopt;
    }
    const SystemVersion version = SystemVersion::operatingSystemVersion(defaults_);
    if (version.majorVersion >= 11) {
        const std::optional<QString> relative =
            isUsingICloudDrive_
                ? std::optional(QStringLiteral("Mobile Documents/com~apple~mail/Data/V4/Signatures"))
                : newestLocalSignatureFolder(library, error);
        return relative ? std::optional(library + QLatin1Char('/') + *relative) : std::nullopt;
    }
    const std::optional<QString> relative = tableSignatureFolder(version, isUsingICloudDrive_);
    if (!relative) {
        // The code is whatever errno holds: callers show only the description.
        report(error,
               Error{ErrorDomains::kOrlin, errno,
                     QStringLiteral("Apple Mail is supported on El Capitan up to and including Catalina.")});
        return std::nullopt;
    }
    return library + QLatin1Char('/') + *relative;
}

bool BRSAppleMailService3::setSignatureWithName(const QString& name, const QString& htmlContent,
                                                const QString& /*textContent*/, Error* error) {
    // Mail that keeps running may write its list over ours, yet the write is still worth trying.
    Error quitError;
    if (!script_.runAppleScriptForSource(QStringLiteral("tell application \"Mail\" to quit\n"), &quitError)) {
        BRSLogWarn(u"Apple Mail could not be told to quit before the signature '%@' was written: %@", name,
                   quitError.localizedDescription);
        if (error) {
            *error = std::move(quitError);
        }
    }
    const std::optional<QString> folder = getFolderUrlForSignatures(error);
    if (!folder) {
        return false;
    }
    // Only El Capitan kept the iCloud copies under a prefix of their own.
    const SystemVersion version = SystemVersion::operatingSystemVersion(defaults_);
    const bool prefixed = isUsingICloudDrive_ && version.majorVersion == 10 && version.minorVersion == 11;
    return setSignature(name, htmlContent, *folder, prefixed ? QStringLiteral("ubiquitous_") : QString(),
                        error);
}

bool BRSAppleMailService3::setSignature(const QString& name, const QString& content, const QString& folder,
                                        const QString& filePrefix, Error* error) {
    const QString listName = filePrefix + QStringLiteral("AllSignatures.plist");
    const QString listPath = folder + QLatin1Char('/') + listName;
    // The folder is opened first: macOS lets a process without Full Disk Access look up paths in Mail's
    // data but refuses to open them (EPERM), and that refusal, not a lock or stat failure further on, is
    // what tells the user what to do.
    if (DIR* contents = ::opendir(QFile::encodeName(folder).constData())) {
        ::closedir(contents);
    } else if (const int code = errno; code != ENOENT && code != ENOTDIR) {
        report(error,
               posixError(
                   code,
                   QStringLiteral("The folder “%1” couldn’t be opened").arg(QFileInfo(folder).fileName())));
        return false;
    }
    // Only a list Mail has made is locked, so that a missing folder or list gets its own message.
    struct stat listInfo {};
    if (::stat(QFile::encodeName(listPath).constData(), &listInfo) != 0) {
        const int code = errno;
        report(error,
               code == ENOENT || code == ENOTDIR
                   ? listNotFound()
                   : posixError(code, QStringLiteral("The file “%1” couldn’t be opened").arg(listName)));
        return false;
    }

    // Two writers of ours reading and writing the list at once would lose each other's entries. A lock
    // whose holder has died is taken over, whatever its age; a living holder is waited for only briefly.
    QLockFile lock(listPath + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(static_cast<int>(listLockTimeout_.count()))) {
        if (lock.error() == QLockFile::LockFailedError) {
            report(error,
                   Error{kCocoaErrorDomain, kFileLocking,
                         QStringLiteral("Apple Mail's signature list “%1” is in use by another copy of "
                                        "Orlin. Try again in a moment.")
                             .arg(listName)});
        } else {
            // The lock does not say why; the folder's own answer gives the reason (EPERM, EACCES, EROFS…).
            const int code =
                ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK, AT_EACCESS) == 0 ? EIO
                                                                                                    : errno;
            report(
                error,
                posixError(code, QStringLiteral("The signature list “%1” couldn’t be locked").arg(listName)));
        }
        return false;
    }

    QByteArray listBytes;
    if (!readListFile(listPath, &listBytes, error)) {
        return false;
    }
    PropertyList::Node list = PropertyList::parse(listBytes);
    if (!list) {
        report(error,
               Error{kCocoaErrorDomain, ErrorCodes::kPropertyListReadCorrupt,
                     QStringLiteral("The data couldn’t be read because it isn’t in the correct format.")});
        return false;
    }
    // Writing anything else back would destroy whatever Mail keeps there.
    if (plist_get_node_type(list.get()) != PLIST_ARRAY) {
        report(
            error,
            Error{kCocoaErrorDomain, kFileReadCorruptFile,
                  QStringLiteral("The file “%1” couldn’t be opened because it isn’t in the correct format.")
                      .arg(listName)});
        return false;
    }

    const bool emptied = deleteAll_.exchange(false);
    if (emptied) {
        list.reset(plist_new_array());
    }

    const QString safeName = xmlSafe(name);
    std::optional<QString> uniqueId;
    const uint32_t count = plist_array_get_size(list.get());
    for (uint32_t i = 0; i < count && !uniqueId; ++i) {
        uniqueId = uniqueIdOfElementNamed(plist_array_get_item(list.get(), i), safeName);
    }
    const bool entryAdded = !uniqueId;
    if (entryAdded) {
        uniqueId = newUuidString();
        plist_t element = plist_new_dict();
        plist_dict_set_item(element, kSignatureIsRich, plist_new_string("true"));
        plist_dict_set_item(element, kSignatureName, newString(safeName));
        plist_dict_set_item(element, kSignatureUniqueId, newString(*uniqueId));
        plist_array_append_item(list.get(), element);
    }
    makeXmlSafe(list.get());

    char* xml = nullptr;
    uint32_t xmlLength = 0;
    plist_to_xml(list.get(), &xml, &xmlLength);
    if (!xml) {
        report(error, Error{kCocoaErrorDomain, kPropertyListWriteInvalid,
                            QStringLiteral("The signature list couldn’t be converted to a property list.")});
        return false;
    }
    const QByteArray listXml(xml, static_cast<qsizetype>(xmlLength));
    std::free(xml);
    Error listError;
    if (!AtomicFile::write(listPath, listXml, &listError)) {
        // A new entry that did not reach the list would leave a signature file Mail never shows, while
        // the user is told it is installed; an entry already listed needs no change to be found.
        if (entryAdded) {
            // The list on disk was never emptied, so the next write must still do it.
            if (emptied) {
                deleteAll_ = true;
            }
            report(error, listError);
            return false;
        }
        BRSLogWarn(u"Apple Mail's signature list %@ was not rewritten: %@", listPath,
                   listError.localizedDescription);
    }

    const QString signaturePath =
        folder + QLatin1Char('/') + filePrefix + *uniqueId + QStringLiteral(".mailsignature");
    return AtomicFile::write(signaturePath, signatureFileContent(newUuidString(), content).toUtf8(), error);
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
