#include "features/TableFile.h"

#include "disk/TempName.h"
#include "input/InputFile.h"

#include <cerrno>

namespace kinrec::detail {

namespace {

int ErrnoOr(int fallback) {
    return errno != 0 ? errno : fallback;
}

// The hooks' lock, held for a scope.
class Held {
  public:
    explicit Held(WriteHooks* hooks) : hooks_(hooks) { hooks_->Lock(); }
    ~Held() { hooks_->Unlock(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

  private:
    WriteHooks* hooks_;
};

} // namespace

TableOpen TableFile::Open(const std::string& output, const PathInfo& info, int* code) {
    Discard();
    *code = 0;
    if (info.kind == PathKind::kOther) {
        errno = 0;
        target_ = output;
        // Write-only: a FIFO opened for reading too would swallow its own table.
        stream_ = disk_.OpenInPlace(output);
        if (stream_ == nullptr) {
            *code = ErrnoOr(EIO);
            return TableOpen::kNotCreated;
        }
        return TableOpen::kOpened;
    }
    if (info.kind == PathKind::kRegular) {
        const TableCheck check = info.size > 0 ? IsKinrecTable(disk_, output) : TableCheck::kTable;
        if (check == TableCheck::kUnreadable) {
            *code = ErrnoOr(EACCES);
            return TableOpen::kUnchecked;
        }
        if (check == TableCheck::kNotTable) {
            return TableOpen::kRefused;
        }
        if (!disk_.CanWrite(output)) {
            *code = ErrnoOr(EACCES);
            return TableOpen::kNotCreated;
        }
    }
    target_ = info.isLink ? disk_.ResolveTarget(output) : output;
    free_ = info.kind == PathKind::kMissing;
    // Each table of a process has a target of its own, so its first name is free unless
    // a killed process left it (perhaps one with the same process id): a name that is
    // taken is passed over for the next.
    for (int n = 1; n <= 100 && stream_ == nullptr; ++n) {
        const std::string temp = TemporaryName(target_, n);
        const Held held(hooks_);
        errno = 0;
        stream_ = disk_.CreateNew(temp);
        if (stream_ != nullptr) {
            hooks_->Made(temp);
            temp_ = temp;
        } else if (errno != EEXIST) {
            break;
        }
    }
    if (stream_ == nullptr) {
        *code = ErrnoOr(EIO);
        return TableOpen::kNotCreated;
    }
    return TableOpen::kOpened;
}

bool TableFile::Commit(int* code) {
    *code = 0;
    if (stream_ == nullptr) {
        return false;
    }
    errno = 0;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!closed) {
        *code = ErrnoOr(EIO);
        Discard();
        return false;
    }
    if (temp_.empty()) {
        return true;
    }
    const Held held(hooks_);
    const bool moved = Land(code);
    if (!moved) {
        if (!disk_.RemoveFile(temp_)) {
            left_ = temp_;
        }
    }
    hooks_->Gone(temp_);
    temp_.clear();
    return moved;
}

bool TableFile::Land(int* code) {
    // What the name holds is checked again: a file saved under it while the table was
    // written is not replaced, unless it is an empty file or a kinrec table too.
    const PathInfo now = disk_.Inspect(target_);
    bool replace = false;
    if (now.kind == PathKind::kRegular && !free_) {
        replace = now.size == 0 || IsKinrecTable(disk_, target_) == TableCheck::kTable;
    }
    errno = 0;
    if (replace ? disk_.MoveOnto(temp_, target_) : disk_.LandNew(temp_, target_)) {
        return true;
    }
    if (!replace && errno != EEXIST && disk_.Inspect(target_).kind == PathKind::kMissing) {
        // A file system without a second name for a file: moved, the name being free.
        errno = 0;
        if (disk_.MoveOnto(temp_, target_)) {
            return true;
        }
    }
    *code = ErrnoOr(EIO); // EEXIST: the name was taken meanwhile
    return false;
}

void TableFile::Discard() {
    if (stream_ != nullptr) {
        (void)std::fclose(stream_); // the table is given up: its bytes no longer matter
        stream_ = nullptr;
    }
    if (temp_.empty()) {
        return;
    }
    const Held held(hooks_);
    if (!disk_.RemoveFile(temp_)) {
        left_ = temp_;
    }
    hooks_->Gone(temp_);
    temp_.clear();
}

} // namespace kinrec::detail
