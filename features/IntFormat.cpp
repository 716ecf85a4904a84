#include "features/IntFormat.h"

namespace intformat {

namespace {

constexpr Digits4 MakeDigits4() {
    Digits4 t{};
    for (int i = 0; i < 10000; ++i) {
        t.d[4 * i] = static_cast<char>('0' + i / 1000);
        t.d[4 * i + 1] = static_cast<char>('0' + i / 100 % 10);
        t.d[4 * i + 2] = static_cast<char>('0' + i / 10 % 10);
        t.d[4 * i + 3] = static_cast<char>('0' + i % 10);
    }
    return t;
}

} // namespace

constexpr Digits4 kDigits4 = MakeDigits4();

} // namespace intformat
