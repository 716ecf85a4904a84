// End to end: a batch converted by several workers gives exactly what a one-by-one run
// on one thread gives.
#include "KinrecFixture.h"
#include "Recording.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class BatchTest : public KinrecFixture {
  protected:
    void TearDown() override {
        SetWorkers("0");
        KinrecFixture::TearDown();
    }
    RunResult RunWith(const char* workers, const std::vector<std::string>& args,
                      const std::string& sub) {
        SetWorkers(workers);
        return RunProgram(exe_, args, W(sub));
    }
};

TEST_F(BatchTest, WorkersGiveTheOneByOneResults) {
    // The same tree twice: "one" converted on one worker, "many" on three.
    std::vector<std::string> tables;
    for (const char* top : {"one", "many"}) {
        const std::string t = top;
        MakeDir(W(t));
        MakeDir(W(t + "/sub"));
        Put(t + "/kinrec.cnf", "RESAMPLECOUNT 2\n");
        // 2 x 3000 kept samples and then 5000: the bias count reaches its limit in the
        // third file, in the middle of the walk's first directory.
        Put(t + "/a1.csv", Recording(6000, 1));
        Put(t + "/a2.csv", Recording(6000, 2));
        Put(t + "/a3.csv", Recording(10000, 3));
        for (int i = 0; i < 12; ++i) {
            Put(t + "/b" + std::to_string(i) + ".csv",
                Recording(300 + 150 * i, 10u + static_cast<unsigned>(i)));
        }
        // Two inputs, one table: the later one wins, as one by one.
        Put(t + "/c.csv", Recording(400, 40));
        Put(t + "/c.bin", Recording(700, 41));
        // A failure in the middle: its table would replace a file that is not a table.
        Put(t + "/d.csv", Recording(500, 50));
        Put(t + "/d_DSV.csv", "keep me\n");
        for (int i = 0; i < 8; ++i) {
            Put(t + "/sub/e" + std::to_string(i) + ".csv",
                Recording(200 + 300 * i, 60u + static_cast<unsigned>(i)));
        }
    }
    const RunResult one = RunWith("1", {"-r"}, "one");
    const RunResult many = RunWith("3", {"-r"}, "many");
    EXPECT_EQ(one.status, 2);
    EXPECT_EQ(many.status, one.status);
    EXPECT_EQ(many.out, one.out);
    EXPECT_EQ(many.err, one.err);
    EXPECT_EQ(one.err, "kinrec: " + Dot({"d_DSV.csv"}) +
                           ": exists and is not a kinrec table; not overwritten\n"
                           "kinrec: 1 of 26 conversions failed\n");
    std::vector<std::string> names = {"a1", "a2", "a3", "c", "d", "sub/e0", "sub/e7"};
    for (int i = 0; i < 12; ++i) {
        names.push_back("b" + std::to_string(i));
    }
    for (const std::string& n : names) {
        EXPECT_EQ(Get("many/" + n + "_DSV.csv"), Get("one/" + n + "_DSV.csv")) << n;
    }
    EXPECT_EQ(Get("many/d_DSV.csv"), "keep me\n");
    // The last files really started from the count's limit: alone, b11 differs.
    Put("alone.csv", Recording(300 + 150 * 11, 21));
    EXPECT_EQ(RunWith("1", {"alone.csv"}, "").status, 0);
    EXPECT_NE(Get("alone_DSV.csv"), Get("one/b11_DSV.csv"));
}

TEST_F(BatchTest, AloneGivesEveryFileItsOwnTable) {
    // --alone -r on one and on two workers against one kinrec per file; a plain -r
    // gives the files after the first other tables (the count carries), so the
    // comparison has teeth.
    const std::vector<std::string> names = {"a", "b", "sub/c", "sub/d"};
    for (const char* top : {"one", "two", "each", "batch"}) {
        const std::string t = top;
        MakeDir(W(t));
        MakeDir(W(t + "/sub"));
        Put(t + "/kinrec.cnf", "RESAMPLECOUNT 2\n");
        for (std::size_t i = 0; i < names.size(); ++i) {
            Put(t + "/" + names[i] + ".csv",
                Recording(3000 + 500 * static_cast<int>(i), 70u + static_cast<unsigned>(i)));
        }
    }
    const RunResult one = RunWith("1", {"--alone", "-r"}, "one");
    const RunResult two = RunWith("2", {"--alone", "-r"}, "two");
    EXPECT_EQ(RunWith("1", {"-r"}, "batch").status, 0);
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(one.err, "");
    EXPECT_EQ(two.out, one.out);
    for (const std::string& n : names) {
        const RunResult each = RunWith("1", {Dot({n + ".csv"})}, "each");
        ASSERT_EQ(each.status, 0) << each.err;
        const std::string alone = Get("each/" + n + "_DSV.csv");
        EXPECT_EQ(Get("one/" + n + "_DSV.csv"), alone) << n;
        EXPECT_EQ(Get("two/" + n + "_DSV.csv"), alone) << n;
        EXPECT_EQ(Get("batch/" + n + "_DSV.csv") == alone, n == "a") << n;
    }
    // Only with -r, and once.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--alone"},
                                                 {"--alone", "x.csv"},
                                                 {"--alone", "--shard", "1/2", "x.csv"},
                                                 {"--alone", "--alone", "-r"}}) {
        const RunResult bad = RunWith("1", args, "one");
        EXPECT_EQ(bad.status, 1) << args.back();
    }
}

} // namespace
