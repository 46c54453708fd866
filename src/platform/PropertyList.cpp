#include "PropertyList.h"

#include <plist/plist.h>

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QSet>
#include <QTimeZone>
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

#include "AtomicFile.h"
#include "PropertyListPrecheck.h"

namespace {

// Dates come out in UTC. From Qt 6.5 QTimeZone::utc() means plain UTC, and Qt::UTC is deprecated from 6.9;
// in 6.4 that zone is a full time zone the date would carry along, so Qt::UTC stays there.
QDateTime utcFromMSecsSinceEpoch(qint64 msecs) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc());
#else
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
#endif
}

// Rounds towards the past, as a date's fraction of a second belongs to the second it began in.
constexpr qint64 floorDivide(qint64 value, qint64 divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

#ifndef ORLIN_PLIST_UNIX_DATE
// Seconds between the Unix epoch and the reference date property lists count from (2001-01-01).
constexpr qint64 kReferenceDateOffset = 978307200;

// libplist 2.2 keeps a date as seconds from 2001 in a double and hands back the whole seconds truncated
// towards zero with the magnitude of the fraction: -1.5 comes back as -1 and 500000. (Within the second
// before 2001 the sign is lost; nothing in the call tells it.) The microseconds are themselves truncated,
// so a millisecond written comes back a microsecond short and is rounded to the nearest.
// A date before the first second the calls can write back is read as that second, so that a list read
// can always be saved again whole.
QDateTime dateFromReference(int32_t seconds, int32_t microseconds) {
    const qint64 fraction = microseconds < 0 ? -qint64(microseconds) : qint64(microseconds);
    const qint64 total =
        std::max(qint64(seconds) * 1000000 + (seconds < 0 || microseconds < 0 ? -fraction : fraction),
                 qint64(std::numeric_limits<int32_t>::min()) * 1000000);
    return utcFromMSecsSinceEpoch(kReferenceDateOffset * 1000 + floorDivide(total + 500, 1000));
}

// A date is written in the whole second it began in: an XML list holds no fraction, and libplist's writer
// would truncate one towards 2001, a second late for any date before.
// Nothing for a date the older calls cannot hold (beyond 68 years either side of 2001): a wrapped count
// would be a wrong date, written silently.
plist_t dateNode(const QDateTime& date) {
    const qint64 seconds = floorDivide(date.toMSecsSinceEpoch(), 1000) - kReferenceDateOffset;
    if (seconds < std::numeric_limits<int32_t>::min() || seconds > std::numeric_limits<int32_t>::max()) {
        return nullptr;
    }
    return plist_new_date(static_cast<int32_t>(seconds), 0);
}
#else
// The newer calls count whole seconds from 1970; a date is written in the second it began in, which is
// all an XML list holds anyway.
plist_t dateNode(const QDateTime& date) {
    return plist_new_unix_date(floorDivide(date.toMSecsSinceEpoch(), 1000));
}
#endif

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
#ifdef ORLIN_PLIST_UNIX_DATE
            int64_t seconds = 0;
            plist_get_unix_date_val(node, &seconds);
            // A list may hold any double; one beyond the milliseconds a date can count is no date.
            constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 1000;
            if (seconds > kLimit || seconds < -kLimit) {
                return {};
            }
            return QVariant(utcFromMSecsSinceEpoch(seconds * 1000));
#else
            int32_t seconds = 0;
            int32_t microseconds = 0;
            plist_get_date_val(node, &seconds, &microseconds);
            return QVariant(dateFromReference(seconds, microseconds));
#endif
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
            const QDateTime date = value.toDateTime();
            return date.isValid() ? dateNode(date) : nullptr;
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

// A file that cannot be read counts as empty, so the user would never learn why their preferences are
// gone. The same file is read again at every reload, and said once per content.
void warnOnce(const QString& path, const QByteArray& data) {
    static QMutex mutex;
    static QSet<QString> warned;
    const QString seen = path + QLatin1Char('\n') + QString::number(qHash(data));
    {
        const QMutexLocker lock(&mutex);
        if (warned.contains(seen)) {
            return;
        }
        warned.insert(seen);
    }
    const char* why = !PropertyListPrecheck::isSafeToParse(data)
                          ? "it nests too deep, holds too much once expanded, or is shaped to stop a reader"
                          : "it is no property list with a dictionary at the top";
    qWarning("The property list \"%s\" could not be read and counts as empty: %s", qUtf8Printable(path), why);
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
    const QByteArray data = file.readAll();
    std::optional<QVariantMap> dictionary = dictionaryFromData(data);
    if (!dictionary) {
        warnOnce(path, data);
    }
    return dictionary;
}

QByteArray PropertyList::xmlFromDictionary(const QVariantMap& dictionary) {
    const Node root(fromVariant(QVariant(dictionary)));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(static_cast<plist_t>(root.get()), &xml, &length);
    QByteArray result(xml, static_cast<qsizetype>(length));
    // libplist takes the text with malloc; plist_to_xml_free, its old name for freeing it, is gone from 2.3.
    std::free(xml);
    return result;
}

Result<void> PropertyList::writeDictionary(const QString& path, const QVariantMap& dictionary) {
    return AtomicFile::write(path, xmlFromDictionary(dictionary));
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
