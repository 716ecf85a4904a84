// Allocation-free quaternion arithmetic for the attitude filter's hot path.
//
// Each function performs exactly the floating-point operations of its Quaternion
// counterpart, in the same order (Dot and Norm start their sums at 0.0, the product adds
// (wp vr + wr vp) before the cross product), so the two give identical bits. Two tests
// in tests/attitude_filter_test.cpp hold them to that, component by component:
// QuatKernelTest.MatchesQuaternionBitForBit (random operands, no component zero) and
// QuatKernelTest.SignedZerosMatchQuaternion (operands made of +0, -0, 1 and -2). Same
// conventions as Quaternion: (w, x, y, z), Hamilton product.
#ifndef KINREC_QUAT_KERNEL_H
#define KINREC_QUAT_KERNEL_H

#include <cmath>

namespace kinrec::detail {

namespace qk {

struct Q4 {
    double w, x, y, z;
};

struct V3 {
    double x, y, z;
};

inline double Dot(const V3& a, const V3& b) {
    double s = 0.0;
    s += a.x * b.x;
    s += a.y * b.y;
    s += a.z * b.z;
    return s;
}

inline double Norm(const V3& a) {
    return std::sqrt(Dot(a, a));
}

inline V3 Cross(const V3& a, const V3& b) {
    return V3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline V3 Vec(const Q4& q) {
    return V3{q.x, q.y, q.z};
}

// Hamilton product p * r.
inline Q4 Mul(const Q4& p, const Q4& r) {
    const V3 c = Cross(Vec(p), Vec(r));
    return Q4{p.w * r.w - Dot(Vec(p), Vec(r)), (p.w * r.x + r.w * p.x) + c.x,
              (p.w * r.y + r.w * p.y) + c.y, (p.w * r.z + r.w * p.z) + c.z};
}

// conjugate() / norm().
inline Q4 Inverse(const Q4& q) {
    const double n = std::sqrt(q.w * q.w + Dot(Vec(q), Vec(q)));
    return Q4{q.w / n, ((-1.0) * q.x) / n, ((-1.0) * q.y) / n, ((-1.0) * q.z) / n};
}

// (Qz(c) * Qy(b)) * Qx(a).
inline Q4 FromAngles(double a, double b, double c) {
    const Q4 qx{std::cos(a / 2.0), std::sin(a / 2.0), 0.0, 0.0};
    const Q4 qy{std::cos(b / 2.0), 0.0, std::sin(b / 2.0), 0.0};
    const Q4 qz{std::cos(c / 2.0), 0.0, 0.0, std::sin(c / 2.0)};
    return Mul(Mul(qz, qy), qx);
}

// Rotation by angle about axis; the caller makes sure the axis has non-zero length.
inline Q4 FromAxisAngle(double angle, const V3& axis) {
    const double n = Norm(axis);
    const double s = std::sin(angle / 2.0);
    return Q4{std::cos(angle / 2.0), (s * axis.x) / n, (s * axis.y) / n, (s * axis.z) / n};
}

} // namespace qk

} // namespace kinrec::detail

#endif
