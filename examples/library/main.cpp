// Features of a recording held in memory: two seconds of a sensor lying still, then a
// drop. Prints the column names and every tenth row from the second second on.
//
//   cmake -S examples/library -B build-example -DCMAKE_PREFIX_PATH=<where kinrec is installed>
//   cmake --build build-example && build-example/library_example
#include "kinrec.h"

#include <cmath>
#include <cstdio>
#include <vector>

int main() {
    const std::size_t n = 150; // 3 s at 50 Hz
    std::vector<double> ax(n), ay(n), az(n), gx(n), gy(n), gz(n);
    for (std::size_t i = 0; i < n; ++i) {
        const bool falling = i >= 100 && i < 115;
        az[i] = falling ? 0.1 : 1.0;                                            // [g]
        gx[i] = falling ? 200.0 * std::sin(0.2 * static_cast<double>(i)) : 0.0; // [deg/s]
    }
    kinrec::Recording<double> rec;
    rec.accX = {ax.data(), n};
    rec.accY = {ay.data(), n};
    rec.accZ = {az.data(), n};
    rec.gyroX = {gx.data(), n};
    rec.gyroY = {gy.data(), n};
    rec.gyroZ = {gz.data(), n};

    kinrec::Settings settings;
    settings.RmsDiffOut = 0;
    settings.PostureDiffOut = 0;
    try {
        const kinrec::Table t = kinrec::FromPhysical(rec, settings);
        std::printf("sample");
        for (const std::string& name : t.names) {
            std::printf(",%s", name.c_str());
        }
        std::printf("\n");
        for (std::size_t r = 50; r < t.Rows(); r += 10) {
            std::printf("%lld", static_cast<long long>(t.samples[r]));
            for (const std::vector<std::int32_t>& column : t.columns) {
                std::printf(",%d", static_cast<int>(column[r]));
            }
            std::printf("\n");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "library_example: %s\n", e.what());
        return 1;
    }
    return 0;
}
