// What kinrec needs from the operating system, one implementation per platform.
#ifndef KINREC_PLATFORM_H
#define KINREC_PLATFORM_H

#include <string>
#include <vector>

namespace platform {

// The separator used to join paths: '/' on POSIX systems, '\\' on Windows.
extern const char kPathSeparator;

// Whether c separates path components ('/' everywhere, '\\' too on Windows).
bool IsPathSeparator(char c);

// Whether path is absolute: starts with a separator, or on Windows with a drive ("C:").
bool IsAbsolutePath(const std::string& path);

// The full path of the running executable, or "" when the system does not tell.
std::string ExecutablePath();

struct DirEntry {
    std::string name;
    bool isDirectory; // a directory, or a link to one
    bool isLink;      // a symbolic link (reparse point on Windows)
};

// The entries of dir whose names match pattern ("*" any run of characters, "?" one
// character), sorted by name in byte order, without "." and "..". A directory that
// cannot be read gives no entries.
std::vector<DirEntry> ListDirectory(const std::string& dir, const std::string& pattern);

// Whether path names an existing directory.
bool IsDirectory(const std::string& path);

// Whether both paths name the same existing file (also through links).
bool SameFile(const std::string& a, const std::string& b);

} // namespace platform

#endif
