#include "features/DsvConverter.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace kinrec::detail;
using kinrec::Settings;

namespace {

const std::string kFullHeader =
    "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega, fall_counter, roll, "
    "pitch, yaw, acc_diff, omega_diff, roll_diff, pitch_diff, yaw_diff";

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream s(text);
    for (std::string l; std::getline(s, l);) {
        lines.push_back(l);
    }
    return lines;
}

std::vector<int> Values(const std::string& row) {
    std::vector<int> v;
    std::istringstream s(row);
    for (std::string f; std::getline(s, f, ',');) {
        v.push_back(std::stoi(f));
    }
    return v;
}

class DsvConverterTest : public ::testing::Test {
  protected:
    void SetUp() override { cfg_ = Settings{}; }

    // The table's lines for these samples under cfg_ (the bias count starts at 0).
    std::vector<std::string> Convert(const std::vector<SampleRecord>& samples) {
        count_ = 0;
        const std::string path = dir_.Path("t_DSV.csv");
        DsvConverter conv;
        EXPECT_EQ(OpenDsvFile(&conv, &cfg_, &count_, path.c_str()), 0);
        for (const SampleRecord& r : samples) {
            EXPECT_EQ(WriteDsvRecord(&conv, &r), 0);
        }
        EXPECT_EQ(CloseDsvFile(&conv), 0);
        const std::string text = ReadText(path);
        EXPECT_TRUE(text.empty() || text.back() == '\n');
        return SplitLines(text);
    }

    TempDir dir_;
    Settings cfg_;
    std::int32_t count_ = 0; // the gyro bias count of the conversions
};

std::vector<SampleRecord> Repeat(SampleRecord r, int n) {
    return std::vector<SampleRecord>(static_cast<std::size_t>(n), r);
}

// A wandering, tilting motion with every channel busy.
std::vector<SampleRecord> Motion(int n) {
    std::vector<SampleRecord> out;
    for (int i = 0; i < n; ++i) {
        const double t = i * 0.02;
        auto s = [](double v) { return static_cast<std::int16_t>(v); };
        out.push_back(SampleRecord{s(2000 * std::sin(t * 1.3)), s(3000 * std::cos(t * 0.7)),
                                   s(7000 + 900 * std::sin(t * 2.1)), s(3000 * std::sin(t * 3.0)),
                                   s(-2500 * std::cos(t * 1.1)), s(1800 * std::sin(t * 0.4 + 1))});
    }
    return out;
}

TEST_F(DsvConverterTest, SensorAtRestSettles) {
    const auto lines = Convert(Repeat({0, 0, 8192, 0, 0, 0}, 9));
    const std::vector<std::string> expected = {
        kFullHeader,
        "0,0,8192,0,0,0,23,100,0,0,1,0,-90,0,23,0,0,-90,0",
        "0,0,8192,0,0,0,60,100,0,0,2,0,-90,0,37,0,0,0,0",
        "0,0,8192,0,0,0,79,100,0,0,0,0,-90,0,19,0,0,0,0",
        "0,0,8192,0,0,0,89,100,0,0,0,0,-90,0,10,0,0,0,0",
        "0,0,8192,0,0,0,94,100,0,0,0,0,-90,0,5,0,0,0,0",
        "0,0,8192,0,0,0,97,100,0,0,0,0,-90,0,3,0,0,0,0",
        "0,0,8192,0,0,0,98,100,0,0,0,0,-90,0,1,0,0,0,0",
        "0,0,8192,0,0,0,99,100,0,0,0,0,-90,0,1,0,0,0,0",
        "0,0,8192,0,0,0,99,100,0,0,0,0,-90,0,0,0,0,0,0",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(DsvConverterTest, ThresholdItselfCountsAsLow) {
    cfg_.FallStartThreshold = 79;
    const auto lines = Convert(Repeat({0, 0, 8192, 0, 0, 0}, 4));
    ASSERT_EQ(lines.size(), 5u);
    const int counters[] = {1, 2, 3, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Values(lines[static_cast<std::size_t>(i) + 1])[10], counters[i]) << i;
    }
}

TEST_F(DsvConverterTest, ExtremeRecords) {
    const auto lines = Convert({{-32768, -32768, -32768, -32768, -32768, -32768}});
    ASSERT_EQ(lines.size(), 2u);
    const std::vector<int> v = Values(lines[1]);
    ASSERT_EQ(v.size(), 19u);
    EXPECT_EQ(v[7], 692); // raw_acc
    EXPECT_EQ(v[9], 866); // raw_omega
    const auto rate = Convert({{0, 0, 8192, -6554, 0, 0}});
    EXPECT_EQ(Values(rate[1])[9], 100);
}

TEST_F(DsvConverterTest, FirstRowDifferencesEqualTheValues) {
    const auto lines = Convert(Motion(1));
    const std::vector<int> v = Values(lines[1]);
    EXPECT_EQ(v[14], v[6]);  // acc_diff = lpf_acc
    EXPECT_EQ(v[15], v[8]);  // omega_diff = lpf_omega
    EXPECT_EQ(v[16], v[11]); // roll
    EXPECT_EQ(v[17], v[12]); // pitch
    EXPECT_EQ(v[18], v[13]); // yaw
}

TEST_F(DsvConverterTest, DifferencesAgainstThePreviousRowAcrossTheRing) {
    const auto lines = Convert(Motion(300));
    ASSERT_EQ(lines.size(), 301u);
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const std::vector<int> v = Values(lines[i]);
        const std::vector<int> p = Values(lines[i - 1]);
        ASSERT_EQ(v[14], v[6] - p[6]) << "row " << i;
        ASSERT_EQ(v[15], v[8] - p[8]) << "row " << i;
        for (int k = 0; k < 3; ++k) {
            ASSERT_EQ(v[static_cast<std::size_t>(16 + k)],
                      v[static_cast<std::size_t>(11 + k)] - p[static_cast<std::size_t>(11 + k)])
                << "row " << i;
        }
        // The difference columns use the filtered magnitudes, not the raw ones.
        ASSERT_EQ(v[10], v[6] > 60 ? 0 : p[10] + 1) << "fall counter, row " << i;
    }
}

TEST_F(DsvConverterTest, YawIsNotUnwrapped) {
    // Flat and turning about z at about 250 deg/s: the yaw passes 180 and jumps.
    std::vector<SampleRecord> samples = Repeat({0, 0, 8192, 0, 0, 16384}, 200);
    const auto lines = Convert(samples);
    bool jumped = false;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const std::vector<int> v = Values(lines[i]);
        const int prev = Values(lines[i - 1])[13];
        if (prev > 170 && v[13] < -170) {
            EXPECT_EQ(v[18], v[13] - prev);
            EXPECT_LT(v[18], -340);
            jumped = true;
        }
    }
    EXPECT_TRUE(jumped);
}

TEST_F(DsvConverterTest, SwitchesChooseColumnsOnly) {
    const auto samples = Motion(120);
    const auto full = Convert(samples);
    cfg_.RmsDiffOut = 0;
    cfg_.PostureDiffOut = 0;
    const auto reduced = Convert(samples);
    ASSERT_EQ(reduced.size(), full.size());
    EXPECT_EQ(reduced[0], "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega, "
                          "fall_counter, roll, pitch, yaw");
    for (std::size_t i = 1; i < full.size(); ++i) {
        const std::vector<int> f = Values(full[i]);
        const std::vector<int> r = Values(reduced[i]);
        ASSERT_EQ(r.size(), 14u);
        EXPECT_EQ(r, std::vector<int>(f.begin(), f.begin() + 14));
    }
    cfg_.RmsDiffOut = -1; // any non-zero value turns a group on
    cfg_.PostureDiffOut = 0;
    const auto rms = Convert(samples);
    EXPECT_EQ(rms[0], "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega, "
                      "fall_counter, roll, pitch, yaw, acc_diff, omega_diff");
    const std::vector<int> full50 = Values(full[50]);
    EXPECT_EQ(Values(rms[50]), std::vector<int>(full50.begin(), full50.begin() + 16));
    cfg_.RmsDiffOut = 0;
    cfg_.PostureDiffOut = 2;
    cfg_.FallCounterOut = 0;
    cfg_.PostureOut = 0;
    const auto bare = Convert(samples);
    EXPECT_EQ(bare[0], "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega, "
                       "roll_diff, pitch_diff, yaw_diff");
    const std::vector<int> full7 = Values(full[7]);
    std::vector<int> expect(full7.begin(), full7.begin() + 10);
    expect.insert(expect.end(), full7.begin() + 16, full7.end());
    EXPECT_EQ(Values(bare[7]), expect);
}

TEST_F(DsvConverterTest, ResampleKeepsEveryNthFromTheFirst) {
    const auto samples = Motion(40);
    cfg_.ResampleCount = 3;
    const auto resampled = Convert(samples);
    std::vector<SampleRecord> kept;
    for (std::size_t i = 0; i < samples.size(); i += 3) {
        kept.push_back(samples[i]); // samples 1, 4, 7, ...
    }
    cfg_.ResampleCount = 0;
    // The skipped samples leave no trace: the same rows as a file of the kept ones.
    EXPECT_EQ(resampled, Convert(kept));
    EXPECT_EQ(resampled.size(), 1 + 14u);
}

TEST_F(DsvConverterTest, ResampleOneOrLessKeepsEverySample) {
    const auto samples = Motion(30);
    const auto all = Convert(samples);
    EXPECT_EQ(all.size(), 31u);
    for (std::int32_t n : {1, -1, -3, INT32_MIN}) {
        cfg_.ResampleCount = n;
        EXPECT_EQ(Convert(samples), all) << n;
    }
    cfg_.ResampleCount = INT32_MAX;
    EXPECT_EQ(Convert(samples).size(), 2u);
}

// A sampling frequency of 0 or less means 50 Hz with a 5 Hz cut-off, in the converter's
// own copy: the caller's settings are only read.
TEST_F(DsvConverterTest, SamplingFrequencyRepairInTheConvertersCopy) {
    const auto samples = Motion(20);
    const auto normal = Convert(samples);
    cfg_.SamplingFrequency = 0;
    cfg_.CutOffFrequency = 9;
    EXPECT_EQ(Convert(samples), normal);
    EXPECT_EQ(cfg_.SamplingFrequency, 0);
    EXPECT_EQ(cfg_.CutOffFrequency, 9);
    cfg_.SamplingFrequency = -100;
    cfg_.CutOffFrequency = 1;
    EXPECT_EQ(Convert(samples), normal);
    EXPECT_EQ(cfg_.SamplingFrequency, -100);
    EXPECT_EQ(cfg_.CutOffFrequency, 1);
}

TEST_F(DsvConverterTest, ZeroCutOff) {
    cfg_.CutOffFrequency = 0;
    const auto lines = Convert(Motion(5));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<int> v = Values(lines[i]);
        EXPECT_EQ(v[6], 0);
        EXPECT_EQ(v[8], 0);
        EXPECT_EQ(v[10], static_cast<int>(i)); // the fall counter rises on every row
        EXPECT_EQ(v[11], 0);
        EXPECT_EQ(v[12], -90);
        EXPECT_EQ(v[13], 0);
    }
}

TEST_F(DsvConverterTest, UnstableFiltersGiveDefinedValues) {
    // A negative cut-off makes the filters diverge; 157 Hz with -50 Hz makes 2 fs + 6.28 fc
    // exactly 0 in single precision.
    const struct {
        std::int32_t fs, fc;
    } cases[] = {{50, -100}, {157, -50}, {INT32_MAX, INT32_MIN}, {1, INT32_MAX}};
    for (const auto& c : cases) {
        cfg_.SamplingFrequency = c.fs;
        cfg_.CutOffFrequency = c.fc;
        const auto lines = Convert(Motion(400));
        ASSERT_EQ(lines.size(), 401u);
        const std::vector<int> last = Values(lines.back());
        ASSERT_EQ(last.size(), 19u);
        EXPECT_EQ(last[7], Values(Convert(Motion(400)).back())[7]); // raw columns unaffected
    }
    cfg_.SamplingFrequency = 50;
    cfg_.CutOffFrequency = -100;
    const std::vector<int> v = Values(Convert(Motion(400)).back());
    EXPECT_EQ(v[6], INT32_MIN); // lpf_acc of a diverged filter
    // The attitude kept the last finite orientation: real angles, not INT_MIN.
    EXPECT_GE(v[11], -90);
    EXPECT_LE(v[11], 90);
    EXPECT_GE(v[12], -270);
    EXPECT_LE(v[12], 90);
}

TEST_F(DsvConverterTest, ExistingFileIsReplaced) {
    const std::string path = dir_.Path("t_DSV.csv");
    WriteFile(path, std::string(100000, 'x'));
    const auto lines = Convert(Repeat({0, 0, 8192, 0, 0, 0}, 1));
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], kFullHeader);
}

TEST_F(DsvConverterTest, LineEndsOfThePlatformsTextStreams) {
    Convert(Repeat({0, 0, 8192, 0, 0, 0}, 3));
    const std::string raw = ReadFile(dir_.Path("t_DSV.csv"));
#ifdef _WIN32
    const std::string eol = "\r\n";
#else
    const std::string eol = "\n";
    EXPECT_EQ(raw.find('\r'), std::string::npos);
#endif
    EXPECT_EQ(raw.substr(raw.find("yaw_diff") + 8, eol.size()), eol);
    EXPECT_EQ(raw.substr(raw.size() - eol.size()), eol);
}

TEST_F(DsvConverterTest, NoSamplesGiveTheHeaderAlone) {
    EXPECT_EQ(Convert({}), std::vector<std::string>{kFullHeader});
}

TEST_F(DsvConverterTest, UncreatableFileFails) {
    DsvConverter conv;
    EXPECT_EQ(OpenDsvFile(&conv, &cfg_, &count_, dir_.Path("no/such/dir.csv").c_str()), -1);
    EXPECT_EQ(OpenDsvFile(&conv, &cfg_, &count_, dir_.path().c_str()), -1);
}

TEST_F(DsvConverterTest, FullDiskFailsTheTable) {
    DsvConverter conv;
    if (OpenDsvFile(&conv, &cfg_, &count_, "/dev/full") != 0) {
        GTEST_SKIP() << "no /dev/full here";
    }
    int status = 0;
    const SampleRecord r{1, 2, 3, 4, 5, 6};
    for (int i = 0; i < 20000 && status == 0; ++i) {
        status = WriteDsvRecord(&conv, &r);
    }
    EXPECT_EQ(status, -1);
    EXPECT_EQ(CloseDsvFile(&conv), -1);
    // A small table fails at the close.
    DsvConverter small;
    ASSERT_EQ(OpenDsvFile(&small, &cfg_, &count_, "/dev/full"), 0);
    EXPECT_EQ(WriteDsvRecord(&small, &r), 0);
    EXPECT_EQ(CloseDsvFile(&small), -1);
}

TEST_F(DsvConverterTest, EveryFileStartsAfresh) {
    const auto samples = Motion(50);
    const auto first = Convert(samples);
    // Same converter object, reopened: no state carries over (bias count reset by Convert).
    EXPECT_EQ(Convert(samples), first);
}

} // namespace
