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

// A batch's shares as separate processes in a given order, with the tree changed between
// them, against one "kinrec -r" of the tree as it was at the start.
struct Step {
    std::string share;             // "K/N"; "" for the change alone
    int status;                    // kinrec's exit status
    std::vector<std::string> errs; // its standard error, line by line
    // Then done to the tree: given work/ and the tree's name in it; or null.
    void (*change)(const std::string& work, const std::string& dir);
};

class ShardCaseTest : public ShardTest {
  protected:
    // Puts files into dir; a name "link:<name>" is a symbolic link to the bytes.
    void PutTree(const std::string& dir,
                 const std::vector<std::pair<std::string, std::string>>& files) {
        MakeDir(W(dir));
        for (const auto& [name, bytes] : files) {
            Put(dir + "/" + name, bytes);
        }
    }
    RunResult Share(const std::string& dir, const std::string& share) {
        return RunAny({"--shard", share, "-r"}, dir);
    }
    // Whether dir holds any of the plan's files.
    bool PlanLeft(const std::string& dir) {
        for (const char* name :
             {"kinrec.plan", "kinrec.plan.done-1", "kinrec.plan.done-2", "kinrec.plan.done-3"}) {
            if (FileExists(W(dir + "/" + name))) {
                return true;
            }
        }
        return false;
    }
};

std::string PlanPath() {
    return Dot({"kinrec.plan"});
}

TEST_F(ShardCaseTest, EveryCaseEndsExactOrSaysSo) {
    const std::string plan = PlanPath();
    const std::string again = "remove " + plan + " and run all 2 shares again";
    const std::string version = RunAny({"--version"}).out.substr(7, std::string::npos);
    const std::string made =
        "kinrec: " + plan + ": made by kinrec 0.0.1, not " + version.substr(0, version.size() - 1) +
        "; nothing converted: finish that batch with kinrec 0.0.1, or " + again;
    const std::string f4Before = std::to_string(Recording(2000, 5).size());
    const std::string f4After =
        std::to_string(Recording(2000, 5).size() + Recording(20000, 6).size());
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<Step> steps;
        bool exact; // the tables are those of one run, and the plan is gone
    } cases[] = {
        {"a share interrupted after its first table, and rerun; names that differ in case",
         {{"A.csv", Recording(12000, 1)},
          {"B.csv", Recording(60000, 2)},
          {"C.csv", Recording(1000, 3)},
          {"a.csv", Recording(1000, 4)}},
         {{"2/2",
           0,
           {},
           [](const std::string& work, const std::string& dir) {
               // What the interrupted share left: its first table, no record.
               WriteFile(work + dir + "/A_DSV.csv", ReadFile(work + "whole-" + dir + "/A_DSV.csv"));
           }},
          {"1/2", 0, {}, nullptr}},
         true},
        {"shares in reverse order, then the shares of the finished batch again",
         {{"h.csv", Recording(12000, 1)},
          {"p.csv", Recording(3000, 2)},
          {"q.csv", Recording(3000, 3)}},
         {{"2/2", 0, {}, nullptr},
          {"1/2", 0, {}, nullptr},
          {"2/2", 0, {}, nullptr},
          {"1/2", 0, {}, nullptr}},
         true},
        {"one share of a finished batch run again leaves no plan behind",
         {{"h.csv", Recording(12000, 1)},
          {"p.csv", Recording(3000, 2)},
          {"q.csv", Recording(3000, 3)}},
         {{"1/2", 0, {}, nullptr}, {"2/2", 0, {}, nullptr}, {"2/2", 0, {}, nullptr}},
         true},
        {"settings changed between shares",
         {{"h.csv", Recording(12000, 1)},
          {"p.csv", Recording(3000, 2)},
          {"q.csv", Recording(3000, 3)}},
         {{"1/2",
           0,
           {},
           [](const std::string& work, const std::string& dir) {
               WriteFile(work + dir + "/kinrec.cnf", "RESAMPLECOUNT 2\nCUTOFFFREQUENCY 3\n");
           }},
          {"2/2",
           2,
           {"kinrec: " + plan +
            ": made under other settings (RESAMPLECOUNT 0 -> 2, CUTOFFFREQUENCY 5 -> 3); "
            "nothing converted: finish that batch under the settings it was made under, or " +
            again + " (each under the new settings)"},
           nullptr},
          {"1/2", 2, {}, nullptr}},
         false},
        {"a plan made by another kinrec",
         {{"h.csv", Recording(12000, 1)}, {"p.csv", Recording(3000, 2)}},
         {{"1/2",
           0,
           {},
           [](const std::string& work, const std::string& dir) {
               std::string text = ReadFile(work + dir + "/kinrec.plan");
               const std::size_t at = text.find("\nversion ") + 9;
               text.replace(at, text.find('\n', at) - at, "0.0.1");
               WriteFile(work + dir + "/kinrec.plan", text);
           }},
          {"2/2", 2, {made}, nullptr}},
         false},
        {"inputs that change between shares",
         {{"f0.csv", Recording(12000, 1)},
          {"f1.csv", Recording(2000, 2)},
          {"f2.csv", Recording(2000, 3)},
          {"f3.csv", Recording(2000, 4)},
          {"f4.csv", Recording(2000, 5)}},
         {{"1/2",
           0,
           {},
           [](const std::string& work, const std::string& dir) {
               const std::string f4 = work + dir + "/f4.csv";
               WriteFile(f4, ReadFile(f4) + Recording(20000, 6));
               WriteFile(work + dir + "/f25.csv", Recording(500, 7));
           }},
          {"2/2",
           2,
           {"kinrec: " + Dot({"f25.csv"}) + ": added after " + plan +
                " was made; converted by no share: " + again,
            "kinrec: " + Dot({"f4.csv"}) + ": changed since " + plan + " was made (size " +
                f4Before + " -> " + f4After + " bytes); share 2/2 converts nothing: " + again},
           nullptr}},
         false},
        {"shares of different counts",
         {{"h.csv", Recording(12000, 1)},
          {"p.csv", Recording(3000, 2)},
          {"q.csv", Recording(3000, 3)}},
         {{"1/2", 0, {}, nullptr},
          {"2/3",
           2,
           {"kinrec: " + plan +
            ": made for 2 shares of every input file, not 3 shares of every input file; "
            "nothing converted: finish that batch with --shard K/2, or remove the plan to "
            "start a new one"},
           nullptr}},
         false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = "case" + std::to_string(++n);
        const std::string whole = "whole-" + dir;
        PutTree(whole, c.files);
        ASSERT_EQ(RunAny({"-r"}, whole).status, 0);
        PutTree(dir, c.files);
        std::vector<std::string> announced;
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.share);
            const RunResult r = Share(dir, step.share);
            EXPECT_EQ(r.status, step.status);
            if (step.status == 0 || !step.errs.empty()) {
                EXPECT_EQ(Lines(r.err), step.errs);
            }
            const std::vector<std::string> lines = Announced(r.out);
            announced.insert(announced.end(), lines.begin(), lines.end());
            if (step.change != nullptr) {
                step.change(W(""), dir);
            }
        }
        if (!c.exact) {
            EXPECT_TRUE(FileExists(W(dir + "/kinrec.plan")));
            continue;
        }
        EXPECT_FALSE(PlanLeft(dir));
        for (const auto& [name, bytes] : c.files) {
            const std::string table = name.substr(0, name.size() - 4) + "_DSV.csv";
            EXPECT_TRUE(Get(dir + "/" + table) == Get(whole + "/" + table)) << table;
        }
    }
}

// The rows of a summary, sorted, and its provenance lines.
std::pair<std::vector<std::string>, std::vector<std::string>> SummaryOf(const std::string& text) {
    std::vector<std::string> rows;
    std::vector<std::string> head;
    for (const std::string& l : Lines(text)) {
        (l.rfind("# ", 0) == 0 || l.rfind("input,", 0) == 0 ? head : rows).push_back(l);
    }
    std::sort(rows.begin(), rows.end());
    return {rows, head};
}

// Shares of a batch and of files converted alone, each share writing a summary into the
// tree that the later shares walk past.
TEST_F(ShardTest, SharesAndTheirSummariesTogetherAreOneRun) {
    for (const bool alone : {false, true}) {
        const std::string mode = alone ? "alone" : "batch";
        SCOPED_TRACE(mode);
        const std::string whole = "whole-" + mode;
        PutBatch(whole);
        std::vector<std::string> args = {"--summary", "all.csv", "-r"};
        if (alone) {
            args.insert(args.begin(), "--alone");
        }
        const RunResult one = RunProgram(exe_, args, W(whole));
        ASSERT_EQ(one.status, 2);
        const auto [rows, head] = SummaryOf(Get(whole + "/all.csv"));
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(InputCount()));
        for (int n : {2, 3}) {
            SCOPED_TRACE(std::to_string(n) + " shares");
            const std::string dir = whole + "-" + std::to_string(n);
            PutBatch(dir);
            std::vector<std::string> announced;
            std::vector<std::string> shareRows;
            for (int k = n; k >= 1; --k) {
                const std::string summary = "s" + std::to_string(k) + ".csv";
                std::vector<std::string> share = {"--shard",
                                                  std::to_string(k) + "/" + std::to_string(n),
                                                  "--summary", summary, "-r"};
                if (alone) {
                    share.insert(share.begin() + 2, "--alone");
                }
                const RunResult r = RunProgram(exe_, share, W(dir));
                EXPECT_EQ(r.status, r.err.empty() ? 0 : 2) << r.err;
                EXPECT_EQ(r.err.find("added after"), std::string::npos) << r.err;
                const std::vector<std::string> lines = Announced(r.out);
                announced.insert(announced.end(), lines.begin(), lines.end());
                const auto [got, provenance] = SummaryOf(Get(dir + "/" + summary));
                EXPECT_EQ(provenance, head);
                shareRows.insert(shareRows.end(), got.begin(), got.end());
            }
            std::sort(announced.begin(), announced.end());
            EXPECT_EQ(announced, Announced(one.out));
            std::sort(shareRows.begin(), shareRows.end());
            EXPECT_EQ(shareRows, rows);
            for (const auto& [name, bytes] : Batch()) {
                if (name.find(".cnf") == std::string::npos &&
                    name.find("_DSV") == std::string::npos) {
                    const std::string table = name.substr(0, name.size() - 4) + "_DSV.csv";
                    EXPECT_TRUE(Get(dir + "/" + table) == Get(whole + "/" + table)) << table;
                }
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
