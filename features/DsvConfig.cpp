#include "features/DsvConfig.h"

namespace kinrec::detail {

int InitConfig(DsvConfig* cfg) {
    cfg->FileType = 1;
    cfg->ResampleCount = 0;
    cfg->SamplingFrequency = 50;
    cfg->CutOffFrequency = 5;
    cfg->FallStartThreshold = 60;
    cfg->FallCounterOut = 1;
    cfg->PostureOut = 1;
    cfg->RmsDiffOut = 1;
    cfg->PostureDiffOut = 1;
    return 0;
}

} // namespace kinrec::detail
