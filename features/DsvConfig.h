// The settings of a conversion: which input layout, how samples are thinned, the
// filters' frequencies, the fall threshold and which column groups the table has.
//
// The pipeline only reads a settings record; where the settings come from (the
// configuration files, a library caller) is its owner's business.
#ifndef KINREC_DSV_CONFIG_H
#define KINREC_DSV_CONFIG_H

#include "kinrec.h"

#include <cstdint>

namespace kinrec::detail {

// The library's settings record (kinrec.h: KINREC_SETTINGS), nine signed 32-bit
// integers: FileType, ResampleCount, SamplingFrequency, CutOffFrequency,
// FallStartThreshold, FallCounterOut, PostureOut, RmsDiffOut, PostureDiffOut.
using DsvConfig = ::kinrec::Settings;

// The defaults of the settings table: FileType 1, ResampleCount 0, 50 Hz, 5 Hz,
// threshold 60, all columns on.
int InitConfig(DsvConfig* cfg);

} // namespace kinrec::detail

#endif
