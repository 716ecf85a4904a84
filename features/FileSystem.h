// What the library needs of the file system to read recordings and land tables safely,
// one implementation per platform (FileSystem-posix.cpp, FileSystem-win32.cpp).
#ifndef KINREC_FILE_SYSTEM_H
#define KINREC_FILE_SYSTEM_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace kinrec::detail {

// Whether c separates path components ('/' everywhere, '\\' too on Windows).
bool IsPathSeparator(char c);

// Where path's last separator stands; std::string::npos when it has none.
inline std::size_t LastSeparator(const std::string& path) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (IsPathSeparator(path[i])) {
            last = i;
        }
    }
    return last;
}

// Whether path names an existing directory.
bool IsDirectory(const std::string& path);

// The separator used to join paths: '/' on POSIX systems, '\\' on Windows.
extern const char kPathSeparator;

// Whether path is absolute: starts with a separator, or on Windows with a drive ("C:").
bool IsAbsolutePath(const std::string& path);

struct DirEntry {
    std::string name;
    bool isDirectory; // a directory, or a link to one
    bool isLink;      // a symbolic link (reparse point on Windows)
};

// The entries of dir without "." and "..", in the order the system gives them. A
// directory that cannot be read gives the entries read so far, with *error set to the
// errno (0 when the whole listing was read).
std::vector<DirEntry> ListEntries(const std::string& dir, int* error);

// What a table's path names, following links.
enum class PathKind {
    kMissing, // nothing there
    kRegular, // a regular file
    kOther,   // a device, a FIFO, a directory: written in place, or not at all
};
// A file's identity on its system (device and inode, or volume and file index).
struct FileId {
    unsigned long long volume = 0;
    unsigned long long index = 0;
    bool known = false;
    bool operator==(const FileId& o) const {
        return known && o.known && volume == o.volume && index == o.index;
    }
};
struct PathInfo {
    PathKind kind;
    long long size; // [bytes] of a regular file
    bool isLink;    // the name itself is a symbolic link
    FileId id;
    long long mtime = 0; // [ns] since the epoch: when an existing file was last written
};
PathInfo Inspect(const std::string& path);

// The identity of an open file.
FileId IdOf(std::FILE* file);

// The length of an open regular file; -1 for anything else (a FIFO, a device) or when
// it cannot be told.
long long RegularFileSize(std::FILE* file);

// The final target of a link.
std::string ResolveTarget(const std::string& path);

// Whether the existing file path may be opened for writing (it is not changed);
// errno tells why not.
bool CanWrite(const std::string& path);

// Creates path, which must not exist yet, for writing a table (a text stream where the
// platform's text streams translate line ends). Null with errno set on failure.
std::FILE* CreateNew(const std::string& path);

// Moves from onto to, replacing what to held; false with errno set.
bool MoveOnto(const std::string& from, const std::string& to);

// Gives the file from the name to, unless something has that name already (false with
// errno EEXIST, from left as it is): another process, on this machine or another one
// sharing the file system, sees to whole or not at all.
bool LandNew(const std::string& from, const std::string& to);

// Removes a file; a file that is gone already is no error. False with errno set when
// it is still there.
bool RemoveFile(const std::string& path);

// The process id, for names of temporary files.
unsigned long ProcessId();

} // namespace kinrec::detail

#endif
