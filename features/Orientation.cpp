#include "features/Orientation.h"

#include "Include/IntConv.h"

#include <cmath>

namespace kinrec::detail {

namespace {

double Deg(float v) {
    return (static_cast<double>(v) * 180.0) / 3.141592653589793;
}

float Clamp1(float v) {
    return v > 1.0f ? 1.0f : (v < -1.0f ? -1.0f : v);
}

float Atan2f(double y, double x) {
    const float fy = static_cast<float>(y);
    const float fx = static_cast<float>(x);
    return static_cast<float>(std::atan2(static_cast<double>(fy), static_cast<double>(fx)));
}

} // namespace

// The root is taken as sqrt, not as pow(s, 0.5) as the tables were first defined:
// tests/magnitude_sqrt_check.cpp runs both over every float s and finds the same bits.
float Magnitude(float x, float y, float z) {
    const float s = ((x * x) + (y * y)) + (z * z);
    return static_cast<float>(std::sqrt(static_cast<double>(s)));
}

Angles AnglesFromQuaternion(double q0, double q1, double q2, double q3) {
    const float sinRoll = Clamp1(static_cast<float>(((q0 * q2) - (q1 * q3)) * 2.0));
    const float roll = static_cast<float>(std::asin(static_cast<double>(sinRoll)));
    const float pitch =
        Atan2f(((q2 * q3) + (q0 * q1)) * 2.0, (((q0 * q0) + (q3 * q3)) * 2.0) - 1.0);
    const float yaw = Atan2f(((q1 * q2) + (q0 * q3)) * 2.0, (((q0 * q0) + (q1 * q1)) * 2.0) - 1.0);
    return Angles{TruncToInt32(Deg(roll)), WrapSub(TruncToInt32(Deg(pitch)), 90),
                  TruncToInt32(Deg(yaw))};
}

} // namespace kinrec::detail
