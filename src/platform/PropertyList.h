#pragma once

#include <plist/plist.h>

#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

#include "Result.h"

// Property-list files as Apple's tools write them, read into Qt values and written back as XML. Reading
// accepts XML and binary lists; writing is atomic, so a reader never sees half a file.
class PropertyList final {
public:
    PropertyList() = delete;

    struct NodeDeleter {
        void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
    };
    using Node = std::unique_ptr<void, NodeDeleter>;

    // The root of an XML or binary list; nothing when the data is no property list, or nests deeper than
    // any real list does (a parser would exhaust the stack on it).
    [[nodiscard]] static Node parse(const QByteArray& data);

    // The top-level dictionary of the file; nothing when the file is missing, unreadable, not a property
    // list or not a dictionary at the top.
    [[nodiscard]] static std::optional<QVariantMap> readDictionary(const QString& path);
    [[nodiscard]] static std::optional<QVariantMap> dictionaryFromData(const QByteArray& data);

    // Values Qt has no property-list type for, and dates the library cannot hold, are left out of the
    // file. Dates keep whole seconds, as XML lists do.
    [[nodiscard]] static QByteArray xmlFromDictionary(const QVariantMap& dictionary);
    // Replaces the file whole or not at all; an existing file keeps its permissions.
    static Result<void> writeDictionary(const QString& path, const QVariantMap& dictionary);

    // The keys of a dictionary node, in the node's order; none for another node.
    [[nodiscard]] static QList<QByteArray> keysOf(plist_t dictionary);

    // The text of a string node; nothing for a missing node or one of another type.
    [[nodiscard]] static std::optional<QString> stringValue(plist_t node);
};
