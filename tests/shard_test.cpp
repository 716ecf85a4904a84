// End to end: "kinrec --shard K/N -r" splits one batch, so that the N shares together
// write exactly the tables of one "kinrec -r" and announce each of them once.
#include "KinrecFixture.h"
#include "Recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kUsage = "Usage: kinrec <csv_file> [<dsv_file>]\n"
                           "       kinrec <file_selector>\n"
                           "       kinrec -r [<file_selector>]\n";
const std::string kSettings = "FILETYPE 1\nRESAMPLECOUNT 2\n";

// The batch: a head of four files over which the gyro bias count reaches its limit
// (kept samples: 2000, 2000, 4000, 4000), files of many sizes after it, a failure (its
// table's name holds a recording), inputs of both kinds read by the one FILETYPE, two
// of them with one table, and a sub-directory.
std::vector<std::pair<std::string, std::string>> Batch() {
    std::vector<std::pair<std::string, std::string>> files = {
        {"kinrec.cnf", kSettings},      {"a1.csv", Recording(4000, 1)},
        {"a2.bin", Recording(4000, 2)}, {"a3.csv", Recording(8000, 3)},
        {"a4.csv", Recording(8000, 4)}, {"c.csv", Recording(700, 5)},
        {"c_DSV.csv", "t,ax\n1,2\n"},   {"x.bin", Recording(3000, 6)},
        {"x.csv", Recording(2500, 7)},
    };
    for (int i = 0; i < 10; ++i) {
        files.push_back({"b" + std::to_string(i) + (i % 3 == 0 ? ".bin" : ".csv"),
                         Recording(300 + (i * 7919) % 5000, 10u + static_cast<unsigned>(i))});
    }
    for (int i = 0; i < 4; ++i) {
        files.push_back({"sub/d" + std::to_string(i) + ".csv",
                         Recording(200 + 900 * i, 20u + static_cast<unsigned>(i))});
    }
    return files;
}

int InputCount() {
    int n = 0;
    for (const auto& [name, bytes] : Batch()) {
        n += name.find("_DSV.csv") == std::string::npos && name.find(".cnf") == std::string::npos;
    }
    return n;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The lines announcing conversions, sorted.
std::vector<std::string> Announced(const std::string& out) {
    std::vector<std::string> lines;
    for (const std::string& l : Lines(out)) {
        if (l.find(" -> ") != std::string::npos) {
            lines.push_back(l);
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Standard error without the closing summary: the failures themselves.
std::string Failures(const std::string& err) {
    std::string failures;
    for (const std::string& l : Lines(err)) {
        if (l.find("conversions failed") == std::string::npos) {
            failures += l + "\n";
        }
    }
    return failures;
}

class ShardTest : public KinrecFixture {
  protected:
    void PutBatch(const std::string& dir) {
        MakeDir(W(dir));
        MakeDir(W(dir + "/sub"));
        for (const auto& [name, bytes] : Batch()) {
            Put(dir + "/" + name, bytes);
        }
    }
};

TEST_F(ShardTest, SharesTogetherAreOneRun) {
    for (const char* selector : {"", "*.csv"}) {
        SCOPED_TRACE(std::string("selector ") + selector);
        std::vector<std::string> args = {"-r"};
        if (*selector != '\0') {
            args.push_back(selector);
        }
        const std::string whole = "whole" + std::to_string(args.size());
        PutBatch(whole);
        const RunResult one = RunProgram(exe_, args, W(whole));
        ASSERT_EQ(one.status, 2);
        ASSERT_EQ(Failures(one.err), "kinrec: " + Dot({"c_DSV.csv"}) +
                                         ": exists and is not a kinrec table; not overwritten\n");
        for (int n : {1, 2, 3, 7, InputCount() + 2}) {
            SCOPED_TRACE(std::to_string(n) + " shares");
            const std::string dir = whole + "-" + std::to_string(n);
            PutBatch(dir);
            std::vector<std::string> announced;
            std::string failures;
            // Last share first: a file that one share must convert after another's is
            // then caught converted too early.
            for (int k = n; k >= 1; --k) {
                SCOPED_TRACE("share " + std::to_string(k));
                std::vector<std::string> share = {"--shard",
                                                  std::to_string(k) + "/" + std::to_string(n)};
                share.insert(share.end(), args.begin(), args.end());
                const RunResult r = RunProgram(exe_, share, W(dir));
                EXPECT_EQ(r.status, r.err.empty() ? 0 : 2);
                const std::vector<std::string> lines = Announced(r.out);
                if (lines.empty()) {
                    // A share with nothing to do says nothing but its settings.
                    EXPECT_EQ(r.out, Echo("  +FileType : 1\n  +ResampleCount : 2\n"));
                }
                announced.insert(announced.end(), lines.begin(), lines.end());
                failures += Failures(r.err);
            }
            std::sort(announced.begin(), announced.end());
            EXPECT_EQ(announced, Announced(one.out));
            EXPECT_EQ(failures, Failures(one.err));
            for (const auto& [name, bytes] : Batch()) {
                if (name.find(".cnf") != std::string::npos ||
                    name.find("_DSV") != std::string::npos) {
                    continue;
                }
                const std::string table = name.substr(0, name.size() - 4) + "_DSV.csv";
                EXPECT_TRUE(Get(dir + "/" + table) == Get(whole + "/" + table)) << table;
            }
        }
    }
}

TEST_F(ShardTest, BadShareIsAUsageError) {
    Input("a.csv", Recording(300, 1));
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--shard", "0/4", "-r"},
                                                 {"--shard", "5/4", "-r"},
                                                 {"--shard", "a/b", "-r"},
                                                 {"--shard", "2/0", "-r"},
                                                 {"--shard", "-r"},
                                                 {"--shard", "2/4"}}) {
        SCOPED_TRACE(args[1]);
        const RunResult r = RunAny(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, kUsage);
        EXPECT_FALSE(FileExists(W("a_DSV.csv")));
    }
}

} // namespace
