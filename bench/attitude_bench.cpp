// ns per attitude filter update, with and without the rotation matrix it returns.
#include "orlib/AttitudeFilter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

using namespace kinrec::detail;

namespace {

struct Inputs {
    std::vector<double> gyro, accl;
};

// A slowly tilting, turning sensor: every update corrects and integrates.
Inputs MakeInputs(std::size_t n) {
    Inputs in;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) * 0.02;
        in.gyro.insert(in.gyro.end(),
                       {20 * std::sin(t), 15 * std::cos(0.7 * t), 5 * std::sin(0.3 * t)});
        in.accl.insert(in.accl.end(), {0.3 * std::sin(0.5 * t), 0.2 * std::cos(0.4 * t), 0.95});
    }
    return in;
}

void BM_AttitudeUpdate(benchmark::State& state) {
    const Inputs in = MakeInputs(4096);
    const double magn[3] = {0, 0, 0};
    AttitudeFilter f;
    std::int32_t count = 0;
    AttitudeInit(&f, &count);
    std::size_t i = 0;
    for (auto _ : state) {
        matrix<double> R = AttitudeUpdate(&f, &in.gyro[3 * i], &in.accl[3 * i], magn, 0.02);
        benchmark::DoNotOptimize(R);
        i = (i + 1) & 4095;
    }
}
BENCHMARK(BM_AttitudeUpdate);

void BM_AttitudeAdvance(benchmark::State& state) {
    const Inputs in = MakeInputs(4096);
    const double magn[3] = {0, 0, 0};
    AttitudeFilter f;
    std::int32_t count = 0;
    AttitudeInit(&f, &count);
    std::size_t i = 0;
    for (auto _ : state) {
        AttitudeAdvance(&f, &in.gyro[3 * i], &in.accl[3 * i], magn, 0.02);
        benchmark::DoNotOptimize(f.Q->w);
        i = (i + 1) & 4095;
    }
}
BENCHMARK(BM_AttitudeAdvance);

// The libm calls of one update alone: four sin/cos pairs, asin, exp, sqrt.
void BM_LibmOfOneUpdate(benchmark::State& state) {
    const Inputs in = MakeInputs(4096);
    std::size_t i = 0;
    for (auto _ : state) {
        const double a = in.gyro[3 * i] * 1e-3, b = in.gyro[3 * i + 1] * 1e-3,
                     c = in.gyro[3 * i + 2] * 1e-3;
        double s =
            std::sin(a) + std::cos(a) + std::sin(b) + std::cos(b) + std::sin(c) + std::cos(c);
        s += std::sin(a * b) + std::cos(a * b) + std::asin(in.accl[3 * i] * 0.5);
        s += std::exp(-in.accl[3 * i + 1]) + std::sqrt(in.accl[3 * i + 2]);
        benchmark::DoNotOptimize(s);
        i = (i + 1) & 4095;
    }
}
BENCHMARK(BM_LibmOfOneUpdate);

} // namespace
