#include "BRSAppleMailService3.h"

#include <plist/plist.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUuid>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "AppInfo.h"
#include "BRSAppleScript.h"
#include "PropertyList.h"
#include "SystemVersion.h"

namespace {

// File and property-list failures carry the platform's own domain and codes, as on macOS.
const QString kCocoaErrorDomain = QStringLiteral("NSCocoaErrorDomain");
constexpr qint64 kFileReadCorruptFile = 259;
constexpr qint64 kFileReadNoSuchFile = 260;
constexpr qint64 kFileReadUnknown = 256;
constexpr qint64 kFileWriteUnknown = 512;
constexpr qint64 kPropertyListWriteInvalid = 3851;

const char* const kSignatureName = "SignatureName";
const char* const kSignatureUniqueId = "SignatureUniqueId";
const char* const kSignatureIsRich = "SignatureIsRich";

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPointer = std::unique_ptr<void, PlistDeleter>;

void report(Error* error, Error value) {
    if (error) {
        *error = std::move(value);
    }
}

// The unique id of a list element named `name`, in the upper-case form the file name uses; nothing when
// the element is not such a dictionary or its id is not a UUID, so the walk goes on past it.
std::optional<QString> uniqueIdOfElementNamed(plist_t element, const QString& name) {
    static const QRegularExpression kUuid(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (plist_get_node_type(element) != PLIST_DICT) {
        return std::nullopt;
    }
    if (PropertyList::stringValue(plist_dict_get_item(element, kSignatureName)) != name) {
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

std::optional<QString> relativeSignatureFolder(const SystemVersion& version, bool isUsingICloudDrive) {
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

// Replaces the file in one step, so Mail never finds half of it.
bool writeAtomically(const QString& path, const QByteArray& bytes, Error* error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) {
        return true;
    }
    report(error, Error{kCocoaErrorDomain, kFileWriteUnknown,
                        QStringLiteral("The file “%1” couldn’t be saved: %2")
                            .arg(QFileInfo(path).fileName(), file.errorString())});
    return false;
}

}  // namespace

BRSAppleMailService3::BRSAppleMailService3(bool isUsingICloudDrive)
    : isUsingICloudDrive_(isUsingICloudDrive) {}

QString BRSAppleMailService3::appName() const {
    return QStringLiteral("Apple Mail");
}

void BRSAppleMailService3::deleteAllSignaturesNotIn(const QStringList& /*names*/) {
    deleteAll_ = true;
}

std::optional<QString> BRSAppleMailService3::getFolderUrlForSignatures(Error* error) const {
    const QString library = AppInfo::libraryDirectory();
    if (!QDir().mkpath(library)) {
        report(error, Error{kCocoaErrorDomain, kFileWriteUnknown,
                            QStringLiteral("The folder “%1” couldn’t be created.").arg(library)});
        return std::nullopt;
    }
    const std::optional<QString> relative =
        relativeSignatureFolder(SystemVersion::operatingSystemVersion(), isUsingICloudDrive_);
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
    (void)BRSAppleScript::runAppleScriptForSource(QStringLiteral("tell application \"Mail\" to quit\n"),
                                                  error);
    const std::optional<QString> folder = getFolderUrlForSignatures(error);
    if (!folder) {
        return false;
    }
    // Only El Capitan kept the iCloud copies under a prefix of their own.
    const SystemVersion version = SystemVersion::operatingSystemVersion();
    const bool prefixed = isUsingICloudDrive_ && version.majorVersion == 10 && version.minorVersion == 11;
    return setSignature(name, htmlContent, *folder, prefixed ? QStringLiteral("ubiquitous_") : QString(),
                        error);
}

bool BRSAppleMailService3::setSignature(const QString& name, const QString& content, const QString& folder,
                                        const QString& filePrefix, Error* error) {
    const QString listPath = folder + QLatin1Char('/') + filePrefix + QStringLiteral("AllSignatures.plist");
    // Mail makes the list the first time it runs; without a description here the user would see an
    // alert that says nothing.
    if (!QFileInfo::exists(listPath)) {
        report(error, Error{kCocoaErrorDomain, kFileReadNoSuchFile,
                            QStringLiteral("Apple Mail's signature list was not found. Open Apple Mail once, "
                                           "then try again.")});
        return false;
    }
    QFile listFile(listPath);
    if (!listFile.open(QIODevice::ReadOnly)) {
        report(error, Error{kCocoaErrorDomain, kFileReadUnknown,
                            QStringLiteral("The file “%1” couldn’t be opened: %2")
                                .arg(QFileInfo(listPath).fileName(), listFile.errorString())});
        return false;
    }
    const QByteArray listBytes = listFile.readAll();
    listFile.close();

    plist_t parsed = nullptr;
    if (!listBytes.isEmpty()) {
        plist_from_memory(listBytes.constData(), static_cast<uint32_t>(listBytes.size()), &parsed);
    }
    PlistPointer list(parsed);
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
                      .arg(QFileInfo(listPath).fileName())});
        return false;
    }

    if (deleteAll_.exchange(false)) {
        list.reset(plist_new_array());
    }

    std::optional<QString> uniqueId;
    const uint32_t count = plist_array_get_size(list.get());
    for (uint32_t i = 0; i < count && !uniqueId; ++i) {
        uniqueId = uniqueIdOfElementNamed(plist_array_get_item(list.get(), i), name);
    }
    if (!uniqueId) {
        uniqueId = newUuidString();
        plist_t element = plist_new_dict();
        plist_dict_set_item(element, kSignatureIsRich, plist_new_string("true"));
        plist_dict_set_item(element, kSignatureName, plist_new_string(name.toUtf8().constData()));
        plist_dict_set_item(element, kSignatureUniqueId, plist_new_string(uniqueId->toUtf8().constData()));
        plist_array_append_item(list.get(), element);
    }

    char* xml = nullptr;
    uint32_t xmlLength = 0;
    plist_to_xml(list.get(), &xml, &xmlLength);
    if (!xml) {
        report(error, Error{kCocoaErrorDomain, kPropertyListWriteInvalid,
                            QStringLiteral("The signature list couldn’t be converted to a property list.")});
        return false;
    }
    const QByteArray listXml(xml, static_cast<qsizetype>(xmlLength));
    plist_to_xml_free(xml);
    // A signature file the list does not name would tell the user the signature is installed while Mail
    // does not show it, so a failed list write ends the operation here.
    if (!writeAtomically(listPath, listXml, error)) {
        return false;
    }

    const QString signaturePath =
        folder + QLatin1Char('/') + filePrefix + *uniqueId + QStringLiteral(".mailsignature");
    return writeAtomically(signaturePath, signatureFileContent(newUuidString(), content).toUtf8(), error);
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
