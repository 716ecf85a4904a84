// Complementary attitude filter in quaternion form.
//
// Frames and units: Q maps a vector given in the sensor's axes (body frame) to the
// reference frame, as the vector part of Q * (0, b) * Q.inverse(). Rates enter in deg/s,
// accelerations in g, the time step in s; angles inside are radians. Each update
// integrates the bias-corrected rate (increment applied on the right, body frame), then
// turns Q a fraction of the way so that the measured acceleration points along
// g0 = (0, 0, -1) (correction applied on the left, reference frame). Heading (rotation
// about the reference z axis) is never corrected.
//
// The gyro bias is a gated running mean whose sample count lives outside the filter: its
// owner decides how far it reaches. A console run keeps one count for all its files, so
// later files continue with the count that the earlier ones left; a worker converting
// files after the count has reached its limit, or a library caller converting one
// recording on its own, gives each filter a count of its own.
#ifndef KINREC_ATTITUDE_FILTER_H
#define KINREC_ATTITUDE_FILTER_H

#include "Include/MatrixAlgebra.h"
#include "orlib/Quaternion.h"

#include <cstdint>
#include <memory>

namespace kinrec::detail {

struct AttitudeFilter {
    std::unique_ptr<Quaternion> Q; // attitude, body to reference
    double bias[3];                // gyro bias estimate x, y, z [deg/s]
    std::int32_t* count;           // the bias mean's sample count [samples]; not owned
};

constexpr std::int32_t kBiasCountLimit = 10000; // samples

// Q becomes a new identity quaternion, bias (0, 0, 0); the filter counts on *count,
// whose value is left alone (0 for a fresh start).
void AttitudeInit(AttitudeFilter* filter, std::int32_t* count);

// One filter step; returns the rotation matrix of the new Q. magn is not read.
matrix<double> AttitudeUpdate(AttitudeFilter* filter, const double gyro[3], const double accl[3],
                              const double magn[3], double dt);

// The same step without building the rotation matrix (the pipeline's form).
//
// Where the textbook update would divide by zero or turn Q into a non-number it does
// not: an update whose gyro or accl holds a non-finite value changes nothing (Q, bias
// and *count stay as they were); when the measured acceleration is exactly parallel
// to g0 (no correction axis) or is zero, the tilt correction of that update is skipped;
// the asin argument of the tilt error is clamped to 1 against rounding.
void AttitudeAdvance(AttitudeFilter* filter, const double gyro[3], const double accl[3],
                     const double magn[3], double dt);

// Gated running mean of the gyro rate: a sample joins when *count is 0 or every axis
// lies strictly within threshold of the current mean; *count then advances up to limit
// either way. Returns *count.
std::int32_t GyroBiasUpdate(std::int32_t* count, double bias[3], const double sample[3],
                            std::int32_t limit, double threshold);

} // namespace kinrec::detail

#endif
