#include "orlib/AttitudeFilter.h"
#include "orlib/QuatKernel.h"

#include "ReferenceAttitude.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace kinrec::detail;

namespace {

const double kPi = 3.141592653589793;
const double kZero[3] = {0, 0, 0};

// Each test has a filter on a bias count of its own, starting from 0.
class AttitudeTest : public ::testing::Test {
  protected:
    void SetUp() override { AttitudeInit(&f_, &count_); }

    // Signed rotation angle of Q about x [deg], for rotations about x.
    double AngleAboutX() const { return 2.0 * std::atan2(f_.Q->v[0], f_.Q->w) * 180.0 / kPi; }

    AttitudeFilter f_;
    std::int32_t count_ = 0;
};

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(AttitudeTest, InitIsIdentityAndKeepsTheCount) {
    count_ = 123;
    f_.bias[1] = 5.0;
    AttitudeInit(&f_, &count_);
    EXPECT_EQ(f_.Q->w, 1.0);
    EXPECT_EQ(f_.Q->v[0], 0.0);
    EXPECT_EQ(f_.Q->v[1], 0.0);
    EXPECT_EQ(f_.Q->v[2], 0.0);
    EXPECT_EQ(f_.bias[1], 0.0);
    EXPECT_EQ(count_, 123);
}

TEST_F(AttitudeTest, FirstUpdateOfTheProcessTakesTheRateAsBias) {
    const double gyro[3] = {3.5, -2.25, 40.0};
    const double accl[3] = {0, 0.5, -0.8660254037844386};
    AttitudeUpdate(&f_, gyro, accl, kZero, 0.02);
    EXPECT_EQ(f_.bias[0], 3.5);
    EXPECT_EQ(f_.bias[1], -2.25);
    EXPECT_EQ(f_.bias[2], 40.0);
    EXPECT_EQ(count_, 1);
    // No integration, only the correction: -3 degrees about x.
    EXPECT_NEAR(f_.Q->w, 0.99965732, 5e-9);
    EXPECT_NEAR(f_.Q->v[0], -0.02617695, 5e-9);
    EXPECT_EQ(f_.Q->v[1], 0.0);
    EXPECT_EQ(f_.Q->v[2], 0.0);
}

TEST_F(AttitudeTest, TiltConvergesByTenPercentPerUpdate) {
    const double accl[3] = {0, 0.5, -0.8660254037844386}; // 1 g, 30 degrees about x
    const double expected[] = {-3.0, -5.7, -8.13, -10.317};
    for (double e : expected) {
        AttitudeUpdate(&f_, kZero, accl, kZero, 0.02);
        EXPECT_NEAR(AngleAboutX(), e, 1e-9);
    }
    for (int i = 0; i < 300; ++i) {
        AttitudeUpdate(&f_, kZero, accl, kZero, 0.02);
    }
    EXPECT_NEAR(AngleAboutX(), -30.0, 1e-9);
    // The measured acceleration, seen in the reference frame, now points along -z.
    const matrix<double> R = f_.Q->toRotationMatrix();
    for (std::uint32_t r = 0; r < 3; ++r) {
        const double g = R.at(r, 0) * accl[0] + R.at(r, 1) * accl[1] + R.at(r, 2) * accl[2];
        EXPECT_NEAR(g, r == 2 ? -1.0 : 0.0, 1e-12);
    }
}

TEST_F(AttitudeTest, GainFollowsTheAccelerationMagnitude) {
    // m - 1 and the gain it gives; the first update from the identity removes gain * 30
    // degrees.
    const struct {
        double e;
        double gain;
    } table[] = {{0, 0.1},        {0.05, 0.07788}, {-0.05, 0.07788}, {0.1, 0.03679},
                 {-0.1, 0.03679}, {0.2, 0.001832}, {-0.2, 0.001832}};
    for (const auto& row : table) {
        AttitudeInit(&f_, &count_);
        const double m = 1.0 + row.e;
        const double accl[3] = {0, 0.5 * m, -0.8660254037844386 * m};
        AttitudeUpdate(&f_, kZero, accl, kZero, 0.02);
        EXPECT_NEAR(-AngleAboutX() / 30.0, row.gain, 5e-6) << "m - 1 = " << row.e;
    }
}

TEST_F(AttitudeTest, BiasGateIsStrictOnBothSides) {
    // d: how far the sample lies from the mean on one axis. Exactly 10 either way stays
    // out; the nearest doubles inside join.
    const double in = std::nextafter(10.0, 0.0);
    const struct {
        double d;
        bool joins;
    } table[] = {{10.0, false}, {-10.0, false}, {in, true}, {-in, true}};
    for (int axis = 0; axis < 3; ++axis) {
        for (const auto& row : table) {
            double bias[3] = {1, 2, 3};
            double sample[3] = {1, 2, 3};
            sample[axis] += row.d;
            ASSERT_EQ(sample[axis] - bias[axis], row.d);
            count_ = 5;
            EXPECT_EQ(GyroBiasUpdate(&count_, bias, sample, 10000, 10.0), 6);
            for (int i = 0; i < 3; ++i) {
                const double mean = row.joins ? (5.0 * (i + 1.0) + sample[i]) / 6.0 : i + 1.0;
                EXPECT_EQ(bias[i], mean) << "axis " << axis << ", d " << row.d << ", bias " << i;
            }
        }
    }
    double bias[3] = {1, 2, 3};
    const double nan[3] = {std::numeric_limits<double>::quiet_NaN(), 2, 3};
    EXPECT_EQ(GyroBiasUpdate(&count_, bias, nan, 10000, 10.0), 7);
    EXPECT_EQ(bias[0], 1.0);
    // The filter's own gate: 10 deg/s from the mean (0 after AttitudeInit).
    count_ = 5;
    const double atGate[3] = {0, -10.0, 0};
    AttitudeUpdate(&f_, atGate, kZero, kZero, 0.02);
    EXPECT_EQ(f_.bias[1], 0.0);
    const double inside[3] = {0, -in, 0};
    AttitudeUpdate(&f_, inside, kZero, kZero, 0.02);
    EXPECT_EQ(f_.bias[1], -in / 7.0);
    EXPECT_EQ(count_, 7);
}

TEST_F(AttitudeTest, CountStopsAtTheLimit) {
    double bias[3] = {0, 0, 0};
    count_ = 9999;
    const double one[3] = {1, 1, 1};
    EXPECT_EQ(GyroBiasUpdate(&count_, bias, one, 10000, 10.0), 10000);
    EXPECT_EQ(bias[0], 1.0 / 10000.0);
    bias[0] = 0;
    EXPECT_EQ(GyroBiasUpdate(&count_, bias, one, 10000, 10.0), 10000);
    EXPECT_EQ(bias[0], 1.0 / 10001.0);
    EXPECT_EQ(count_, 10000);
    // The filter's own limit.
    count_ = 9999;
    AttitudeUpdate(&f_, one, kZero, kZero, 0.02);
    EXPECT_EQ(count_, 10000);
    AttitudeUpdate(&f_, one, kZero, kZero, 0.02);
    EXPECT_EQ(count_, 10000);
}

TEST_F(AttitudeTest, SecondFileContinuesTheCount) {
    count_ = 10000;
    const double far[3] = {15, 0, 0}; // 15 deg/s from the fresh zero bias: left out
    const double accl[3] = {0, 0, 0}; // no tilt correction
    AttitudeUpdate(&f_, far, accl, kZero, 0.02);
    EXPECT_EQ(f_.bias[0], 0.0);
    // ... so it is integrated in full: 15 deg/s for 0.02 s about x.
    EXPECT_NEAR(AngleAboutX(), 0.3, 1e-12);
    const double near[3] = {5, 0, 0};
    AttitudeUpdate(&f_, near, accl, kZero, 0.02);
    EXPECT_EQ(f_.bias[0], 5.0 / 10001.0);
}

TEST_F(AttitudeTest, TwoAxisTiltWhileTurning) {
    // Turning about all three axes (too fast for the bias gate, so integrated in full)
    // with the acceleration tilted about x and y: the correction must be applied on the
    // left, toward g0, after the increment. Expected: the steps computed in plain Python
    // floats with textbook quaternion algebra (rates to radians by pi / 180, increment
    // Qz Qy Qx on the right, correction about v x g0 by 0.1 exp(-(m - 1)^2 / 0.01) times
    // asin(|v x g0| / |v|) on the left).
    count_ = 10000;
    const double gyro[3] = {40, -25, 300};
    const double accl[3] = {0.36, -0.48, -0.8};
    const double expected[3][4] = {
        {0.99801003076900674, 0.031235595774641332, 0.016949047084758726, 0.052086906646181208},
        {0.9923617072637283, 0.059248323212166068, 0.032194125032728733, 0.10330254820933683},
        {0.98349545486715662, 0.084220562748087369, 0.045983711762871846, 0.15339193368149942}};
    for (const auto& q : expected) {
        AttitudeUpdate(&f_, gyro, accl, kZero, 0.02);
        EXPECT_NEAR(f_.Q->w, q[0], 1e-12);
        EXPECT_NEAR(f_.Q->v[0], q[1], 1e-12);
        EXPECT_NEAR(f_.Q->v[1], q[2], 1e-12);
        EXPECT_NEAR(f_.Q->v[2], q[3], 1e-12);
    }
    EXPECT_EQ(f_.bias[2], 0.0);
}

TEST_F(AttitudeTest, MagnetometerHasNoEffect) {
    AttitudeFilter g;
    AttitudeInit(&g, &count_);
    std::mt19937 gen(3);
    std::normal_distribution<double> n(0.0, 1.0);
    for (int i = 0; i < 200; ++i) {
        const double gyro[3] = {n(gen), n(gen), n(gen)};
        const double accl[3] = {0.2 * n(gen), 0.2 * n(gen), 1 + 0.1 * n(gen)};
        const double magn[3] = {n(gen) * 50, n(gen) * 50, n(gen) * 50};
        count_ = i;
        AttitudeUpdate(&f_, gyro, accl, kZero, 0.02);
        count_ = i;
        AttitudeUpdate(&g, gyro, accl, magn, 0.02);
    }
    EXPECT_TRUE(SameBits(f_.Q->w, g.Q->w));
    EXPECT_TRUE(SameBits(f_.Q->v[0], g.Q->v[0]));
    EXPECT_TRUE(SameBits(f_.Q->v[2], g.Q->v[2]));
}

TEST_F(AttitudeTest, HeadingIsNeverCorrected) {
    // A bias-free rate about z is integrated without correction.
    count_ = 10000;
    const double accl[3] = {0, 0, 1};
    const double gyro[3] = {0, 0, 9.5};
    double bias = 0.0;
    double yaw = 0.0;
    for (int i = 0; i < 100; ++i) {
        bias = (10000.0 * bias + 9.5) / 10001.0;
        yaw += (9.5 - bias) * 0.02;
        AttitudeUpdate(&f_, gyro, accl, kZero, 0.02);
    }
    EXPECT_EQ(f_.Q->v[0], 0.0);
    EXPECT_EQ(f_.Q->v[1], 0.0);
    EXPECT_NEAR(2.0 * std::atan2(f_.Q->v[2], f_.Q->w) * 180.0 / kPi, yaw, 1e-9);
    // The tilt correction turns about a horizontal axis only.
    AttitudeInit(&f_, &count_);
    const double tilted[3] = {0.3, -0.4, 0.8};
    AttitudeUpdate(&f_, kZero, tilted, kZero, 0.02);
    EXPECT_EQ(f_.Q->v[2], 0.0);
    EXPECT_NE(f_.Q->v[0], 0.0);
    EXPECT_NE(f_.Q->v[1], 0.0);
}

TEST_F(AttitudeTest, UnguardedCasesLeaveAFiniteUnitQuaternion) {
    // Acceleration along g0's line: no correction axis. The identity stays exactly.
    const double flat[3] = {0, 0, 1};
    AttitudeUpdate(&f_, kZero, flat, kZero, 0.02);
    EXPECT_EQ(f_.Q->w, 1.0);
    EXPECT_EQ(f_.Q->v[0], 0.0);
    const double down[3] = {0, 0, -1};
    AttitudeUpdate(&f_, kZero, down, kZero, 0.02);
    EXPECT_EQ(f_.Q->w, 1.0);
    // Zero acceleration (filters that output zeros).
    const double rate[3] = {0, 20, 0};
    count_ = 10000;
    AttitudeUpdate(&f_, rate, kZero, kZero, 0.02);
    EXPECT_NEAR(2.0 * std::atan2(f_.Q->v[1], f_.Q->w) * 180.0 / kPi, 0.4, 1e-12);
    EXPECT_NEAR(f_.Q->norm(), 1.0, 1e-15);
}

TEST_F(AttitudeTest, NonFiniteInputChangesNothing) {
    const double accl[3] = {0, 0.5, -0.8660254037844386};
    AttitudeUpdate(&f_, kZero, accl, kZero, 0.02);
    const double w = f_.Q->w, x = f_.Q->v[0];
    const std::int32_t count = count_;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double badGyro[3] = {0, nan, 0};
    const double badAccl[3] = {0, 0, -inf};
    AttitudeUpdate(&f_, badGyro, accl, kZero, 0.02);
    AttitudeUpdate(&f_, kZero, badAccl, kZero, 0.02);
    EXPECT_EQ(f_.Q->w, w);
    EXPECT_EQ(f_.Q->v[0], x);
    EXPECT_EQ(f_.bias[1], 0.0);
    EXPECT_EQ(count_, count);
}

TEST_F(AttitudeTest, ReturnsTheMatrixOfTheNewAttitude) {
    const double accl[3] = {0.1, 0.5, -0.8};
    const double gyro[3] = {1, 2, 3};
    const matrix<double> R = AttitudeUpdate(&f_, gyro, accl, kZero, 0.02);
    const matrix<double> expected = f_.Q->toRotationMatrix();
    for (std::uint32_t r = 0; r < 3; ++r) {
        for (std::uint32_t c = 0; c < 3; ++c) {
            EXPECT_EQ(R.at(r, c), expected.at(r, c));
        }
    }
}

TEST_F(AttitudeTest, FastFormMatchesTheQuaternionOperations) {
    std::mt19937 gen(2024);
    std::normal_distribution<double> n(0.0, 1.0);
    Quaternion Q;
    double bias[3] = {0, 0, 0};
    std::int32_t countB = 0;
    for (int i = 0; i < 3000; ++i) {
        const double gyro[3] = {30 * n(gen), 30 * n(gen), 5 * n(gen)};
        const double accl[3] = {0.3 * n(gen), 0.3 * n(gen), 1 + 0.2 * n(gen)};
        AttitudeUpdate(&f_, gyro, accl, kZero, 0.02);
        ReferenceUpdate(Q, bias, &countB, gyro, accl, 0.02);
        ASSERT_TRUE(SameBits(f_.Q->w, Q.w) && SameBits(f_.Q->v[0], Q.v[0]) &&
                    SameBits(f_.Q->v[1], Q.v[1]) && SameBits(f_.Q->v[2], Q.v[2]))
            << "step " << i;
        ASSERT_TRUE(SameBits(f_.bias[0], bias[0]) && SameBits(f_.bias[2], bias[2]));
    }
    EXPECT_NEAR(Q.norm(), 1.0, 1e-12);
}

std::string Describe(const qk::Q4& p, const qk::Q4& r) {
    std::ostringstream s;
    s << std::hexfloat << "p = (" << p.w << ", " << p.x << ", " << p.y << ", " << p.z << "), r = ("
      << r.w << ", " << r.x << ", " << r.y << ", " << r.z << ")";
    return s.str();
}

// The kernel against the Quaternion operations, every component bit for bit.
void ExpectKernelMatches(const qk::Q4& p, const qk::Q4& r) {
    auto same = [](const qk::Q4& a, const Quaternion& b) {
        return SameBits(a.w, b.w) && SameBits(a.x, b.v[0]) && SameBits(a.y, b.v[1]) &&
               SameBits(a.z, b.v[2]);
    };
    const Quaternion P(p.w, p.x, p.y, p.z), R(r.w, r.x, r.y, r.z);
    EXPECT_TRUE(same(qk::Mul(p, r), P * R)) << "Mul, " << Describe(p, r);
    EXPECT_TRUE(same(qk::FromAngles(p.x, p.y, p.z), Quaternion(p.x, p.y, p.z)))
        << "FromAngles, " << Describe(p, r);
    // Inverse and FromAxisAngle divide by a norm: not for a zero one.
    if (P.norm() > 0.0) {
        EXPECT_TRUE(same(qk::Inverse(p), P.inverse())) << "Inverse, " << Describe(p, r);
    }
    if (Norm(P.v) > 0.0) {
        EXPECT_TRUE(same(qk::FromAxisAngle(p.w, qk::V3{p.x, p.y, p.z}),
                         Quaternion(p.w, Vector3(p.x, p.y, p.z))))
            << "FromAxisAngle, " << Describe(p, r);
    }
}

TEST(QuatKernelTest, MatchesQuaternionBitForBit) {
    // Every component of both operands non-zero, so that each term of every sum counts.
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> u(-2.0, 2.0);
    for (int i = 0; i < 2000 && !::testing::Test::HasFailure(); ++i) {
        ExpectKernelMatches(qk::Q4{u(gen), u(gen), u(gen), u(gen)},
                            qk::Q4{u(gen), u(gen), u(gen), u(gen)});
    }
}

TEST(QuatKernelTest, SignedZerosMatchQuaternion) {
    // Every operand with components from {+0, -0, 1, -2}, each against each: which zero
    // comes out depends on where the sums start and in which order they run.
    const double values[4] = {0.0, -0.0, 1.0, -2.0};
    std::vector<qk::Q4> all;
    for (int i = 0; i < 256; ++i) {
        all.push_back(qk::Q4{values[i & 3], values[(i >> 2) & 3], values[(i >> 4) & 3],
                             values[(i >> 6) & 3]});
    }
    for (const qk::Q4& p : all) {
        for (const qk::Q4& r : all) {
            ExpectKernelMatches(p, r);
            if (::testing::Test::HasFailure()) {
                return;
            }
        }
    }
}

} // namespace
