#pragma once

#include <plist/plist.h>

#include <QString>
#include <QVariantMap>
#include <optional>

// Property-list files as Apple's tools write them, read into Qt values and written back as XML. Reading
// accepts XML and binary lists; writing is atomic, so a reader never sees half a file.
class PropertyList final {
public:
    PropertyList() = delete;

    // The top-level dictionary of the file; nothing when the file is missing, unreadable, not a property
    // list or not a dictionary at the top.
    [[nodiscard]] static std::optional<QVariantMap> readDictionary(const QString& path);
    [[nodiscard]] static std::optional<QVariantMap> dictionaryFromData(const QByteArray& data);

    // Values Qt has no property-list type for are left out of the file.
    [[nodiscard]] static QByteArray xmlFromDictionary(const QVariantMap& dictionary);
    // Replaces the file in one step; an existing file keeps its permissions.
    [[nodiscard]] static bool writeDictionary(const QString& path, const QVariantMap& dictionary);

    // The text of a string node; nothing for a missing node or one of another type.
    [[nodiscard]] static std::optional<QString> stringValue(plist_t node);
};
