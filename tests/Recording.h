// Generated recordings and the worker switch, for the tests of batches.
#ifndef KINREC_TESTS_RECORDING_H
#define KINREC_TESTS_RECORDING_H

#include <cstdint>
#include <cstdlib>
#include <string>

// A deterministic walking-like recording: accelerations near 1 g, rates that mostly
// stay within the bias gate, and now and then a turn that does not.
inline std::string Recording(int samples, std::uint32_t seed) {
    std::string s = "t,ax,ay,az,gx,gy,gz\n";
    std::uint32_t x = seed * 2654435761u + 1u;
    auto next = [&x](int span) {
        x = x * 1664525u + 1013904223u;
        return static_cast<int>((x >> 8) % static_cast<std::uint32_t>(span)) - span / 2;
    };
    for (int i = 0; i < samples; ++i) {
        const int turn = (i / 97) % 5 == 0 ? 1500 : 0;
        s += std::to_string(i) + "," + std::to_string(600 + next(800)) + "," +
             std::to_string(-300 + next(600)) + "," + std::to_string(8100 + next(900)) + "," +
             std::to_string(turn + next(400)) + "," + std::to_string(next(300)) + "," +
             std::to_string(-turn / 2 + next(500)) + "\n";
    }
    return s;
}

// The test hook: how many workers kinrec runs a batch on ("0": its own choice).
inline void SetWorkers(const char* n) {
#ifdef _WIN32
    _putenv_s("KINREC_TEST_WORKERS", n);
#else
    setenv("KINREC_TEST_WORKERS", n, 1);
#endif
}

#endif
