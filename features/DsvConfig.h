// The settings of a conversion: which input layout, how samples are thinned, the
// filters' frequencies, the fall threshold and which column groups the table has.
//
// The pipeline only reads a settings record; where the settings come from (the
// configuration files, a library caller) is its owner's business.
#ifndef KINREC_DSV_CONFIG_H
#define KINREC_DSV_CONFIG_H

#include <cstdint>

namespace kinrec::detail {

struct DsvConfig {
    std::int32_t FileType;           // 1, 2, 3: CSV layouts; 4: binary dataset; else as 1
    std::int32_t ResampleCount;      // keep every Nth sample; 1 or less keeps all
    std::int32_t SamplingFrequency;  // [Hz] for the low-pass filters
    std::int32_t CutOffFrequency;    // [Hz] low-pass cut-off
    std::int32_t FallStartThreshold; // [0.01 g] fall counter threshold on lpf_acc
    std::int32_t FallCounterOut;     // non-zero: fall_counter column (no key)
    std::int32_t PostureOut;         // non-zero: roll, pitch, yaw columns (no key)
    std::int32_t RmsDiffOut;         // non-zero: acc_diff, omega_diff columns
    std::int32_t PostureDiffOut;     // non-zero: roll_diff, pitch_diff, yaw_diff columns
};

// The defaults: FileType 1, ResampleCount 0, 50 Hz, 5 Hz, threshold 60, all columns on.
int InitConfig(DsvConfig* cfg);

} // namespace kinrec::detail

#endif
