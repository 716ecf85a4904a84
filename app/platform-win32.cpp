// The platform layer on Windows: the kernel's find and module calls.
#include "app/Platform.h"

#include <algorithm>
#include <windows.h>

// Arguments reach main as typed: a selector such as *.csv is kinrec's to expand, not
// the C runtime's.
extern "C" {
int _dowildcard = 0;
}

namespace platform {

const char kPathSeparator = '\\';

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && (IsPathSeparator(path[0]) || (path.size() >= 2 && path[1] == ':'));
}

std::string ExecutablePath() {
    std::string buf(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, &buf[0], static_cast<DWORD>(buf.size()));
        if (n == 0) {
            return std::string();
        }
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

std::vector<DirEntry> ListDirectory(const std::string& dir, const std::string& pattern) {
    std::vector<DirEntry> entries;
    WIN32_FIND_DATAA fdFile;
    const std::string szFindPath = dir + kPathSeparator + pattern;
    HANDLE h = FindFirstFileA(szFindPath.c_str(), &fdFile);
    if (h == INVALID_HANDLE_VALUE) {
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
    FindClose(h);
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return entries;
}

bool IsDirectory(const std::string& path) {
    const DWORD attr = GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    const BOOL ok = GetFileInformationByHandle(h, info);
    CloseHandle(h);
    return ok != 0;
}

} // namespace

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia;
    BY_HANDLE_FILE_INFORMATION ib;
    return FileIdentity(a, &ia) && FileIdentity(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

} // namespace platform
