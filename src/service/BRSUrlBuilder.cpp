#include "BRSUrlBuilder.h"

#include <QByteArray>

BRSUrlBuilder::BRSUrlBuilder() : BRSUrlBuilder(QStringLiteral("/")) {}

BRSUrlBuilder::BRSUrlBuilder(QString baseUrl) : baseUrl_(std::move(baseUrl)) {}

void BRSUrlBuilder::addParameterWithKey(const std::optional<QString>& key,
                                        const std::optional<QString>& value) {
    if (!key || !value) {
        return;
    }
    parameters_.insert(*key, *value);
}

QString BRSUrlBuilder::getUrl() const {
    if (parameters_.isEmpty()) {
        return baseUrl_;
    }
    return baseUrl_ + QLatin1Char('?') + getQueryString();
}

QString BRSUrlBuilder::getQueryString() const {
    // Each key and value is encoded on its own: encoding the joined text would leave an "&" or "=" inside
    // a password raw, splitting it into parameters the user never sent.
    QString query;
    QString separator;
    for (auto it = parameters_.cbegin(); it != parameters_.cend(); ++it) {
        query +=
            separator + encodeQueryComponent(it.key()) + QLatin1Char('=') + encodeQueryComponent(it.value());
        separator = QStringLiteral("&");
    }
    return query;
}

QString BRSUrlBuilder::encodeQueryComponent(const QString& text) {
    // Letters, digits and "-._~" always stay; of the other characters a query allows, these stay too.
    // "&", "=", "?", "+", "@" and "#" are encoded because the service's parser would read them as syntax.
    static const QByteArray kAlsoAllowed = QByteArrayLiteral("!$'()*,/:;");
    return QString::fromLatin1(text.toUtf8().toPercentEncoding(kAlsoAllowed));
}
