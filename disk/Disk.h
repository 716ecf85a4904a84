// The floor under the readers and the pipeline: every call kinrec makes of the file
// system goes through a Disk, so that a walk, a plan or a table sees the real disk or a
// test's fake one alike. The real disk is one implementation per platform
// (Disk-posix.cpp, Disk-win32.cpp); it holds no state.
#ifndef KINREC_DISK_H
#define KINREC_DISK_H

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

// The separator used to join paths: '/' on POSIX systems, '\\' on Windows.
extern const char kPathSeparator;

// Whether path is absolute: starts with a separator, or on Windows with a drive ("C:").
bool IsAbsolutePath(const std::string& path);

// The process id, for names of temporary files.
unsigned long ProcessId();

struct DirEntry {
    std::string name;
    bool isDirectory; // a directory, or a link to one
    bool isLink;      // a symbolic link (reparse point on Windows)
};

// What a name stands for, following links.
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

class Disk {
  public:
    virtual ~Disk() = default;

    // The entries of dir without "." and "..", in the order the system gives them. A
    // directory that cannot be read gives the entries read so far, with *error set to
    // the errno (0 when the whole listing was read).
    virtual std::vector<DirEntry> List(const std::string& dir, int* error) = 0;

    // What path names, following its links.
    virtual PathInfo Inspect(const std::string& path) = 0;
    // Whether path names an existing directory.
    virtual bool IsDirectory(const std::string& path) = 0;
    // Whether anything exists under path (a dangling link included).
    virtual bool Exists(const std::string& path) = 0;

    // The full path of the file a name stands for, following the name's own links even
    // where they lead to nothing yet: two names of one file, existing or to be made,
    // give the same text.
    virtual std::string FullPath(const std::string& path) = 0;
    // The final target of a link.
    virtual std::string ResolveTarget(const std::string& path) = 0;

    // Opens path for reading as bytes, whatever it is; null with errno set.
    virtual std::FILE* OpenRead(const std::string& path) = 0;
    // Opens an existing device or FIFO for writing in place (write-only: a FIFO opened
    // for reading too would swallow what is written); null with errno set.
    virtual std::FILE* OpenInPlace(const std::string& path) = 0;
    // Creates path, which must not exist yet, for writing a table (a text stream where
    // the platform's text streams translate line ends). Null with errno set on failure.
    virtual std::FILE* CreateNew(const std::string& path) = 0;
    // Whether the existing file path may be opened for writing (it is not changed);
    // errno tells why not.
    virtual bool CanWrite(const std::string& path) = 0;

    // Moves from onto to, replacing what to held; false with errno set.
    virtual bool MoveOnto(const std::string& from, const std::string& to) = 0;
    // Gives the file from the name to, unless something has that name already (false
    // with errno EEXIST, from left as it is): another process, on this machine or
    // another one sharing the file system, sees to whole or not at all.
    virtual bool LandNew(const std::string& from, const std::string& to) = 0;
    // Removes a file; a file that is gone already is no error. False with errno set
    // when it is still there.
    virtual bool RemoveFile(const std::string& path) = 0;

    // The identity of an open file.
    virtual FileId IdOf(std::FILE* file) = 0;
    // The length of an open regular file; -1 for anything else (a FIFO, a device) or
    // when it cannot be told.
    virtual long long RegularFileSize(std::FILE* file) = 0;
};

// The disk of this machine.
Disk& RealDisk();

} // namespace kinrec::detail

#endif
