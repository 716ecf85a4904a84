#include "input/TimeStamps.h"

#include <charconv>
#include <limits>

namespace kinrec::detail {

namespace {

bool Digits(std::string_view s, std::size_t at, std::size_t n, int& value) {
    if (at + n > s.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool ValidDate(int y, int m, int d) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1) {
        return false;
    }
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

} // namespace

std::optional<Stamp> ParseDateTime(std::string_view s) {
    int year, month, day;
    if (!Digits(s, 0, 4, year) || s.size() < 10 || (s[4] != '-' && s[4] != '/') ||
        (s[7] != '-' && s[7] != '/') || !Digits(s, 5, 2, month) || !Digits(s, 8, 2, day) ||
        !ValidDate(year, month, day)) {
        return std::nullopt;
    }
    std::int64_t us = DaysFromCivil(year, month, day) * 86400 * 1000000;
    std::size_t i = 10;
    if (i < s.size()) {
        int hour, minute, second = 0;
        ++i; // the separator, any one character
        if (!Digits(s, i, 2, hour) || i + 2 >= s.size() || s[i + 2] != ':' ||
            !Digits(s, i + 3, 2, minute) || hour > 23 || minute > 59) {
            return std::nullopt;
        }
        i += 5;
        std::int64_t micro = 0;
        if (i < s.size() && s[i] == ':') {
            if (!Digits(s, i + 1, 2, second) || second > 59) {
                return std::nullopt;
            }
            i += 3;
            if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
                ++i;
                int place = 100000;
                const std::size_t from = i;
                while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
                    micro += static_cast<std::int64_t>(s[i] - '0') * place;
                    place /= 10;
                    ++i;
                }
                if (i == from) {
                    return std::nullopt;
                }
            }
        }
        us += ((hour * 60 + minute) * 60 + second) * std::int64_t{1000000} + micro;
        if (i < s.size() && s[i] == 'Z') {
            ++i;
        } else if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            int oh, om;
            const bool colon = i + 3 < s.size() && s[i + 3] == ':';
            if (!Digits(s, i + 1, 2, oh) || !Digits(s, i + (colon ? 4 : 3), 2, om)) {
                return std::nullopt;
            }
            const std::int64_t offset = (oh * 60 + om) * std::int64_t{60000000};
            us += s[i] == '+' ? -offset : offset;
            i += colon ? 6 : 5;
        }
        if (i != s.size()) {
            return std::nullopt;
        }
    }
    Stamp stamp;
    stamp.kind = Stamp::kDate;
    stamp.whole = us;
    return stamp;
}

std::optional<Stamp> ParseWhole(std::string_view s) {
    const char* p = s.data();
    const char* end = p + s.size();
    if (p < end && *p == '+') {
        ++p;
    }
    if (p == end || (*p == '-' && (p + 1 == end || p[1] < '0' || p[1] > '9'))) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const std::from_chars_result r = std::from_chars(p, end, value);
    if (r.ec != std::errc() || r.ptr != end) {
        return std::nullopt;
    }
    Stamp stamp;
    stamp.whole = value;
    return stamp;
}

double Elapsed(const Stamp& stamp, const Stamp& origin, double scale) {
    if (stamp.kind == Stamp::kDate) {
        return static_cast<double>(stamp.whole - origin.whole) / 1e6;
    }
    if (stamp.kind == Stamp::kWhole && origin.kind == Stamp::kWhole) {
        const std::int64_t a = stamp.whole;
        const std::int64_t b = origin.whole;
        const bool overflows = (b > 0 && a < std::numeric_limits<std::int64_t>::min() + b) ||
                               (b < 0 && a > std::numeric_limits<std::int64_t>::max() + b);
        if (!overflows) {
            return static_cast<double>(a - b) * scale;
        }
    }
    const auto value = [](const Stamp& s) {
        return s.kind == Stamp::kReal ? s.real : static_cast<double>(s.whole);
    };
    return (value(stamp) - value(origin)) * scale;
}

} // namespace kinrec::detail
