#include "orlib/AttitudeFilter.h"

#include "orlib/QuatKernel.h"

#include <cmath>

namespace kinrec::detail {

namespace {

constexpr double kBiasGate = 10.0; // deg/s
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kNominalAcc = 1.0;  // g
constexpr double kWeightWidth = 0.1; // g
constexpr double kMaxGain = 0.1;

bool AllFinite(const double a[3]) {
    return std::isfinite(a[0]) && std::isfinite(a[1]) && std::isfinite(a[2]);
}

} // namespace

void AttitudeInit(AttitudeFilter* filter, std::int32_t* count) {
    filter->Q = std::make_unique<Quaternion>();
    filter->bias[0] = 0.0;
    filter->bias[1] = 0.0;
    filter->bias[2] = 0.0;
    filter->count = count;
}

std::int32_t GyroBiasUpdate(std::int32_t* count, double bias[3], const double sample[3],
                            std::int32_t limit, double threshold) {
    double d[3];
    for (int i = 0; i < 3; ++i) {
        d[i] = sample[i] - bias[i];
    }
    bool inside = true;
    for (int i = 0; i < 3; ++i) {
        inside = inside && -threshold < d[i] && d[i] < threshold;
    }
    if (*count == 0 || inside) {
        const double n = static_cast<double>(*count);
        const double n1 = static_cast<double>(*count + 1);
        for (int i = 0; i < 3; ++i) {
            bias[i] = (n * bias[i] + sample[i]) / n1;
        }
    }
    if (*count < limit) {
        ++*count;
    }
    return *count;
}

void AttitudeAdvance(AttitudeFilter* filter, const double gyro[3], const double accl[3],
                     const double /*magn*/[3], double dt) {
    if (!AllFinite(gyro) || !AllFinite(accl) || !std::isfinite(dt)) {
        return;
    }
    GyroBiasUpdate(filter->count, filter->bias, gyro, kBiasCountLimit, kBiasGate);

    double a[3];
    for (int i = 0; i < 3; ++i) {
        a[i] = ((gyro[i] - filter->bias[i]) * kDegToRad) * dt;
    }
    Quaternion& Qs = *filter->Q;
    qk::Q4 Q{Qs.w, Qs.v[0], Qs.v[1], Qs.v[2]};
    Q = qk::Mul(Q, qk::FromAngles(a[0], a[1], a[2]));

    const qk::V3 g0{0.0, 0.0, -1.0};
    const qk::Q4 Qa{0.0, accl[0], accl[1], accl[2]};
    const qk::Q4 Qg = qk::Mul(qk::Mul(Q, Qa), qk::Inverse(Q));
    const qk::V3 ng = qk::Cross(qk::Vec(Qg), g0);
    const double nng = qk::Norm(ng);
    const double nqg = qk::Norm(qk::Vec(Qg));

    // A zero correction axis (acceleration along +-g0) or a zero acceleration has no
    // tilt to correct; the rotation about a zero axis would be 0/0.
    if (nng > 0.0 && nqg > 0.0) {
        const double ratio = nng / nqg;
        const double theta = std::asin(ratio < 1.0 ? ratio : 1.0);
        const double m = std::sqrt((accl[0] * accl[0] + accl[1] * accl[1]) + accl[2] * accl[2]);
        const double e = m - kNominalAcc;
        const double weight = std::exp((-e * e) / (kWeightWidth * kWeightWidth));
        const double gain = weight * kMaxGain;
        Q = qk::Mul(qk::FromAxisAngle(gain * theta, ng), Q);
    }

    Qs.w = Q.w;
    Qs.v[0] = Q.x;
    Qs.v[1] = Q.y;
    Qs.v[2] = Q.z;
}

matrix<double> AttitudeUpdate(AttitudeFilter* filter, const double gyro[3], const double accl[3],
                              const double magn[3], double dt) {
    AttitudeAdvance(filter, gyro, accl, magn, dt);
    return filter->Q->toRotationMatrix();
}

} // namespace kinrec::detail
