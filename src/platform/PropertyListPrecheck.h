#pragma once

#include <QByteArray>

// Looks a property list over before any parser touches it, for the shapes that would end the process
// rather than fail a read: a list nested tens of thousands deep (a few hundred kilobytes, and such a file
// can arrive through a synced folder) overflows the stack of a parser that recurses once per level, and a
// string or dictionary key holding NUL stops libplist on an assertion as soon as it is read.
class PropertyListPrecheck final {
public:
    PropertyListPrecheck() = delete;

    // Far deeper than anything Mail or the preferences system writes.
    static constexpr int kLimit = 512;

    // Whether the XML or binary list in data nests no deeper than limit and no string or key holds NUL (XML
    // may hold no NUL at all). A binary list whose objects refer to each other in a cycle, or whose tables
    // point outside the data, is refused as well: a parser would recurse around the cycle for ever.
    [[nodiscard]] static bool isSafeToParse(const QByteArray& data, int limit = kLimit);
};
