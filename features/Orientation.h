// Magnitudes and orientation angles as the table prints them.
//
// Magnitude: s = (x x + y y) + z z in single precision, then pow(s, 0.5) evaluated in
// double precision and rounded to single precision.
//
// Angles from the attitude quaternion q = (q0; q1, q2, q3): each function argument is
// computed in double, rounded to float; the function is evaluated in double on it and
// its result rounded to float; degrees are (v * 180.0) / 3.141592653589793. Truncated
// toward zero; pitch has 90 subtracted after truncation, so the identity gives
// (roll, pitch, yaw) = (0, -90, 0). The roll is the angle about the sensor's y axis.
#ifndef KINREC_ORIENTATION_H
#define KINREC_ORIENTATION_H

#include <cstdint>

float Magnitude(float x, float y, float z);

struct Angles {
    std::int32_t roll;  // [deg] -90 to 90
    std::int32_t pitch; // [deg] -270 to 90
    std::int32_t yaw;   // [deg] -180 to 180
};

// The roll's asin argument is clamped to [-1, 1] so that rounding near +-90 degrees
// cannot turn it into a non-number.
Angles AnglesFromQuaternion(double q0, double q1, double q2, double q3);

#endif
