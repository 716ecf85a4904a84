// What a recording shows of itself: header units, time steps, the magnitude at rest, and
// the sentences that say where they disagree with the settings.
#include "input/Evidence.h"

#include "TempDir.h"
#include "kinrec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace kinrec::detail;

TEST(EvidenceTest, HeaderUnits) {
    const struct {
        const char* line;
        HeaderUnits units;
        double time; // TimeUnitOfHeader
    } cases[] = {
        {"time_s,source_row,acc_x_g,acc_y_g,acc_z_g,gyro_x_dps,gyro_y_dps,gyro_z_dps",
         HeaderUnits::kPhysical, 1},
        {"timestamp_us,acc_x,acc_y,acc_z,gyro_x,gyro_y,gyro_z", HeaderUnits::kNone, 1e-6},
        {"Time (ms);Accelerometer X [m/s^2];Gyro X (rad/s)", HeaderUnits::kPhysical, 1e-3},
        {"t,ax_raw,ay_raw,az_raw,gx_raw,gy_raw,gz_raw", HeaderUnits::kCounts, 0},
        {"epoch_ns,x (counts),y,z", HeaderUnits::kCounts, 1e-9},
        {"index,acc_x_g,gyro_x_lsb", HeaderUnits::kNone, -1}, // words of both kinds
        {"sample,gx,gy,gz", HeaderUnits::kNone, -1},          // "gx" is no unit
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UnitsOfHeader(c.line), c.units) << c.line;
        EXPECT_EQ(TimeUnitOfHeader(c.line), c.time) << c.line;
    }
}

TEST(EvidenceTest, TimeSteps) {
    const struct {
        const char* what;
        std::vector<double> steps; // repeated to 400 values
        double step;               // Step(); 0: not steady
    } cases[] = {
        {"200 Hz in seconds", {0.005}, 0.005},
        {"a counter", {1}, 0},
        {"jitter within half a step", {0.018, 0.022, 0.02}, 0.02},
        {"one step in four twice as long", {0.01, 0.01, 0.01, 0.03}, 0},
        {"falling", {-0.02}, 0},
        {"standing still", {0}, 0},
    };
    for (const auto& c : cases) {
        TimeSteps t;
        double at = 1000;
        for (int i = 0; i < 400; ++i) {
            t.Add(at);
            at += c.steps[static_cast<std::size_t>(i) % c.steps.size()];
        }
        EXPECT_NEAR(t.Step(), c.step, 1e-9) << c.what;
    }
    TimeSteps two; // too few to tell
    two.Add(0);
    two.Add(0.005);
    EXPECT_EQ(two.Step(), 0);
}

TEST(EvidenceTest, StepInSeconds) {
    EXPECT_DOUBLE_EQ(StepSeconds(20, 0), 0.02);    // milliseconds by its size
    EXPECT_DOUBLE_EQ(StepSeconds(5e6, 0), 0.005);  // nanoseconds
    EXPECT_DOUBLE_EQ(StepSeconds(20, 1e-6), 2e-5); // as the header says
    EXPECT_EQ(StepSeconds(1e12, 0), 0);            // no rate of 1 Hz to 10 kHz
}

TEST(EvidenceTest, Sentences) {
    const std::string rest = "the acceleration's median magnitude is ";
    const auto with = [](void (*set)(Evidence&)) {
        Evidence e;
        e.restMedian = 1.0;
        e.accUnit = 1;
        set(e);
        return e;
    };
    const struct {
        Evidence e;
        std::vector<std::string> said;
    } cases[] = {
        {with([](Evidence& e) { e.fileType = 1; }), {}},
        {with([](Evidence& e) { e.step = 0.0201; }), {}},
        {with([](Evidence& e) { e.step = 0.005, e.resample = 4; }), {}},
        {with([](Evidence& e) { e.restMedian = 0.51; }), {}},
        {with([](Evidence& e) { e.restMedian = 1.99; }), {}},
        {with([](Evidence& e) { e.beyondShare = 0.5; }), {}},
        {with([](Evidence& e) { e.fileType = 1, e.units = HeaderUnits::kPhysical; }),
         {"the header names physical units, but FILETYPE 1 reads the columns as raw counts "
          "(8192 per g): for values in g and deg/s set FILETYPE 2"}},
        {with([](Evidence& e) { e.fileType = 2, e.units = HeaderUnits::kCounts; }),
         {"the header names raw counts, but FILETYPE 2 reads the columns as g and deg/s: for "
          "counts set FILETYPE 1"}},
        {with([](Evidence& e) { e.step = 0.005; }),
         {"the time column steps 0.005 s (200 Hz), but the settings take 0.02 s per sample "
          "(0.02 s per kept row): RESAMPLECOUNT 4 fits"}},
        {with([](Evidence& e) { e.step = 0.02, e.resample = 2; }),
         {"the time column steps 0.02 s (50 Hz), but the settings take 0.01 s per sample "
          "(0.02 s per kept row): no RESAMPLECOUNT fits (every sample kept)"}},
        {with([](Evidence& e) { e.step = 1.0 / 75; }),
         {"the time column steps 0.0133 s (75 Hz), but the settings take 0.02 s per sample "
          "(0.02 s per kept row): 75 Hz is no whole multiple of 50 Hz: resample the "
          "recording to 50 Hz first"}},
        {with([](Evidence& e) { e.restMedian = 1.0 / 32; }),
         {rest + "0.0312 g, where a body-worn sensor reads about 1 g: the counts may be 256 "
                 "per g, not the 8192 kinrec reads (scale them first)"}},
        {with([](Evidence& e) { e.restMedian = 0.45; }),
         {rest + "0.45 g, where a body-worn sensor reads about 1 g: the counts may be 4096 per "
                 "g, not the 8192 kinrec reads (scale them first)"}},
        {with([](Evidence& e) { e.restMedian = 2.2; }),
         {rest + "2.2 g, where a body-worn sensor reads about 1 g: the counts may be 16384 per "
                 "g, not the 8192 kinrec reads (scale them first)"}},
        {with([](Evidence& e) { e.restMedian = 3.0; }),
         {rest + "3 g, where a body-worn sensor reads about 1 g: the counts may be 24576 per "
                 "g, not the 8192 kinrec reads (scale them first)"}},
        {with([](Evidence& e) { e.restMedian = 0.0001; }),
         {rest + "0.0001 g, where a body-worn sensor reads about 1 g: values in g read as "
                 "counts? (FILETYPE 2 reads g)"}},
        {with([](Evidence& e) { e.restMedian = 0.3, e.accUnit = 0; }),
         {rest + "0.3 g, where a body-worn sensor reads about 1 g: the unit or scale of the "
                 "values may be wrong"}},
        {with([](Evidence& e) { e.beyondShare = 0.97, e.accUnit = 0; }),
         {"most samples (97%) hold values beyond the 16-bit range: values in m/s^2 or "
          "milli-g read as g?"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EvidenceSentences(c.e), c.said);
    }
}

} // namespace

// The cases of recordings given as what they are not, each a file converted through the
// library as the console converts it: what the notes say, and that a recording that is
// what it is said to be says nothing.
namespace {

// n lines of a file: "<time>,<values>" with time i * step (or i * step + jitter).
std::string Lines(int n, double step, const std::string& head, const std::string& values) {
    std::string s = head.empty() ? "" : head + "\n";
    for (int i = 0; i < n; ++i) {
        char t[32];
        (void)std::snprintf(t, sizeof t, "%.6f", i * step);
        s += std::string(t) + "," + values + "\n";
    }
    return s;
}

TEST(EvidenceTest, FilesSayWhatTheyAre) {
    const std::string rest = "the acceleration's median magnitude is ";
    const std::string physical =
        "time_s,source_row,acc_x_g,acc_y_g,acc_z_g,gyro_x_dps,gyro_y_dps,gyro_z_dps";
    const struct {
        const char* what;
        std::int32_t fileType;
        std::int32_t resample;
        std::string text;
        std::vector<std::string> said;
    } cases[] = {
        {"a physical file as it should be read",
         2,
         0,
         Lines(300, 0.02, physical, "7,0.01,-0.02,0.99,1.5,-2,0.5"),
         {}},
        {"counts at 8192 per g with a 50 Hz time column",
         1,
         0,
         Lines(300, 0.02, "t_s,ax,ay,az,gx,gy,gz", "100,-200,8192,5,6,7"),
         {}},
        {"the importer's physical file read as counts",
         1,
         0,
         Lines(300, 0.02, physical, "7,0.01,-0.02,0.99,1.5,-2,0.5"),
         {"the header names physical units, but FILETYPE 1 reads the columns as raw counts "
          "(8192 per g): for values in g and deg/s set FILETYPE 2",
          rest + "0.005 g, where a body-worn sensor reads about 1 g: values in g read as counts? "
                 "(FILETYPE 2 reads g)"}},
        {"a time column at 200 Hz under settings for 50 Hz",
         2,
         0,
         Lines(300, 0.005, physical, "7,0.01,-0.02,0.99,1.5,-2,0.5"),
         {"the time column steps 0.005 s (200 Hz), but the settings take 0.02 s per sample "
          "(0.02 s per kept row): RESAMPLECOUNT 4 fits"}},
        {"the same with RESAMPLECOUNT 4",
         2,
         4,
         Lines(300, 0.005, physical, "7,0.01,-0.02,0.99,1.5,-2,0.5"),
         {}},
        {"SisFall's 256 counts per g",
         1,
         0,
         Lines(300, 0.02, "", "10,-250,-40,3,-1,2"),
         {rest + "0.035 g, where a body-worn sensor reads about 1 g: the counts may be 256 per g, "
                 "not the 8192 kinrec reads (scale them first)"}},
        {"m/s^2 in a g file",
         2,
         0,
         Lines(300, 0.02, "", "0,0.3,-0.2,9.81,1,1,1"),
         {"300 samples have values beyond the 16-bit range, wrapped around (the first is "
          "sample 0, the largest value 80363 counts; OVERFLOW clip keeps them at the range's "
          "ends)",
          "most samples (100%) hold values beyond the 16-bit range: values in m/s^2 or milli-g "
          "read as g?"}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(dir.Path("r.csv"), c.text);
        kinrec::Settings s;
        s.FileType = c.fileType;
        s.ResampleCount = c.resample;
        const kinrec::Written w = kinrec::WriteTable(dir.Path("r.csv"), "", s);
        ASSERT_TRUE(w.Ok()) << w.Reason();
        EXPECT_EQ(kinrec::NoteLines(w.notes), c.said);
        // The library's reader of a file notes the same.
        EXPECT_EQ(kinrec::NoteLines(kinrec::FromFile(dir.Path("r.csv"), s).notes), c.said);
    }
}

// OVERFLOW on a file: wrap (the default), clip on the unbounded value, raise fails it.
TEST(EvidenceTest, OverflowOfAFile) {
    TempDir dir;
    const std::string in = dir.Path("impact.csv");
    // A fall's impact of 6.55 g on z, and 300000 g, between values in the range.
    WriteFile(in, "0,0,0,0,1,0,0,0\n1,1,0,0,6.55,0,0,0\n2,2,0,0,300000,0,0,0\n3,3,0,0,1,0,0,0\n");
    kinrec::Settings s;
    s.FileType = 2;
    const struct {
        std::int32_t overflow;
        std::int32_t impact, huge; // accZ of samples 1 and 2 [counts]
        kinrec::Failure failure;
    } cases[] = {
        // 6.55 g: 53657 counts, whose low 16 bits read -11879; 300000 g is beyond 32 bits.
        {0, 53657 - 65536, 0, kinrec::Failure::kNone},
        {1, 32767, 32767, kinrec::Failure::kNone},
        {2, 0, 0, kinrec::Failure::kBeyondRange},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.overflow);
        s.Overflow = c.overflow;
        const kinrec::Written w = kinrec::WriteTable(in, dir.Path("t.csv"), s);
        EXPECT_EQ(w.failure, c.failure);
        EXPECT_EQ(w.notes.wrapped, 2);
        EXPECT_EQ(w.notes.firstWrapped, 1);
        if (c.failure != kinrec::Failure::kNone) {
            EXPECT_EQ(w.Reason(), "sample 1 has a value beyond the 16-bit range (-2147483648 "
                                  "counts; 2 such samples): OVERFLOW raise refuses the recording");
            EXPECT_THROW(kinrec::FromFile(in, s), kinrec::FileError);
            continue;
        }
        const kinrec::Table t = kinrec::FromFile(in, s);
        ASSERT_EQ(t.Rows(), 4u);
        EXPECT_EQ(t.columns[2][1], c.impact);
        EXPECT_EQ(t.columns[2][2], c.huge);
    }
}

} // namespace
