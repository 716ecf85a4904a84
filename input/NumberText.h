// Text-to-number conversions with the C library's atoi and strtod rules, independent of
// the locale and of the host's C library, so every build reads the same numbers.
#ifndef KINREC_NUMBER_TEXT_H
#define KINREC_NUMBER_TEXT_H

#include <cstdint>

namespace kinrec::detail {

// atoi: leading white space skipped, an optional sign, then decimal digits up to the
// first other character; no digits give 0. A number beyond the 32-bit range saturates
// to INT32_MAX / INT32_MIN.
std::int32_t ParseInt(const char* s);
// The same; *stop is set to the first character after the number's text.
std::int32_t ParseInt(const char* s, const char** stop);

// strtod: leading white space skipped, an optional sign, then a decimal or hexadecimal
// ("0x") floating number, "inf", "infinity" or "nan" (any case), as far as it continues
// a number; no number gives 0. Overflow gives an infinity, underflow zero. The text is
// [s, end), or s up to its NUL.
double ParseDouble(const char* s, const char* end);
double ParseDouble(const char* s);

} // namespace kinrec::detail

#endif
