#include "app/TempFile.h"

#include "app/TempTables.h"
#include "disk/Disk.h"
#include "disk/TempName.h"

#include <cerrno>
#include <cstdio>

std::string WriteTemporary(const std::string& name, const std::string& text) {
    TempTableHooks registry;
    for (int n = 1; n <= 100; ++n) {
        std::string temp = kinrec::detail::TemporaryName(name, n);
        registry.Lock();
        std::FILE* f = kinrec::detail::RealDisk().CreateNew(temp);
        const int openError = errno;
        if (f != nullptr) {
            registry.Made(temp);
        }
        registry.Unlock();
        if (f == nullptr) {
            if (openError == EEXIST) {
                continue; // another thread's, or left by an earlier process of this id
            }
            errno = openError;
            return "";
        }
        const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
        const bool flushed = std::fflush(f) == 0;
        const int err = errno;
        if (std::fclose(f) == 0 && written && flushed) {
            return temp;
        }
        Discard(temp);
        errno = err != 0 ? err : EIO;
        return "";
    }
    errno = EEXIST;
    return "";
}

bool Land(const std::string& temp, const std::string& name, bool replace) {
    TempTableHooks registry;
    registry.Lock();
    kinrec::detail::Disk& disk = kinrec::detail::RealDisk();
    const bool moved = replace ? disk.MoveOnto(temp, name) : disk.LandNew(temp, name);
    const int err = errno;
    if (moved) {
        registry.Gone(temp);
    }
    registry.Unlock();
    if (!moved) {
        Discard(temp);
        errno = err;
    }
    return moved;
}

void Discard(const std::string& temp) {
    TempTableHooks registry;
    registry.Lock();
    const int err = errno;
    (void)kinrec::detail::RealDisk().RemoveFile(
        temp); // a leftover is named by nobody: nothing to tell
    registry.Gone(temp);
    registry.Unlock();
    errno = err;
}
