// The readers of other layouts timed, for bench/load_bench.py (not a test):
//
//   read_samples_time make ROOT FILES SECONDS   a SisFall tree of FILES trials of SECONDS
//                                               each at 200 Hz, and beside it ROOT-ft2/
//                                               with the same samples as physical CSV
//                                               files (FILETYPE 2) and their kinrec.cnf
//   read_samples_time read LAYOUT FILE REPEAT   median seconds of ReadSamples
//   read_samples_time dataset NAME ROOT WORKERS seconds to find and convert every trial
//                                               on WORKERS threads, each on its own
#include "kinrec.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// A deterministic wander about 1 g on z with now and then an impact, in counts.
struct Motion {
    std::uint64_t state;
    int a[3] = {0, 0, 256};
    int g[3] = {0, 0, 0};
    int Next(int range) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(2 * range + 1)) - range;
    }
    void Step(long k) {
        for (int i = 0; i < 3; ++i) {
            a[i] = std::clamp(a[i] + Next(6), (i == 2 ? 256 : 0) - 200, (i == 2 ? 256 : 0) + 200);
            g[i] = std::clamp(g[i] + Next(40), -3000, 3000);
        }
        if (k % 1500 == 752) {
            a[0] = 1800; // about 7 g: beyond the counts' +-4 g
        }
    }
};

int Make(const std::string& root, int files, int seconds) {
    namespace fs = std::filesystem;
    const std::string ft2 = root + "-ft2";
    fs::create_directories(ft2);
    std::ofstream(ft2 + "/kinrec.cnf") << "FILETYPE 2\nRESAMPLECOUNT 4\nSAMPLINGFREQUENCY 50\n";
    const long n = 200L * seconds;
    std::string sis, phys;
    char line[160];
    for (int f = 0; f < files; ++f) {
        const int subject = 1 + f % 38;
        const bool fall = f % 3 == 0;
        char name[64];
        std::snprintf(name, sizeof name, "%s%02d_S%c%02d_R%02d", fall ? "F" : "D",
                      1 + (f / 38) % 15, subject > 23 ? 'E' : 'A', subject, 1 + f / (38 * 15));
        const std::string folder = name + 4;
        fs::create_directories(root + "/" + folder.substr(0, 4));
        Motion m{static_cast<std::uint64_t>(f) + 1};
        sis.clear();
        phys = "time_s,source_row,acc_x_g,acc_y_g,acc_z_g,gyro_x_dps,gyro_y_dps,gyro_z_dps\n";
        for (long k = 0; k < n; ++k) {
            m.Step(k);
            std::snprintf(line, sizeof line, " %d,%d,%d,%d,%d,%d,%d,%d,%d;\n", m.a[0], m.a[1],
                          m.a[2], m.g[0], m.g[1], m.g[2], m.a[0] * 4, m.a[1] * 4, m.a[2] * 4);
            sis += line;
            std::snprintf(line, sizeof line, "%.10g,%ld,%.10g,%.10g,%.10g,%.10g,%.10g,%.10g\n",
                          static_cast<double>(k) / 200.0, k, m.a[0] / 256.0, m.a[1] / 256.0,
                          m.a[2] / 256.0, m.g[0] / 16.384, m.g[1] / 16.384, m.g[2] / 16.384);
            phys += line;
        }
        std::ofstream(root + "/" + folder.substr(0, 4) + "/" + name + ".txt") << sis;
        std::ofstream(ft2 + "/" + name + ".csv") << phys;
    }
    std::printf("%d files of %ld lines in %s and %s\n", files, n, root.c_str(), ft2.c_str());
    return 0;
}

int Read(const std::string& layout, const std::string& file, int repeat) {
    kinrec::ReadOptions o;
    o.layout = layout;
    std::vector<double> times;
    std::size_t samples = 0;
    for (int r = 0; r < repeat; ++r) {
        const Clock::time_point t0 = Clock::now();
        samples = kinrec::ReadSamples({file}, o).Size();
        times.push_back(Since(t0));
    }
    std::sort(times.begin(), times.end());
    std::printf("%.6f s median of %d, %zu samples\n", times[times.size() / 2], repeat, samples);
    return 0;
}

int DataSet(const std::string& name, const std::string& root, int workers) {
    const Clock::time_point t0 = Clock::now();
    const std::vector<kinrec::Trial> trials = kinrec::FindTrials(name, root);
    std::atomic<std::size_t> next{0};
    std::atomic<std::int64_t> rows{0}, beyond{0};
    std::vector<std::thread> pool;
    for (int w = 0; w < workers; ++w) {
        pool.emplace_back([&] {
            for (std::size_t k; (k = next++) < trials.size();) {
                const kinrec::TrialTable t = kinrec::ConvertTrial(name, trials[k]);
                rows += static_cast<std::int64_t>(t.table.Rows());
                beyond += t.beyondRange;
            }
        });
    }
    for (std::thread& t : pool) {
        t.join();
    }
    std::printf("%.3f s, %zu trials, %lld rows, %lld samples beyond the range\n", Since(t0),
                trials.size(), static_cast<long long>(rows.load()),
                static_cast<long long>(beyond.load()));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    try {
        if (a.size() == 4 && a[0] == "make") {
            return Make(a[1], std::stoi(a[2]), std::stoi(a[3]));
        }
        if (a.size() == 4 && a[0] == "read") {
            return Read(a[1], a[2], std::stoi(a[3]));
        }
        if (a.size() == 4 && a[0] == "dataset") {
            return DataSet(a[1], a[2], std::stoi(a[3]));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "read_samples_time: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: read_samples_time make ROOT FILES SECONDS | read LAYOUT FILE "
                         "REPEAT | dataset NAME ROOT WORKERS\n");
    return 2;
}
