#include "ProfileFieldType.h"

#include <algorithm>
#include <array>

namespace {

struct WireNumber {
    ProfileFieldType type;
    qint64 number;
};

// The service's numbering; the demo's stored profile uses it too, so a number never changes meaning.
constexpr std::array<WireNumber, 4> kWireNumbers{{
    {ProfileFieldType::Text, 1},
    {ProfileFieldType::Image, 2},
    {ProfileFieldType::List, 3},
    {ProfileFieldType::Boolean, 4},
}};

}  // namespace

std::optional<ProfileFieldType> ProfileFieldTypes::fromWire(qint64 number) {
    const auto* it = std::find_if(kWireNumbers.begin(), kWireNumbers.end(),
                                  [number](const WireNumber& entry) { return entry.number == number; });
    return it == kWireNumbers.end() ? std::nullopt : std::optional<ProfileFieldType>(it->type);
}

qint64 ProfileFieldTypes::toWire(ProfileFieldType type) {
    const auto* it = std::find_if(kWireNumbers.begin(), kWireNumbers.end(),
                                  [type](const WireNumber& entry) { return entry.type == type; });
    return it->number;
}
