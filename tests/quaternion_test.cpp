#include "kinrec.h"
#include "orlib/Quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

using namespace kinrec::detail;

namespace {

const double kPi = 3.141592653589793;

void ExpectQuat(const Quaternion& q, double w, double x, double y, double z, double tol = 0.0) {
    ASSERT_EQ(q.v.size(), 3u);
    EXPECT_NEAR(q.w, w, tol);
    EXPECT_NEAR(q.v[0], x, tol);
    EXPECT_NEAR(q.v[1], y, tol);
    EXPECT_NEAR(q.v[2], z, tol);
}

TEST(QuaternionTest, Constructors) {
    ExpectQuat(Quaternion(), 1, 0, 0, 0);
    ExpectQuat(Quaternion(0.5, -1, 2, -3), 0.5, -1, 2, -3);
    // Axis-angle: the axis is reduced to unit length.
    ExpectQuat(Quaternion(kPi / 2, Vector3(0, 0, 2)), 0.70710678, 0, 0, 0.70710678, 5e-9);
    ExpectQuat(Quaternion(kPi, Vector3(3, 0, 0)), std::cos(kPi / 2), 1, 0, 0, 1e-15);
}

TEST(QuaternionTest, ThreeAngleConstructorIsZyx) {
    ExpectQuat(Quaternion(0.1, 0.2, 0.3), 0.98334744, 0.03427080, 0.10602051, 0.14357218, 5e-9);
    // Independent reference: the z-y-x (yaw c, pitch b, roll a) Euler-angle conversion of
    // Wikipedia, "Conversion between quaternions and Euler angles".
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> ang(-3.0, 3.0);
    for (int i = 0; i < 100; ++i) {
        const double a = ang(gen), b = ang(gen), c = ang(gen);
        const double ca = std::cos(a / 2), sa = std::sin(a / 2);
        const double cb = std::cos(b / 2), sb = std::sin(b / 2);
        const double cc = std::cos(c / 2), sc = std::sin(c / 2);
        ExpectQuat(Quaternion(a, b, c), ca * cb * cc + sa * sb * sc, sa * cb * cc - ca * sb * sc,
                   ca * sb * cc + sa * cb * sc, ca * cb * sc - sa * sb * cc, 1e-15);
    }
}

TEST(QuaternionTest, HamiltonProduct) {
    const Quaternion i(0, 1, 0, 0), j(0, 0, 1, 0), k(0, 0, 0, 1);
    ExpectQuat(i * j, 0, 0, 0, 1);
    ExpectQuat(j * i, 0, 0, 0, -1);
    ExpectQuat(j * k, 0, 1, 0, 0);
    ExpectQuat(k * i, 0, 0, 1, 0);
    ExpectQuat(i * i, -1, 0, 0, 0);
    // (1 + 2i + 3j + 4k)(5 + 6i + 7j + 8k) = -60 + 12i + 30j + 24k
    ExpectQuat(Quaternion(1, 2, 3, 4) * Quaternion(5, 6, 7, 8), -60, 12, 30, 24);
}

TEST(QuaternionTest, ConjugateNormInverse) {
    ExpectQuat(Quaternion(1, 2, -3, 4).conjugate(), 1, -2, 3, -4);
    EXPECT_EQ(Quaternion(1, 2, 2, 4).norm(), 5.0);
    // Divides by the norm, not its square.
    ExpectQuat(Quaternion(2, 0, 0, 0).inverse(), 1, 0, 0, 0);
    ExpectQuat(Quaternion(0, 0, 0, 2).inverse(), 0, 0, 0, -1);
    const Quaternion q(kPi / 3, Vector3(1, -2, 0.5));
    ExpectQuat(q * q.inverse(), 1, 0, 0, 0, 1e-15);
    ExpectQuat(q / q, 1, 0, 0, 0, 1e-15);
}

TEST(QuaternionTest, ArithmeticNotUsedByTheFilter) {
    const Quaternion p(1, 2, 3, 4), r(0.5, -1, 0, 2);
    ExpectQuat(p + r, 1.5, 1, 3, 6);
    ExpectQuat(p - r, 0.5, 3, 3, 2);
    ExpectQuat(p * 2.0, 2, 4, 6, 8);
    ExpectQuat(2.0 * p, 2, 4, 6, 8);
    ExpectQuat(p / 2.0, 0.5, 1, 1.5, 2);
    EXPECT_EQ(p.innerProduct(r), 0.5 - 2 + 0 + 8);
    // Operands are left alone.
    ExpectQuat(p, 1, 2, 3, 4);
}

TEST(QuaternionTest, Normalize) {
    Quaternion q(0, 3, 0, 4);
    EXPECT_EQ(&q.normalize(), &q);
    ExpectQuat(q, 0, 0.6, 0, 0.8);
    Quaternion tiny(1e-7, 0, 0, 0);
    tiny.normalize();
    ExpectQuat(tiny, 1e-7, 0, 0, 0);
    Quaternion small(2e-7, 0, 0, 0);
    small.normalize();
    ExpectQuat(small, 1, 0, 0, 0);
}

TEST(QuaternionTest, Accessors) {
    Quaternion q;
    q.set_w(0.25);
    q.set_v(Vector3(1, 2, 3));
    EXPECT_EQ(q.get_w(), 0.25);
    dVector v = q.get_v();
    v[0] = 9;
    EXPECT_EQ(q.v[0], 1.0); // a copy
}

TEST(QuaternionTest, SizeChecksThrow) {
    auto report = [](auto f) -> std::string {
        try {
            f();
        } catch (const kinrec::InternalError& e) {
            return e.what();
        }
        return "nothing thrown";
    };
    const std::string setV = report([] { Quaternion().set_v(dVector(2)); });
    EXPECT_NE(setV.find("Quaternion::set_v: input has a wrong size."), std::string::npos) << setV;
    const std::string axis = report([] { Quaternion(1.0, dVector(4)); });
    EXPECT_NE(axis.find("Quaternion.cpp:"), std::string::npos) << axis;
    EXPECT_NE(axis.find("Quaternion::Quaternion, size of axis != 3"), std::string::npos) << axis;
}

TEST(QuaternionTest, RotationMatrix) {
    const matrix<double> id = Quaternion().toRotationMatrix();
    for (std::uint32_t r = 0; r < 3; ++r) {
        for (std::uint32_t c = 0; c < 3; ++c) {
            EXPECT_EQ(id.at(r, c), r == c ? 1.0 : 0.0);
        }
    }
    const matrix<double> R = Quaternion(0.70710678, 0, 0, 0.70710678).toRotationMatrix();
    const double expected[3][3] = {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}};
    for (std::uint32_t r = 0; r < 3; ++r) {
        for (std::uint32_t c = 0; c < 3; ++c) {
            EXPECT_NEAR(R.at(r, c), expected[r][c], 3e-8);
        }
    }
}

TEST(QuaternionTest, MatrixAndProductRotateAlike) {
    std::mt19937 gen(11);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int n = 0; n < 50; ++n) {
        const Quaternion q(u(gen) * kPi, Vector3(u(gen), u(gen), u(gen) + 2.0));
        const dVector b = Vector3(u(gen), u(gen), u(gen));
        const Quaternion rotated = (q * Quaternion(0, b[0], b[1], b[2])) * q.inverse();
        const matrix<double> R = q.toRotationMatrix();
        for (std::uint32_t r = 0; r < 3; ++r) {
            const double Rb = R.at(r, 0) * b[0] + R.at(r, 1) * b[1] + R.at(r, 2) * b[2];
            EXPECT_NEAR(Rb, rotated.v[r], 1e-14);
        }
    }
    // Right-handed and active: a quarter turn about z takes x to y.
    const Quaternion qz(kPi / 2, Vector3(0, 0, 1));
    const Quaternion x = (qz * Quaternion(0, 1, 0, 0)) * qz.inverse();
    ExpectQuat(x, 0, 0, 1, 0, 1e-15);
}

} // namespace
