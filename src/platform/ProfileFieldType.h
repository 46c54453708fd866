#pragma once

#include <QtGlobal>
#include <optional>

// The kinds of profile field the editor has a control for. The service's models, the editor and the demo
// all speak of these; only the two functions below know the numbers the service sends for them.
enum class ProfileFieldType { Text, Image, List, Boolean };

namespace ProfileFieldTypes {
// Nothing for a number the agent has no control for (a type the service added later): such a field is
// read, but left out of the form.
[[nodiscard]] std::optional<ProfileFieldType> fromWire(qint64 number);
[[nodiscard]] qint64 toWire(ProfileFieldType type);
}  // namespace ProfileFieldTypes
