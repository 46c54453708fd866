#include "PropertyList.h"

#include <plist/plist.h>

#include <QDateTime>
#include <QFile>
#include <cstdlib>
#include <limits>
#include <memory>

#include "AtomicFile.h"
#include "PropertyListPrecheck.h"

namespace {

// Seconds between the Unix epoch and the reference date property lists count from (2001-01-01).
constexpr qint64 kReferenceDateOffset = 978307200;

QString takeText(char* text) {
    QString result = QString::fromUtf8(text);
    std::free(text);
    return result;
}

QVariant toVariant(plist_t node) {
    switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return QVariant(value != 0);
        }
        case PLIST_UINT: {
            uint64_t value = 0;
            plist_get_uint_val(node, &value);
            // Negative integers come back in two's complement; the defaults never hold values above 2^63.
            return QVariant(static_cast<qint64>(value));
        }
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            return QVariant(value);
        }
        case PLIST_STRING: {
            char* value = nullptr;
            plist_get_string_val(node, &value);
            return QVariant(takeText(value));
        }
        case PLIST_DATA: {
            char* value = nullptr;
            uint64_t length = 0;
            plist_get_data_val(node, &value, &length);
            QByteArray bytes(value, static_cast<qsizetype>(length));
            std::free(value);
            return QVariant(bytes);
        }
        case PLIST_DATE: {
            int32_t seconds = 0;
            int32_t microseconds = 0;
            plist_get_date_val(node, &seconds, &microseconds);
            return QVariant(QDateTime::fromMSecsSinceEpoch(
                (kReferenceDateOffset + seconds) * 1000 + microseconds / 1000, Qt::UTC));
        }
        case PLIST_ARRAY: {
            QVariantList list;
            const uint32_t size = plist_array_get_size(node);
            for (uint32_t i = 0; i < size; ++i) {
                if (QVariant item = toVariant(plist_array_get_item(node, i)); item.isValid()) {
                    list.append(std::move(item));
                }
            }
            return QVariant(list);
        }
        case PLIST_DICT: {
            QVariantMap map;
            for (const QByteArray& key : PropertyList::keysOf(node)) {
                if (QVariant item = toVariant(plist_dict_get_item(node, key.constData())); item.isValid()) {
                    map.insert(QString::fromUtf8(key), std::move(item));
                }
            }
            return QVariant(map);
        }
        default:
            return {};
    }
}

plist_t fromVariant(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Bool:
            return plist_new_bool(value.toBool() ? 1 : 0);
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
        case QMetaType::Float:
        case QMetaType::Double:
            return plist_new_real(value.toDouble());
        case QMetaType::QString:
            return plist_new_string(value.toString().toUtf8().constData());
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            return plist_new_data(bytes.constData(), static_cast<uint64_t>(bytes.size()));
        }
        case QMetaType::QDateTime: {
            const qint64 msecs = value.toDateTime().toMSecsSinceEpoch() - kReferenceDateOffset * 1000;
            const qint64 seconds = msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000;
            return plist_new_date(static_cast<int32_t>(seconds),
                                  static_cast<int32_t>((msecs - seconds * 1000) * 1000));
        }
        case QMetaType::QVariantList:
        case QMetaType::QStringList: {
            plist_t array = plist_new_array();
            for (const QVariant& item : value.toList()) {
                if (plist_t node = fromVariant(item)) {
                    plist_array_append_item(array, node);
                }
            }
            return array;
        }
        case QMetaType::QVariantMap: {
            plist_t dict = plist_new_dict();
            const QVariantMap map = value.toMap();
            for (auto it = map.cbegin(); it != map.cend(); ++it) {
                if (plist_t node = fromVariant(*it)) {
                    plist_dict_set_item(dict, it.key().toUtf8().constData(), node);
                }
            }
            return dict;
        }
        default:
            return nullptr;
    }
}

}  // namespace

PropertyList::Node PropertyList::parse(const QByteArray& data) {
    if (data.isEmpty() || data.size() > std::numeric_limits<int32_t>::max() ||
        !PropertyListPrecheck::isSafeToParse(data)) {
        return nullptr;
    }
    const auto length = static_cast<uint32_t>(data.size());
    plist_t root = nullptr;
    if (plist_is_binary(data.constData(), length)) {
        plist_from_bin(data.constData(), length, &root);
    } else {
        plist_from_xml(data.constData(), length, &root);
    }
    return Node(root);
}

std::optional<QVariantMap> PropertyList::dictionaryFromData(const QByteArray& data) {
    const Node root = parse(data);
    if (!root || plist_get_node_type(static_cast<plist_t>(root.get())) != PLIST_DICT) {
        return std::nullopt;
    }
    return toVariant(static_cast<plist_t>(root.get())).toMap();
}

std::optional<QVariantMap> PropertyList::readDictionary(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return dictionaryFromData(file.readAll());
}

QByteArray PropertyList::xmlFromDictionary(const QVariantMap& dictionary) {
    const Node root(fromVariant(QVariant(dictionary)));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(static_cast<plist_t>(root.get()), &xml, &length);
    QByteArray result(xml, static_cast<qsizetype>(length));
    plist_to_xml_free(xml);
    return result;
}

bool PropertyList::writeDictionary(const QString& path, const QVariantMap& dictionary, Error* error) {
    return AtomicFile::write(path, xmlFromDictionary(dictionary), error);
}

std::optional<QString> PropertyList::stringValue(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) {
        return std::nullopt;
    }
    char* value = nullptr;
    plist_get_string_val(node, &value);
    QString text = QString::fromUtf8(value);
    std::free(value);
    return text;
}

QList<QByteArray> PropertyList::keysOf(plist_t dictionary) {
    QList<QByteArray> keys;
    if (!dictionary || plist_get_node_type(dictionary) != PLIST_DICT) {
        return keys;
    }
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(dictionary, &iterator);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dictionary, iterator, &key, &value);
        if (!key) {
            break;
        }
        keys.append(QByteArray(key));
        std::free(key);
    }
    std::free(iterator);
    return keys;
}
