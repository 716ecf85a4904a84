// Samples per second through WriteDsvRecord into a real file.
#include "features/DsvConverter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace kinrec::detail;
using kinrec::Settings;

namespace {

void BM_WriteDsvRecord(benchmark::State& state) {
    std::vector<SampleRecord> samples;
    for (int i = 0; i < 4096; ++i) {
        const double t = i * 0.02;
        auto s = [](double v) { return static_cast<std::int16_t>(v); };
        samples.push_back(SampleRecord{s(2000 * std::sin(t * 1.3)), s(3000 * std::cos(t * 0.7)),
                                       s(7000 + 900 * std::sin(t * 2.1)),
                                       s(3000 * std::sin(t * 3.0)), s(-2500 * std::cos(t * 1.1)),
                                       s(1800 * std::sin(t + 1))});
    }
    const std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                             "/kinrec-bench_DSV.csv";
    Settings cfg;
    DsvConverter conv;
    std::int32_t biasCount = 0;
    OpenDsvFile(&conv, &cfg, &biasCount, path.c_str());
    std::size_t i = 0;
    for (auto _ : state) {
        WriteDsvRecord(&conv, &samples[i]);
        i = (i + 1) & 4095;
    }
    CloseDsvFile(&conv);
    std::remove(path.c_str());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_WriteDsvRecord);

} // namespace
