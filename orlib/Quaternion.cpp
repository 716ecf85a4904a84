#include "orlib/Quaternion.h"

#include "Include/AlwaysAssert.h"

#include <cmath>

namespace kinrec::detail {

Quaternion::Quaternion() : w(1.0), v(3) {}

Quaternion::Quaternion(double w_, double x, double y, double z) : w(w_), v(Vector3(x, y, z)) {}

Quaternion::Quaternion(double angle, const dVector& axis) : w(0.0) {
    if (axis.size() != 3) {
        // The message rides in the asserted expression, so the report carries it.
        // cppcheck-suppress incorrectStringBooleanError
        KINREC_ASSERT(0 && "Quaternion::Quaternion, size of axis != 3");
    }
    const double n = Norm(axis);
    const double s = std::sin(angle / 2.0);
    v = (s * axis) / n;
    w = std::cos(angle / 2.0);
}

Quaternion::Quaternion(double a, double b, double c) : w(1.0), v(3) {
    const Quaternion qx(std::cos(a / 2.0), std::sin(a / 2.0), 0.0, 0.0);
    const Quaternion qy(std::cos(b / 2.0), 0.0, std::sin(b / 2.0), 0.0);
    const Quaternion qz(std::cos(c / 2.0), 0.0, 0.0, std::sin(c / 2.0));
    *this = (qz * qy) * qx;
}

void Quaternion::set_v(const dVector& u) {
    if (u.size() != 3) {
        // The message rides in the asserted expression, so the report carries it.
        // cppcheck-suppress incorrectStringBooleanError
        KINREC_ASSERT(0 && "Quaternion::set_v: input has a wrong size.");
    }
    v = u;
}

Quaternion Quaternion::operator*(const Quaternion& r) const {
    Quaternion p;
    p.w = w * r.w - Dot(v, r.v);
    p.v = ((w * r.v) + (r.w * v)) + Cross(v, r.v);
    return p;
}

Quaternion Quaternion::operator*(double s) const {
    Quaternion p;
    p.w = w * s;
    p.v = v * s;
    return p;
}

Quaternion operator*(double s, const Quaternion& q) {
    return q * s;
}

Quaternion Quaternion::operator/(double s) const {
    Quaternion p;
    p.w = w / s;
    p.v = v / s;
    return p;
}

Quaternion Quaternion::operator/(const Quaternion& r) const {
    return *this * r.inverse();
}

Quaternion Quaternion::operator+(const Quaternion& r) const {
    Quaternion p;
    p.w = w + r.w;
    p.v = v + r.v;
    return p;
}

Quaternion Quaternion::operator-(const Quaternion& r) const {
    Quaternion p;
    p.w = w - r.w;
    p.v = v - r.v;
    return p;
}

Quaternion Quaternion::conjugate() const {
    Quaternion p;
    p.w = w;
    p.v = (-1.0) * v;
    return p;
}

double Quaternion::norm() const {
    return std::sqrt(w * w + Dot(v, v));
}

Quaternion Quaternion::inverse() const {
    return conjugate() / norm();
}

double Quaternion::innerProduct(const Quaternion& r) const {
    return ((w * r.w + v[0] * r.v[0]) + v[1] * r.v[1]) + v[2] * r.v[2];
}

Quaternion& Quaternion::normalize() {
    const double n = norm();
    if (n > 1e-7) {
        w = w / n;
        v = v / n;
    }
    return *this;
}

matrix<double> Quaternion::toRotationMatrix() const {
    const double x = v[0];
    const double y = v[1];
    const double z = v[2];
    matrix<double> R(3, 3);
    R(0, 0) = (w * w + x * x) * 2.0 - 1.0;
    R(0, 1) = (x * y - w * z) * 2.0;
    R(0, 2) = (x * z + w * y) * 2.0;
    R(1, 0) = (x * y + w * z) * 2.0;
    R(1, 1) = (w * w + y * y) * 2.0 - 1.0;
    R(1, 2) = (y * z - w * x) * 2.0;
    R(2, 0) = (x * z - w * y) * 2.0;
    R(2, 1) = (y * z + w * x) * 2.0;
    R(2, 2) = (w * w + z * z) * 2.0 - 1.0;
    return R;
}

} // namespace kinrec::detail
