// End to end, POSIX only: kinrec against what the system does to it: read errors,
// links and closed streams under several workers, signals, FIFOs, directories it
// cannot list, process and file-size limits, long names and files left by others.
#include "KinrecFixture.h"
#include "ReachableTmpdir-posix.h"
#include "Recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

const std::string kRestCsv = "t,ax,ay,az,gx,gy,gz\n0,0,0,8192,0,0,0\n1,0,0,8192,0,0,0\n";
const std::string kRestTable = kHeader + "0,0,8192,0,0,0,23,100,0,0,1,0,-90,0,23,0,0,-90,0\n"
                                         "0,0,8192,0,0,0,60,100,0,0,2,0,-90,0,37,0,0,0,0\n";

// samples lines of a sensor at rest, without a header.
std::string RestLines(int samples) {
    std::string s;
    s.reserve(static_cast<std::size_t>(samples) * 17);
    for (int i = 0; i < samples; ++i) {
        s += "0,0,0,8192,0,0,0\n";
    }
    return s;
}

// A user with no processes of its own, for process limits (root's do not apply to it).
constexpr uid_t kSpareUser = 61234;

// In a child about to run kinrec: become an ordinary user when the superuser.
void BecomeOrdinary(uid_t uid = 65534) {
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)) {
        _exit(126);
    }
}

bool WaitUntil(const std::function<bool()>& done, double seconds = 20) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The system call a process is blocked in: "open" for open and openat, else its number
// as the kernel shows it. Under an emulator the process is the emulator's, whose
// numbers are the host's: the callers skip there.
std::string SystemCall(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
    std::string number;
    in >> number;
#ifdef SYS_open
    if (number == std::to_string(SYS_open)) {
        return "open";
    }
#endif
    return number == std::to_string(SYS_openat) ? "open" : number;
}

// Whether a process has the file at path open.
bool HoldsOpen(pid_t pid, const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    const std::string wanted = real != nullptr ? real : path;
    std::free(real);
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    DIR* d = opendir(fds.c_str());
    bool found = false;
    while (d != nullptr && !found) {
        const dirent* e = readdir(d);
        if (e == nullptr) {
            break;
        }
        char target[4096];
        const ssize_t n = readlink((fds + "/" + e->d_name).c_str(), target, sizeof target);
        found = n > 0 && std::string(target, static_cast<std::size_t>(n)) == wanted;
    }
    if (d != nullptr) {
        closedir(d);
    }
    return found;
}

// What a directory holds, name by name: a link's target, a FIFO, or a file's bytes.
std::map<std::string, std::string> Contents(const std::string& dir) {
    std::map<std::string, std::string> files;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            const std::string path = dir + "/" + n;
            struct stat st;
            if (n == "." || n == ".." || lstat(path.c_str(), &st) != 0) {
                continue;
            }
            if (S_ISLNK(st.st_mode)) {
                char target[4096];
                const ssize_t len = readlink(path.c_str(), target, sizeof target);
                files[n] =
                    "link to " + std::string(target, len > 0 ? static_cast<std::size_t>(len) : 0);
            } else {
                files[n] = S_ISFIFO(st.st_mode) ? "<fifo>" : ReadFile(path);
            }
        }
        closedir(d);
    }
    return files;
}

// The name of a temporary table in dir (of the table named, when one is), "" when there is
// none.
std::string TempIn(const std::string& dir, const std::string& table = "") {
    std::string temp;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            if (std::strncmp(e->d_name, table.c_str(), table.size()) == 0 &&
                std::strstr(e->d_name, ".kinrec-tmp-") != nullptr) {
                temp = e->d_name;
            }
        }
        closedir(d);
    }
    return temp;
}

// The writing end of a FIFO kinrec reads.
class Feeder {
  public:
    // Waits until a reader has the FIFO open.
    explicit Feeder(const std::string& path) {
        WaitUntil([&] { return (fd_ = open(path.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; });
        if (fd_ >= 0) {
            fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        }
    }
    ~Feeder() { Close(); }
    Feeder(const Feeder&) = delete;
    Feeder& operator=(const Feeder&) = delete;
    bool Open() const { return fd_ >= 0; }
    // False once the reader is gone.
    bool Write(const std::string& bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    void Close() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_ = -1;
};

constexpr int kTimedOut = -2;

class FaultsTest : private ReachableTmpdir, public KinrecFixture {
  protected:
    void SetUp() override {
        KinrecFixture::SetUp();
        // Let an ordinary user reach the scratch directory when the tests run as root.
        chmod(dir_.path().c_str(), 0755);
        chmod(W("").c_str(), 0777);
        std::signal(SIGPIPE, SIG_IGN); // a FIFO's reader that is gone fails the write
    }
    void TearDown() override {
        SetWorkers("0");
        KinrecFixture::TearDown();
    }
    bool OrdinaryUserReaches() {
        return ReachableUnprivileged(exe_) && ReachableUnprivileged(W(""));
    }

    // Starts kinrec in work/<sub>, standard output and error to the files Out() and
    // Err() read; prepare runs in the child just before kinrec starts.
    pid_t Start(const std::vector<std::string>& args, const std::string& sub = "",
                const std::function<void()>& prepare = {}) {
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(open(dir_.Path("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(open(dir_.Path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            if (chdir(W(sub).c_str()) != 0) {
                _exit(127);
            }
            if (prepare) {
                prepare();
            }
            ExecProgram(exe_, args);
        }
        return pid;
    }
    // How the process ended (a wait status), or kTimedOut: killed after the deadline.
    static int Finish(pid_t pid, double seconds = 60) {
        int status = 0;
        if (WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds)) {
            return status;
        }
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return kTimedOut;
    }
    static int ExitCode(int status) {
        return status != kTimedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Out() const { return ReadFile(dir_.Path("out")); }
    std::string Err() const { return ReadFile(dir_.Path("err")); }

    // A batch whose gyro bias count passes its limit in the first file, so that the
    // files after it go to the workers.
    void PutBatch(const std::string& dir, int smallFiles) {
        MakeDir(W(dir));
        Put(dir + "/a0.csv", Recording(12000, 1));
        for (int i = 1; i <= smallFiles; ++i) {
            Put(dir + "/b" + std::to_string(i) + ".csv",
                Recording(200 + 100 * i, static_cast<unsigned>(i)));
        }
    }
    // Each case twice, beside a batch that goes to the workers: converted on one worker
    // and on three, with the same files, lines and status.
    struct LinkCase {
        const char* what;
        std::vector<std::pair<std::string, int>> inputs;        // name, samples (0: an empty file)
        std::vector<std::pair<std::string, std::string>> links; // name, target
    };
    void ExpectOneByOneOnWorkers(const std::vector<LinkCase>& cases) {
        for (const LinkCase& c : cases) {
            SCOPED_TRACE(c.what);
            RunResult runs[2];
            const char* workers[2] = {"1", "3"};
            const std::string dirs[2] = {c.inputs[0].first + "one", c.inputs[0].first + "many"};
            for (int k = 0; k < 2; ++k) {
                PutBatch(dirs[k], 4);
                for (const auto& [name, samples] : c.inputs) {
                    Put(dirs[k] + "/" + name, samples > 0 ? Recording(samples, 7) : "");
                }
                for (const auto& [name, target] : c.links) {
                    ASSERT_EQ(symlink(target.c_str(), W(dirs[k] + "/" + name).c_str()), 0);
                }
                SetWorkers(workers[k]);
                runs[k] = RunProgram(exe_, {"-r"}, W(dirs[k]));
            }
            EXPECT_EQ(runs[1].status, runs[0].status);
            EXPECT_EQ(runs[1].out, runs[0].out);
            EXPECT_EQ(runs[1].err, runs[0].err);
            EXPECT_TRUE(Contents(W(dirs[1])) == Contents(W(dirs[0])));
        }
    }
};

TEST_F(FaultsTest, ReadErrorFailsTheConversion) {
    // On Linux a process's own memory at address 0 opens and then fails every read.
    char c = 0;
    const int fd = open("/proc/self/mem", O_RDONLY);
    const bool eio = fd >= 0 && read(fd, &c, 1) < 0 && errno == EIO;
    if (fd >= 0) {
        close(fd);
    }
    if (!eio) {
        GTEST_SKIP() << "/proc/self/mem does not fail reads with EIO here";
    }
    const RunResult r = RunAny({"/proc/self/mem", "t_DSV.csv"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kinrec: /proc/self/mem: " + std::string(std::strerror(EIO)) + "\n");
    EXPECT_EQ(Contents(W("")).count("t_DSV.csv"), 0u);
}

TEST_F(FaultsTest, LinksGiveTheOneByOneResultsOnWorkers) {
    ExpectOneByOneOnWorkers({
        {"a table linked to an empty input",
         {{"f.csv", 400}, {"y.csv", 0}},
         {{"f_DSV.csv", "y.csv"}}},
        {"two tables linked to standard output",
         {{"g.csv", 300}, {"h.csv", 200}},
         {{"g_DSV.csv", "/dev/stdout"}, {"h_DSV.csv", "/dev/stdout"}}},
    });
}

TEST_F(FaultsTest, LinksToTablesNotYetMadeGiveTheOneByOneResultsOnWorkers) {
    ExpectOneByOneOnWorkers({
        // The first file is the longer: the second starts while it is still converting.
        {"a table linked to another",
         {{"c.csv", 3000}, {"d.csv", 300}},
         {{"d_DSV.csv", "c_DSV.csv"}}},
        {"an input linked to a table", {{"e.csv", 3000}}, {{"z.csv", "e_DSV.csv"}}},
    });
}

TEST_F(FaultsTest, ClosedStandardStreamsStayOutOfTables) {
    // Files kinrec opens must not become its standard output or error. Whether a line
    // would land in a table depends on which files the workers hold at the time: three
    // runs make a miss unlikely.
    SetWorkers("3");
    const std::string dirs[] = {"open", "closed1", "closed2", "closed3"};
    for (const std::string& dir : dirs) {
        PutBatch(dir, 40);
        for (int i = 1; i <= 40; i += 2) { // failures, said on stderr while workers write
            Put(dir + "/b" + std::to_string(i) + "_DSV.csv", "keep me\n");
        }
    }
    const RunResult open = RunProgram(exe_, {"-r"}, W("open"));
    EXPECT_EQ(open.status, 2);
    for (const std::string& dir : dirs) {
        if (dir != "open") {
            SCOPED_TRACE(dir);
            const int closed = Finish(Start({"-r"}, dir, [] {
                close(1);
                close(2);
            }));
            EXPECT_EQ(ExitCode(closed), open.status);
            EXPECT_TRUE(Contents(W(dir)) == Contents(W("open")));
        }
    }
}

TEST_F(FaultsTest, IgnoredHangupStaysIgnored) {
    if (UnderEmulator()) {
        // qemu-user catches every signal itself, so an ignored one still interrupts the
        // emulated read (EINTR), which a kernel never does.
        GTEST_SKIP() << "an emulator's own signal handling";
    }
    // The input is a FIFO, so the conversion lasts until the test closes it.
    ASSERT_EQ(mkfifo(W("in.csv").c_str(), 0666), 0);
    const std::string head = "t,ax,ay,az,gx,gy,gz\n" + RestLines(30000); // beyond one read
    const std::string tail = RestLines(1000);
    const pid_t pid = Start({"in.csv", "t_DSV.csv"}, "", [] { std::signal(SIGHUP, SIG_IGN); });
    {
        Feeder in(W("in.csv"));
        ASSERT_TRUE(in.Open());
        EXPECT_TRUE(in.Write(head));
        EXPECT_TRUE(WaitUntil([&] { return !TempIn(W("")).empty(); }));
        // As after nohup, when the terminal goes. Sent before the tail: a signal kinrec
        // did not ignore is delivered before it returns from its next system call, so it
        // could not end normally.
        kill(pid, SIGHUP);
        EXPECT_TRUE(in.Write(tail));
    }
    EXPECT_EQ(ExitCode(Finish(pid)), 0);
    Put("ref.csv", head + tail);
    ASSERT_EQ(Run({"ref.csv"}).status, 0);
    EXPECT_TRUE(Get("t_DSV.csv") == Get("ref_DSV.csv"));
}

// LeakSanitizer, in the sanitizer build, needs a thread of its own and cannot stop the
// world as process 1: the cases that take those away run kinrec without it.
class NoLeakCheck {
  public:
    NoLeakCheck() {
        const char* old = std::getenv("ASAN_OPTIONS");
        had_ = old != nullptr;
        old_ = had_ ? old : "";
        setenv("ASAN_OPTIONS", (old_ + (had_ ? ":" : "") + "detect_leaks=0").c_str(), 1);
    }
    ~NoLeakCheck() {
        if (had_) {
            setenv("ASAN_OPTIONS", old_.c_str(), 1);
        } else {
            unsetenv("ASAN_OPTIONS");
        }
    }
    NoLeakCheck(const NoLeakCheck&) = delete;
    NoLeakCheck& operator=(const NoLeakCheck&) = delete;

  private:
    bool had_ = false;
    std::string old_;
};

TEST_F(FaultsTest, TemporaryNameLeftByAnotherRunIsPassedOver) {
    if (UnderEmulator()) {
        GTEST_SKIP() << "process 1 of the namespace would be the emulator, not kinrec";
    }
    const NoLeakCheck asPid1;
    // In a new PID namespace kinrec is process 1, so the name it tries first is known.
    if (RunProgram("/usr/bin/unshare", {"--pid", "--fork", "/bin/true"}, W("")).status != 0) {
        GTEST_SKIP() << "cannot start a process in a new PID namespace here (needs root)";
    }
    Input("in.csv", kRestCsv);
    Input("in_DSV.csv.kinrec-tmp-1-1", "left by a killed run\n");
    const RunResult r = RunProgram("/usr/bin/unshare", {"--pid", "--fork", exe_, "in.csv"}, W(""));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Get("in_DSV.csv"), kRestTable);
}

TEST_F(FaultsTest, FifoTableWaitsForItsReader) {
    if (UnderEmulator() || !std::ifstream("/proc/self/syscall")) {
        GTEST_SKIP() << "no /proc/<pid>/syscall of kinrec's own system calls here";
    }
    Input("in.csv", Recording(300, 1));
    ASSERT_EQ(Run({"in.csv", "ref_DSV.csv"}).status, 0);
    ASSERT_EQ(mkfifo(W("t_DSV.csv").c_str(), 0666), 0);
    const pid_t pid = Start({"in.csv", "t_DSV.csv"});
    // The reader comes only once kinrec has ended, or holds its input open and sits in an
    // open call (the next file it opens is the table), which for a FIFO waits for the
    // other end.
    int status = 0;
    bool ended = false;
    std::string call;
    ASSERT_TRUE(WaitUntil([&] {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        return ended || ((call = SystemCall(pid)) == "open" && HoldsOpen(pid, W("in.csv")));
    })) << "kinrec neither ended nor opened its table; it is in system call "
        << call;
    if (ended) {
        FAIL() << "kinrec ended before anybody read its table (status " << status
               << "): the rows are lost";
    }
    std::string table;
    {
        const int fd = open(W("t_DSV.csv").c_str(), O_RDONLY);
        char buf[65536];
        for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) {
            table.append(buf, static_cast<std::size_t>(n));
        }
        close(fd);
    }
    EXPECT_EQ(ExitCode(Finish(pid)), 0);
    EXPECT_TRUE(table == Get("ref_DSV.csv"));
}

TEST_F(FaultsTest, FifoInAWalkIsReportedNotOpened) {
    Input("a.csv", kRestCsv);
    ASSERT_EQ(mkfifo(W("x.csv").c_str(), 0666), 0);
    const int status = Finish(Start({"-r"}), 20); // opening it would wait for a writer
    EXPECT_EQ(ExitCode(status), 2);
    EXPECT_EQ(Out(), Announce(Dot({"a.csv"}), Dot({"a_DSV.csv"})));
    EXPECT_EQ(Err(), "kinrec: " + Dot({"x.csv"}) +
                         ": is not a regular file; skipped\nkinrec: 1 of 2 conversions failed\n");
}

TEST_F(FaultsTest, DirectoryThatCannotBeListedIsReported) {
    // A directory with no permissions (for an ordinary user), and one whose path is
    // longer than PATH_MAX: each reported with its reason, the rest converted.
    const std::string longName(200, 'n');
    struct Case {
        const char* dir;
        std::function<std::string()> make; // makes the directory: its path as kinrec says it
        std::string reason;
        bool ordinary;
    };
    const Case cases[] = {
        {"perm",
         [&] {
             MakeDir(W("perm/d"));
             Put("perm/d/in.csv", kRestCsv);
             chmod(W("perm/d").c_str(), 0);
             return Dot({"d"});
         },
         std::strerror(EACCES), true},
        {"long",
         [&] {
             std::string path = ".";
             int fd = open(W("long").c_str(), O_RDONLY | O_DIRECTORY);
             while (path.size() < PATH_MAX) {
                 mkdirat(fd, longName.c_str(), 0755);
                 const int sub = openat(fd, longName.c_str(), O_RDONLY | O_DIRECTORY);
                 close(fd);
                 fd = sub;
                 path += "/" + longName;
             }
             const int f = openat(fd, "in.csv", O_WRONLY | O_CREAT, 0644);
             EXPECT_EQ(write(f, kRestCsv.data(), kRestCsv.size()),
                       static_cast<ssize_t>(kRestCsv.size()));
             close(f);
             close(fd);
             return path;
         },
         std::strerror(ENAMETOOLONG), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dir);
        MakeDir(W(c.dir));
        chmod(W(c.dir).c_str(), 0777);
        Put(std::string(c.dir) + "/a.csv", kRestCsv);
        const std::string path = c.make();
        if (c.ordinary && !OrdinaryUserReaches()) {
            continue; // the superuser lists anything, and no ordinary user can start kinrec
        }
        const RunResult r = RunAny({"-r"}, c.dir, c.ordinary);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, Announce(Dot({"a.csv"}), Dot({"a_DSV.csv"})));
        EXPECT_EQ(r.err, "kinrec: " + path + ": " + c.reason + "\n");
    }
    // The temporary directory's removal cannot go beyond PATH_MAX.
    EXPECT_EQ(std::system(("rm -rf '" + W("long") + "'").c_str()), 0);
}

TEST_F(FaultsTest, TableNotCreatedLeavesTheBiasCountAsAConversion) {
    for (const char* d : {"ok", "bad"}) {
        MakeDir(W(d));
        Put(std::string(d) + "/a.csv", Recording(3000, 1));
        Put(std::string(d) + "/b.csv", Recording(500, 2));
    }
    Put("bad/a_DSV.csv", "keep me\n");
    EXPECT_EQ(Run({"-r"}, "ok").status, 0);
    EXPECT_EQ(RunAny({"-r"}, "bad").status, 2);
    EXPECT_TRUE(Get("bad/b_DSV.csv") == Get("ok/b_DSV.csv"));
}

TEST_F(FaultsTest, NoThreadsStillConverts) {
    if (UnderEmulator()) {
        // qemu-user fails the whole process when it cannot make the host thread of a
        // guest thread, where a kernel fails only the thread's creation.
        GTEST_SKIP() << "an emulator's own thread creation";
    }
    if (geteuid() == 0 && !OrdinaryUserReaches()) {
        GTEST_SKIP() << "no ordinary user can start kinrec here, and root has no process limit";
    }
    SetWorkers("3");
    PutBatch("free", 4);
    PutBatch("limited", 4);
    chmod(W("limited").c_str(), 0777);
    ASSERT_EQ(RunProgram(exe_, {"-r"}, W("free")).status, 0);
    const NoLeakCheck withoutThreads;
    // One process for the user: no thread can start.
    const int status = Finish(Start({"-r"}, "limited", [] {
        BecomeOrdinary(kSpareUser);
        const rlimit one{1, 1};
        if (setrlimit(RLIMIT_NPROC, &one) != 0) {
            _exit(126);
        }
    }));
    EXPECT_EQ(ExitCode(status), 0);
    EXPECT_EQ(Err(), "");
    EXPECT_TRUE(Contents(W("limited")) == Contents(W("free")));
}

TEST_F(FaultsTest, FileSizeLimitFailsTheTable) {
    Input("in.csv", Recording(2000, 1));
    const int status = Finish(Start({"in.csv"}, "", [] {
        const rlimit small{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &small);
    }));
    EXPECT_EQ(ExitCode(status), 2);
    EXPECT_EQ(Err(), "kinrec: in_DSV.csv: " + std::string(std::strerror(EFBIG)) + "\n");
    EXPECT_EQ(Contents(W("")).size(), 1u); // no table, no temporary file
}

TEST_F(FaultsTest, TableNameThatLeavesNoRoomForTheSuffix) {
    const std::string name(242, 'L'); // its table's name is 250 bytes long
    Input(name + ".csv", kRestCsv);
    const RunResult r = Run({name + ".csv"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Get(name + "_DSV.csv"), kRestTable);
    EXPECT_EQ(Contents(W("")).size(), 2u);
}

TEST_F(FaultsTest, UnfinishedTableThatCannotBeRemovedIsNamed) {
    if (!OrdinaryUserReaches()) {
        GTEST_SKIP() << "no ordinary user can start kinrec here";
    }
    // The directory turns read-only while kinrec reads its input, a FIFO: the table can
    // neither land nor go.
    MakeDir(W("ro"));
    chmod(W("ro").c_str(), 0777);
    ASSERT_EQ(mkfifo(W("ro/in.csv").c_str(), 0666), 0);
    chmod(W("ro/in.csv").c_str(), 0666);
    const pid_t pid = Start({"in.csv", "t_DSV.csv"}, "ro", [] { BecomeOrdinary(); });
    std::string temp;
    {
        Feeder in(W("ro/in.csv"));
        ASSERT_TRUE(in.Open());
        EXPECT_TRUE(in.Write("t,ax,ay,az,gx,gy,gz\n" + RestLines(30000)));
        EXPECT_TRUE(WaitUntil([&] { return !(temp = TempIn(W("ro"))).empty(); }));
        chmod(W("ro").c_str(), 0555);
    }
    EXPECT_EQ(ExitCode(Finish(pid)), 2);
    EXPECT_EQ(Err(), "kinrec: t_DSV.csv: " + std::string(std::strerror(EACCES)) +
                         "; the unfinished table is left as " + temp + "\n");
    chmod(W("ro").c_str(), 0777);
}

TEST_F(FaultsTest, InterruptKeepsTheLinesOfLandedTables) {
    Input("a.csv", kRestCsv);
    Input("b.csv", kRestCsv);
    Input("c.csv", "t,ax,ay,az,gx,gy,gz\n" + RestLines(2000000));
    const pid_t pid = Start({"-r"}); // standard output to a file: not a terminal
    EXPECT_TRUE(WaitUntil([&] { return !TempIn(W(""), "c_DSV.csv").empty(); }));
    kill(pid, SIGINT);
    const int status = Finish(pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    EXPECT_EQ(Get("b_DSV.csv"), kRestTable);
    EXPECT_EQ(Out(), Announce(Dot({"a.csv"}), Dot({"a_DSV.csv"})) +
                         Announce(Dot({"b.csv"}), Dot({"b_DSV.csv"})) +
                         Announce(Dot({"c.csv"}), Dot({"c_DSV.csv"})));
}

} // namespace

namespace {

// Standard output's reader gone from the start (as under "| head" once head has its
// bytes): the first flush breaks the pipe while workers hold temporary tables. The run
// ends as a broken pipe ends it, and no temporary table stays.
TEST_F(FaultsTest, BrokenPipeLeavesNoTemporaryTable) {
    MakeDir(W("many"));
    for (int i = 0; i < 300; ++i) {
        Put("many/f" + std::to_string(i) + ".csv", Recording(3000, static_cast<unsigned>(i)));
    }
    SetWorkers("3");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    const pid_t pid = Start({"-r"}, "many", [&] {
        std::signal(SIGPIPE, SIG_DFL); // as a shell leaves it
        dup2(fds[1], 1);
    });
    close(fds[1]);
    const int status = Finish(pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
    EXPECT_TRUE(TempIn(W("many")).empty()) << TempIn(W("many"));
    EXPECT_LT(Contents(W("many")).size(), 600u); // it stopped
}

// The reader ignored SIGPIPE for kinrec (a caller's choice): still no temporary table,
// and the failure is said.
TEST_F(FaultsTest, BrokenPipeWithTheSignalIgnoredIsSaid) {
    Input("a.csv", Recording(300, 1));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    const pid_t pid = Start({"a.csv"}, "", [&] {
        std::signal(SIGPIPE, SIG_IGN);
        dup2(fds[1], 1);
    });
    close(fds[1]);
    EXPECT_EQ(ExitCode(Finish(pid)), 2);
    EXPECT_EQ(Err(), "kinrec: standard output: " + std::string(std::strerror(EPIPE)) + "\n");
    EXPECT_TRUE(TempIn(W("")).empty());
}

// Lines that scripts read and that could not be written fail the run with a word.
TEST_F(FaultsTest, FullStandardOutputIsSaid) {
    if (access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no /dev/full here";
    }
    Input("a.csv", Recording(300, 1));
    const int status = Finish(Start({"a.csv"}, "", [] { dup2(open("/dev/full", O_WRONLY), 1); }));
    EXPECT_EQ(ExitCode(status), 2);
    EXPECT_EQ(Err(), "kinrec: standard output: " + std::string(std::strerror(ENOSPC)) + "\n");
    const std::string table = Get("a_DSV.csv");
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 301); // the table landed
}

// A table that fails after a few thousand rows (a full device) still has its input read
// to the end: the next file of the batch, on the gyro bias count, gets the table it gets
// without the failure.
TEST_F(FaultsTest, FailedTableStillAdvancesTheBatch) {
    if (access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "no /dev/full here";
    }
    for (const char* dir : {"ok", "full"}) {
        MakeDir(W(dir));
        Put(std::string(dir) + "/a.csv", Recording(6000, 3));
        Put(std::string(dir) + "/b.csv", Recording(5000, 4));
    }
    ASSERT_EQ(symlink("/dev/full", W("full/a_DSV.csv").c_str()), 0);
    SetWorkers("1");
    EXPECT_EQ(RunProgram(exe_, {"-r"}, W("ok")).status, 0);
    const RunResult r = RunProgram(exe_, {"-r"}, W("full"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("a_DSV.csv: " + std::string(std::strerror(ENOSPC))), std::string::npos);
    EXPECT_TRUE(Get("full/b_DSV.csv") == Get("ok/b_DSV.csv"));
}

} // namespace

namespace {

// A table written through a link into a walked input (a_DSV.csv -> e.csv, an empty file,
// which kinrec may replace) changes what a later share would walk: the shares still
// write exactly the tables of one run, each once.
TEST_F(FaultsTest, SharesAgreeWhenATableLandsInAWalkedInput) {
    for (const char* dir : {"one", "shares"}) {
        const std::string d = std::string(dir) + "/";
        MakeDir(W(dir));
        Put(d + "0h.csv", Recording(12000, 1));
        for (const char* name : {"a", "b", "c", "d"}) {
            Put(d + name + ".csv", Recording(3000, static_cast<unsigned>(name[0])));
        }
        Put(d + "e.csv", "");
        ASSERT_EQ(symlink("e.csv", W(d + "a_DSV.csv").c_str()), 0);
    }
    const RunResult one = RunProgram(exe_, {"-r"}, W("one"));
    ASSERT_EQ(one.status, 0) << one.err;
    std::string lines;
    for (const char* share : {"1/2", "2/2"}) {
        const RunResult r = RunProgram(exe_, {"--shard", share, "-r"}, W("shares"));
        EXPECT_EQ(r.status, 0) << share << ": " << r.err;
        lines += r.out;
    }
    // The finished batch's plan stays, for a share run again.
    EXPECT_EQ(unlink(W("shares/kinrec.plan.finished").c_str()), 0);
    EXPECT_TRUE(Contents(W("shares")) == Contents(W("one")));
    auto count = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
    EXPECT_EQ(count(lines), count(one.out)); // each table written once
}

} // namespace
