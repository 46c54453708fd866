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
    // Far more than either holds, counting an object shared between places once for each place: libplist
    // copies it into every one, so a list of a few kilobytes may stand for gigabytes.
    static constexpr quint64 kMaxObjects = 1000000;
    static constexpr quint64 kMaxBytes = quint64(64) << 20;

    // Whether the XML or binary list in data nests no deeper than limit, no string or key holds NUL (XML
    // may hold no NUL at all), and reading it makes no more than kMaxObjects objects and kMaxBytes bytes of
    // text and data. A binary list whose objects refer to each other in a cycle, or whose tables point
    // outside the data, is refused as well: a parser would recurse around the cycle for ever. So is an XML
    // document type with an internal subset.
    [[nodiscard]] static bool isSafeToParse(const QByteArray& data, int limit = kLimit);
};
