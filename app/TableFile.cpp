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

constexpr std::size_t kNameMax = 255; // bytes of one file name, on every system kinrec knows

// "<target>.kinrec-tmp-<pid>-<n>", with as much of the target's name as lets the whole
// name fit where the target's own name fits.
std::string TempNameFor(const std::string& target) {
    const std::string suffix =
        ".kinrec-tmp-" + std::to_string(platform::ProcessId()) + "-" + std::to_string(++tempSerial);
    const std::size_t cut = platform::LastSeparator(target);
    const std::size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
    const std::size_t nameLength = target.size() - nameStart;
    const std::size_t keep = nameLength + suffix.size() <= kNameMax
                                 ? nameLength
                                 : (kNameMax > suffix.size() ? kNameMax - suffix.size() : 0);
    return target.substr(0, nameStart + keep) + suffix;
}

void Unregister(const std::string& temp) {
    registry.erase(std::remove(registry.begin(), registry.end(), temp), registry.end());
}

} // namespace

TableOpen TableFile::Open(const std::string& output, const platform::PathInfo& info,
                          std::string* reason) {
    Discard();
    if (info.kind == platform::PathKind::kOther) {
        errno = 0;
        target_ = output;
        // Write-only: a FIFO opened for reading too would swallow its own table.
        stream_ = std::fopen(output.c_str(), "w");
        if (stream_ == nullptr) {
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
    target_ = info.isLink ? platform::ResolveTarget(output) : output;
    // A name that is taken (left by a process that was killed, perhaps with the same
    // process id) is passed over for the next.
    for (int attempt = 0; attempt < 100 && stream_ == nullptr; ++attempt) {
        const std::string temp = TempNameFor(target_);
        const std::lock_guard<std::mutex> guard(registryLock);
        errno = 0;
        stream_ = platform::CreateNew(temp);
        if (stream_ != nullptr) {
            registry.push_back(temp);
            temp_ = temp;
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (stream_ == nullptr) {
        *reason = ErrorText(errno != 0 ? errno : EIO);
        return TableOpen::kNotCreated;
    }
    return TableOpen::kOpened;
}

bool TableFile::Commit(std::string* reason) {
    if (stream_ == nullptr) {
        return false;
    }
    errno = 0;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!closed) {
        *reason = ErrorText(errno != 0 ? errno : EIO);
        Discard();
        return false;
    }
    if (temp_.empty()) {
        return true;
    }
    const std::lock_guard<std::mutex> guard(registryLock);
    errno = 0;
    const bool moved = platform::MoveOnto(temp_, target_);
    if (!moved) {
        *reason = ErrorText(errno != 0 ? errno : EIO);
        if (!platform::RemoveFile(temp_)) {
            *reason += "; the unfinished table is left as " + temp_;
        }
    }
    Unregister(temp_);
    temp_.clear();
    return moved;
}

void TableFile::Discard() {
    if (stream_ != nullptr) {
        (void)std::fclose(stream_); // the table is given up: its bytes no longer matter
        stream_ = nullptr;
    }
    if (temp_.empty()) {
        return;
    }
    const std::lock_guard<std::mutex> guard(registryLock);
    if (!platform::RemoveFile(temp_)) {
        left_ = temp_;
    }
    Unregister(temp_);
    temp_.clear();
}

void RemoveTemporaryTables() {
    registryLock.lock(); // held until the process ends
    for (const std::string& temp : registry) {
        (void)platform::RemoveFile(temp); // the process ends: nobody to tell
    }
    registry.clear();
}
