// Decimal text of a 32-bit integer exactly as "%d" prints it, without the cost of a
// general formatter: the table's values are mostly one to five digits.
#ifndef KINREC_INT_FORMAT_H
#define KINREC_INT_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace intformat {

extern const char kDigitPairs[201];

// The number of decimal digits of u.
inline int DigitCount(std::uint32_t u) {
    int n = 1;
    for (; u >= 10000; u /= 10000) {
        n += 4;
    }
    return n + (u >= 10) + (u >= 100) + (u >= 1000);
}

// Writes v at p (at most 11 characters) and returns the end.
inline char* FormatInt(char* p, std::int32_t v) {
    std::uint32_t u = static_cast<std::uint32_t>(v);
    if (v < 0) {
        *p++ = '-';
        u = 0u - u;
    }
    char* const end = p + DigitCount(u);
    char* q = end;
    while (u >= 100) {
        const std::size_t r = u % 100;
        u /= 100;
        q -= 2;
        q[0] = kDigitPairs[2 * r];
        q[1] = kDigitPairs[2 * r + 1];
    }
    if (u >= 10) {
        const std::size_t r = u;
        q[-2] = kDigitPairs[2 * r];
        q[-1] = kDigitPairs[2 * r + 1];
    } else {
        q[-1] = static_cast<char>('0' + u);
    }
    return end;
}

} // namespace intformat

#endif
