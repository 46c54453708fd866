#include "DemoInstallation.h"

#include <plist/plist.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <cstdlib>
#include <memory>

#include "DemoSandbox.h"
#include "PropertyList.h"

namespace {

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<QString> stringItem(plist_t dictionary, const char* key) {
    return PropertyList::stringValue(plist_dict_get_item(dictionary, key));
}

QString clientName(DemoInstallation::Client client) {
    return client == DemoInstallation::Client::Outlook ? QStringLiteral("Outlook")
                                                       : QStringLiteral("Apple Mail");
}

}  // namespace

DemoInstallation DemoInstallation::read(const DemoSandbox& sandbox) {
    DemoInstallation installation;
    const QJsonArray outlook = QJsonDocument::fromJson(contentsOf(sandbox.simulatorStatePath()))
                                   .object()
                                   .value(QStringLiteral("outlook"))
                                   .toObject()
                                   .value(QStringLiteral("signatures"))
                                   .toArray();
    for (const QJsonValue& item : outlook) {
        const QJsonObject signature = item.toObject();
        installation.entries_.append({signature.value(QStringLiteral("name")).toString(), Client::Outlook,
                                      QStringLiteral("Outlook (simulated)"),
                                      signature.value(QStringLiteral("content")).toString()});
    }

    const QString folder = sandbox.mailSignaturesDirectory();
    const QByteArray list = contentsOf(folder + QStringLiteral("/AllSignatures.plist"));
    const PropertyList::Node owner = PropertyList::parse(list);
    const plist_t root = owner.get();
    if (!root || plist_get_node_type(root) != PLIST_ARRAY) {
        return installation;
    }
    for (uint32_t i = 0; i < plist_array_get_size(root); ++i) {
        plist_t element = plist_array_get_item(root, i);
        if (plist_get_node_type(element) != PLIST_DICT) {
            continue;
        }
        const std::optional<QString> name = stringItem(element, "SignatureName");
        const std::optional<QString> id = stringItem(element, "SignatureUniqueId");
        // Only a real id names a file; anything else could point outside the folder.
        const QUuid uuid(id.value_or(QString()));
        if (!name || uuid.isNull()) {
            continue;
        }
        const QString path = folder + QLatin1Char('/') + uuid.toString(QUuid::WithoutBraces).toUpper() +
                             QStringLiteral(".mailsignature");
        const QString file = QString::fromUtf8(contentsOf(path));
        const qsizetype bodyStart = file.indexOf(QStringLiteral("\n\n"));
        installation.entries_.append(
            {*name, Client::AppleMail, path, bodyStart < 0 ? QString() : file.mid(bodyStart + 2)});
    }
    return installation;
}

const DemoInstallation::Entry* DemoInstallation::find(const QString& name, Client client) const {
    for (const Entry& entry : entries_) {
        if (entry.name == name && entry.client == client) {
            return &entry;
        }
    }
    return nullptr;
}

QStringList DemoInstallation::report(const DemoInstallation& before, const DemoInstallation& after,
                                     const QStringList& names, const QList<Client>& clients, bool* complete) {
    QStringList lines;
    int changed = 0;
    *complete = true;
    for (const QString& name : names) {
        for (const Client client : clients) {
            const Entry* now = after.find(name, client);
            if (!now) {
                *complete = false;
                lines.append(QStringLiteral("not installed %1 -> %2").arg(name, clientName(client)));
                continue;
            }
            const Entry* earlier = before.find(name, client);
            const bool isNew = !earlier || earlier->content != now->content;
            changed += isNew ? 1 : 0;
            lines.append(QStringLiteral("%1 %2 -> %3")
                             .arg(isNew ? QStringLiteral("installed") : QStringLiteral("unchanged"), name,
                                  now->location));
        }
    }
    if (!*complete) {
        lines.append(QStringLiteral("some signatures are missing from a mail client"));
    } else if (changed == 0) {
        lines.append(QStringLiteral("nothing changed: every signature was already installed"));
    } else {
        lines.append(QStringLiteral("%1 signature installations changed").arg(changed));
    }
    return lines;
}
