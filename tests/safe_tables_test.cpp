// End to end: what kinrec refuses, reports and leaves behind when something is wrong,
// and that a good run stays silent on standard error.
#include "KinrecFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kRestCsv = "t,ax,ay,az,gx,gy,gz\n0,0,0,8192,0,0,0\n1,0,0,8192,0,0,0\n";
const std::string kRestTable = kHeader + "0,0,8192,0,0,0,23,100,0,0,1,0,-90,0,23,0,0,-90,0\n"
                                         "0,0,8192,0,0,0,60,100,0,0,2,0,-90,0,37,0,0,0,0\n";
const std::string kOldTable = kHeader + "1,2,3\n";
const std::string kMissing = "<missing>";

using Files = std::vector<std::pair<std::string, std::string>>;

struct Case {
    const char* what;
    Files before;                  // files in the work folder
    std::vector<std::string> args; // the command line
    int status;
    std::string out;
    std::string err;
    Files after; // files and what they must hold then (kMissing: absent)
};

std::string Fail(const std::string& path, const std::string& reason) {
    return "kinrec: " + path + ": " + reason + "\n";
}

const std::string kNotOverwritten = "exists and is not a kinrec table; not overwritten";

std::vector<Case> Cases() {
    return {
        {"an unquoted selector expanded by the shell never replaces a recording",
         {{"a_walk.csv", kRestCsv}, {"b_walk.csv", kRestCsv}},
         {"a_walk.csv", "b_walk.csv"},
         2,
         Announce("a_walk.csv", "b_walk.csv"),
         Fail("b_walk.csv", kNotOverwritten),
         {{"b_walk.csv", kRestCsv}}},
        {"an earlier table is replaced",
         {{"r.csv", kRestCsv}, {"r_DSV.csv", kOldTable}},
         {"r.csv"},
         0,
         Announce("r.csv", "r_DSV.csv"),
         "",
         {{"r_DSV.csv", kRestTable}}},
        {"an empty file is replaced",
         {{"r.csv", kRestCsv}, {"out.txt", ""}},
         {"r.csv", "out.txt"},
         0,
         Announce("r.csv", "out.txt"),
         "",
         {{"out.txt", kRestTable}}},
        {"a missing file that matches nothing",
         {{"r.csv", kRestCsv}},
         {"nosuch.csv"},
         2,
         "",
         Fail("nosuch.csv", "No such file or directory, and no input file matches it"),
         {{"r_DSV.csv", kMissing}}},
        {"a table named as input is not converted",
         {{"t.csv", kRestTable}},
         {"t.csv", "u.csv"},
         2,
         "",
         Fail("t.csv", "is a kinrec table, not a recording; not converted"),
         {{"u.csv", kMissing}, {"t.csv", kRestTable}}},
        {"a text file under FILETYPE 4",
         {{"kinrec.cnf", "FILETYPE 4\n"}, {"a.csv", kRestCsv}},
         {"a.csv", "o.csv"},
         2,
         Echo("  +FileType : 4\n"),
         Fail("a.csv", "not a dataset file"),
         {{"o.csv", kMissing}}},
        {"a walk skips tables under any name and sums up its failures",
         {{"p.csv", kRestCsv},
          {"features.csv", kRestTable},
          {"q.csv", kRestCsv},
          {"q_DSV.csv", "notes\n"}},
         {"-r"},
         2,
         Announce(Dot({"p.csv"}), Dot({"p_DSV.csv"})) +
             Announce(Dot({"q.csv"}), Dot({"q_DSV.csv"})),
         Fail(Dot({"q_DSV.csv"}), kNotOverwritten) + "kinrec: 1 of 2 conversions failed\n",
         {{"p_DSV.csv", kRestTable}, {"features.csv", kRestTable}, {"q_DSV.csv", "notes\n"}}},
        {"a temporary file left by a killed run is neither input nor obstacle",
         {{"x.csv", kRestCsv}, {"x_DSV.csv.kinrec-tmp-999-1", "0,0,0,8192,0,0,0\n"}},
         {"-r"},
         0,
         Announce(Dot({"x.csv"}), Dot({"x_DSV.csv"})),
         "",
         {{"x_DSV.csv", kRestTable}, {"x_DSV.csv.kinrec-tmp-999-1", "0,0,0,8192,0,0,0\n"}}},
        {"unknown and valueless configuration keys are pointed out",
         {{"kinrec.cnf", "FILETPYE 2\nFILETYPE\n# FILETYPE 3\nRMSDIFFOUT 1\n"},
          {"r.csv", kRestCsv}},
         {"r.csv"},
         0,
         Echo("  +RmsDiffOut : 1\n") + Announce("r.csv", "r_DSV.csv"),
         Fail("kinrec.cnf:1", "unknown key \"FILETPYE\"; line skipped") +
             Fail("kinrec.cnf:2", "\"FILETYPE\" has no value (a key and its value are "
                                  "separated by a space); line skipped"),
         {{"r_DSV.csv", kRestTable}}},
        {"a file named like an option is converted",
         {{"--help", kRestCsv}},
         {"--help"},
         0,
         Announce("--help", "--_DSV.csv"),
         "",
         {{"--_DSV.csv", kRestTable}}},
    };
}

class SafeTablesTest : public KinrecFixture {};

TEST_F(SafeTablesTest, RefusalsReportsAndStatuses) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.what);
        TempDir scratch;
        MakeDir(scratch.Path("work"));
        for (const auto& [name, bytes] : c.before) {
            WriteFile(scratch.Path("work/" + name), bytes);
        }
        const RunResult r = RunProgram(exe_, c.args, scratch.Path("work"));
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        for (const auto& [name, bytes] : c.after) {
            EXPECT_EQ(ReadText(scratch.Path("work/" + name)), bytes) << name;
        }
    }
}

TEST_F(SafeTablesTest, HelpAndVersion) {
    // The usage, the sharded form, and where settings come from and are described.
    const std::string usage = "Usage: kinrec <csv_file> [<dsv_file>]\n"
                              "       kinrec <file_selector>\n"
                              "       kinrec -r [<file_selector>]\n"
                              "       kinrec [--alone] --shard <k>/<n> -r [<file_selector>]\n"
                              "       kinrec --alone -r [<file_selector>]\n"
                              "       kinrec --summary <file> ... (before any of the above)\n";
    for (const char* arg : {"--help", "-h"}) {
        const RunResult r = Run({arg});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.compare(0, usage.size(), usage), 0) << r.out;
        EXPECT_NE(r.out.find("kinrec.cnf"), std::string::npos);
        EXPECT_NE(r.out.find("man kinrec"), std::string::npos);
    }
    const RunResult v = Run({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, std::string("kinrec ") + KINREC_VERSION + "\n");
}

} // namespace
