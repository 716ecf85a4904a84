#include "features/Lpf.h"
#include "features/Orientation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double kPi = 3.141592653589793;

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
