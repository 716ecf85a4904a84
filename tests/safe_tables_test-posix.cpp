// End to end, POSIX only: signals in the middle of a conversion, devices and links as
// tables, permissions.
#include "KinrecFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const std::string kRestCsv = "t,ax,ay,az,gx,gy,gz\n0,0,0,8192,0,0,0\n1,0,0,8192,0,0,0\n";
const std::string kRestTable = kHeader + "0,0,8192,0,0,0,23,100,0,0,1,0,-90,0,23,0,0,-90,0\n"
                                         "0,0,8192,0,0,0,60,100,0,0,2,0,-90,0,37,0,0,0,0\n";

// A recording with turns, long enough that its table outgrows the output buffer.
std::string Moving(int samples) {
    std::string s = "t,ax,ay,az,gx,gy,gz\n";
    for (int i = 0; i < samples; ++i) {
        s += std::to_string(i) + "," + std::to_string((i * 37) % 900 - 450) + ",120," +
             std::to_string(8000 + (i * 13) % 400) + "," + std::to_string((i * 7) % 600 - 300) +
             "," + std::to_string((i * 11) % 500 - 250) + ",90\n";
    }
    return s;
}

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") {
                names.push_back(n);
            }
        }
        closedir(d);
    }
    return names;
}

class SafeTablesPosixTest : public KinrecFixture {
  protected:
    // Starts kinrec on args in work/, waits until its temporary table exists, then sends
    // sig; returns how the process ended.
    int InterruptMidway(const std::vector<std::string>& args, int sig) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            if (chdir(W("").c_str()) != 0) {
                _exit(127);
            }
            ExecProgram(exe_, args);
        }
        for (int i = 0; i < 2000 && TempTables().empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_FALSE(TempTables().empty()) << "the conversion never started";
        kill(pid, sig);
        int status = 0;
        waitpid(pid, &status, 0);
        return status;
    }
    std::vector<std::string> TempTables() {
        std::vector<std::string> temps;
        for (const std::string& n : Names(W(""))) {
            if (n.find(".kinrec-tmp-") != std::string::npos) {
                temps.push_back(n);
            }
        }
        return temps;
    }
};

TEST_F(SafeTablesPosixTest, InterruptLeavesNoTableAndNoTemporaryFile) {
    std::string big = "t,ax,ay,az,gx,gy,gz\n";
    for (int i = 0; i < 3000000; ++i) {
        big += "0,0,0,8192,0,0,0\n";
    }
    Input("big.csv", big);
    for (int sig : {SIGINT, SIGTERM}) {
        for (bool earlier : {false, true}) {
            SCOPED_TRACE(std::to_string(sig) + (earlier ? " with an earlier table" : ""));
            if (earlier) {
                Put("big_DSV.csv", kRestTable);
            }
            const int status = InterruptMidway({"big.csv"}, sig);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig);
            EXPECT_TRUE(TempTables().empty());
            EXPECT_EQ(Get("big_DSV.csv"), earlier ? kRestTable : "<missing>");
            unlink(W("big_DSV.csv").c_str());
        }
    }
}

TEST_F(SafeTablesPosixTest, FullDiskFailsOnceAndChangesNothingElse) {
    Input("full.csv", kRestCsv);
    ASSERT_EQ(symlink("/dev/full", W("full_DSV.csv").c_str()), 0);
    const RunResult direct = RunProgram(exe_, {"full.csv"}, W(""));
    EXPECT_EQ(direct.status, 2);
    EXPECT_EQ(direct.out, Announce("full.csv", "full_DSV.csv")); // no fallback search
    EXPECT_EQ(direct.err, "kinrec: full_DSV.csv: No space left on device\n");

    // In a batch the file after the failing one gets the table it gets when nothing
    // fails: the failing input is still read to its end, so the bias count matches.
    MakeDir(W("ok"));
    MakeDir(W("bad"));
    for (const char* d : {"ok", "bad"}) {
        Input(std::string(d) + "/a.csv", Moving(3000));
        Input(std::string(d) + "/b.csv", Moving(500));
    }
    ASSERT_EQ(symlink("/dev/full", W("bad/a_DSV.csv").c_str()), 0);
    EXPECT_EQ(Run({"-r"}, "ok").status, 0);
    const RunResult bad = RunProgram(exe_, {"-r"}, W("bad"));
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "kinrec: " + Dot({"a_DSV.csv"}) +
                           ": No space left on device\nkinrec: 1 of 2 conversions failed\n");
    EXPECT_EQ(Get("bad/b_DSV.csv"), Get("ok/b_DSV.csv"));
}

TEST_F(SafeTablesPosixTest, DevicesAreWrittenInPlace) {
    Input("r.csv", kRestCsv);
    const RunResult r = Run({"r.csv", "/dev/stdout"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Announce("r.csv", "/dev/stdout") + kRestTable);
    ASSERT_EQ(symlink("/dev/null", W("null_DSV.csv").c_str()), 0);
    EXPECT_EQ(Run({"r.csv", "null_DSV.csv"}).status, 0);
}

TEST_F(SafeTablesPosixTest, LinkToATableReplacesItsTarget) {
    Input("r.csv", kRestCsv);
    MakeDir(W("tables"));
    Put("tables/r.csv", kHeader);
    ASSERT_EQ(symlink("tables/r.csv", W("r_DSV.csv").c_str()), 0);
    EXPECT_EQ(Run({"r.csv"}).status, 0);
    struct stat st;
    ASSERT_EQ(lstat(W("r_DSV.csv").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Get("tables/r.csv"), kRestTable);
}

} // namespace
