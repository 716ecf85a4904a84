// First-order low-pass filter, bilinear transform without pre-warping, single precision.
//
//   wc = 6.28 fc,  k = 2 fs,  a1 = (wc - k) / (k + wc),  b0 = b1 = wc / (k + wc)
//   y[n] = (b0 x[n] + b1 x[n-1]) - a1 y[n-1]
//
// The factor is 6.28, not 2 pi. Nothing is guarded: a cut-off of 0 gives a filter that
// outputs 0, a negative one can make it unstable, and k + wc = 0 gives non-numbers; the
// integer conversions downstream are defined for all of these.
#ifndef KINREC_LPF_H
#define KINREC_LPF_H

#include <cstdint>

namespace kinrec::detail {

struct Lpf {
    float a1;      // feedback coefficient
    float b0;      // gain of the current input
    float b1;      // gain of the previous input (= b0)
    float wc;      // angular cut-off [rad/s]
    float prevIn;  // previous input
    float prevOut; // previous output
};

// fs, fc in Hz.
void LpfInit(Lpf* lpf, std::int32_t samplingFrequency, std::int32_t cutOffFrequency);
// One step; inline, as it runs six times a sample.
inline void LpfUpdate(Lpf* lpf, float input, float* output) {
    const float y = ((lpf->b0 * input) + (lpf->b1 * lpf->prevIn)) - (lpf->a1 * lpf->prevOut);
    lpf->prevOut = y;
    lpf->prevIn = input;
    *output = y;
}

} // namespace kinrec::detail

#endif
