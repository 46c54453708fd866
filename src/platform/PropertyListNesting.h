#pragma once

#include <QByteArray>

// Measures how deep a property list nests before any parser recurses into it. Property-list parsers
// recurse once per level, so a list nested tens of thousands deep (a few hundred kilobytes, and such a file
// can arrive through a synced folder) would overflow the stack; refusing it beforehand is the only defence.
class PropertyListNesting final {
public:
    PropertyListNesting() = delete;

    // Far deeper than anything Mail or the preferences system writes.
    static constexpr int kLimit = 512;

    // Whether the XML or binary list in data nests no deeper than limit. A binary list whose objects refer
    // to each other in a cycle, or whose tables point outside the data, is refused as well: a parser would
    // recurse around the cycle for ever.
    [[nodiscard]] static bool isWithinLimit(const QByteArray& data, int limit = kLimit);
};
