#include "input/NumberText.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>

namespace kinrec::detail {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Decimal order of magnitude of a number that from_chars found out of range: positive
// for one that overflowed, negative or zero for one that underflowed.
long OrderOfMagnitude(const char* p, const char* end, bool hex) {
    const long digitWeight = hex ? 4 : 1;
    long order = 0;
    bool seenNonZero = false;
    bool afterPoint = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '.') {
            afterPoint = true;
            continue;
        }
        if (!(hex ? IsHexDigit(c) : IsDigit(c))) {
            break;
        }
        if (!seenNonZero && c != '0') {
            seenNonZero = true;
        }
        if (seenNonZero && !afterPoint) {
            order += digitWeight;
        } else if (!seenNonZero && afterPoint) {
            order -= digitWeight;
        }
    }
    if (p < end && (*p == 'e' || *p == 'E' || *p == 'p' || *p == 'P')) {
        ++p;
        bool negative = false;
        if (p < end && (*p == '+' || *p == '-')) {
            negative = *p == '-';
            ++p;
        }
        long exponent = 0;
        for (; p < end && IsDigit(*p); ++p) {
            if (exponent < 100000000) {
                exponent = exponent * 10 + (*p - '0');
            }
        }
        order += negative ? -exponent : exponent;
    }
    return order;
}

} // namespace

std::int32_t ParseInt(const char* s) {
    const char* stop = nullptr;
    return ParseInt(s, &stop);
}

std::int32_t ParseInt(const char* s, const char** stop) {
    while (IsSpace(*s)) {
        ++s;
    }
    bool negative = false;
    if (*s == '+' || *s == '-') {
        negative = *s == '-';
        ++s;
    }
    // Nine digits always fit 32 bits unsigned; longer numbers take the saturating path.
    std::uint32_t value = 0;
    const char* digits = s;
    while (IsDigit(*s) && s - digits < 9) {
        value = value * 10 + static_cast<std::uint32_t>(*s - '0');
        ++s;
    }
    std::uint64_t magnitude = value;
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 31;
    for (; IsDigit(*s); ++s) {
        if (magnitude <= kLimit) {
            magnitude = magnitude * 10 + static_cast<std::uint64_t>(*s - '0');
        }
    }
    *stop = s;
    if (negative) {
        return magnitude >= kLimit ? INT32_MIN : -static_cast<std::int32_t>(magnitude);
    }
    return magnitude >= kLimit ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

double ParseDouble(const char* s) {
    return ParseDouble(s, s + std::strlen(s));
}

double ParseDouble(const char* s, const char* end) {
    while (s < end && IsSpace(*s)) {
        ++s;
    }
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-')) {
        negative = *s == '-';
        ++s;
    }
    if (s < end && (*s == '+' || *s == '-')) {
        return 0.0; // a second sign: no number
    }
    // from_chars takes neither a sign nor the "0x" prefix: both are read here first.
    bool hex = false;
    const std::ptrdiff_t left = end - s;
    if (left >= 3 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') &&
        (IsHexDigit(s[2]) || (left >= 4 && s[2] == '.' && IsHexDigit(s[3])))) {
        hex = true;
        s += 2;
    }
    double value = 0.0;
    const std::chars_format fmt = hex ? std::chars_format::hex : std::chars_format::general;
    const std::from_chars_result r = std::from_chars(s, end, value, fmt);
    if (r.ec == std::errc::invalid_argument) {
        // "0x" without hex digits reads as the number 0 followed by "x".
        value = 0.0;
    } else if (r.ec == std::errc::result_out_of_range) {
        value = OrderOfMagnitude(s, r.ptr, hex) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

} // namespace kinrec::detail
