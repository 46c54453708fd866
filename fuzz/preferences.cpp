// The preferences file (and the managed layer an administrator writes), read at every launch. Property:
// whatever the reader accepts, the agent writes back in a form the reader accepts again, so saving a
// preference never leaves a file that loses all preferences at the next launch.

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QVariantMap> dictionary = PropertyList::dictionaryFromData(bytes);
    if (!dictionary) {
        return 0;
    }
    const std::optional<QVariantMap> again =
        PropertyList::dictionaryFromData(PropertyList::xmlFromDictionary(*dictionary));
    if (!again || again->keys() != dictionary->keys()) {
        std::abort();
    }
    return 0;
}
