#pragma once

#include <QMap>
#include <QString>
#include <optional>

// Forms the address of a token endpoint: a base text and a query of key/value parameters.
class BRSUrlBuilder final {
public:
    BRSUrlBuilder();
    explicit BRSUrlBuilder(QString baseUrl);

    [[nodiscard]] const QString& baseUrl() const { return baseUrl_; }
    void setBaseUrl(QString baseUrl) { baseUrl_ = std::move(baseUrl); }
    [[nodiscard]] const QMap<QString, QString>& parameters() const { return parameters_; }
    void setParameters(QMap<QString, QString> parameters) { parameters_ = std::move(parameters); }

    // A later value for the same key replaces the earlier one; an absent key or value changes nothing.
    void addParameterWithKey(const std::optional<QString>& key, const std::optional<QString>& value);

    [[nodiscard]] QString getUrl() const;
    [[nodiscard]] QString getQueryString() const;

    // Percent-encodes one key or one value of the query.
    [[nodiscard]] static QString encodeQueryComponent(const QString& text);

private:
    QString baseUrl_;
    QMap<QString, QString> parameters_;
};
