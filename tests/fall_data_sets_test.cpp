// Public fall data sets read from files made in each set's published layout: what the
// names say, which sensor a position means, units, the 50 Hz grid and values beyond
// the counts' range.
#include "kinrec.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// A path with '\\' as '/'.
std::string Slashed(std::string path) {
    for (char& c : path) {
        c = c == '\\' ? '/' : c;
    }
    return path;
}

} // namespace

namespace {

constexpr double kPi = 3.141592653589793;

// n lines of a SisFall file: accelerometer x = ax(k) counts, z = 256 (1 g); gyroscope
// x = gx counts; the second accelerometer.
std::string SisFallText(int n, int (*ax)(int), int gx) {
    std::string text;
    for (int k = 0; k < n; ++k) {
        text += "  " + std::to_string(ax(k)) + ",0,256," + std::to_string(gx) + ",0,0,0,0,-1024;\n";
    }
    return text;
}

int Ramp(int k) {
    return k;
}

int Zero(int) {
    return 0;
}

// A MobiFall file: its '#' header, @DATA, then "ns, x, y, z" every stepNs.
std::string MobiFallText(long long start, long long stepNs, int n, const char* xyz) {
    std::string text = "#Acceleration force along the x y z axes (including gravity).\n"
                       "#timestamp(ns),x,y,z(m/s^2)\n#Activity: 10 - FOL - Fall forward lying\n"
                       "\n\n@DATA\n";
    for (int k = 0; k < n; ++k) {
        text += std::to_string(start + k * stepNs) + ", " + xyz + "\n";
    }
    return text;
}

// A UMAFall file: the header naming the sensors by position, then for each of 40
// samples every 50 ms one accelerometer and one gyroscope row of sensors 2 and 4; the
// values say which sensor wrote them (acc x = id / 4 g, gyro x = id * 10 deg/s).
std::string UmaFallText(bool header) {
    std::string text;
    if (header) {
        text += "% Universidad de Malaga - ETSI de Telecomunicacion (Spain)\n"
                "%f8:95:c7:f3:ba:82; 0; RIGHTPOCKET; lge-LG-H815-5.1\n"
                "%C4:BE:84:70:64:8A; 1; CHEST; SensorTag\n"
                "%C4:BE:84:71:A5:02; 2; WAIST; SensorTag\n"
                "%C4:BE:84:70:0E:80; 3; WRIST; SensorTag\n"
                "%B0:B4:48:B8:77:03; 4; ANKLE; SensorTag\n";
    }
    text += "% TimeStamp; Sample No; X-Axis; Y-Axis; Z-Axis; Sensor Type; Sensor ID;\n";
    for (int k = 0; k < 40; ++k) {
        for (int id : {2, 4}) {
            const std::string ms = std::to_string(1000 + 50 * k);
            text += ms + ";" + std::to_string(k) + ";" + std::to_string(id / 4.0) + ";0;1;0;" +
                    std::to_string(id) + "\n";
            text += ms + ";" + std::to_string(k) + ";" + std::to_string(id * 10) + ";0;0;1;" +
                    std::to_string(id) + "\n";
            text += ms + ";" + std::to_string(k) + ";30;20;10;2;" + std::to_string(id) + "\n";
        }
    }
    return text;
}

// SmartFallMM: a meta sensor's "epoch ms,ISO time,elapsed s,x,y,z" every 40 ms.
std::string SmartFallMetaText(int n, const char* xyz) {
    std::string text;
    for (int k = 0; k < n; ++k) {
        const long long ms = 1659711950596LL + 40 * k;
        text += std::to_string(ms) + ",2022-08-05T10:05:50.596," + std::to_string(k * 0.04) + "," +
                xyz + "\n";
    }
    return text;
}

// SmartFallMM: the watch's "date-time,x,y,z" every 30 ms.
std::string SmartFallWatchText(int n, const char* xyz) {
    std::string text;
    for (int k = 0; k < n; ++k) {
        const int ms = 90 + 30 * k;
        char stamp[40];
        std::snprintf(stamp, sizeof stamp, "2022-07-21 15:56:%02d.%03d", 59 + ms / 1000 - 59,
                      ms % 1000);
        text += std::string(stamp) + "," + xyz + "\n";
    }
    return text;
}

std::string FallAllDText(int n, const char* xyz) {
    std::string text;
    for (int k = 0; k < n; ++k) {
        text += std::string(xyz) + "\n";
    }
    return text;
}

class FallDataSetsTest : public ::testing::Test {
  protected:
    void Put(const std::string& relative, const std::string& text) {
        for (std::size_t slash = relative.find('/'); slash != std::string::npos;
             slash = relative.find('/', slash + 1)) {
            if (!FileExists(dir_.Path(relative.substr(0, slash)))) {
                MakeDir(dir_.Path(relative.substr(0, slash)));
            }
        }
        WriteFile(dir_.Path(relative), text);
    }
    TempDir dir_;
};

struct Expected {
    const char* file;
    const char* subject;
    const char* activity;
    bool fall;
    int trial;
    const char* position;
};

TEST_F(FallDataSetsTest, NamesGiveTheMetadataAndOtherFilesAreLeftOut) {
    const std::string sis = SisFallText(4, Zero, 0);
    Put("sisfall/SA01/F05_SA01_R01.txt", sis);
    Put("sisfall/SE06/D17_SE06_R05.txt", sis);
    Put("sisfall/Readme.txt", "Created by ...\n");
    const std::string meta = SmartFallMetaText(4, "0,0,1");
    Put("smartfallmm/young/accelerometer/meta_hip/S29A10T01.csv", meta);
    Put("smartfallmm/young/gyroscope/meta_hip/S29A10T01.csv", meta);
    Put("smartfallmm/young/accelerometer/meta_hip/S29A09T02.csv", meta);
    Put("smartfallmm/young/gyroscope/meta_hip/S29A09T02.csv", meta);
    Put("smartfallmm/young/accelerometer/meta_hip/S30A01T01.csv", meta); // no gyroscope
    Put("smartfallmm/young/accelerometer/meta_wrist/S29A10T01.csv", meta);
    Put("smartfallmm/young/gyroscope/meta_wrist/S29A10T01.csv", meta);
    const std::string uma = UmaFallText(true);
    Put("umafall/UMAFall_Subject_01_ADL_Walking_1_2017-04-14_23-38-23.csv", uma);
    Put("umafall/UMAFall_Subject_17_Fall_backwardFall_3_2017-05-31_17-47-09.csv", uma);
    const std::string mobi = MobiFallText(1000000000, 5000000, 4, "0, 9.80665, 0");
    Put("mobifall/sub1/FALLS/FOL/FOL_acc_1_2.txt", mobi);
    Put("mobifall/sub1/FALLS/FOL/FOL_gyro_1_2.txt", mobi);
    Put("mobifall/sub1/FALLS/FOL/FOL_ori_1_2.txt", mobi);
    Put("mobifall/sub12/ADL/STD/STD_acc_12_1.txt", mobi);
    Put("mobifall/sub12/ADL/STD/STD_gyro_12_1.txt", mobi);
    const std::string all = FallAllDText(4, "0,0,4096");
    Put("fallalld/S01_D3_A101_T01_A.dat", all);
    Put("fallalld/S01_D3_A101_T01_G.dat", all);
    Put("fallalld/S01_D3_A101_T01_M.dat", all);
    Put("fallalld/S02_D3_A044_T03_A.dat", all);
    Put("fallalld/S02_D3_A044_T03_G.dat", all);
    Put("fallalld/S02_D1_A044_T03_A.dat", all); // the neck's
    Put("fallalld/S02_D1_A044_T03_G.dat", all);

    const struct {
        const char* set;
        const char* position;
        std::vector<Expected> trials;
    } cases[] = {
        {"sisfall",
         "",
         {{"SA01/F05_SA01_R01.txt", "SA01", "F05", true, 1, ""},
          {"SE06/D17_SE06_R05.txt", "SE06", "D17", false, 5, ""}}},
        {"smartfallmm",
         "",
         {{"young/accelerometer/meta_hip/S29A09T02.csv", "S29", "A09", false, 2, "hip"},
          {"young/accelerometer/meta_hip/S29A10T01.csv", "S29", "A10", true, 1, "hip"}}},
        {"SmartFallMM",
         "Wrist",
         {{"young/accelerometer/meta_wrist/S29A10T01.csv", "S29", "A10", true, 1, "wrist"}}},
        {"umafall",
         "",
         {{"UMAFall_Subject_01_ADL_Walking_1_2017-04-14_23-38-23.csv", "Subject_01", "Walking",
           false, 1, "waist"},
          {"UMAFall_Subject_17_Fall_backwardFall_3_2017-05-31_17-47-09.csv", "Subject_17",
           "backwardFall", true, 3, "waist"}}},
        {"mobifall",
         "",
         {{"sub1/FALLS/FOL/FOL_acc_1_2.txt", "sub1", "FOL", true, 2, ""},
          {"sub12/ADL/STD/STD_acc_12_1.txt", "sub12", "STD", false, 1, ""}}},
        {"fallalld",
         "",
         {{"S01_D3_A101_T01_A.dat", "S01", "A101", true, 1, "waist"},
          {"S02_D3_A044_T03_A.dat", "S02", "A044", false, 3, "waist"}}},
        {"fallalld", "neck", {{"S02_D1_A044_T03_A.dat", "S02", "A044", false, 3, "neck"}}},
    };
    for (const auto& c : cases) {
        std::string lower = c.set;
        for (char& ch : lower) {
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        }
        const std::vector<kinrec::Trial> got =
            kinrec::FindTrials(c.set, dir_.Path(lower), c.position);
        ASSERT_EQ(got.size(), c.trials.size()) << c.set << " " << c.position;
        for (std::size_t k = 0; k < got.size(); ++k) {
            const Expected& e = c.trials[k];
            SCOPED_TRACE(std::string(c.set) + " " + e.file);
            EXPECT_EQ(got[k].file, e.file);
            EXPECT_EQ(got[k].subject, e.subject);
            EXPECT_EQ(got[k].activity, e.activity);
            EXPECT_EQ(got[k].fall, e.fall);
            EXPECT_EQ(got[k].trial, e.trial);
            EXPECT_EQ(got[k].position, e.position);
            // Joined with '/', which every platform takes; the fixture's own path may use
            // the platform's separator.
            EXPECT_EQ(Slashed(got[k].paths.front()), Slashed(dir_.Path(lower + "/" + e.file)));
        }
    }
}

// One sample's values in each set's own units, and what they are in g and deg/s.
TEST_F(FallDataSetsTest, EachSetsUnitsBecomeGAndDegreesPerSecond) {
    Put("sis/SA01/D01_SA01_R01.txt", SisFallText(8, Zero, 1638));
    Put("mobi/sub1/ADL/STD/STD_acc_1_1.txt",
        MobiFallText(1000000000, 5000000, 20, "0, 9.80665, 0"));
    Put("mobi/sub1/ADL/STD/STD_gyro_1_1.txt", MobiFallText(1000000000, 5000000, 20, "0.5, 0, 0"));
    Put("all/S01_D3_A001_T01_A.dat", FallAllDText(20, "0,0,4096"));
    Put("all/S01_D3_A001_T01_G.dat", FallAllDText(20, "1638,0,0"));
    Put("smart/young/accelerometer/meta_hip/S01A01T01.csv", SmartFallMetaText(20, "0,0,1"));
    Put("smart/young/gyroscope/meta_hip/S01A01T01.csv", SmartFallMetaText(20, "10,0,0"));
    Put("smart/young/accelerometer/watch/S01A01T01.csv", SmartFallWatchText(30, "0,0,9.80665"));
    Put("smart/young/gyroscope/watch/S01A01T01.csv", SmartFallWatchText(30, "0.5,0,0"));
    Put("uma/UMAFall_Subject_01_ADL_Walking_1_2017-04-14_23-38-23.csv", UmaFallText(true));
    const struct {
        const char* set;
        const char* root;
        const char* position;
        double accZ, gyroX, accY;
    } cases[] = {
        {"sisfall", "sis", "", 1.0, 1638 / 16.384, 0},
        {"mobifall", "mobi", "", 0, 0.5 * 180 / kPi, 1.0},
        {"fallalld", "all", "", 1.0, 1638 / 16.384, 0},
        {"smartfallmm", "smart", "hip", 1.0, 10.0, 0},
        {"smartfallmm", "smart", "watch", 1.0, 0.5 * 180 / kPi, 0},
        {"umafall", "uma", "", 1.0, 20.0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.set) + " " + c.position);
        const std::vector<kinrec::Trial> trials =
            kinrec::FindTrials(c.set, dir_.Path(c.root), c.position);
        ASSERT_EQ(trials.size(), 1u);
        const kinrec::Samples s =
            kinrec::ReadSamples(trials[0].paths, kinrec::TrialReadOptions(c.set, trials[0]));
        ASSERT_GT(s.Size(), 0u);
        EXPECT_NEAR(s.acc[2][0], c.accZ, 1e-9);
        EXPECT_NEAR(s.acc[1][0], c.accY, 1e-9);
        EXPECT_NEAR(s.gyro[0][0], c.gyroX, 1e-7);
        EXPECT_DOUBLE_EQ(s.rate, 50.0);
    }
}

TEST_F(FallDataSetsTest, TheWatchsAccelerationInMetresPerSecondSquaredIsSaid) {
    Put("young/accelerometer/watch/S01A01T01.csv", SmartFallWatchText(30, "0,0,9.80665"));
    Put("young/gyroscope/watch/S01A01T01.csv", SmartFallWatchText(30, "0,0,0"));
    const auto trials = kinrec::FindTrials("smartfallmm", dir_.path(), "watch");
    ASSERT_EQ(trials.size(), 1u);
    const kinrec::Samples s =
        kinrec::ReadSamples(trials[0].paths, kinrec::TrialReadOptions("smartfallmm", trials[0]));
    std::vector<kinrec::ReadNote> said;
    for (const kinrec::ReadNote& n : s.notes) {
        if (n.text.find("acceleration") != std::string::npos) {
            said.push_back(n);
        }
    }
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].where, trials[0].paths[0]);
    EXPECT_EQ(said[0].text, "acceleration taken as m/s^2: its median magnitude is 9.807, and a "
                            "body-worn sensor reads about 1 g at rest");
}

// 200 Hz rows onto the 50 Hz grid: every fourth row, 0.02 s apart, held exactly.
TEST_F(FallDataSetsTest, SisFallOnTheGridTakesEveryFourthRow) {
    Put("SA01/D01_SA01_R01.txt", SisFallText(401, Ramp, 0));
    const auto trials = kinrec::FindTrials("sisfall", dir_.path());
    ASSERT_EQ(trials.size(), 1u);
    const kinrec::Samples s =
        kinrec::ReadSamples(trials[0].paths, kinrec::TrialReadOptions("sisfall", trials[0]));
    ASSERT_EQ(s.Size(), 101u);
    for (std::size_t k = 0; k < s.Size(); ++k) {
        EXPECT_EQ(s.sourceRow[k], static_cast<std::int64_t>(4 * k));
        EXPECT_DOUBLE_EQ(s.acc[0][k], static_cast<double>(4 * k) / 256.0);
        EXPECT_NEAR(s.time[k], 0.02 * static_cast<double>(k), 1e-12);
    }
}

// Two streams of their own clocks: the gyroscope's values are those at or before each
// grid time, over the span both cover.
TEST_F(FallDataSetsTest, MobiFallStreamsMergeOnTheAccelerometersClock) {
    // accelerometer every 11 ms from 0, its x the row; gyroscope every 5 ms from 3.5 ms
    std::string acc = "#timestamp(ns),x,y,z(m/s^2)\n@DATA\n";
    for (int k = 0; k < 100; ++k) {
        acc += std::to_string(1913880219000LL + 11000000LL * k) + ", " + std::to_string(k) +
               ", 9.8, 0\n";
    }
    std::string gyro = "#timestamp(ns),x,y,z(rad/s)\n@DATA\n";
    for (int k = 0; k < 200; ++k) {
        gyro +=
            std::to_string(1913883719000LL + 5000000LL * k) + ", " + std::to_string(k) + ", 0, 0\n";
    }
    Put("sub1/FALLS/FOL/FOL_acc_1_1.txt", acc);
    Put("sub1/FALLS/FOL/FOL_gyro_1_1.txt", gyro);
    const auto trials = kinrec::FindTrials("mobifall", dir_.path());
    ASSERT_EQ(trials.size(), 1u);
    const kinrec::Samples s =
        kinrec::ReadSamples(trials[0].paths, kinrec::TrialReadOptions("mobifall", trials[0]));
    // span: 3.5 ms (the gyroscope's start) to 998.5 ms (its end; the accelerometer's is
    // 1089 ms); grid times 3.5 + 20 k ms on the accelerometer's clock
    ASSERT_EQ(s.Size(), 50u);
    for (std::size_t k = 0; k < s.Size(); ++k) {
        const auto accRow = static_cast<std::int64_t>((35 + 200 * k) / 110);
        const double gyroRow = 4.0 * static_cast<double>(k);
        EXPECT_EQ(s.sourceRow[k], accRow) << k;
        EXPECT_NEAR(s.acc[0][k], static_cast<double>(accRow) / 9.80665, 1e-9) << k;
        EXPECT_NEAR(s.gyro[0][k], gyroRow * 180 / kPi, 1e-9 * (1 + gyroRow * 180 / kPi)) << k;
    }
}

// The sensor of a position is the one the file's header names; a copy without the
// header takes the IDs every file with one has, and says so.
TEST_F(FallDataSetsTest, UmaFallTakesThePositionsSensorFromItsHeader) {
    const std::string name = "UMAFall_Subject_02_Fall_forwardFall_1_2017-04-14_23-38-23.csv";
    Put("with/" + name, UmaFallText(true));
    Put("without/" + name, UmaFallText(false));
    const struct {
        const char* folder;
        const char* position;
        double gyroX; // [deg/s] the sensor's ID times 10
        std::size_t notes;
    } cases[] = {
        {"with", "", 20, 0},
        {"with", "ankle", 40, 0},
        {"without", "waist", 20, 1},
        {"without", "ankle", 40, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " " + c.position);
        const auto trials = kinrec::FindTrials("umafall", dir_.Path(c.folder), c.position);
        ASSERT_EQ(trials.size(), 1u);
        const kinrec::Samples s =
            kinrec::ReadSamples(trials[0].paths, kinrec::TrialReadOptions("umafall", trials[0]));
        ASSERT_GT(s.Size(), 0u);
        EXPECT_DOUBLE_EQ(s.gyro[0][0], c.gyroX);
        EXPECT_DOUBLE_EQ(s.acc[0][0], c.gyroX / 40);
        std::size_t headerNotes = 0;
        for (const kinrec::ReadNote& n : s.notes) {
            headerNotes += n.text.find("no '%' header") != std::string::npos ? 1u : 0u;
        }
        EXPECT_EQ(headerNotes, c.notes);
    }
}

// SisFall's +-16 g: an impact of 6 g is beyond the counts' +-4 g. Clipped it reads
// 32767, wrapped it does not; either way it is counted.
TEST_F(FallDataSetsTest, ValuesBeyondTheRangeAreCountedAndClipped) {
    Put("SA01/F01_SA01_R01.txt", SisFallText(
                                     400, [](int k) { return k >= 200 && k < 240 ? 1536 : 0; }, 0));
    const auto trials = kinrec::FindTrials("sisfall", dir_.path());
    ASSERT_EQ(trials.size(), 1u);
    const kinrec::TrialTable clipped = kinrec::ConvertTrial("sisfall", trials[0]);
    const kinrec::TrialTable wrapped =
        kinrec::ConvertTrial("sisfall", trials[0], kinrec::Settings());
    EXPECT_EQ(clipped.beyondRange, 10); // rows 200, 204, ... 236 on the grid
    EXPECT_EQ(wrapped.beyondRange, 10);
    ASSERT_EQ(clipped.table.Rows(), 100u);
    ASSERT_EQ(clipped.time.size(), 100u);
    EXPECT_DOUBLE_EQ(clipped.time[50], 1.0);
    const auto& names = clipped.table.names;
    const auto accX =
        static_cast<std::size_t>(std::find(names.begin(), names.end(), "accX") - names.begin());
    ASSERT_LT(accX, names.size());
    EXPECT_EQ(clipped.table.columns[accX][50], 32767);
    EXPECT_EQ(clipped.table.columns[accX][49], 0);
    EXPECT_NE(wrapped.table.columns[accX][50], 32767);
}

TEST_F(FallDataSetsTest, BadNamesAreRefusedWithTheChoices) {
    const struct {
        const char* set;
        const char* position;
        const char* message;
    } cases[] = {
        {"sisfal", "",
         "unknown data set 'sisfal'; use sisfall, smartfallmm, umafall, mobifall, fallalld"},
        {"sisfall", "waist", "sisfall has one sensor position: give no position"},
        {"umafall", "knee",
         "umafall has no position 'knee'; use waist, wrist, ankle, chest, rightpocket"},
        {"fallalld", "hip", "fallalld has no position 'hip'; use waist, neck, wrist"},
    };
    for (const auto& c : cases) {
        try {
            kinrec::FindTrials(c.set, dir_.path(), c.position);
            ADD_FAILURE() << c.set << " " << c.position;
        } catch (const kinrec::Error& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    try {
        kinrec::ReadOptions o;
        o.layout = "sisfal";
        kinrec::ReadSamples({dir_.Path("x.txt")}, o);
        ADD_FAILURE();
    } catch (const kinrec::Error& e) {
        EXPECT_STREQ(
            e.what(),
            "unknown layout 'sisfal'; use sisfall, smartfallmm, umafall, mobifall, fallalld");
    }
}

} // namespace

namespace {

// One stamp a day late would make a grid of millions of points out of a few samples:
// refused, naming the line of the widest step of either stream.
TEST_F(FallDataSetsTest, AStampFarOffIsRefusedNotGridded) {
    std::string text = UmaFallText(true);
    text += "86401000;40;0.5;0;1;0;2\n86401000;40;20;0;0;1;2\n";
    Put("UMAFall_Subject_01_ADL_Walking_1_2017-04-14_23-38-23.csv", text);
    const auto trials = kinrec::FindTrials("umafall", dir_.path());
    ASSERT_EQ(trials.size(), 1u);
    try {
        kinrec::ReadSamples(trials[0].paths, kinrec::TrialReadOptions("umafall", trials[0]));
        ADD_FAILURE();
    } catch (const kinrec::Error& e) {
        // the widest step, the last row's, named by its line
        EXPECT_EQ(std::string(e.what()),
                  trials[0].paths[0] + " (gyroscope rows) line 249: its time stamp is 86398.1 s "
                                       "after the one before it, so a 50 Hz grid would hold "
                                       "4320001 samples for 82 read; a stamp out of place or the "
                                       "wrong --time-unit?");
    }
}

} // namespace
