#include "ImageReferences.h"

#include <QJsonObject>

namespace {

QString srcAttribute(const QString& value) {
    return QStringLiteral("src=\"") + value + QLatin1Char('"');
}

// Whether the reference starts with a scheme ("letter *( letter / digit / + / - / . ) :").
bool hasScheme(const QByteArray& reference) {
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (reference.isEmpty() || !isLetter(reference.front())) {
        return false;
    }
    for (const char c : reference) {
        if (c == ':') {
            return true;
        }
        if (!isLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return false;
}

}  // namespace

ImageReferences::ImageReferences(const QJsonArray& images, const QUrl& imageHost) {
    for (const QJsonValue& image : images) {
        const QJsonObject entry = image.toObject();
        const QJsonValue name = entry.value(QLatin1String("Name"));
        const QJsonValue url = entry.value(QLatin1String("Url"));
        if (!name.isString() || !url.isString()) {
            continue;
        }
        const QString address = resolve(url.toString(), imageHost);
        if (address.isEmpty()) {
            continue;
        }
        replacements_.append({srcAttribute(name.toString()), srcAttribute(address)});
    }
}

QString ImageReferences::rewrite(QString html) const {
    for (const Replacement& replacement : replacements_) {
        html.replace(replacement.from, replacement.to, Qt::CaseSensitive);
    }
    return html;
}

QString ImageReferences::resolve(const QString& url, const QUrl& imageHost) {
    if (url.isEmpty()) {
        return QString();
    }
    // The URL query set: unreserved characters plus these stay; everything else, "%" included, is encoded
    // from its UTF-8 bytes.
    const QByteArray encoded = QUrl::toPercentEncoding(url, QByteArrayLiteral("!$&'()*+,/:;=?@"));
    // An absolute address is used exactly as the service wrote it: parsing it would lowercase the host,
    // drop dot segments or refuse an internationalised host, and the image would break.
    if (hasScheme(encoded)) {
        return QString::fromLatin1(encoded);
    }
    // Host-relative: it names its own host, so only the image host's scheme is added.
    if (encoded.startsWith("//")) {
        return imageHost.scheme() + QLatin1Char(':') + QString::fromLatin1(encoded);
    }
    const QUrl reference = QUrl::fromEncoded(encoded, QUrl::StrictMode);
    if (!reference.isValid()) {
        return QString();
    }
    const QUrl resolved = imageHost.resolved(reference);
    return resolved.isValid() && !resolved.isRelative()
               ? QString::fromUtf8(resolved.toEncoded(QUrl::FullyEncoded))
               : QString();
}
