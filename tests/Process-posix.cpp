#include "Process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

// The user and group "nobody" on Debian and most other systems.
constexpr uid_t kOrdinaryUser = 65534;
constexpr gid_t kOrdinaryGroup = 65534;

// In a child process: leaves the superuser's rights for the ordinary user's.
bool DropPrivileges() {
    return geteuid() != 0 || (setgid(kOrdinaryGroup) == 0 && setuid(kOrdinaryUser) == 0);
}

void DrainBoth(int outFd, int errFd, std::string& out, std::string& err) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    int open = 2;
    char buf[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                const ssize_t n = read(fds[i].fd, buf, sizeof buf);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                } else {
                    (i == 0 ? out : err).append(buf, static_cast<std::size_t>(n));
                }
            }
        }
    }
}

// The command that starts a program built here: empty natively, qemu-user's in a cross
// build (no binfmt_misc registration is assumed).
std::vector<std::string> Launcher() {
    std::vector<std::string> words;
    std::istringstream in(KINREC_TEST_LAUNCHER);
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    return words;
}

} // namespace

RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& cwd, bool unprivileged) {
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        close(outPipe[1]);
        close(errPipe[1]);
        if (unprivileged && !DropPrivileges()) {
            _exit(126);
        }
        if (chdir(cwd.c_str()) != 0) {
            _exit(127);
        }
        ExecProgram(exe, args);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    RunResult r;
    DrainBoth(outPipe[0], errPipe[0], r.out, r.err);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool ReachableUnprivileged(const std::string& path) {
    if (geteuid() != 0) {
        return true;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(DropPrivileges() && access(path.c_str(), X_OK) == 0 ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

void CopyExecutable(const std::string& from, const std::string& to) {
    {
        std::ifstream in(from, std::ios::binary);
        std::ofstream out(to, std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
        if (!in || !out) {
            throw std::runtime_error("cannot copy " + from);
        }
    }
    chmod(to.c_str(), 0755);
}

bool UnderEmulator() {
    return !Launcher().empty();
}

void ExecProgram(const std::string& exe, const std::vector<std::string>& args) {
#ifdef __linux__
    // A test that CTest kills for its time limit takes the program with it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    std::vector<std::string> words = Launcher();
    words.push_back(exe);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}
