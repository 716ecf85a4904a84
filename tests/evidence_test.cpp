// What a recording shows of itself: header units, time steps, the magnitude at rest, and
// the sentences that say where they disagree with the settings.
#include "input/Evidence.h"

#include <gtest/gtest.h>

#include <cmath>
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
