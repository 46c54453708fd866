#include "AnswerValidator.h"

#include <QJsonValue>
#include <algorithm>

namespace {
// Far beyond any tag or date a service sends; a longer one is not worth sending back on every check.
constexpr qsizetype kMaximumValueSize = 1024;

const QString kAddressKey = QStringLiteral("address");
const QString kEntityTagKey = QStringLiteral("entityTag");
const QString kLastModifiedKey = QStringLiteral("lastModified");

// What goes back into a request header must not smuggle in a line break or any other control character.
bool fitsAHeader(const QByteArray& value) {
    return !value.isEmpty() && value.size() <= kMaximumValueSize &&
           std::all_of(value.cbegin(), value.cend(),
                       [](char c) { return uchar(c) >= 0x20 && uchar(c) < 0x7F; });
}
}  // namespace

std::optional<AnswerValidator> AnswerValidator::fromHeaders(const QString& address,
                                                            const QByteArray& entityTag,
                                                            const QByteArray& lastModified) {
    if (address.isEmpty()) {
        return std::nullopt;
    }
    // The tag is exact where the date is only as fine as a second: the tag wins when both came.
    if (fitsAHeader(entityTag.trimmed())) {
        return AnswerValidator(address, true, entityTag.trimmed());
    }
    if (fitsAHeader(lastModified.trimmed())) {
        return AnswerValidator(address, false, lastModified.trimmed());
    }
    return std::nullopt;
}

std::optional<AnswerValidator> AnswerValidator::fromJson(const QJsonObject& object) {
    const QJsonValue address = object.value(kAddressKey);
    const QJsonValue entityTag = object.value(kEntityTagKey);
    const QJsonValue lastModified = object.value(kLastModifiedKey);
    if (!address.isString() || entityTag.isString() == lastModified.isString()) {
        return std::nullopt;
    }
    const bool tag = entityTag.isString();
    const QByteArray value = (tag ? entityTag : lastModified).toString().toUtf8();
    // Read back exactly as written, or not at all.
    if (address.toString().isEmpty() || !fitsAHeader(value) || value != value.trimmed()) {
        return std::nullopt;
    }
    return AnswerValidator(address.toString(), tag, value);
}

QJsonObject AnswerValidator::toJson() const {
    return QJsonObject{{kAddressKey, address_},
                       {entityTag_ ? kEntityTagKey : kLastModifiedKey, QString::fromLatin1(value_)}};
}

QByteArray AnswerValidator::conditionHeader() const {
    return entityTag_ ? QByteArrayLiteral("If-None-Match") : QByteArrayLiteral("If-Modified-Since");
}
