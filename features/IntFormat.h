// Decimal text of a 32-bit integer exactly as "%d" prints it, without the cost of a
// general formatter. The table's values are mostly one to four digits: a field of those
// (",v" for -9999 <= v <= 9999) is one copy of eight bytes from a table that holds each
// field's text and length, with neither a sign test nor a digit count; larger values
// are written four digits at a time from a table of the numbers 0000 to 9999.
#ifndef KINREC_INT_FORMAT_H
#define KINREC_INT_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kinrec::detail {

namespace intformat {

// "0000" "0001" ... "9999", then four bytes of padding (a copy of four bytes from the
// last entry's second digit on stays inside).
struct Digits4 {
    char d[10000 * 4 + 4];
};
extern const Digits4 kDigits4;

// u < 10000 without leading zeros. Copies four bytes whatever the length.
inline char* PutUpTo4(char* p, std::uint32_t u) {
    const int n = 1 + (u >= 10) + (u >= 100) + (u >= 1000);
    std::memcpy(p, &kDigits4.d[std::size_t{4} * u + 4 - static_cast<std::size_t>(n)], 4);
    return p + n;
}

// u < 10000 as exactly four digits.
inline char* Put4(char* p, std::uint32_t u) {
    std::memcpy(p, &kDigits4.d[std::size_t{4} * u], 4);
    return p + 4;
}

// Writes v at p and returns the end: at most 11 characters, but up to 12 bytes at p
// may be written.
inline char* FormatInt(char* p, std::int32_t v) {
    std::uint32_t u = static_cast<std::uint32_t>(v);
    if (v < 0) {
        *p++ = '-';
        u = 0u - u;
    }
    if (u < 10000) {
        return PutUpTo4(p, u);
    }
    if (u < 100000000) {
        const std::uint32_t hi = u / 10000;
        p = PutUpTo4(p, hi);
        return Put4(p, u - hi * 10000);
    }
    const std::uint32_t top = u / 100000000;
    const std::uint32_t rest = u - top * 100000000;
    const std::uint32_t hi = rest / 10000;
    p = PutUpTo4(p, top);
    p = Put4(p, hi);
    return Put4(p, rest - hi * 10000);
}

// ",v" for every v from -kFieldSpan to kFieldSpan: entry v + kFieldSpan is eight bytes,
// the text (",-9999" at most, so at least one byte of zeros follows it) and in the last
// byte its length. One spare entry at the end keeps a copy of eight bytes from an
// entry's second byte on inside the table.
constexpr std::uint32_t kFieldSpan = 9999;
constexpr std::size_t kFieldEntry = 8;
struct Fields {
    char d[(2 * kFieldSpan + 2) * kFieldEntry];
};
extern const Fields kFields;

// ",v" at p, given i = v + kFieldSpan <= 2 * kFieldSpan. Copies eight bytes whatever
// the length.
inline char* PutSmallField(char* p, std::uint32_t i) {
    const char* e = &kFields.d[kFieldEntry * i];
    std::memcpy(p, e, kFieldEntry);
    return p + static_cast<unsigned char>(e[kFieldEntry - 1]);
}

// ",v" at p for any v; returns the end. Up to 13 bytes at p may be written.
char* PutWideField(char* p, std::int32_t v);

inline char* PutField(char* p, std::int32_t v) {
    const std::uint32_t i = static_cast<std::uint32_t>(v) + kFieldSpan;
    if (i <= 2 * kFieldSpan) {
        return PutSmallField(p, i);
    }
    return PutWideField(p, v);
}

// v at p without the comma; returns the end. Up to 12 bytes at p may be written.
inline char* PutFirst(char* p, std::int32_t v) {
    const std::uint32_t i = static_cast<std::uint32_t>(v) + kFieldSpan;
    if (i <= 2 * kFieldSpan) {
        const char* e = &kFields.d[kFieldEntry * i];
        std::memcpy(p, e + 1, kFieldEntry);
        return p + static_cast<unsigned char>(e[kFieldEntry - 1]) - 1;
    }
    return FormatInt(p, v);
}

} // namespace intformat

} // namespace kinrec::detail

#endif
