#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class DemoSandbox;

// What the demo's mail clients hold: the simulated Outlook's signatures and the signatures in Mail's list
// in the sandbox. Read before and after an update, the two tell which signatures the update changed.
class DemoInstallation final {
public:
    enum class Client { Outlook, AppleMail };

    struct Entry {
        QString name;
        Client client = Client::Outlook;
        // Where a user would look for it: the client, or the signature file.
        QString location;
        // The HTML as installed; for Mail without the file's header block, which changes at every write.
        QString content;
    };

    [[nodiscard]] static DemoInstallation read(const DemoSandbox& sandbox);

    // One line per signature and enabled client ("installed", "unchanged" or "not installed", then
    // "<name> -> <location>"), and a closing line that says whether anything changed. `complete` is false
    // when a signature is missing from an enabled client.
    [[nodiscard]] static QStringList report(const DemoInstallation& before, const DemoInstallation& after,
                                            const QStringList& names, const QList<Client>& clients,
                                            bool* complete);

    [[nodiscard]] const Entry* find(const QString& name, Client client) const;
    [[nodiscard]] const QList<Entry>& entries() const { return entries_; }

private:
    QList<Entry> entries_;
};
