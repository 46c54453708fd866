#include "ImageReferences.h"

#include <QJsonObject>

namespace {

QString srcAttribute(const QString& value) {
    return QStringLiteral("src=\"") + value + QLatin1Char('"');
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
        const QUrl resolved = resolve(url.toString(), imageHost);
        if (!resolved.isValid()) {
            continue;
        }
        replacements_.append({srcAttribute(name.toString()),
                              srcAttribute(QString::fromUtf8(resolved.toEncoded(QUrl::FullyEncoded)))});
    }
}

QString ImageReferences::rewrite(QString html) const {
    for (const Replacement& replacement : replacements_) {
        html.replace(replacement.from, replacement.to, Qt::CaseSensitive);
    }
    return html;
}

QUrl ImageReferences::resolve(const QString& url, const QUrl& imageHost) {
    if (url.isEmpty()) {
        return {};
    }
    // The URL query set: unreserved characters plus these stay; everything else, "%" included, is encoded
    // from its UTF-8 bytes.
    const QByteArray encoded = QUrl::toPercentEncoding(url, QByteArrayLiteral("!$&'()*+,/:;=?@"));
    const QUrl reference = QUrl::fromEncoded(encoded, QUrl::StrictMode);
    if (!reference.isValid()) {
        return {};
    }
    const QUrl resolved = imageHost.resolved(reference);
    return resolved.isValid() && !resolved.isRelative() ? resolved : QUrl();
}
