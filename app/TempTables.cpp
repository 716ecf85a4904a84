#include "app/TempTables.h"

#include "app/ProcessState.h"
#include "disk/Disk.h"

#include <algorithm>
#include <mutex>
#include <vector>

void TempTableHooks::Lock() {
    Process().tempLock.lock();
}

void TempTableHooks::Unlock() {
    Process().tempLock.unlock();
}

void TempTableHooks::Made(const std::string& temp) {
    Process().temps.push_back(temp);
}

void TempTableHooks::Gone(const std::string& temp) {
    std::vector<std::string>& temps = Process().temps;
    temps.erase(std::remove(temps.begin(), temps.end(), temp), temps.end());
}

void RemoveTemporaryTables() {
    Process().tempLock.lock(); // held until the process ends
    for (const std::string& temp : Process().temps) {
        (void)kinrec::detail::RealDisk().RemoveFile(temp); // the process ends: nobody to tell
    }
    Process().temps.clear();
}
