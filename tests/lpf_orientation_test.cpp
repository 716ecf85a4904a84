#include "features/Lpf.h"
#include "features/Orientation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

using namespace kinrec::detail;

namespace {

const double kPi = 3.141592653589793;

bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(LpfTest, DefaultCoefficients) {
    Lpf f;
    LpfInit(&f, 50, 5);
    EXPECT_NEAR(f.wc, 31.4, 2e-6);
    EXPECT_NEAR(f.a1, -0.52207005, 5e-9);
    // 0.238965005 if the factor were widened to double before rounding.
    EXPECT_NEAR(f.b0, 0.23896502, 5e-9);
    EXPECT_EQ(f.b1, f.b0);
    EXPECT_EQ(f.prevIn, 0.0f);
    EXPECT_EQ(f.prevOut, 0.0f);
    // 6.28, not 2 pi: with 2 pi wc would be 31.415927.
    EXPECT_EQ(f.wc, 5.0f * 6.28f);
}

TEST(LpfTest, StepResponse) {
    Lpf f;
    LpfInit(&f, 50, 5);
    float y = 0;
    LpfUpdate(&f, 1.0f, &y);
    EXPECT_EQ(y, f.b0);
    LpfUpdate(&f, 1.0f, &y);
    EXPECT_EQ(y, (f.b0 + f.b1) - f.a1 * f.b0);
    for (int i = 0; i < 100; ++i) {
        LpfUpdate(&f, 1.0f, &y);
    }
    EXPECT_NEAR(y, 1.0f, 1e-6);
    EXPECT_EQ(f.prevIn, 1.0f);
}

// Expected bits for the tests below: a Python model of the formulas that rounds every
// operation to single precision (struct.pack('f'); computing a single +, -, *, / or sqrt
// in double and rounding once gives the single-precision result), printed with float.hex.

// Inputs as the converter makes them: accelerometer counts / 8192, gyro counts / 65.536.
const float kLpfInput[9] = {8192 / 8192.0f,  8100 / 8192.0f, -1234 / 8192.0f,
                            30000 / 8192.0f, 7777 / 8192.0f, -32768 / 8192.0f,
                            -6554 / 65.536f, 1001 / 65.536f, 32767 / 65.536f};

TEST(LpfTest, CoefficientsAndOutputsBitForBit) {
    // Any other grouping of y = (b0 x + b1 x') - a1 y', or another 6.28 or 2, changes at
    // least one of these.
    const struct {
        std::int32_t fs, fc;
        float wc, a1, b0;
    } table[] = {{50, 5, 0x1.f66668p+4f, -0x1.0b4cc4p-1f, 0x1.e9667ep-3f},
                 {200, 2, 0x1.91eb86p+3f, -0x1.e0d346p-1f, 0x1.f2cba2p-6f},
                 {37, 11, 0x1.1451ecp+6f, -0x1.19b164p-5f, 0x1.ee64eap-2f}};
    const float outputs[3][9] = {
        {0x1.e9667ep-3f, 0x1.333392p-1f, 0x1.06ed32p-1f, 0x1.1b729ap+0f, 0x1.ae15dp+0f,
         0x1.2f488p-3f, -0x1.8c6c92p+4f, -0x1.0976ecp+5f, 0x1.a73842p+6f},
        {0x1.f2cba2p-6f, 0x1.6d1a7cp-4f, 0x1.bf633p-4f, 0x1.ad030ap-3f, 0x1.5934aap-2f,
         0x1.ca2abp-3f, -0x1.7a6738p+1f, -0x1.56c66cp+2f, 0x1.5504ap+3f},
        {0x1.ee64eap-2f, 0x1.f41e46p-1f, 0x1.c0c37p-2f, 0x1.b5defap+0f, 0x1.24833ep+1f,
         -0x1.64f0aep+0f, -0x1.921a36p+5f, -0x1.5519bep+5f, 0x1.ee9bccp+7f}};
    for (int c = 0; c < 3; ++c) {
        const auto& row = table[c];
        Lpf f;
        LpfInit(&f, row.fs, row.fc);
        EXPECT_TRUE(SameBits(f.wc, row.wc) && SameBits(f.a1, row.a1) && SameBits(f.b0, row.b0))
            << row.fs << " Hz, " << row.fc << " Hz";
        for (int i = 0; i < 9; ++i) {
            float y = 0;
            LpfUpdate(&f, kLpfInput[i], &y);
            EXPECT_TRUE(SameBits(y, outputs[c][i]))
                << row.fs << " Hz, " << row.fc << " Hz, step " << i << ": " << y;
        }
    }
}

TEST(LpfTest, ZeroCutOffOutputsZero) {
    Lpf f;
    LpfInit(&f, 50, 0);
    EXPECT_EQ(f.a1, -1.0f);
    EXPECT_EQ(f.b0, 0.0f);
    float y = 1;
    for (int i = 0; i < 5; ++i) {
        LpfUpdate(&f, 3.0f, &y);
        EXPECT_EQ(y, 0.0f);
    }
}

TEST(LpfTest, ZeroDenominatorGivesIeeeResults) {
    // 2 * 157 + 6.28 * -50 is exactly 0 in single precision.
    Lpf f;
    LpfInit(&f, 157, -50);
    EXPECT_EQ(f.wc, -314.0f);
    EXPECT_TRUE(std::isinf(f.a1) && f.a1 < 0);
    EXPECT_TRUE(std::isinf(f.b0) && f.b0 < 0);
    float y = 0;
    LpfUpdate(&f, 1.0f, &y);
    EXPECT_TRUE(std::isnan(y)); // -inf * 1 + -inf * 0
}

TEST(MagnitudeTest, ExtremesAndUnits) {
    EXPECT_EQ(Magnitude(3, 4, 0), 5.0f);
    EXPECT_EQ(Magnitude(0, 0, 1), 1.0f);
    // -32768 counts on every axis: 4 g and 500 deg/s.
    EXPECT_EQ(static_cast<int>(Magnitude(-4, -4, -4) * 100.0f), 692);
    const float g = -32768.0f / 65.536f;
    EXPECT_EQ(static_cast<int>(Magnitude(g, g, g)), 866);
    // -6554 counts is -100.006 deg/s.
    EXPECT_EQ(static_cast<int>(Magnitude(-6554.0f / 65.536f, 0, 0)), 100);
    EXPECT_TRUE(std::isnan(Magnitude(NAN, 0, 0)));
    // ((x x + y y) + z z), then the root: other groupings round these differently (bits
    // from the Python model above).
    EXPECT_TRUE(
        SameBits(Magnitude(-17313 / 8192.0f, 32169 / 8192.0f, 26147 / 8192.0f), 0x1.5ef9e2p+2f));
    EXPECT_TRUE(
        SameBits(Magnitude(-2508 / 8192.0f, -4092 / 8192.0f, 27473 / 8192.0f), 0x1.b3c44ap+1f));
}

struct AngleCase {
    const char* what;
    double w, x, y, z;
    int roll, pitch, yaw;
};

TEST(AnglesTest, FromQuaternion) {
    const double c15 = std::cos(15.0 * kPi / 180.0), s15 = std::sin(15.0 * kPi / 180.0);
    const double c225 = std::cos(22.5 * kPi / 180.0), s225 = std::sin(22.5 * kPi / 180.0);
    const double c45 = std::cos(45.0 * kPi / 180.0), s45 = std::sin(45.0 * kPi / 180.0);
    const AngleCase table[] = {
        {"identity", 1, 0, 0, 0, 0, -90, 0},
        {"30 about x", c15, s15, 0, 0, 0, -60, 0},
        {"30 about y", c15, 0, s15, 0, 30, -90, 0},
        {"30 about z", c15, 0, 0, s15, 0, -90, 30},
        {"-30 about z", c15, 0, 0, -s15, 0, -90, -30},
        {"45 about y passes float", c225, 0, s225, 0, 44, -90, 0},
        {"90 about y", c45, 0, s45, 0, 90, -90, 0},
        {"-90 about y", c45, 0, -s45, 0, -90, -90, 0},
        {"180 about z", 0, 0, 0, 1, 0, -90, 180},
        {"180 about x", 0, 1, 0, 0, 0, 90, 0},
        {"-180 about z", 0, 0, 0, -1, 0, -90, 180},
    };
    for (const AngleCase& c : table) {
        const Angles a = AnglesFromQuaternion(c.w, c.x, c.y, c.z);
        EXPECT_EQ(a.roll, c.roll) << c.what;
        EXPECT_EQ(a.pitch, c.pitch) << c.what;
        EXPECT_EQ(a.yaw, c.yaw) << c.what;
    }
}

TEST(AnglesTest, TruncatedTowardZeroBeforeThePitchOffset) {
    auto aboutZ = [](double deg) {
        const double h = deg * kPi / 360.0;
        return AnglesFromQuaternion(std::cos(h), 0, 0, std::sin(h));
    };
    auto aboutX = [](double deg) {
        const double h = deg * kPi / 360.0;
        return AnglesFromQuaternion(std::cos(h), std::sin(h), 0, 0);
    };
    EXPECT_EQ(aboutZ(-0.9).yaw, 0);
    EXPECT_EQ(aboutZ(-1.5).yaw, -1);
    EXPECT_EQ(aboutZ(179.5).yaw, 179);
    EXPECT_EQ(aboutX(0.5).pitch, -90);
    EXPECT_EQ(aboutX(-0.5).pitch, -90);
    EXPECT_EQ(aboutX(-1.5).pitch, -91);
}

TEST(AnglesTest, RollIsClampedAtNinetyDegrees) {
    // ((q0 q2) - (q1 q3)) 2 slightly above 1 through rounding of an unnormalised input.
    const Angles a = AnglesFromQuaternion(0.70710679, 0, 0.70710679, 0);
    EXPECT_EQ(a.roll, 90);
    const Angles b = AnglesFromQuaternion(0.70710679, 0, -0.70710679, 0);
    EXPECT_EQ(b.roll, -90);
    const Angles n = AnglesFromQuaternion(NAN, 0, 0, 0);
    EXPECT_EQ(n.roll, INT32_MIN);
    EXPECT_EQ(n.yaw, INT32_MIN);
    EXPECT_EQ(n.pitch, INT32_MAX - 89); // INT_MIN - 90, wrapped
}

} // namespace
