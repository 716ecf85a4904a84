// The console tool's process-wide state, all of it: what an interrupt, a broken pipe or
// any worker writing to the console must reach from wherever it happens. Nothing else
// in app/ keeps state beyond a call (the platform files keep what a signal's own
// disposition needs), and the library keeps none.
#ifndef KINREC_PROCESS_STATE_H
#define KINREC_PROCESS_STATE_H

#include "app/Console.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

struct ProcessState {
    // The temporary files in the making: an interrupt's cleanup, on a thread of its own,
    // removes them; the lock orders it against their creation and landing.
    std::mutex tempLock;
    std::vector<std::string> temps;

    // Standard output's first failed write (its errno), said at the end of the run, and
    // what a broken pipe calls, once, from whichever thread met it.
    std::atomic<int> stdoutError{0};
    std::atomic<void (*)()> brokenPipe{nullptr};

    // The progress line on standard error, which every thread's text clears first.
    std::atomic<bool> progressOn{false};
    std::mutex progressLock;
    std::size_t progressLength = 0; // characters of the line on the terminal now
    std::chrono::steady_clock::time_point progressShown;

    // The console that writes straight through.
    Console console;
};

// The one ProcessState of the process.
ProcessState& Process();

#endif
