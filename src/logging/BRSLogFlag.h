#pragma once

#include <cstdint>

// A message carries one flag; a level is the mask of flags that a call site or a logger lets through.
enum class BRSLogFlag : std::uint32_t {
    Error = 1U << 0,
    Warning = 1U << 1,
    Info = 1U << 2,
    Debug = 1U << 3,
    Verbose = 1U << 4,
};

enum class BRSLogLevel : std::uint32_t {
    Off = 0,
    Error = 0x01,
    Warning = 0x03,
    Info = 0x07,
    Debug = 0x0F,
    Verbose = 0x1F,
    All = 0xFFFFFFFF,
};

[[nodiscard]] constexpr bool levelHasFlag(BRSLogLevel level, BRSLogFlag flag) {
    return (static_cast<std::uint32_t>(level) & static_cast<std::uint32_t>(flag)) != 0;
}
