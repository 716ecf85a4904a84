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

} // namespace

constexpr Digits4 kDigits4 = MakeDigits4();

} // namespace intformat

} // namespace kinrec::detail
