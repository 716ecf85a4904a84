// Magnitudes and orientation angles as the table prints them.
//
// Angles, in the attitude filter's conventions (orlib/AttitudeFilter.h: q maps the
// sensor's axes to the reference frame; orlib/Quaternion.h: Hamilton product, right-
// handed, positive angles counter-clockwise seen from the tip of the axis):
//
//   roll   about the sensor's y axis, -90 to 90 degrees
//   pitch  about the sensor's x axis, -270 to 90 degrees (90 subtracted, see below)
//   yaw    about the sensor's z axis, -180 to 180 degrees
//
// that is q = Qz(yaw) Qy(roll) Qx(pitch + 90): from the reference orientation the sensor
// turns by yaw about its z axis, then by roll about its y axis, then by pitch + 90 about
// its x axis. A turn about one axis alone shows in its own angle only: 30 degrees about
// y reads (30, -90, 0), about x (0, -60, 0), about z (0, -90, 30).
//
// The identity, where every file starts, reads (roll, pitch, yaw) = (0, -90, 0); so does
// a sensor at rest with +1 g exactly on z, which gives the filter no tilt to correct.
// The filter levels the measured acceleration onto -z, though: with +1 g a little off z
// it turns the sensor over, a half turn about a horizontal axis within some hundred
// updates (0.01 g off z along +y or -y: pitch ends near -270 or 90).
//
// Magnitude: s = (x x + y y) + z z in single precision, then its square root evaluated in
// double precision and rounded to single precision.
//
// Angles from the attitude quaternion q = (q0; q1, q2, q3):
//
//   roll  = asin(2 (q0 q2 - q1 q3))
//   pitch = atan2(2 (q2 q3 + q0 q1), 2 (q0 q0 + q3 q3) - 1)
//   yaw   = atan2(2 (q1 q2 + q0 q3), 2 (q0 q0 + q1 q1) - 1)
//
// each function argument computed in double and rounded to float; the function is
// evaluated in double on it and its result rounded to float; degrees are
// (v * 180.0) / 3.141592653589793. Truncated toward zero; pitch has 90 subtracted after
// truncation.
#ifndef KINREC_ORIENTATION_H
#define KINREC_ORIENTATION_H

#include <cstdint>

namespace kinrec::detail {

float Magnitude(float x, float y, float z);

struct Angles {
    std::int32_t roll;  // [deg] -90 to 90
    std::int32_t pitch; // [deg] -270 to 90
    std::int32_t yaw;   // [deg] -180 to 180
};

// The roll's asin argument is clamped to [-1, 1] so that rounding near +-90 degrees
// cannot turn it into a non-number.
Angles AnglesFromQuaternion(double q0, double q1, double q2, double q3);

} // namespace kinrec::detail

#endif
