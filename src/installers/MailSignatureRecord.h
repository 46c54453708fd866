#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include "Result.h"

// What Orlin last wrote into Apple Mail's signature files, kept in Orlin's own data folder, so that a check
// can tell a file Mail or iCloud Drive has rewritten from the one we installed. Only the HTML after the
// file's header block counts: Mail rewrites its own headers (the message id, the encoding line) freely.
// Mail's files are only ever read here, and only those whose size, inode or modification time moved.
class MailSignatureRecord final {
public:
    struct Entry {
        QString name;
        // The .mailsignature file, absolute.
        QString path;
        // SHA-1, lower-case hex, of the part after the header block.
        QByteArray digest;
        // Size, inode and modification time as the write left them. While they still hold, the file is
        // taken as unchanged without being read: every rewrite by Mail or by hand moves at least one.
        QByteArray stamp;
    };

    // Where the record lives in Orlin's data folder (the folder of the signature cache).
    [[nodiscard]] static QString pathIn(const QString& dataFolder) {
        return dataFolder + QStringLiteral("/InstalledMailSignatures.json");
    }

    explicit MailSignatureRecord(QString path);

    // What a file just written with `content` is to be compared with later. Fails when the file cannot be
    // looked at any more.
    [[nodiscard]] static Result<Entry> entryOfWrittenFile(const QString& name, const QString& path,
                                                          QByteArrayView content);
    // Replaces the whole record. A record that cannot be replaced is removed, so that no check compares
    // Mail's files with what an earlier update wrote.
    [[nodiscard]] Result<void> replace(const QList<Entry>& entries) const;
    // Nothing recorded yet is an empty list.
    [[nodiscard]] Result<QList<Entry>> entries() const;
    // The names of recorded signatures whose file is gone or holds other HTML now, in record order. A
    // record or a file that cannot be read is logged and counts as unchanged: nothing says Mail changed it.
    [[nodiscard]] QStringList drifted() const;

    // The part of a signature file after its header block (after the first empty line); the whole
    // content when there is no header block.
    [[nodiscard]] static QByteArrayView bodyOf(QByteArrayView content);

private:
    QString path_;
};
