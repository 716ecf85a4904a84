// The attitude update written out with the Quaternion and dVector operations, step by
// step, with the same guards as the filter: what its allocation-free form must match.
#ifndef KINREC_TESTS_REFERENCE_ATTITUDE_H
#define KINREC_TESTS_REFERENCE_ATTITUDE_H

#include "orlib/AttitudeFilter.h"
#include "orlib/Quaternion.h"

#include <cmath>

using namespace kinrec::detail;

inline void ReferenceUpdate(Quaternion& Q, double bias[3], std::int32_t* count,
                            const double gyro[3], const double accl[3], double dt) {
    for (int i = 0; i < 3; ++i) {
        if (!std::isfinite(gyro[i]) || !std::isfinite(accl[i])) {
            return;
        }
    }
    GyroBiasUpdate(count, bias, gyro, 10000, 10.0);
    double a[3];
    for (int i = 0; i < 3; ++i) {
        a[i] = ((gyro[i] - bias[i]) * 0.017453292519943295) * dt;
    }
    const Quaternion dQ(a[0], a[1], a[2]);
    Q = Q * dQ;
    const dVector g0 = Vector3(0, 0, -1);
    const Quaternion Qa(0, accl[0], accl[1], accl[2]);
    const Quaternion Qg = (Q * Qa) * Q.inverse();
    const dVector ng = Cross(Qg.v, g0);
    if (Norm(ng) > 0.0 && Norm(Qg.v) > 0.0) {
        const double theta = std::asin(std::fmin(Norm(ng) / Norm(Qg.v), 1.0));
        const double m = std::sqrt((accl[0] * accl[0] + accl[1] * accl[1]) + accl[2] * accl[2]);
        const double e = m - 1.0;
        const double gain = std::exp((-e * e) / (0.1 * 0.1)) * 0.1;
        const Quaternion Qc(gain * theta, ng);
        Q = Qc * Q;
    }
}

#endif
