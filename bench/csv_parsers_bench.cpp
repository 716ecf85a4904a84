// Lines per second through each CSV line parser.
#include "input/CsvParsers.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

using namespace kinrec::detail;

namespace {

void Run(benchmark::State& state, CsvLineParser parse, const std::vector<std::string>& lines) {
    char buf[1024];
    SampleRecord rec{};
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& l = lines[i];
        std::memcpy(buf, l.c_str(), l.size() + 1);
        std::int64_t peak = 0;
        benchmark::DoNotOptimize(parse(buf, &rec, &peak));
        benchmark::DoNotOptimize(rec);
        i = (i + 1) % lines.size();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

std::vector<std::string> CountLines() {
    std::vector<std::string> v;
    for (int i = 0; i < 256; ++i) {
        v.push_back(std::to_string(917418209 + i * 20000) + "," + std::to_string(7401 - i) +
                    ",-295," + std::to_string(3598 + 3 * i) + ",66,-" + std::to_string(49 + i) +
                    ",47\n");
    }
    return v;
}

std::vector<std::string> PhysicalLines() {
    std::vector<std::string> v;
    for (int i = 0; i < 256; ++i) {
        v.push_back(std::to_string(917418209 + i * 20000) + "," + std::to_string(i) +
                    ",0.903545,-0.0" + std::to_string(36132 + i) + ",0.439224,1.013036,-" +
                    std::to_string(i) + ".755306,0.729441\n");
    }
    return v;
}

void BM_ParseCsvCounts(benchmark::State& state) {
    Run(state, ParseCsvCounts, CountLines());
}
BENCHMARK(BM_ParseCsvCounts);

void BM_ParseCsvPhysical(benchmark::State& state) {
    Run(state, ParseCsvPhysical, PhysicalLines());
}
BENCHMARK(BM_ParseCsvPhysical);

void BM_ParseCsvCounts100(benchmark::State& state) {
    Run(state, ParseCsvCounts100, CountLines());
}
BENCHMARK(BM_ParseCsvCounts100);

} // namespace
