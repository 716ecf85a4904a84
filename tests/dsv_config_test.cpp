#include "app/ConfigFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace kinrec::detail;
using kinrec::Settings;

namespace {

class DsvConfigTest : public ::testing::Test {
  protected:
    void SetUp() override { cfg_ = Settings{}; }

    // Loads a file with these bytes; returns the echo.
    std::string Load(const std::string& bytes, int* status = nullptr) {
        const std::string path = dir_.Path("k.cnf");
        WriteFile(path, bytes);
        ::testing::internal::CaptureStdout();
        const int rc = LoadConfigFile(path.c_str(), &cfg_);
        std::fflush(stdout);
        const std::string out = ::testing::internal::GetCapturedStdout();
        if (status != nullptr) {
            *status = rc;
        }
        return out;
    }
    std::string Echo(const std::string& lines) const {
        return "LoadConfigFile : " + dir_.Path("k.cnf") + "\n\n" + lines +
               "\nLoadConfigFile : Complete.\n\n";
    }

    TempDir dir_;
    Settings cfg_;
};

TEST_F(DsvConfigTest, Defaults) {
    EXPECT_EQ(cfg_.FileType, 1);
    EXPECT_EQ(cfg_.ResampleCount, 0);
    EXPECT_EQ(cfg_.SamplingFrequency, 50);
    EXPECT_EQ(cfg_.CutOffFrequency, 5);
    EXPECT_EQ(cfg_.FallStartThreshold, 60);
    EXPECT_EQ(cfg_.FallCounterOut, 1);
    EXPECT_EQ(cfg_.PostureOut, 1);
    EXPECT_EQ(cfg_.RmsDiffOut, 1);
    EXPECT_EQ(cfg_.PostureDiffOut, 1);
}

TEST_F(DsvConfigTest, EveryKeyAndItsEcho) {
    int rc = -2;
    const std::string out = Load("FILETYPE 2\nRESAMPLECOUNT 3\nSAMPLINGFREQUENCY 100\n"
                                 "CUTOFFFREQUENCY 7\nFALLSTARTTHRESHOLD 55\nRMSDIFFOUT 0\n"
                                 "POSTUREDIFFOUT -1\n",
                                 &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out, Echo("  +FileType : 2\n  +ResampleCount : 3\n  +SamplingFrequency : 100\n"
                        "  +CutOffFrequency : 7\n  +FallStartThreshold : 55\n"
                        "  +RmsDiffOut : 0\n  +PostureDiffOut : -1\n"));
    EXPECT_EQ(cfg_.FileType, 2);
    EXPECT_EQ(cfg_.ResampleCount, 3);
    EXPECT_EQ(cfg_.SamplingFrequency, 100);
    EXPECT_EQ(cfg_.CutOffFrequency, 7);
    EXPECT_EQ(cfg_.FallStartThreshold, 55);
    EXPECT_EQ(cfg_.RmsDiffOut, 0);
    EXPECT_EQ(cfg_.PostureDiffOut, -1);
    EXPECT_EQ(cfg_.FallCounterOut, 1);
    EXPECT_EQ(cfg_.PostureOut, 1);
}

TEST_F(DsvConfigTest, ExampleFromTheManual) {
    const std::string out =
        Load("# sampling of the lab sensor\nSAMPLINGFREQUENCY 100\nfiletype 4\n");
    EXPECT_EQ(out, Echo("  +SamplingFrequency : 100\n  +FileType : 4\n"));
    EXPECT_EQ(cfg_.SamplingFrequency, 100);
    EXPECT_EQ(cfg_.FileType, 4);
}

TEST_F(DsvConfigTest, LinesThatAreSkippedOrStoreZero) {
    const struct {
        const char* line;
        const char* echo; // "" when skipped
        std::int32_t fileType;
    } table[] = {
        {"filetype 2\n", "  +FileType : 2\n", 2},
        {"FileType 3\n", "  +FileType : 3\n", 3},
        {"FILETYPE\n", "", 1},
        {"FILETYPE", "", 1},
        {"FILETYPE \n", "  +FileType : 0\n", 0},   // the newline is the value
        {"FILETYPE \r\n", "  +FileType : 0\n", 0}, // as with a CR LF line end
        {"FILETYPE\t2\n", "", 1},                  // a tab is no separator
        {"FILETYPE=4\n", "", 1},
        {"FILETYPE 2.5\n", "  +FileType : 2\n", 2},
        {"FILETYPE word\n", "  +FileType : 0\n", 0},
        {"FILETYPE -3\n", "  +FileType : -3\n", -3},
        {"   FILETYPE    4   extra tokens\n", "  +FileType : 4\n", 4},
        {" #FILETYPE 4\n", "", 1}, // not a comment: unknown key "#FILETYPE"
        {"#FILETYPE 4\n", "", 1},
        {"\n", "", 1},
        {"     \n", "", 1},
        {"FILETYPES 4\n", "", 1},
        {"FALLCOUNTEROUT 0\n", "", 1}, // no key sets the two fixed groups
        {"FILETYPE 99999999999\n", "  +FileType : 2147483647\n", INT32_MAX},
    };
    for (const auto& row : table) {
        cfg_ = Settings{};
        EXPECT_EQ(Load(row.line), Echo(row.echo)) << row.line;
        EXPECT_EQ(cfg_.FileType, row.fileType) << row.line;
        EXPECT_EQ(cfg_.FallCounterOut, 1);
    }
}

// OVERFLOW takes words, any case; anything else is said and leaves the setting alone.
TEST_F(DsvConfigTest, OverflowTakesItsWords) {
    const struct {
        const char* line;
        const char* echo; // "" when skipped
        std::int32_t overflow;
    } table[] = {
        {"OVERFLOW clip\n", "  +Overflow : clip\n", 1},
        {"overflow RAISE\r\n", "  +Overflow : raise\n", 2},
        {"OVERFLOW wrap\n", "  +Overflow : wrap\n", 0},
        {"OVERFLOW 1\n", "", 0},
        {"OVERFLOW saturate\n", "", 0},
    };
    for (const auto& row : table) {
        cfg_ = Settings{};
        EXPECT_EQ(Load(row.line), Echo(row.echo)) << row.line;
        EXPECT_EQ(cfg_.Overflow, row.overflow) << row.line;
    }
}

TEST_F(DsvConfigTest, CrLfFilesGiveTheSameSettings) {
    const std::string lf = "# c\nRESAMPLECOUNT 4\nCUTOFFFREQUENCY 2\nRMSDIFFOUT 0\n";
    std::string crlf;
    for (char c : lf) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    const std::string a = Load(lf);
    const Settings fromLf = cfg_;
    cfg_ = Settings{};
    EXPECT_EQ(Load(crlf), a);
    EXPECT_EQ(cfg_.ResampleCount, fromLf.ResampleCount);
    EXPECT_EQ(cfg_.CutOffFrequency, 2);
    EXPECT_EQ(cfg_.RmsDiffOut, 0);
}

TEST_F(DsvConfigTest, RepeatedKeysEchoEveryTimeAndTheLastWins) {
    EXPECT_EQ(Load("RESAMPLECOUNT 2\nRESAMPLECOUNT 5\n"),
              Echo("  +ResampleCount : 2\n  +ResampleCount : 5\n"));
    EXPECT_EQ(cfg_.ResampleCount, 5);
}

TEST_F(DsvConfigTest, LongLinesAreReadInPieces) {
    // The second piece of a 1100-character line starts with the key.
    const std::string line = std::string(1023, 'x') + "FILETYPE 3\n";
    EXPECT_EQ(Load(line), Echo("  +FileType : 3\n"));
}

TEST_F(DsvConfigTest, MissingFileIsSilent) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(LoadConfigFile(dir_.Path("none.cnf").c_str(), &cfg_), -1);
    EXPECT_EQ(LoadConfigFile(dir_.path().c_str(), &cfg_), -1); // a directory
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(ConfigPathForTest, ExtensionReplacedOrAppended) {
    EXPECT_EQ(ConfigPathFor("/usr/local/bin/kinrec"), "/usr/local/bin/kinrec.cnf");
    EXPECT_EQ(ConfigPathFor("/opt/kinrec-1.2/kinrec"), "/opt/kinrec-1.2/kinrec.cnf");
    EXPECT_EQ(ConfigPathFor("/opt/bin/kinrec.exe"), "/opt/bin/kinrec.cnf");
    EXPECT_EQ(ConfigPathFor("/opt/bin/tool.x86"), "/opt/bin/tool.cnf");
    EXPECT_EQ(ConfigPathFor("/home/u/.kinrec"), "/home/u/.kinrec.cnf");
    EXPECT_EQ(ConfigPathFor("kinrec"), "kinrec.cnf");
}

} // namespace
