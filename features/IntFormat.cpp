#include "features/IntFormat.h"

namespace kinrec::detail {

namespace intformat {

namespace {

constexpr Digits4 MakeDigits4() {
    Digits4 t{};
    for (std::size_t i = 0; i < 10000; ++i) {
        char* e = &t.d[4 * i];
        e[0] = static_cast<char>('0' + i / 1000);
        e[1] = static_cast<char>('0' + i / 100 % 10);
        e[2] = static_cast<char>('0' + i / 10 % 10);
        e[3] = static_cast<char>('0' + i % 10);
    }
    return t;
}

// Entries for -u and u are filled together, from the digits of u.
constexpr Fields MakeFields() {
    Fields t{};
    for (std::uint32_t u = 0; u <= kFieldSpan; ++u) {
        char digits[4] = {};
        std::size_t n = 0;
        for (std::uint32_t r = u;; r /= 10) {
            digits[n++] = static_cast<char>('0' + r % 10);
            if (r < 10) {
                break;
            }
        }
        char* pos = &t.d[kFieldEntry * (kFieldSpan + u)];
        char* neg = &t.d[kFieldEntry * (kFieldSpan - u)];
        pos[0] = ',';
        neg[0] = ',';
        neg[1] = '-';
        for (std::size_t k = 0; k < n; ++k) {
            pos[1 + k] = digits[n - 1 - k];
            neg[2 + k] = digits[n - 1 - k];
        }
        pos[kFieldEntry - 1] = static_cast<char>(1 + n);
        if (u != 0) {
            neg[kFieldEntry - 1] = static_cast<char>(2 + n);
        }
    }
    return t;
}

} // namespace

constexpr Digits4 kDigits4 = MakeDigits4();
constexpr Fields kFields = MakeFields();

char* PutWideField(char* p, std::int32_t v) {
    // Below 10^8 by magnitude: the field of the leading digits from the table (its sign
    // included), then the last four as they are.
    if (static_cast<std::uint32_t>(v) + 99999999u <= 199999998u) {
        const std::int32_t hi = v / 10000;
        const std::int32_t lo = v - hi * 10000;
        p = PutSmallField(p, static_cast<std::uint32_t>(hi) + kFieldSpan);
        return Put4(p, static_cast<std::uint32_t>(lo < 0 ? -lo : lo));
    }
    *p++ = ',';
    return FormatInt(p, v);
}

} // namespace intformat

} // namespace kinrec::detail
