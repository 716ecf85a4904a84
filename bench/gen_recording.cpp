// Writes synthetic but realistic recordings for the whole-run benchmark.
//
//   gen_recording counts|physical|hundreds|dataset <samples> <file> [seed] [random]
//   gen_recording tree <dir> <files> <samples>     (counts CSV files, 100 per folder)
//
// The motion: a sensor worn at the waist, slowly tilting and turning (walking-like
// oscillation), with sensor noise and now and then a short impact. Deterministic for a
// given seed. With "random", every channel is uniform noise over the whole count range.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/stat.h>

namespace {

struct Motion {
    explicit Motion(unsigned seed) : gen(seed) {}

    // The next sample in physical units: g and deg/s.
    void Next(double a[3], double g[3]) {
        const double t = n++ * 0.02;
        const double step = std::sin(t * 2 * 3.14159 * 1.8);
        const double tilt = 0.3 * std::sin(t * 0.11);
        a[0] = 0.15 * step + 0.02 * noise(gen);
        a[1] = std::sin(tilt) + 0.02 * noise(gen);
        a[2] = std::cos(tilt) + 0.25 * step * step + 0.02 * noise(gen);
        g[0] = 40 * std::cos(t * 2 * 3.14159 * 1.8) + 2 * noise(gen);
        g[1] = 15 * std::sin(t * 0.7) + 2 * noise(gen);
        g[2] = 25 * std::sin(t * 0.05) + 2 * noise(gen);
        if (n % 3000 < 10) { // an impact
            a[0] += 2.5 * noise(gen);
            a[2] -= 1.5;
            g[1] += 300 * noise(gen);
        }
    }
    std::mt19937 gen;
    std::normal_distribution<double> noise{0.0, 1.0};
    long n = 0;
};

int Counts(double v, double factor) {
    const double c = std::trunc(v * factor);
    return c > 32767 ? 32767 : (c < -32768 ? -32768 : static_cast<int>(c));
}

bool Write(const std::string& kind, long samples, const char* path, unsigned seed,
           bool random = false) {
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr) {
        return false;
    }
    static char buf[1 << 16];
    std::setvbuf(f, buf, _IOFBF, sizeof buf);
    Motion m(seed);
    double a[3], g[3];
    if (kind == "dataset") {
        char header[24] = "QM DataSet V1.0.0";
        header[20] = 24;
        std::fwrite(header, 1, sizeof header, f);
    } else if (kind == "physical") {
        std::fputs("time_s,index,ax_g,ay_g,az_g,gx_dps,gy_dps,gz_dps\n", f);
    } else {
        std::fputs("time_ms,ax,ay,az,gx,gy,gz\n", f);
    }
    for (long i = 0; i < samples; ++i) {
        m.Next(a, g);
        if (random) {
            std::uniform_int_distribution<int> count(-32768, 32767);
            for (int k = 0; k < 3; ++k) {
                a[k] = count(m.gen) / 8192.0;
                g[k] = count(m.gen) / 65.536;
            }
        }
        const int c[6] = {Counts(a[0], 8192),   Counts(a[1], 8192),   Counts(a[2], 8192),
                          Counts(g[0], 65.536), Counts(g[1], 65.536), Counts(g[2], 65.536)};
        if (kind == "dataset") {
            unsigned char rec[12];
            for (int k = 0; k < 6; ++k) {
                const unsigned u = static_cast<unsigned>(c[k]) & 0xFFFFu;
                rec[2 * k] = static_cast<unsigned char>(u & 0xFF);
                rec[2 * k + 1] = static_cast<unsigned char>(u >> 8);
            }
            std::fwrite(rec, 1, sizeof rec, f);
        } else if (kind == "physical") {
            std::fprintf(f, "%.3f,%ld,%.6f,%.6f,%.6f,%.4f,%.4f,%.4f\n", i * 0.02, i, a[0], a[1],
                         a[2], g[0], g[1], g[2]);
        } else if (kind == "hundreds") {
            std::fprintf(f, "%ld,%d,%d,%d,%d,%d,%d\n", i * 20, c[0] / 100, c[1] / 100, c[2] / 100,
                         c[3] / 100, c[4] / 100, c[5] / 100);
        } else {
            std::fprintf(f, "%ld,%d,%d,%d,%d,%d,%d\n", i * 20, c[0], c[1], c[2], c[3], c[4], c[5]);
        }
    }
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "tree") == 0) {
        const std::string dir = argv[2];
        const long files = std::atol(argv[3]);
        const long samples = std::atol(argv[4]);
        mkdir(dir.c_str(), 0755);
        for (long i = 0; i < files; ++i) {
            const std::string sub = dir + "/d" + std::to_string(i / 100);
            mkdir(sub.c_str(), 0755);
            const std::string path = sub + "/r" + std::to_string(i) + ".csv";
            if (!Write("counts", samples, path.c_str(), static_cast<unsigned>(i))) {
                return 1;
            }
        }
        return 0;
    }
    if (argc < 4) {
        std::fprintf(
            stderr,
            "usage: gen_recording counts|physical|hundreds|dataset <samples> <file> [seed]\n"
            "       gen_recording tree <dir> <files> <samples>\n");
        return 2;
    }
    const unsigned seed = argc > 4 ? static_cast<unsigned>(std::atoi(argv[4])) : 1u;
    const bool random = argc > 5 && std::strcmp(argv[5], "random") == 0;
    return Write(argv[1], std::atol(argv[2]), argv[3], seed, random) ? 0 : 1;
}
