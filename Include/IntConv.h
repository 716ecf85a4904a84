// Conversions to 32-bit integers that are defined for every input.
//
// Float-to-integer: truncation toward zero; a value that is not a number or does not fit
// gives INT32_MIN, what an x86 conversion instruction gives, without an out-of-range cast.
// Integer sums and differences wrap as two's complement instead of overflowing.
#ifndef KINREC_INT_CONV_H
#define KINREC_INT_CONV_H

#include <cstdint>

namespace kinrec::detail {

constexpr std::int32_t TruncToInt32(double v) {
    return (v > -2147483649.0 && v < 2147483648.0) ? static_cast<std::int32_t>(v) : INT32_MIN;
}

constexpr std::int32_t FromUint32(std::uint32_t u) {
    return u < 0x80000000u ? static_cast<std::int32_t>(u) : -static_cast<std::int32_t>(~u) - 1;
}

constexpr std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    return FromUint32(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

constexpr std::int32_t WrapSub(std::int32_t a, std::int32_t b) {
    return FromUint32(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

} // namespace kinrec::detail

#endif
