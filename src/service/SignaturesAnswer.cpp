#include "SignaturesAnswer.h"

#include <simdjson.h>

#include <QJsonArray>
#include <QJsonObject>
#include <string_view>

struct SignaturesAnswer::Document {
    simdjson::dom::parser parser;
    simdjson::dom::object root;
};

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

// The last value of the key: the reading rules take a repeated key's last occurrence.
std::optional<element> member(const object& members, std::string_view key) {
    std::optional<element> found;
    for (const auto field : members) {
        if (field.key == key) {
            found = field.value;
        }
    }
    return found;
}

QByteArrayView textOf(const object& members, std::string_view key) {
    const std::optional<element> value = member(members, key);
    std::string_view text;
    if (!value || value->get_string().get(text) != simdjson::SUCCESS) {
        return {};
    }
    return QByteArrayView(text.data(), qsizetype(text.size()));
}

QString qtText(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QJsonValue qtValue(const element& value) {
    switch (value.type()) {
        case element_type::ARRAY: {
            QJsonArray array;
            const simdjson::dom::array items = value.get_array().value_unsafe();
            for (const element item : items) {
                array.append(qtValue(item));
            }
            return array;
        }
        case element_type::OBJECT: {
            QJsonObject members;
            const object fields = value.get_object().value_unsafe();
            for (const auto field : fields) {
                members.insert(qtText(field.key), qtValue(field.value));
            }
            return members;
        }
        case element_type::INT64:
            return QJsonValue(qint64(value.get_int64().value_unsafe()));
        case element_type::UINT64:
            return QJsonValue(double(value.get_uint64().value_unsafe()));
        case element_type::DOUBLE:
            return QJsonValue(value.get_double().value_unsafe());
        case element_type::STRING:
            return QJsonValue(qtText(value.get_string().value_unsafe()));
        case element_type::BOOL:
            return QJsonValue(value.get_bool().value_unsafe());
        case element_type::NULL_VALUE:
            break;
    }
    return QJsonValue(QJsonValue::Null);
}

}  // namespace

std::optional<SignaturesAnswer> SignaturesAnswer::fromJsonData(QByteArray data) {
    auto document = std::make_shared<Document>();
    const size_t length = size_t(data.size());
    // The parser reads a few bytes past the end; growing the buffer in place spares it a copy of the whole
    // answer.
    data.reserve(data.size() + qsizetype(simdjson::SIMDJSON_PADDING));
    element root;
    if (document->parser.parse(data.constData(), length, false).get(root) != simdjson::SUCCESS ||
        root.get_object().get(document->root) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    data = QByteArray();  // the parsed document holds every text from here on

    SignaturesAnswer answer;
    const object& members = document->root;
    if (const std::optional<element> clean = member(members, "clean")) {
        if (clean->is_bool()) {
            answer.clean_ = clean->get_bool().value_unsafe();
        } else if (clean->is_number()) {
            answer.clean_ = clean->get_double().value_unsafe() != 0;
        }
    }
    simdjson::dom::array list;
    if (const std::optional<element> images = member(members, "images");
        images && images->get_array().get(list) == simdjson::SUCCESS) {
        for (const element image : list) {
            object entry;
            std::string_view name;
            std::string_view url;
            if (image.get_object().get(entry) != simdjson::SUCCESS) {
                continue;
            }
            const std::optional<element> nameValue = member(entry, "Name");
            const std::optional<element> urlValue = member(entry, "Url");
            if (nameValue && urlValue && nameValue->get_string().get(name) == simdjson::SUCCESS &&
                urlValue->get_string().get(url) == simdjson::SUCCESS) {
                answer.images_.append({qtText(name), qtText(url)});
            }
        }
    }
    if (const std::optional<element> signatures = member(members, "signatures");
        signatures && signatures->get_array().get(list) == simdjson::SUCCESS) {
        answer.signatures_.reserve(list.size());
        for (const element signature : list) {
            object entry;
            if (signature.get_object().get(entry) != simdjson::SUCCESS) {
                continue;
            }
            answer.signatures_.push_back(
                {textOf(entry, "Name"), textOf(entry, "HTML"), textOf(entry, "Text")});
        }
    }
    answer.document_ = std::move(document);
    return answer;
}

bool SignaturesAnswer::contains(const QString& key) const {
    return member(document_->root, key.toUtf8().toStdString()).has_value();
}

QJsonValue SignaturesAnswer::value(const QString& key) const {
    const std::optional<element> found = member(document_->root, key.toUtf8().toStdString());
    return found ? qtValue(*found) : QJsonValue(QJsonValue::Undefined);
}
