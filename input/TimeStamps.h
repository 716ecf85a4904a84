// Time stamps as recordings write them: whole numbers (kept exact: nanosecond Unix
// stamps exceed a double's 53 bits), decimal numbers, or dates and times
// ("2023-03-15 14:20:00.123", "2023/03/15T14:20:00Z").
#ifndef KINREC_TIME_STAMPS_H
#define KINREC_TIME_STAMPS_H

#include <cstdint>
#include <optional>
#include <string_view>

namespace kinrec::detail {

struct Stamp {
    enum Kind { kWhole, kReal, kDate } kind = kWhole;
    std::int64_t whole = 0; // kWhole: the number; kDate: [us] since 1970-01-01 UTC
    double real = 0.0;      // kReal
};

// A date and time, or nothing: the text begins with YYYY-MM-DD (or '/' between), then
// optionally a separator, HH:MM[:SS[.fraction]] and Z or +HH:MM; fractions below a
// microsecond are dropped.
std::optional<Stamp> ParseDateTime(std::string_view s);

// A whole number ([+-]digits that fit 64 bits), else nothing.
std::optional<Stamp> ParseWhole(std::string_view s);

// [s] from origin to stamp: dates exactly to the microsecond, numbers in units of scale
// seconds (whole numbers subtracted exactly first).
double Elapsed(const Stamp& stamp, const Stamp& origin, double scale);

} // namespace kinrec::detail

#endif
