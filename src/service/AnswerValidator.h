#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

// What the service said identifies one of its answers (the entity tag, else the last-modified date), tied
// to the address that answered. Sent back with the next request for that same address, it lets the service
// answer "304 Not Modified" instead of sending the whole answer again.
class AnswerValidator final {
public:
    // Nothing when the answer named neither, or only values that cannot safely go back into a header.
    [[nodiscard]] static std::optional<AnswerValidator> fromHeaders(const QString& address,
                                                                    const QByteArray& entityTag,
                                                                    const QByteArray& lastModified);
    // The form `toJson` writes; nothing for anything else, which is only ever a validator not to send.
    [[nodiscard]] static std::optional<AnswerValidator> fromJson(const QJsonObject& object);
    [[nodiscard]] QJsonObject toJson() const;

    [[nodiscard]] const QString& address() const { return address_; }
    // The request header that asks for the answer only when it changed, and its value.
    [[nodiscard]] QByteArray conditionHeader() const;
    [[nodiscard]] const QByteArray& value() const { return value_; }

    bool operator==(const AnswerValidator& other) const = default;

private:
    AnswerValidator(QString address, bool entityTag, QByteArray value)
        : address_(std::move(address)), entityTag_(entityTag), value_(std::move(value)) {}

    QString address_;
    bool entityTag_ = true;
    QByteArray value_;
};
