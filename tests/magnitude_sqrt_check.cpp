// Magnitude (features/Orientation.cpp) takes the root of a single-precision sum of
// squares s as sqrt in double, rounded to single precision; the tables were defined with
// pow(s, 0.5) instead. This program shows the two equal bit for bit for every value s
// can take: each non-negative float from +0 to +inf (a sum of squares is never -0, where
// pow and sqrt would differ) and a NaN (NaN in, NaN out).
//
// Prints "checked N values, 0 differ" and exits 0, or lists the first differences and
// exits 1. Every float is checked, split over the machine's threads.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <limits>
#include <thread>
#include <vector>

namespace {

// Read through a volatile, so that the compiler cannot see the 0.5 and turn the pow
// calls into square roots.
volatile double gHalf = 0.5;

constexpr std::uint32_t kLast = 0x7f800000u; // +inf
constexpr std::size_t kShown = 5;

std::uint32_t Bits(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

float FromBits(std::uint32_t u) {
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
}

struct Difference {
    std::uint32_t s, viaPow, viaSqrt;
};

struct Result {
    std::uint64_t checked = 0;
    std::uint64_t differ = 0;
    std::vector<Difference> first; // up to kShown
};

bool Same(float s, double half, Difference* d) {
    const float viaPow = static_cast<float>(std::pow(static_cast<double>(s), half));
    const float viaSqrt = static_cast<float>(std::sqrt(static_cast<double>(s)));
    *d = Difference{Bits(s), Bits(viaPow), Bits(viaSqrt)};
    if (std::isnan(s)) {
        return std::isnan(viaPow) && std::isnan(viaSqrt);
    }
    return d->viaPow == d->viaSqrt;
}

// Bit patterns begin to end - 1.
void CheckRange(std::uint64_t begin, std::uint64_t end, Result* r) {
    const double half = gHalf;
    for (std::uint64_t u = begin; u < end; ++u) {
        Difference d;
        if (!Same(FromBits(static_cast<std::uint32_t>(u)), half, &d)) {
            ++r->differ;
            if (r->first.size() < kShown) {
                r->first.push_back(d);
            }
        }
        ++r->checked;
    }
}

} // namespace

int main() {
    const unsigned workers =
        std::thread::hardware_concurrency() > 0 ? std::thread::hardware_concurrency() : 1u;
    const std::uint64_t total = std::uint64_t{kLast} + 1;
    std::vector<Result> results(workers + 1);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < workers; ++i) {
        const std::uint64_t begin = total * i / workers;
        const std::uint64_t end = total * (i + 1) / workers;
        threads.emplace_back(CheckRange, begin, end, &results[i]);
    }
    for (std::thread& t : threads) {
        t.join();
    }
    Result& nan = results[workers];
    Difference d;
    if (!Same(std::numeric_limits<float>::quiet_NaN(), gHalf, &d)) {
        ++nan.differ;
        nan.first.push_back(d);
    }
    ++nan.checked;

    std::uint64_t checked = 0;
    std::uint64_t differ = 0;
    std::size_t shown = 0;
    std::cout << std::hex << std::setfill('0');
    for (const Result& r : results) {
        checked += r.checked;
        differ += r.differ;
        for (const Difference& x : r.first) {
            if (shown++ < kShown) {
                std::cout << "s = 0x" << std::setw(8) << x.s << ": pow 0x" << std::setw(8)
                          << x.viaPow << ", sqrt 0x" << std::setw(8) << x.viaSqrt << "\n";
            }
        }
    }
    std::cout << std::dec << "checked " << checked << " values, " << differ << " differ"
              << std::endl;
    return differ == 0 ? 0 : 1;
}
