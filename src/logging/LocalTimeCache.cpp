#include "LocalTimeCache.h"

LocalTimeCache::Fields LocalTimeCache::fields(std::chrono::system_clock::time_point timestamp) {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<milliseconds>(timestamp.time_since_epoch());
    // Floored, not truncated: a moment before 1970 still belongs to the second that began before it.
    const seconds whole = floor<seconds>(sinceEpoch);
    const std::time_t second = static_cast<std::time_t>(whole.count());
    if (second != cachedSecond_) {
        localtime_r(&second, &cached_);
        cachedSecond_ = second;
    }
    return Fields{cached_.tm_year + 1900,
                  cached_.tm_mon + 1,
                  cached_.tm_mday,
                  cached_.tm_hour,
                  cached_.tm_min,
                  cached_.tm_sec,
                  static_cast<int>((sinceEpoch - whole).count())};
}
