#include "app/TableFile.h"

#include "app/Console.h"
#include "app/InputFile.h"
#include "app/Platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <vector>

namespace {

// The temporary tables in the making. Creating, moving and removing them happens under
// the lock, so that an interrupt's cleanup sees each either before or after.
std::mutex registryLock;
std::vector<std::string> registry;
std::atomic<unsigned long> tempSerial{0};

std::string TempNameFor(const std::string& target) {
    return target + ".kinrec-tmp-" + std::to_string(platform::ProcessId()) + "-" +
           std::to_string(++tempSerial);
}

void Unregister(const std::string& temp) {
    registry.erase(std::remove(registry.begin(), registry.end(), temp), registry.end());
}

} // namespace

TableOpen OpenTable(const std::string& output, const platform::PathInfo& info, TableFile* table,
                    std::string* reason) {
    *table = TableFile{};
    if (info.kind == platform::PathKind::kOther) {
        errno = 0;
        table->target = output;
        table->stream = std::fopen(output.c_str(), "w+");
        if (table->stream == nullptr) {
            *reason = ErrorText(errno != 0 ? errno : EIO);
            return TableOpen::kNotCreated;
        }
        return TableOpen::kOpened;
    }
    if (info.kind == platform::PathKind::kRegular) {
        const TableCheck check = info.size > 0 ? IsKinrecTable(output.c_str()) : TableCheck::kTable;
        if (check == TableCheck::kUnreadable) {
            *reason = "cannot be read to check that it is a kinrec table (" +
                      ErrorText(errno != 0 ? errno : EACCES) + "); not overwritten";
            return TableOpen::kRefused;
        }
        if (check == TableCheck::kNotTable) {
            *reason = "exists and is not a kinrec table; not overwritten";
            return TableOpen::kRefused;
        }
        if (!platform::CanWrite(output)) {
            *reason = ErrorText(errno != 0 ? errno : EACCES);
            return TableOpen::kNotCreated;
        }
    }
    table->target = info.isLink ? platform::ResolveTarget(output) : output;
    table->temp = TempNameFor(table->target);
    {
        const std::lock_guard<std::mutex> guard(registryLock);
        errno = 0;
        table->stream = platform::CreateNew(table->temp);
        if (table->stream != nullptr) {
            registry.push_back(table->temp);
        }
    }
    if (table->stream == nullptr) {
        *reason = ErrorText(errno != 0 ? errno : EIO);
        table->temp.clear();
        return TableOpen::kNotCreated;
    }
    return TableOpen::kOpened;
}

bool CommitTable(TableFile* table, std::string* reason) {
    if (table->temp.empty()) {
        return true;
    }
    const std::lock_guard<std::mutex> guard(registryLock);
    errno = 0;
    const bool moved = platform::MoveOnto(table->temp, table->target);
    if (!moved) {
        *reason = ErrorText(errno != 0 ? errno : EIO);
        platform::RemoveFile(table->temp);
    }
    Unregister(table->temp);
    table->temp.clear();
    return moved;
}

void DiscardTable(TableFile* table) {
    if (table->temp.empty()) {
        return;
    }
    const std::lock_guard<std::mutex> guard(registryLock);
    platform::RemoveFile(table->temp);
    Unregister(table->temp);
    table->temp.clear();
}

void RemoveTemporaryTables() {
    registryLock.lock(); // held until the process ends
    for (const std::string& temp : registry) {
        platform::RemoveFile(temp);
    }
    registry.clear();
}
