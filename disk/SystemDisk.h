// The disk of this machine: the Disk whose calls each platform's file (Disk-posix.cpp,
// Disk-win32.cpp) makes of its own system. It holds no state.
#ifndef KINREC_SYSTEM_DISK_H
#define KINREC_SYSTEM_DISK_H

#include "disk/Disk.h"

namespace kinrec::detail {

class SystemDisk final : public Disk {
  public:
    std::vector<DirEntry> List(const std::string& dir, int* error) override;
    PathInfo Inspect(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    bool Exists(const std::string& path) override;
    std::string FullPath(const std::string& path) override;
    std::string ResolveTarget(const std::string& path) override;
    std::FILE* OpenRead(const std::string& path) override;
    std::FILE* OpenInPlace(const std::string& path) override;
    std::FILE* CreateNew(const std::string& path) override;
    bool CanWrite(const std::string& path) override;
    bool MoveOnto(const std::string& from, const std::string& to) override;
    bool LandNew(const std::string& from, const std::string& to) override;
    bool RemoveFile(const std::string& path) override;
    FileId IdOf(std::FILE* file) override;
    long long RegularFileSize(std::FILE* file) override;
};

} // namespace kinrec::detail

#endif
