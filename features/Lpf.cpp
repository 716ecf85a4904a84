#include "features/Lpf.h"

void LpfInit(Lpf* lpf, std::int32_t samplingFrequency, std::int32_t cutOffFrequency) {
    lpf->wc = static_cast<float>(cutOffFrequency) * 6.28f;
    const float k = static_cast<float>(samplingFrequency) * 2.0f;
    lpf->a1 = (lpf->wc - k) / (k + lpf->wc);
    lpf->b0 = lpf->wc / (k + lpf->wc);
    lpf->b1 = lpf->b0;
    lpf->prevIn = 0.0f;
    lpf->prevOut = 0.0f;
}

void LpfUpdate(Lpf* lpf, float input, float* output) {
    const float y = ((lpf->b0 * input) + (lpf->b1 * lpf->prevIn)) - (lpf->a1 * lpf->prevOut);
    lpf->prevOut = y;
    lpf->prevIn = input;
    *output = y;
}
