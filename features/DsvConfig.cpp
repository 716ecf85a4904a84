#include "features/DsvConfig.h"

namespace kinrec::detail {

int InitConfig(DsvConfig* cfg) {
    *cfg = DsvConfig{};
    return 0;
}

} // namespace kinrec::detail
