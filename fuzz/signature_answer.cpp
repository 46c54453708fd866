// The signatures answer of the service, from its bytes to the signatures the update installs: the JSON
// reader, the image rewrite and the digest cache. Property: once an answer has been taken while updating,
// the same answer again brings no changed signature (unless it asks for a clean install), as long as
// its names are distinct; a name that shared a cache file with another would keep coming back. And the
// answer's own reader takes exactly the documents Qt's reader, which reads every other answer, takes.

#include <QByteArray>
#include <QJsonDocument>
#include <QSet>
#include <QUrl>
#include <cstdint>
#include <cstdlib>

#include "AppInfo.h"
#include "BRSSignatureService.h"
#include "FuzzSandbox.h"
#include "SignaturesAnswer.h"

namespace {

// The one place the answer's bytes meet the product, so a new reader of the answer replaces just this.
QList<BRSSignature> signaturesFromAnswerData(const QByteArray& data, bool* clean) {
    const QUrl imageHost(QStringLiteral("https://img.example.com/"));
    return BRSSignatureService({}, imageHost, AppInfo::applicationSupportDirectory())
        .signaturesFromAnswer(data, imageHost, true, true, clean);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzSandbox sandbox;
    static const QString cache = AppInfo::applicationSupportDirectory();
    FuzzSandbox::empty(cache);

    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QJsonParseError error;
    const bool qtTakesIt =
        QJsonDocument::fromJson(bytes, &error).isObject() && error.error == QJsonParseError::NoError;
    if (SignaturesAnswer::fromJsonData(bytes).has_value() != qtTakesIt) {
        std::abort();
    }
    bool clean = false;
    const QList<BRSSignature> first = signaturesFromAnswerData(bytes, &clean);
    QSet<QString> names;
    for (const BRSSignature& signature : first) {
        names.insert(signature.name());
    }
    if (clean || names.size() != first.size()) {
        return 0;
    }
    if (!signaturesFromAnswerData(bytes, &clean).isEmpty()) {
        std::abort();
    }
    return 0;
}
