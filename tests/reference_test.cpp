// The fast paths of a conversion against a straightforward one.
//
// The reference below reads lines with fgets into a 1024-byte buffer, splits them with
// strtok, converts numbers with the C library (strtol, strtod), runs the attitude filter
// with the Quaternion operations and prints rows with fprintf. kinrec's own conversion
// must write the very same bytes for the same recording.
#include "Include/IntConv.h"
#include "app/Convert.h"
#include "features/Lpf.h"
#include "features/Orientation.h"
#include "input/SampleRecord.h"
#include "orlib/AttitudeFilter.h"

#include "ReferenceAttitude.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

using namespace kinrec::detail;
using kinrec::Settings;

namespace {

int Atoi(const char* s) {
    const long v = std::strtol(s, nullptr, 10);
    return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
}

std::int16_t Low16(long v) {
    return WrapInt16(static_cast<std::uint32_t>(v));
}

bool ParseLine(char* line, int fileType, SampleRecord* rec) {
    char* tok[8];
    const int need = fileType == 2 ? 8 : 7;
    int n = 0;
    for (char* t = std::strtok(line, ","); t != nullptr && n < need;
         t = std::strtok(nullptr, ",")) {
        tok[n++] = t;
    }
    if (n < need) {
        return false;
    }
    std::int16_t v[6];
    for (int i = 0; i < 6; ++i) {
        if (fileType == 2) {
            const double f = i < 3 ? 8192.0 : 65.53600311279297;
            v[i] = Low16(TruncToInt32(std::strtod(tok[i + 2], nullptr) * f));
        } else if (fileType == 3) {
            v[i] = Low16(Low16(Atoi(tok[i + 1])) * 100L);
        } else {
            v[i] = Low16(Atoi(tok[i + 1]));
        }
    }
    *rec = SampleRecord{v[0], v[1], v[2], v[3], v[4], v[5]};
    return true;
}

void ReferenceConvert(const std::string& in, const std::string& out, const Settings& cfg,
                      std::int32_t count) {
    std::FILE* fi = std::fopen(in.c_str(), "rb");
    std::FILE* fo = std::fopen(out.c_str(), "w+");
    std::fprintf(fo, "accX,accY,accZ,gyroX,gyroY,gyroZ,lpf_acc,raw_acc,lpf_omega,raw_omega");
    std::fprintf(fo, ", fall_counter, roll, pitch, yaw%s%s\n",
                 cfg.RmsDiffOut ? ", acc_diff, omega_diff" : "",
                 cfg.PostureDiffOut ? ", roll_diff, pitch_diff, yaw_diff" : "");
    Lpf lpf[6];
    for (Lpf& f : lpf) {
        LpfInit(&f, cfg.SamplingFrequency, cfg.CutOffFrequency);
    }
    Quaternion Q;
    double bias[3] = {0, 0, 0};
    int prev[5] = {0, 0, 0, 0, 0};
    int fall = 0;
    long offered = 0;
    char line[1024];
    SampleRecord r{};
    while (std::fgets(line, sizeof line, fi) != nullptr) {
        if (!((line[0] >= '0' && line[0] <= '9') || line[0] == '-') ||
            !ParseLine(line, cfg.FileType, &r)) {
            continue;
        }
        if (cfg.ResampleCount > 1 && (offered++ % cfg.ResampleCount) != 0) {
            continue;
        }
        const float raw[6] = {r.accX / 8192.0f,  r.accY / 8192.0f,  r.accZ / 8192.0f,
                              r.gyroX / 65.536f, r.gyroY / 65.536f, r.gyroZ / 65.536f};
        float f[6];
        for (int i = 0; i < 6; ++i) {
            LpfUpdate(&lpf[i], raw[i], &f[i]);
        }
        const int la = TruncToInt32(Magnitude(f[0], f[1], f[2]) * 100.0f);
        const int ra = TruncToInt32(Magnitude(raw[0], raw[1], raw[2]) * 100.0f);
        const int lo = TruncToInt32(Magnitude(f[3], f[4], f[5]));
        const int ro = TruncToInt32(Magnitude(raw[3], raw[4], raw[5]));
        const double gyro[3] = {f[3], f[4], f[5]};
        const double accl[3] = {f[0], f[1], f[2]};
        ReferenceUpdate(Q, bias, &count, gyro, accl, 0.02);
        const Angles a = AnglesFromQuaternion(Q.w, Q.v[0], Q.v[1], Q.v[2]);
        const int now[5] = {la, lo, a.roll, a.pitch, a.yaw};
        fall = la > cfg.FallStartThreshold ? 0 : fall + 1;
        std::fprintf(fo, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d", r.accX, r.accY, r.accZ,
                     r.gyroX, r.gyroY, r.gyroZ, la, ra, lo, ro, fall, a.roll, a.pitch, a.yaw);
        if (cfg.RmsDiffOut) {
            std::fprintf(fo, ",%d,%d", now[0] - prev[0], now[1] - prev[1]);
        }
        if (cfg.PostureDiffOut) {
            std::fprintf(fo, ",%d,%d,%d", now[2] - prev[2], now[3] - prev[3], now[4] - prev[4]);
        }
        std::fprintf(fo, "\n");
        std::memcpy(prev, now, sizeof prev);
    }
    std::fclose(fi);
    std::fclose(fo);
}

// A recording of the given layout with motion, noise, blank and title lines, cut lines,
// long lines and stray text in fields.
std::string Generate(int fileType, int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_int_distribution<int> pick(0, 99);
    std::string s = "time,ax,ay,az,gx,gy,gz\n";
    char buf[256];
    for (int i = 0; i < n; ++i) {
        const double t = i * 0.02;
        const double a[3] = {0.3 * std::sin(t) + 0.05 * noise(gen), 0.2 * std::cos(0.3 * t),
                             0.95 + 0.1 * noise(gen)};
        const double g[3] = {60 * std::sin(2 * t) + 5 * noise(gen), 20 * noise(gen),
                             10 * std::cos(t)};
        const int k = pick(gen);
        if (fileType == 2) {
            std::snprintf(buf, sizeof buf, "%d,%d,%.6f,%.6f,%.6f,%.5f,%.5f,%.5f\n", i, i, a[0],
                          a[1], a[2], g[0], g[1], g[2]);
        } else {
            const int d = fileType == 3 ? 100 : 1;
            std::snprintf(buf, sizeof buf, "%d,%d,%d,%d,%d,%d,%d\n", i * 20,
                          static_cast<int>(a[0] * 8192) / d, static_cast<int>(a[1] * 8192) / d,
                          static_cast<int>(a[2] * 8192) / d, static_cast<int>(g[0] * 65.536) / d,
                          static_cast<int>(g[1] * 65.536) / d, static_cast<int>(g[2] * 65.536) / d);
        }
        std::string line = buf;
        if (k == 0) {
            line = line.substr(0, line.size() / 2); // cut short, no newline: joins the next
        } else if (k == 1) {
            line = "\n";
        } else if (k == 2) {
            line = std::string(1500, 'x') + "," + line;
        } else if (k == 3) {
            line.replace(line.find(',') + 1, 0, " \t+");
        } else if (k == 4) {
            line.insert(line.find(','), ",,");
        }
        s += line;
    }
    return s;
}

class ReferenceTest : public ::testing::TestWithParam<int> {};

TEST_P(ReferenceTest, SameTableAsTheStraightforwardConversion) {
    TempDir dir;
    const int fileType = GetParam();
    std::int32_t count = 0; // carried on as in a batch: the last runs reach the limit
    for (unsigned seed : {1u, 2u}) {
        for (int resample : {0, 3}) {
            Settings cfg;
            cfg.FileType = fileType;
            cfg.ResampleCount = resample;
            cfg.PostureDiffOut = static_cast<std::int32_t>(seed - 1);
            const std::string in = dir.Path("in.csv");
            WriteFile(in, Generate(fileType, 3000, seed));
            const std::int32_t start = count;
            ::testing::internal::CaptureStdout();
            ASSERT_EQ(ConvertFile(in.c_str(), dir.Path("fast.csv").c_str(), &cfg, &count),
                      kinrec::Failure::kNone);
            ::testing::internal::GetCapturedStdout();
            ReferenceConvert(in, dir.Path("slow.csv"), cfg, start);
            const std::string fast = ReadFile(dir.Path("fast.csv"));
            ASSERT_EQ(fast, ReadFile(dir.Path("slow.csv")))
                << "FileType " << fileType << " seed " << seed;
            EXPECT_GT(fast.size(), 50000u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllCsvLayouts, ReferenceTest, ::testing::Values(1, 2, 3));

} // namespace
