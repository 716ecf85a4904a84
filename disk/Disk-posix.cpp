// The disk on POSIX systems.
#include "disk/Disk.h"

#include "disk/SystemDisk.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kinrec::detail {

bool IsPathSeparator(char c) {
    return c == '/';
}

const char kPathSeparator = '/';

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

unsigned long ProcessId() {
    return static_cast<unsigned long>(getpid()); // asked each time: a fork has its own
}

namespace {

FileId IdFrom(const struct stat& st) {
    FileId id;
    id.volume = static_cast<unsigned long long>(st.st_dev);
    id.index = static_cast<unsigned long long>(st.st_ino);
    id.known = true;
    return id;
}

long long MtimeOf(const struct stat& st) {
#ifdef __APPLE__
    const struct timespec& t = st.st_mtimespec;
#else
    const struct timespec& t = st.st_mtim;
#endif
    return static_cast<long long>(t.tv_sec) * 1000000000LL + static_cast<long long>(t.tv_nsec);
}

} // namespace

std::vector<DirEntry> SystemDisk::List(const std::string& dir, int* error) {
    std::vector<DirEntry> entries;
    *error = 0;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) {
        *error = errno != 0 ? errno : EIO;
        return entries;
    }
    for (;;) {
        errno = 0;
        const dirent* e = readdir(d);
        if (e == nullptr) {
            *error = errno; // 0 at the end of the listing
            break;
        }
        const std::string name = e->d_name;
        if (name == "." || name == "..") {
            continue;
        }
#ifdef _DIRENT_HAVE_D_TYPE
        // The entry's type comes with it on most file systems: no need to ask again.
        if (e->d_type == DT_REG || e->d_type == DT_DIR) {
            entries.push_back(DirEntry{name, e->d_type == DT_DIR, false});
            continue;
        }
#endif
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
    return entries;
}

PathInfo SystemDisk::Inspect(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        // A name that cannot be looked at is left to the open, which says why.
        return PathInfo{errno == ENOENT ? PathKind::kMissing : PathKind::kOther, 0, false, {}, 0};
    }
    const bool isLink = S_ISLNK(st.st_mode);
    if (isLink && stat(path.c_str(), &st) != 0) {
        // A dangling link: what it names does not exist yet.
        return PathInfo{PathKind::kMissing, 0, true, {}, 0};
    }
    if (S_ISREG(st.st_mode)) {
        return PathInfo{PathKind::kRegular, static_cast<long long>(st.st_size), isLink, IdFrom(st),
                        MtimeOf(st)};
    }
    return PathInfo{PathKind::kOther, 0, isLink, IdFrom(st), MtimeOf(st)};
}

FileId SystemDisk::IdOf(std::FILE* file) {
    struct stat st;
    if (file == nullptr || fstat(fileno(file), &st) != 0) {
        return FileId{};
    }
    return IdFrom(st);
}

long long SystemDisk::RegularFileSize(std::FILE* file) {
    struct stat st;
    if (file == nullptr || fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) {
        return -1;
    }
    return static_cast<long long>(st.st_size);
}

bool SystemDisk::IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SystemDisk::Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string SystemDisk::FullPath(const std::string& path) {
    // Follow the name's own links, dangling ones included, as far as they go.
    std::string p = path;
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t n = readlink(p.c_str(), target, sizeof target - 1);
        if (n < 0) {
            break;
        }
        target[n] = '\0';
        const std::size_t slash = p.rfind('/');
        const std::string dir = slash == std::string::npos ? "." : p.substr(0, slash);
        p = target[0] == '/' ? std::string(target) : dir + "/" + target;
    }
    if (char* whole = realpath(p.c_str(), nullptr)) {
        std::string full = whole; // it exists (or a directory such as "." was asked for)
        std::free(whole);
        return full;
    }
    const std::size_t slash = p.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : p.substr(0, slash == 0 ? 1 : slash);
    const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    char* real = realpath(dir.c_str(), nullptr);
    if (real == nullptr) {
        return p;
    }
    std::string full = real;
    std::free(real);
    return full + (full.back() == '/' ? "" : "/") + name;
}

std::string SystemDisk::ResolveTarget(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (real != nullptr) {
        std::string target = real;
        std::free(real);
        return target;
    }
    // A link to a name that does not exist (yet): followed link by link, a relative
    // target from the link's own folder, as the system would follow it.
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return at;
        }
        std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t n = readlink(at.c_str(), buf.data(), buf.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buf.size()) {
            return at;
        }
        const std::string target(buf.data(), static_cast<std::size_t>(n));
        if (IsAbsolutePath(target)) {
            at = target;
        } else {
            const std::size_t cut = LastSeparator(at);
            at.erase(cut == std::string::npos ? 0 : cut + 1);
            at += target;
        }
    }
    return at;
}

std::FILE* SystemDisk::OpenRead(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

std::FILE* SystemDisk::OpenInPlace(const std::string& path) {
    return std::fopen(path.c_str(), "w");
}

bool SystemDisk::CanWrite(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

std::FILE* SystemDisk::CreateNew(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* f = fdopen(fd, "w+");
    if (f == nullptr) {
        const int err = errno;
        close(fd);
        unlink(path.c_str());
        errno = err;
    }
    return f;
}

bool SystemDisk::MoveOnto(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool SystemDisk::LandNew(const std::string& from, const std::string& to) {
    // A second name for the file fails when to is taken, on a shared file system too;
    // then the first name goes.
    if (link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    (void)unlink(from.c_str()); // a name left behind is only an untidy temporary file
    return true;
}

bool SystemDisk::RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

} // namespace kinrec::detail
