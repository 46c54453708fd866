#pragma once

#include <QString>
#include <chrono>

#include "BRSMailAppService.h"
#include "MailSignatureRecord.h"
#include "Result.h"

class UserDefaults;

// Installs signatures into Apple Mail by writing Mail's own files: the signature list (a property list
// whose root is an array of dictionaries) and one ".mailsignature" file per signature, named after the
// signature's unique id. Mail should not be running while its files change; quitting and starting it is
// the update cycle's job. Systems 10.11 to 10.15 use a fixed folder per version; from 11 on, the newest
// local folder Mail has made (its version number grows with Mail, without a release of ours) or, with
// iCloud Drive, the same iCloud folder as 10.12 to 10.15.
//
// Names are matched exactly, so "Sales" and "sales" are two Mail signatures; characters a property list
// cannot hold are mapped as portableText maps them, on both sides. The installer never creates the
// signature folder or the list: until Mail has made them, nothing can be installed. An update holds an OS
// lock on a file beside the list from its read to its last signature file, so two writers of ours never
// lose each other's entries, and replaces the list once however many signatures it writes.
// Failures of the file system keep their errno in the POSIX domain, so that a refusal by the system
// (EPERM) can be told from the rest.
class BRSAppleMailService3 final : public BRSMailAppService {
public:
    // Mail's files are looked for in `libraryFolder`; the defaults may name the system version (see
    // SystemVersion). Each update that writes signature files replaces the MailSignatureRecord at
    // `recordPath` with what it wrote; without one, nothing is remembered.
    BRSAppleMailService3(bool isUsingICloudDrive, QString libraryFolder, const UserDefaults& defaults,
                         QString recordPath = {});

    // Writes the signatures into the folder of this system version. With `clean`, the list keeps only
    // these signatures, under new ids; the files of the others stay where they are.
    void install(const QList<BRSSignature>& signatures, bool clean, const Observer& observer) override;
    [[nodiscard]] QString appName() const override;

    [[nodiscard]] bool isUsingICloudDrive() const { return isUsingICloudDrive_; }
    // How long an update waits for another writer of the list to finish before it gives up.
    void setListLockTimeout(std::chrono::milliseconds timeout) { listLockTimeout_ = timeout; }

    // The signature folder of this system version inside the user's Library folder (which is created
    // when missing). The signature folder is never created; it is looked for only from 11 on, where no
    // table names it.
    [[nodiscard]] Result<QString> getFolderUrlForSignatures() const;
    // Gives each signature an entry in the list in `folder` (finds it, or adds one), replaces the list
    // once, then writes each signature's file. Every signature fails, with an error that tells the user to
    // open Mail, when the list does not exist; a signature file is written only once the list names it.
    // A list that cannot be rewritten stops only the new entries: listed signatures are still updated.
    void setSignatures(const QList<BRSSignature>& signatures, bool clean, const QString& folder,
                       const QString& filePrefix, const Observer& observer);

    // The file Mail reads a signature from: a MIME header block, an empty line and the HTML unchanged.
    [[nodiscard]] static QString signatureFileContent(const QString& messageId, const QString& htmlContent);

private:
    // A failure that concerns the whole list, told for each signature until the observer stops.
    static void reportEach(qsizetype count, const Error& error, const Observer& observer);
    void remember(QList<MailSignatureRecord::Entry>& written, const QString& name, const QString& path,
                  const QByteArray& content) const;
    void replaceRecord(const QList<MailSignatureRecord::Entry>& written) const;

    const bool isUsingICloudDrive_;
    const QString libraryFolder_;
    const UserDefaults& defaults_;
    const QString recordPath_;
    std::chrono::milliseconds listLockTimeout_{5000};
};
