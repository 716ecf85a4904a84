#include "app/TempTables.h"
#include "disk/Disk.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// Creating, moving and removing a temporary table happens under the lock, so that an
// interrupt's cleanup sees each either before or after.
std::mutex registryLock;
std::vector<std::string> registry;

} // namespace

void TempTableHooks::Lock() {
    registryLock.lock();
}

void TempTableHooks::Unlock() {
    registryLock.unlock();
}

void TempTableHooks::Made(const std::string& temp) {
    registry.push_back(temp);
}

void TempTableHooks::Gone(const std::string& temp) {
    registry.erase(std::remove(registry.begin(), registry.end(), temp), registry.end());
}

void RemoveTemporaryTables() {
    registryLock.lock(); // held until the process ends
    for (const std::string& temp : registry) {
        (void)kinrec::detail::RealDisk().RemoveFile(temp); // the process ends: nobody to tell
    }
    registry.clear();
}
