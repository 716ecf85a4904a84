// The platform layer on POSIX systems.
#include "app/Platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#ifdef __linux__
#include <sched.h>
#endif

namespace platform {

const char kPathSeparator = '/';

bool IsPathSeparator(char c) {
    return c == '/';
}

bool IsAbsolutePath(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

std::vector<DirEntry> ListEntries(const std::string& dir, int* error) {
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

bool IsDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
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

PathInfo Inspect(const std::string& path) {
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

FileId IdOf(std::FILE* file) {
    struct stat st;
    if (file == nullptr || fstat(fileno(file), &st) != 0) {
        return FileId{};
    }
    return IdFrom(st);
}

std::string ResolveTarget(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return path;
    }
    std::string target = real;
    std::free(real);
    return target;
}

bool CanWrite(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    close(fd);
    return true;
}

std::FILE* CreateNew(const std::string& path) {
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

bool MoveOnto(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool LandNew(const std::string& from, const std::string& to) {
    // A second name for the file fails when to is taken, on a shared file system too;
    // then the first name goes.
    if (link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    (void)unlink(from.c_str()); // a name left behind is only an untidy temporary file
    return true;
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string CanonicalPath(const std::string& path) {
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

void OpenStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // open gives the lowest free descriptor: this one. Where the null device is
            // closed to this user, the root directory holds the place: nothing can be
            // written to it, and no table can take the descriptor.
            if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) < 0) {
                (void)open("/", O_RDONLY | O_DIRECTORY);
            }
        }
    }
}

bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

int UsableCpuCount() {
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        return n > 0 ? n : 1;
    }
#endif
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 && n < INT_MAX ? static_cast<int>(n) : 1;
}

unsigned long ProcessId() {
    static const unsigned long pid = static_cast<unsigned long>(getpid());
    return pid;
}

namespace {

const int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

void StartInterruptThread(void (*cleanup)(), sigset_t set);

} // namespace

void HandleInterrupts(void (*cleanup)()) {
    // A table cut short by the file-size limit is a failed write (EFBIG), not the end of
    // the process.
    (void)std::signal(SIGXFSZ, SIG_IGN);
    // The signals are blocked in every thread and taken by one waiting thread, so that
    // the cleanup is ordinary code that may lock, not a signal handler. A signal that
    // the caller set to be ignored (nohup's SIGHUP) stays ignored.
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kInterruptSignals) {
        struct sigaction current;
        if (sigaction(sig, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
            continue;
        }
        sigaddset(&set, sig);
    }
    if (sigisemptyset(&set) != 0 || pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
        return;
    }
    try {
        StartInterruptThread(cleanup, set);
    } catch (const std::system_error&) {
        // No thread to take the signals: they end the process as they would have.
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
}

namespace {

void StartInterruptThread(void (*cleanup)(), sigset_t set) {
    std::thread([cleanup, set] {
        int sig = 0;
        if (sigwait(&set, &sig) != 0) {
            return;
        }
        cleanup();
        // End the way the signal ends a process, so that the shell sees it (130 for
        // Ctrl-C).
        (void)std::signal(sig, SIG_DFL); // cannot fail for these signals
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, sig);
        pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        (void)std::raise(sig); // ends the process; the exit below is the fallback
        std::_Exit(128 + sig);
    }).detach();
}

} // namespace

} // namespace platform
