// The library's own table as a door: CPU time of FromCounts and FromFile into a
// kinrec::Table, least of several turns, for bench/library_bench.py (not a test).
//
//   table_bench RECORDING [TURNS]
//
// RECORDING is a counts CSV file (FILETYPE 1). Its samples are loaded once (not timed)
// for FromCounts; each turn converts them, and the file, anew. Prints
// "FromCounts <s>" and "FromFile <s>", process CPU seconds (every thread's).
#include "kinrec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <class F>
double Least(int turns, F&& convert) {
    double least = 1e300;
    for (int i = 0; i < turns; ++i) {
        const double start = CpuSeconds();
        convert();
        least = std::min(least, CpuSeconds() - start);
    }
    return least;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: table_bench RECORDING [TURNS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int turns = argc > 2 ? std::atoi(argv[2]) : 7;
    // The raw counts are the table's first six columns.
    const kinrec::Table loaded = kinrec::FromFile(path);
    std::vector<std::int16_t> ch[6];
    for (int c = 0; c < 6; ++c) {
        for (const std::int32_t v : loaded.columns[static_cast<std::size_t>(c)]) {
            ch[c].push_back(static_cast<std::int16_t>(v));
        }
    }
    const std::size_t n = ch[0].size();
    const kinrec::Recording<std::int16_t> rec{{ch[0].data(), n}, {ch[1].data(), n},
                                              {ch[2].data(), n}, {ch[3].data(), n},
                                              {ch[4].data(), n}, {ch[5].data(), n}};
    std::size_t rows = 0;
    const double counts = Least(turns, [&] { rows += kinrec::FromCounts(rec).Rows(); });
    const double file = Least(turns, [&] { rows += kinrec::FromFile(path).Rows(); });
    if (rows != 2 * static_cast<std::size_t>(turns) * n) {
        std::fprintf(stderr, "table_bench: rows missing\n");
        return 1;
    }
    std::printf("FromCounts %.4f\nFromFile %.4f\n", counts, file);
    return 0;
}
