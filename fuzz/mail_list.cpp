// Apple Mail's signature list as it may arrive (also through iCloud Drive, from another machine): any
// bytes in AllSignatures.plist, then one signature install into it. Properties: a refused list is left
// byte for byte as it was; an accepted one is rewritten as a list that reads back, and installing the
// same signature again adds no second entry.
//
// The first input byte picks the case: its low five bits the length of the signature name that follows,
// its top bit whether the list is emptied first. The rest is the list file.

#include <plist/plist.h>

#include <QByteArray>
#include <QFile>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "BRSAppleMailService3.h"
#include "FuzzSandbox.h"
#include "UserDefaults.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::abort();
    }
    return file.readAll();
}

// The number of entries in the list file; aborts when the file is no list at all.
uint32_t entryCount(const QString& path) {
    const QByteArray bytes = readAll(path);
    plist_t root = nullptr;
    const auto length = static_cast<uint32_t>(bytes.size());
    if (plist_is_binary(bytes.constData(), length)) {
        plist_from_bin(bytes.constData(), length, &root);
    } else {
        plist_from_xml(bytes.constData(), length, &root);
    }
    if (!root || plist_get_node_type(root) != PLIST_ARRAY) {
        std::abort();
    }
    const uint32_t count = plist_array_get_size(root);
    plist_free(root);
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzSandbox sandbox;
    static const QString folder = sandbox.path(QStringLiteral("Signatures"));
    static const QString listPath = folder + QStringLiteral("/AllSignatures.plist");
    if (size == 0) {
        return 0;
    }
    const size_t nameLength = std::min<size_t>(data[0] & 0x1F, size - 1);
    const bool deleteAll = (data[0] & 0x80) != 0;
    const QString name =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(nameLength));
    const QByteArray list(reinterpret_cast<const char*>(data + 1 + nameLength),
                          static_cast<qsizetype>(size - 1 - nameLength));

    FuzzSandbox::empty(folder);
    {
        QFile file(listPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(list) != list.size()) {
            std::abort();
        }
    }

    // The folder is handed to each update, so the installer's own Library folder is never used.
    BRSAppleMailService3 mail(false, QString(), UserDefaults::standardUserDefaults());
    const QList<BRSSignature> update{BRSSignature(name, QStringLiteral("<p>fuzz</p>"), QString())};
    std::optional<Result<void>> outcome;
    const BRSMailAppService::Observer observer{
        .willInstall = {}, .installed = [&outcome](qsizetype, const Result<void>& installed) {
            outcome = installed;
            return BRSMailAppService::Next::Continue;
        }};
    mail.setSignatures(update, deleteAll, folder, QString(), observer);
    if (!outcome) {
        std::abort();
    }
    if (!outcome->ok()) {
        if (outcome->error().localizedDescription.isEmpty() || readAll(listPath) != list) {
            std::abort();
        }
        return 0;
    }
    const uint32_t entries = entryCount(listPath);
    outcome.reset();
    mail.setSignatures(update, false, folder, QString(), observer);
    if (!outcome || !outcome->ok() || entryCount(listPath) != entries) {
        std::abort();
    }
    return 0;
}
