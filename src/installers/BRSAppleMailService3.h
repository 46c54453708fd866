#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <optional>

#include "BRSAppleScript.h"
#include "BRSMailAppService.h"

class UserDefaults;

// Installs signatures into Apple Mail by writing Mail's own files: the signature list (a property list
// whose root is an array of dictionaries) and one ".mailsignature" file per signature, named after the
// signature's unique id. Mail is told to quit before every write, so that it is not running while its
// files change; starting it again is the update cycle's job. Systems 10.11 to 10.15 use a fixed folder per
// version; from 11 on, the newest local folder Mail has made (its version number grows with Mail, without
// a release of ours) or, with iCloud Drive, the same iCloud folder as 10.12 to 10.15.
//
// Names are matched exactly, so "Sales" and "sales" are two Mail signatures; characters a property list
// cannot hold are mapped as portableText maps them, on both sides. The installer never creates the
// signature folder or the list: until Mail has made them, nothing can be installed. Every read-modify-write
// of the list holds an OS lock on a file beside it, so two writers of ours never lose each other's entries.
// Failures of the file system keep their errno in the POSIX domain, so that a refusal by the system
// (EPERM) can be told from the rest.
class BRSAppleMailService3 final : public BRSMailAppService {
public:
    // Mail's files are looked for in `libraryFolder`; the defaults may name the system version (see
    // SystemVersion); `script` tells Mail to quit.
    BRSAppleMailService3(bool isUsingICloudDrive, QString libraryFolder, const UserDefaults& defaults,
                         BRSAppleScript script);

    // Does not delete anything by itself: the next signature write empties the whole list first. The
    // names are not needed for that, since the cycle then writes every listed signature anew.
    void deleteAllSignaturesNotIn(const QStringList& names) override;
    // Tells Mail to quit, then writes the signature into the folder of this system version. A failure to
    // quit Mail does not stop the write; it only leaves its error behind for a later failure to replace.
    [[nodiscard]] bool setSignatureWithName(const QString& name, const QString& htmlContent,
                                            const QString& textContent, Error* error = nullptr) override;
    [[nodiscard]] QString appName() const override;

    [[nodiscard]] bool isUsingICloudDrive() const { return isUsingICloudDrive_; }
    [[nodiscard]] bool deleteAll() const { return deleteAll_; }
    void setDeleteAll(bool deleteAll) { deleteAll_ = deleteAll; }
    // How long a write waits for another writer of the list to finish before it gives up.
    void setListLockTimeout(std::chrono::milliseconds timeout) { listLockTimeout_ = timeout; }

    // The signature folder of this system version inside the user's Library folder (which is created
    // when missing). The signature folder is never created; it is looked for only from 11 on, where no
    // table names it.
    [[nodiscard]] std::optional<QString> getFolderUrlForSignatures(Error* error = nullptr) const;
    // Adds the signature to the list in `folder` (or finds its entry there) and writes its file. False,
    // with an error that tells the user to open Mail, when the list does not exist; the signature file is
    // written only once the list names it. A list that cannot be rewritten stops only a new entry: a
    // listed signature is still updated.
    [[nodiscard]] bool setSignature(const QString& name, const QString& content, const QString& folder,
                                    const QString& filePrefix, Error* error = nullptr);

    // The file Mail reads a signature from: a MIME header block, an empty line and the HTML unchanged.
    [[nodiscard]] static QString signatureFileContent(const QString& messageId, const QString& htmlContent);

private:
    const bool isUsingICloudDrive_;
    const QString libraryFolder_;
    const UserDefaults& defaults_;
    const BRSAppleScript script_;
    std::atomic<bool> deleteAll_ = false;
    std::chrono::milliseconds listLockTimeout_{5000};
};
