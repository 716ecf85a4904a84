// The bad-input cases that need POSIX: symbolic links, file permissions and runs as an
// ordinary user when the tests run as the superuser.
#include "KinrecFixture.h"
#include "ReachableTmpdir-posix.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class LinkTest : public KinrecFixture {};

TEST_F(LinkTest, DeepTreeAndLinkLoop) {
    std::string path;
    for (int i = 0; i < 200; ++i) {
        path += (i ? "/" : "") + std::string("d");
        MakeDir(W(path));
    }
    Input(path + "/deep.csv", "0,0,0,8192,0,0,0\n");
    ASSERT_EQ(symlink("..", W("d/loop").c_str()), 0);
    ASSERT_EQ(symlink(W("d").c_str(), W("d/d/abs").c_str()), 0);
    Input("top.csv", "0,0,0,8192,0,0,0\n");
    const RunResult r = Run({"-r"});
    EXPECT_EQ(r.status, 0);
    std::string expectPath = ".";
    for (int i = 0; i < 200; ++i) {
        expectPath += kinrec::detail::kPathSeparator + std::string("d");
    }
    const std::string sep(1, kinrec::detail::kPathSeparator);
    EXPECT_EQ(r.out, Announce(expectPath + sep + "deep.csv", expectPath + sep + "deep_DSV.csv") +
                         Announce(Dot({"top.csv"}), Dot({"top_DSV.csv"})));
    EXPECT_EQ(Run({"-r", "*.csv"}).out,
              Announce(Dot({"top.csv"}), Dot({"top_DSV.csv"})) +
                  Announce(expectPath + sep + "deep.csv", expectPath + sep + "deep_DSV.csv"));
}

class PermissionTest : private ReachableTmpdir, public KinrecFixture {
  protected:
    void SetUp() override {
        KinrecFixture::SetUp();
        // Let an ordinary user reach the scratch directory when the tests run as root.
        chmod(dir_.path().c_str(), 0755);
        chmod(W("").c_str(), 0777);
        if (!ReachableUnprivileged(exe_) || !ReachableUnprivileged(W(""))) {
            GTEST_SKIP() << "kinrec runs here as the ordinary user 65534, who cannot reach " << exe_
                         << ": none of TMPDIR, /tmp, /var/tmp, /dev/shm is open to it";
        }
    }
};

TEST_F(PermissionTest, UnreadableInput) {
    Input("secret.csv", "0,0,0,8192,0,0,0\n");
    chmod(W("secret.csv").c_str(), 0);
    const RunResult r = RunAny({"secret.csv"}, "", true);
    EXPECT_EQ(r.status, 2);
    // Not opened, so not announced; the selector search finds it and fails the same way.
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kinrec: " + Dot({"secret.csv"}) +
                         ": Permission denied\nkinrec: 1 of 1 conversions failed\n");
    chmod(W("secret.csv").c_str(), 0644);
}

TEST_F(PermissionTest, UnwritableDirectoryAndReadOnlyOutput) {
    MakeDir(W("ro"));
    Input("ro/in.csv", "0,0,0,8192,0,0,0\n");
    chmod(W("ro").c_str(), 0555);
    RunResult r = RunAny({"in.csv"}, "ro", true);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out,
              Announce("in.csv", "in_DSV.csv") + Announce(Dot({"in.csv"}), Dot({"in_DSV.csv"})));
    EXPECT_EQ(r.err, "kinrec: in_DSV.csv: Permission denied\nkinrec: " + Dot({"in_DSV.csv"}) +
                         ": Permission denied\nkinrec: 1 of 1 conversions failed\n");
    EXPECT_FALSE(FileExists(W("ro/in_DSV.csv")));
    chmod(W("ro").c_str(), 0777);

    Input("a.csv", "0,0,0,8192,0,0,0\n");
    Input("a_DSV.csv", kHeader); // an earlier table, read-only: not replaced
    chmod(W("a_DSV.csv").c_str(), 0444);
    r = RunAny({"a.csv"}, "", true);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, Announce("a.csv", "a_DSV.csv") + Announce(Dot({"a.csv"}), Dot({"a_DSV.csv"})));
    EXPECT_EQ(r.err.rfind("kinrec: a_DSV.csv: Permission denied\n", 0), 0u);
}

} // namespace
