#include "disk/Disk.h"

#include "disk/SystemDisk.h"

namespace kinrec::detail {

Disk& RealDisk() {
    static SystemDisk disk; // no state: one is as good as another
    return disk;
}

} // namespace kinrec::detail
