#pragma once

#include <chrono>
#include <ctime>

// Breaks timestamps down into local calendar fields. Lines arrive many per second, so the conversion,
// which consults the time zone, runs once per second and the milliseconds are added to it.
class LocalTimeCache final {
public:
    struct Fields {
        int year = 0;
        int month = 0;
        int day = 0;
        int hour = 0;
        int minute = 0;
        int second = 0;
        int millisecond = 0;
    };

    [[nodiscard]] Fields fields(std::chrono::system_clock::time_point timestamp);

private:
    std::time_t cachedSecond_ = -1;
    std::tm cached_{};
};
