// End to end: "kinrec --summary FILE" writes a row per input after the run's provenance,
// lands it safely, and a later walk never reads it as a recording.
#include "KinrecFixture.h"
#include "Recording.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class SummaryTest : public KinrecFixture {};

const std::string kHead = "# kinrec summary\n";
const std::string kSettings =
    "# settings FileType=1 ResampleCount=2 SamplingFrequency=50 CutOffFrequency=5 "
    "FallStartThreshold=60 FallCounterOut=1 PostureOut=1 RmsDiffOut=1 PostureDiffOut=1 "
    "Overflow=wrap\n"
    "input,table,status,samples,rows,beyond_range,first_beyond,peak_beyond,skipped_lines,"
    "notes\n";

std::string VersionLine(const RunResult& version) {
    // "kinrec 1.2.3\n" -> "# version 1.2.3\n"
    return "# version " + version.out.substr(7);
}

TEST_F(SummaryTest, RowsSayWhatEachInputCameTo) {
    Put("kinrec.cnf", "RESAMPLECOUNT 2\n");
    Input("a.csv", Recording(5, 1));
    // Three values beyond the counts (two in one sample), and a line cut short between.
    Input("b,#1.csv", "t,ax,ay,az,gx,gy,gz\n"
                      "0,1,2,3,4,5,6\n"
                      "1,40000,2,3,4,5,6\n"
                      "2,1,2\n"
                      "3,1,-40001,3,4,5,99999\n"
                      "4,1,2,3,4,5,6\n");
    Input("c.csv", Recording(3, 2));
    Put("c_DSV.csv", "somebody's notes\n");
    const std::string version = VersionLine(RunAny({"--version"}));
    const RunResult r = RunAny({"--summary", "s.csv", "-r"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(Get("s.csv"),
              kHead + version + kSettings + Dot({"a.csv"}) + "," + Dot({"a_DSV.csv"}) +
                  ",ok,5,3,0,,,0,\n\"" + Dot({"b,#1.csv"}) + "\",\"" + Dot({"b,#1_DSV.csv"}) +
                  "\",ok,4,2,2,1,99999,1,\"1 of 6 lines skipped (1 has fewer than 7 columns); the "
                  "samples after a skipped line move up a step, so times counted from the sample "
                  "number run early; 2 samples have values beyond the 16-bit range, wrapped "
                  "around (the first is sample 1, the largest value 99999 counts; OVERFLOW clip "
                  "keeps them at the range's ends)\"\n" +
                  Dot({"c.csv"}) + "," + Dot({"c_DSV.csv"}) + ",table_refused,0,0,0,,,0," +
                  Dot({"c_DSV.csv"}) + ": exists and is not a kinrec table; not overwritten\n");
    // Run again: the summary is replaced, and is no input of the walk.
    const std::string first = Get("s.csv");
    const RunResult again = RunAny({"--summary", "s.csv", "-r"});
    EXPECT_EQ(again.err, r.err);
    EXPECT_EQ(again.out, r.out);
    EXPECT_EQ(Get("s.csv"), first);
    EXPECT_EQ(r.out.find("s.csv ->"), std::string::npos);
}

TEST_F(SummaryTest, OneFileAndItsRefusals) {
    Input("a.csv", Recording(4, 1));
    const RunResult one = RunAny({"--summary", "one.csv", "a.csv", "out.csv"});
    EXPECT_EQ(one.status, 0) << one.err;
    const std::string text = Get("one.csv");
    EXPECT_NE(text.find("\na.csv,out.csv,ok,4,4,0,,,0,\n"), std::string::npos) << text;

    // Only an empty file or an earlier summary is replaced.
    const struct {
        const char* name;
        const char* bytes; // nullptr: a folder
        const char* error; // on standard error, after "kinrec: <name>: "
    } cases[] = {
        {"rec.csv", "0,1,2,3,4,5,6\n", "exists and is not a kinrec summary; not overwritten"},
        {"dir", nullptr, "is not a regular file; the summary is not written"},
        {"empty.csv", "", nullptr},
        {"old.csv", "# kinrec summary\n# version 0\n", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.bytes != nullptr) {
            Put(c.name, c.bytes);
        } else {
            MakeDir(W(c.name));
        }
        const RunResult r = RunAny({"--summary", c.name, "a.csv"});
        EXPECT_EQ(r.out.find("a.csv -> a_DSV.csv\n") != std::string::npos, true);
        if (c.error != nullptr) {
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.err, std::string("kinrec: ") + c.name + ": " + c.error + "\n");
            if (c.bytes != nullptr) {
                EXPECT_EQ(Get(c.name), c.bytes);
            }
        } else {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(Get(c.name).compare(0, kHead.size(), kHead), 0);
        }
    }
    const RunResult bare = RunAny({"--summary"});
    EXPECT_EQ(bare.status, 1);
    EXPECT_NE(bare.err.find("--summary takes the summary's file name"), std::string::npos);
}

} // namespace
