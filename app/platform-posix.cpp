// The platform layer on POSIX systems.
#include "app/Platform.h"

#include "app/Pattern.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace platform {

const char kPathSeparator = '/';

bool IsPathSeparator(char c) {
    return c == '/';
}

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

std::vector<DirEntry> ListDirectory(const std::string& dir, const std::string& pattern) {
    std::vector<DirEntry> entries;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) {
        return entries;
    }
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || !MatchPattern(pattern, name)) {
            continue;
        }
        std::string path = dir;
        path += kPathSeparator;
        path += name;
        struct stat ls;
        struct stat st;
        const bool isLink = lstat(path.c_str(), &ls) == 0 && S_ISLNK(ls.st_mode);
        const bool isDir = stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entries.push_back(DirEntry{name, isDir, isLink});
    }
    closedir(d);
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return entries;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa;
    struct stat sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace platform
