// Signature names and HTML go into AppleScript sources between double quotes. Property: for any text,
// the escaped text inside quotes reads back, through a reader of AppleScript string literals, as exactly
// the original and ends exactly where the closing quote stands; nothing in it can end the literal early
// and run as script.
//
// The input is taken as UTF-16 code units, so lone surrogates and every control character occur.

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "BRSAppleScript.h"
#include "ScriptReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QString text(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    std::memcpy(text.data(), data, (size / 2) * 2);

    ScriptReader reader(QLatin1Char('"') + BRSAppleScript::escapeString(text) + QStringLiteral("\" & x"));
    const std::optional<QString> literal = reader.takeStringLiteral();
    if (!literal || *literal != text || !reader.take(u" & x") || !reader.atEnd()) {
        std::abort();
    }
    return 0;
}
