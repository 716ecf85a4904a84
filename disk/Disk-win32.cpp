// The disk on Windows: the kernel's file calls, narrow (MAX_PATH) names.
#include "disk/Disk.h"

#include "disk/SystemDisk.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace kinrec::detail {

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

const char kPathSeparator = '\\';

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && (IsPathSeparator(path[0]) || (path.size() >= 2 && path[1] == ':'));
}

unsigned long ProcessId() {
    return static_cast<unsigned long>(GetCurrentProcessId());
}

namespace {

FileId IdOfHandle(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info;
    FileId id;
    if (GetFileInformationByHandle(h, &info) != 0) {
        id.volume = info.dwVolumeSerialNumber;
        id.index =
            (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        id.known = true;
    }
    return id;
}

// When the file was last written, [ns] since the Unix epoch.
long long MtimeOfHandle(HANDLE h) {
    FILETIME written;
    if (GetFileTime(h, nullptr, nullptr, &written) == 0) {
        return 0;
    }
    const unsigned long long ticks =
        (static_cast<unsigned long long>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    const long long sinceEpoch = static_cast<long long>(ticks) - 116444736000000000LL; // 100 ns
    return sinceEpoch * 100;
}

// errno for the last Windows error, as far as the C library's messages go.
int ErrnoFromLastError() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

} // namespace

// Every entry: selectors are matched by kinrec, not by a find pattern, whose match
// ignores case and also tries the 8.3 short names.
std::vector<DirEntry> SystemDisk::List(const std::string& dir, int* error) {
    std::vector<DirEntry> entries;
    *error = 0;
    WIN32_FIND_DATAA fdFile;
    const std::string szFindPath = dir + kPathSeparator + "*";
    if (szFindPath.size() >= MAX_PATH) {
        // The narrow calls stop at MAX_PATH: say so rather than find nothing.
        *error = ENAMETOOLONG;
        return entries;
    }
    HANDLE h = FindFirstFileA(szFindPath.c_str(), &fdFile);
    if (h == INVALID_HANDLE_VALUE) {
        *error = ErrnoFromLastError();
        return entries;
    }
    do {
        const std::string name = fdFile.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        const bool isDir = (fdFile.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool isLink = (fdFile.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entries.push_back(DirEntry{name, isDir, isLink});
    } while (FindNextFileA(h, &fdFile) != 0);
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        *error = ErrnoFromLastError();
    }
    FindClose(h);
    return entries;
}

PathInfo SystemDisk::Inspect(const std::string& path) {
    const DWORD attr = GetFileAttributesA(path.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return PathInfo{PathKind::kOther, 0, false, {}, 0};
    }
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        const bool missing = err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
        return PathInfo{missing ? PathKind::kMissing : PathKind::kOther, 0, false, {}, 0};
    }
    PathInfo info{PathKind::kOther, 0, false, {}, 0};
    LARGE_INTEGER size;
    if (GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size) != 0) {
        info = PathInfo{PathKind::kRegular, static_cast<long long>(size.QuadPart), false,
                        IdOfHandle(h), MtimeOfHandle(h)};
    }
    CloseHandle(h);
    return info;
}

FileId SystemDisk::IdOf(std::FILE* file) {
    if (file == nullptr) {
        return FileId{};
    }
    const intptr_t h = _get_osfhandle(_fileno(file));
    if (h == -1) {
        return FileId{};
    }
    return IdOfHandle(reinterpret_cast<HANDLE>(h));
}

long long SystemDisk::RegularFileSize(std::FILE* file) {
    (void)file;
    return -1; // no hint here: the table grows as its rows come
}

bool SystemDisk::IsDirectory(const std::string& path) {
    const DWORD attr = GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool SystemDisk::Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string SystemDisk::FullPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? std::string(full, n) : path;
}

std::string SystemDisk::ResolveTarget(const std::string& path) {
    return path; // links to files are rare here; a link is replaced as a file
}

std::FILE* SystemDisk::OpenRead(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

std::FILE* SystemDisk::OpenInPlace(const std::string& path) {
    return std::fopen(path.c_str(), "w");
}

bool SystemDisk::CanWrite(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = ErrnoFromLastError();
        return false;
    }
    CloseHandle(h);
    return true;
}

std::FILE* SystemDisk::CreateNew(const std::string& path) {
    // Shared for deletion, so that an interrupt can remove the file while it is open.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = ErrnoFromLastError();
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_TEXT);
    if (fd < 0) {
        CloseHandle(h);
        DeleteFileA(path.c_str());
        errno = EIO;
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "w+");
    if (f == nullptr) {
        _close(fd);
        DeleteFileA(path.c_str());
        errno = EIO;
    }
    return f;
}

bool SystemDisk::MoveOnto(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) == 0) {
        errno = ErrnoFromLastError();
        return false;
    }
    return true;
}

bool SystemDisk::LandNew(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when to exists.
    if (MoveFileExA(from.c_str(), to.c_str(), 0) == 0) {
        errno = ErrnoFromLastError();
        return false;
    }
    return true;
}

bool SystemDisk::RemoveFile(const std::string& path) {
    if (DeleteFileA(path.c_str()) != 0) {
        return true;
    }
    const DWORD err = GetLastError();
    if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) {
        return true;
    }
    errno = ErrnoFromLastError();
    return false;
}

} // namespace kinrec::detail
