// End to end: the real kinrec binary, run in scratch directories.
#include "KinrecFixture.h"
#include "disk/Disk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kUsage = "Usage: kinrec <csv_file> [<dsv_file>]\n"
                           "       kinrec <file_selector>\n"
                           "       kinrec -r [<file_selector>]\n";
const std::string kRestCsv = "t,ax,ay,az,gx,gy,gz\n0,0,0,8192,0,0,0\n1,0,0,8192,0,0,0\n";
const std::string kRestTable = kHeader + "0,0,8192,0,0,0,23,100,0,0,1,0,-90,0,23,0,0,-90,0\n"
                                         "0,0,8192,0,0,0,60,100,0,0,2,0,-90,0,37,0,0,0,0\n";

class CliTest : public KinrecFixture {};

TEST_F(CliTest, WrongArgumentCountPrintsUsage) {
    Put("kinrec.cnf", "FILETYPE 2\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"a", "b", "c"}, {"-r", "x", "y", "z"}}) {
        const RunResult r = Run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, kUsage); // and no configuration echo
    }
}

TEST_F(CliTest, OneFileByName) {
    Put("data.csv", kRestCsv);
    Put("other.csv", kRestCsv);
    const RunResult r = Run({"data.csv"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Announce("data.csv", "data_DSV.csv"));
    EXPECT_EQ(Get("data_DSV.csv"), kRestTable);
    EXPECT_FALSE(FileExists(W("other_DSV.csv"))); // no search follows
    EXPECT_EQ(Get("data.csv"), kRestCsv);
}

TEST_F(CliTest, DirectFormIgnoresTheExtension) {
    Put("data.txt", kRestCsv);
    EXPECT_EQ(Run({"data.txt"}).out, Announce("data.txt", "data_DSV.csv"));
    EXPECT_EQ(Get("data_DSV.csv"), kRestTable);
    Put("walk.data", kRestCsv);
    EXPECT_EQ(Run({"walk.data"}).out, Announce("walk.data", "walk._DSV.csv"));
    EXPECT_EQ(Get("walk._DSV.csv"), kRestTable);
    Put("ab", kRestCsv); // shorter than an extension: nothing is cut
    EXPECT_EQ(Run({"ab"}).out, Announce("ab", "ab_DSV.csv"));
    EXPECT_EQ(Get("ab_DSV.csv"), kRestTable);
}

TEST_F(CliTest, SelectorFallback) {
    Put("a.csv", kRestCsv);
    Put("a_DSV.csv", kHeader); // an earlier table
    Put("b.bin", kRestCsv);
    Put("notes.txt", kRestCsv);
    Put("c.CSV", kRestCsv);
    RunResult r = Run({"*"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Announce(Dot({"a.csv"}), Dot({"a_DSV.csv"})) +
                         Announce(Dot({"b.bin"}), Dot({"b_DSV.csv"})));
    EXPECT_EQ(Get("a_DSV.csv"), kRestTable);
    EXPECT_EQ(Get("b_DSV.csv"), kRestTable);
    EXPECT_FALSE(FileExists(W("notes_DSV.csv")));
    EXPECT_FALSE(FileExists(W("c_DSV.csv"))); // upper-case .CSV is not an input
    // A second run converts the same files again and overwrites the tables.
    r = Run({"*.csv"});
    EXPECT_EQ(r.out, Announce(Dot({"a.csv"}), Dot({"a_DSV.csv"})));
    EXPECT_EQ(Get("a_DSV.csv"), kRestTable);
}

TEST_F(CliTest, UncreatableOutputIsAnnouncedThenFoundAgain) {
    Put("data.csv", kRestCsv);
    MakeDir(W("data_DSV.csv")); // a directory in the table's place
    const RunResult r = RunAny({"data.csv"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, Announce("data.csv", "data_DSV.csv") +
                         Announce(Dot({"data.csv"}), Dot({"data_DSV.csv"})));
    // Each attempt says why (the system's words), then the search sums up.
    EXPECT_EQ(r.err.rfind("kinrec: data_DSV.csv: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\nkinrec: " + Dot({"data_DSV.csv"}) + ": "), std::string::npos);
    const std::string summary = "kinrec: 1 of 1 conversions failed\n";
    EXPECT_EQ(r.err.substr(r.err.size() - summary.size()), summary);
}

TEST_F(CliTest, NothingToDo) {
    // A walk that finds nothing is no failure; one argument that converts nothing is.
    const RunResult walk = Run({"-r"});
    EXPECT_EQ(walk.status, 0);
    EXPECT_EQ(walk.out, "");
    for (const char* arg : {"missing.csv", "-R", "*.csv"}) {
        const RunResult r = RunAny({arg});
        EXPECT_EQ(r.status, 2) << arg;
        EXPECT_EQ(r.out, "") << arg;
        // The system's reason: for "*.csv" Windows says the name is invalid.
        const std::string tail = ", and no input file matches it\n";
        EXPECT_EQ(r.err.rfind(std::string("kinrec: ") + arg + ": ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail);
    }
    const RunResult two = RunAny({"missing.csv", "out.csv"});
    EXPECT_EQ(two.status, 2);
    EXPECT_EQ(two.err, "kinrec: missing.csv: No such file or directory\n");
    EXPECT_FALSE(FileExists(W("out.csv")));
}

TEST_F(CliTest, UpperCaseSwitchIsAFileName) {
    Put("-R", kRestCsv);
    EXPECT_EQ(Run({"-R"}).out, Announce("-R", "-R_DSV.csv"));
    EXPECT_EQ(Get("-R_DSV.csv"), kRestTable);
}

TEST_F(CliTest, TwoArgumentsNameTheOutput) {
    Put("in.csv", kRestCsv);
    EXPECT_EQ(Run({"in.csv", "out.csv"}).out, Announce("in.csv", "out.csv"));
    EXPECT_EQ(Get("out.csv"), kRestTable);
    EXPECT_FALSE(FileExists(W("in_DSV.csv")));
    EXPECT_EQ(Run({"in.csv", "-r"}).out, Announce("in.csv", "-r"));
    EXPECT_EQ(Get("-r"), kRestTable);
}

TEST_F(CliTest, RecursiveWalk) {
    MakeDir(W("s1"));
    MakeDir(W("s1/deep"));
    MakeDir(W("t2"));
    Put("top.csv", kRestCsv);
    Put("s1/one.bin", kRestCsv);
    Put("s1/deep/two.csv", kRestCsv);
    Put("s1/deep/two_DSV.csv", kHeader); // an earlier table
    Put("t2/three.csv", kRestCsv);
    Put("t2/skip.txt", kRestCsv);
    const RunResult r = Run({"-r"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Announce(Dot({"s1", "deep", "two.csv"}), Dot({"s1", "deep", "two_DSV.csv"})) +
                         Announce(Dot({"s1", "one.bin"}), Dot({"s1", "one_DSV.csv"})) +
                         Announce(Dot({"t2", "three.csv"}), Dot({"t2", "three_DSV.csv"})) +
                         Announce(Dot({"top.csv"}), Dot({"top_DSV.csv"})));
    EXPECT_EQ(Get("s1/deep/two_DSV.csv"), kRestTable);
    EXPECT_EQ(Get("t2/three_DSV.csv"), kRestTable);
    EXPECT_FALSE(FileExists(W("t2/skip_DSV.csv")));
    // Again: the tables of the first run are not inputs.
    EXPECT_EQ(Run({"-r"}).out, r.out);
}

TEST_F(CliTest, RecursiveWithSelector) {
    MakeDir(W("sub"));
    MakeDir(W("sub/a_dir.csv"));
    Put("x.csv", kRestCsv);
    Put("x.bin", kRestCsv);
    Put("sub/y.csv", kRestCsv);
    Put("sub/a_dir.csv/z.csv", kRestCsv);
    const RunResult r = Run({"-r", "*.csv"});
    EXPECT_EQ(r.out, Announce(Dot({"x.csv"}), Dot({"x_DSV.csv"})) +
                         Announce(Dot({"sub", "y.csv"}), Dot({"sub", "y_DSV.csv"})) +
                         Announce(Dot({"sub", "a_dir.csv", "z.csv"}),
                                  Dot({"sub", "a_dir.csv", "z_DSV.csv"})));
    EXPECT_EQ(Get("sub/a_dir.csv/z_DSV.csv"), kRestTable);
    // Without -r a matching directory is not entered.
    EXPECT_EQ(RunAny({"a*"}).out, "");
    EXPECT_EQ(RunProgram(exe_, {"*.csv"}, W("sub")).out,
              Announce(Dot({"y.csv"}), Dot({"y_DSV.csv"})));
}

TEST_F(CliTest, CsvAndBinOfOneNameShareATable) {
    Put("x.bin", "0,0,0,4096,0,0,0\n");
    Put("x.csv", kRestCsv);
    EXPECT_EQ(Run({"x.*"}).out, Announce(Dot({"x.bin"}), Dot({"x_DSV.csv"})) +
                                    Announce(Dot({"x.csv"}), Dot({"x_DSV.csv"})));
    EXPECT_EQ(Get("x_DSV.csv"), kRestTable); // the later one wins
}

TEST_F(CliTest, SelectorWithADirectoryPart) {
    MakeDir(W("sub"));
    Put("sub/a.csv", kRestCsv);
    const std::string sel = std::string("sub") + kinrec::detail::kPathSeparator + "*.csv";
    EXPECT_EQ(Run({sel}).out, Announce(Dot({"sub", "a.csv"}), Dot({"sub", "a_DSV.csv"})));
    EXPECT_EQ(Get("sub/a_DSV.csv"), kRestTable);
}

TEST_F(CliTest, NeverWritesOverItsInput) {
    Input("a.csv", kRestCsv);
    for (const char* out : {"a.csv", "./a.csv"}) {
        const RunResult r = RunAny({"a.csv", out});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, Announce("a.csv", out));
        EXPECT_EQ(r.err,
                  std::string("kinrec: ") + out + ": is the input file itself; not overwritten\n");
    }
}

TEST_F(CliTest, ConfigurationBesideTheExecutableThenInTheCurrentDirectory) {
    WriteFile(dir_.Path("bin/kinrec.cnf"), "SAMPLINGFREQUENCY 100\nRMSDIFFOUT 0\n");
    Put("kinrec.cnf", "# local\nSAMPLINGFREQUENCY 25\n");
    Put("in.csv", kRestCsv);
    const RunResult r = Run({"in.csv"});
    EXPECT_EQ(r.out,
              Echo("  +SamplingFrequency : 100\n  +RmsDiffOut : 0\n", dir_.Path("bin/kinrec.cnf")) +
                  Echo("  +SamplingFrequency : 25\n") + Announce("in.csv", "in_DSV.csv"));
    // 25 Hz from the current directory, and no rms differences from beside the binary.
    const std::string table = Get("in_DSV.csv");
    EXPECT_EQ(table.substr(0, table.find('\n')),
              "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega, "
              "fall_counter, roll, pitch, yaw, roll_diff, pitch_diff, yaw_diff");
    EXPECT_NE(table.find("0,0,8192,0,0,0,38,100,"), std::string::npos);
}

TEST_F(CliTest, DataSetFilesUnderFileType4) {
    Put("kinrec.cnf", "FILETYPE 4\n");
    const std::string rec("\0\0\0\0\0\x20\0\0\0\0\0\0", 12); // accZ 8192
    Put("rec.bin", DataSetBytes(24, rec + rec + "xx"));
    Put("text.csv", kRestCsv);
    const RunResult r = Run({"rec.bin"});
    EXPECT_NE(r.out.find(Announce("rec.bin", "rec_DSV.csv")), std::string::npos);
    EXPECT_EQ(Get("rec_DSV.csv"), kRestTable);
    // A text file is no dataset: no conversion announced, not even by the fallback
    // search, which says why.
    const RunResult t = RunAny({"text.csv"});
    EXPECT_EQ(t.status, 2);
    EXPECT_EQ(t.out.find("->"), std::string::npos);
    EXPECT_EQ(t.err, "kinrec: " + Dot({"text.csv"}) +
                         ": not a dataset file\nkinrec: 1 of 1 conversions failed\n");
    EXPECT_FALSE(FileExists(W("text_DSV.csv")));
}

TEST_F(CliTest, LineEndsTitlesAndCutLines) {
    Put("lf.csv", "time,ax,ay,az,gx,gy,gz\n\n 9,1,1,1,1,1,1\n+9,1,1,1,1,1,1\n"
                  "0,0,0,8192,0,0,0\n-1,0,0,8192,0,0,0\n5,0,0,81");
    Put("crlf.csv", "time,ax,ay,az,gx,gy,gz\r\n\r\n 9,1,1,1,1,1,1\r\n+9,1,1,1,1,1,1\r\n"
                    "0,0,0,8192,0,0,0\r\n-1,0,0,8192,0,0,0\r\n5,0,0,81");
    Run({"lf.csv"});
    Run({"crlf.csv"});
    EXPECT_EQ(Get("lf_DSV.csv"), kRestTable);
    EXPECT_EQ(Get("crlf_DSV.csv"), kRestTable);
}

TEST_F(CliTest, LongLinesContinueAsFurtherLines) {
    // 1023 characters of a comment, then the rest of the line starts with a digit.
    Put("long.csv", std::string(1023, 'c') + "0,0,0,8192,0,0,0\n" + "1,0,0,8192,0,0,0\n");
    Run({"long.csv"});
    EXPECT_EQ(Get("long_DSV.csv"), kRestTable);
}

} // namespace
