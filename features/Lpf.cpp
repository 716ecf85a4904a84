#include "features/Lpf.h"

#include <cmath>
#include <limits>

namespace kinrec::detail {

namespace {

// a / b with the IEEE result also for b = 0 (an infinity of the right sign, or a
// non-number for 0 / 0), spelled out so that no division by zero is performed.
float Divide(float a, float b) {
    if (b != 0.0f) {
        return a / b;
    }
    if (a == 0.0f || std::isnan(a)) {
        return std::numeric_limits<float>::quiet_NaN();
    }
    const bool negative = std::signbit(a) != std::signbit(b);
    return negative ? -std::numeric_limits<float>::infinity()
                    : std::numeric_limits<float>::infinity();
}

} // namespace

void LpfInit(Lpf* lpf, std::int32_t samplingFrequency, std::int32_t cutOffFrequency) {
    lpf->wc = static_cast<float>(cutOffFrequency) * 6.28f;
    const float k = static_cast<float>(samplingFrequency) * 2.0f;
    lpf->a1 = Divide(lpf->wc - k, k + lpf->wc);
    lpf->b0 = Divide(lpf->wc, k + lpf->wc);
    lpf->b1 = lpf->b0;
    lpf->prevIn = 0.0f;
    lpf->prevOut = 0.0f;
}

} // namespace kinrec::detail
