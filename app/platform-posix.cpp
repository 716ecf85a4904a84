// The platform layer on POSIX systems.
#include "app/Platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#ifdef __linux__
#include <sched.h>
#endif

namespace platform {

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

namespace {

const int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Whether a broken pipe ends the process, as the caller left it: then kinrec still
// takes its writes' EPIPE first, to remove its temporary tables before it ends.
bool pipeEnds = false;

void StartInterruptThread(void (*cleanup)(), sigset_t set);

// Ends the process as the signal sig does by default.
[[noreturn]] void EndAs(int sig) {
    (void)std::signal(sig, SIG_DFL); // cannot fail for these signals
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    (void)std::raise(sig); // ends the process; the exit below is the fallback
    std::_Exit(128 + sig);
}

} // namespace

void HandleInterrupts(void (*cleanup)()) {
    // A table cut short by the file-size limit is a failed write (EFBIG), not the end of
    // the process.
    (void)std::signal(SIGXFSZ, SIG_IGN);
    // A write to a pipe whose reader is gone fails with EPIPE instead of ending the
    // process on the spot, in the middle of a table (EndForBrokenPipe).
    struct sigaction pipe;
    pipeEnds = sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler != SIG_IGN;
    if (pipeEnds) {
        (void)std::signal(SIGPIPE, SIG_IGN);
    }
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
        EndAs(sig);
    }).detach();
}

} // namespace

void EndForBrokenPipe() {
    if (pipeEnds) {
        EndAs(SIGPIPE);
    }
}

} // namespace platform
