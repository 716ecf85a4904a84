// What the console needs from the operating system besides the file system (the
// library's floor, disk/Disk.h), one implementation per platform.
#ifndef KINREC_PLATFORM_H
#define KINREC_PLATFORM_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// The full path of the running executable, or "" when the system does not tell.
std::string ExecutablePath();

// Makes sure standard input, output and error are open (onto the null device where a
// caller closed them), so that no file kinrec opens takes their place.
void OpenStandardStreams();

// Whether standard error is a terminal (progress is shown only there).
bool StderrIsTerminal();

// How many CPUs this process may run on (its affinity), at least 1.
int UsableCpuCount();

// Sets up Ctrl-C and termination handling: when one arrives, cleanup runs once (on a
// thread of its own, so it may lock) and the process then ends as the signal or event
// would have ended it. Signals the caller set to be ignored stay ignored; exceeding the
// file-size limit fails a write instead of ending the process. Call before starting
// any other thread.
void HandleInterrupts(void (*cleanup)());

// Standard output's reader is gone (a broken pipe, as under "kinrec -r | head"): ends
// the process as the broken pipe's signal would have ended it, when the caller left
// that signal alone. Returns when there is no such signal or the caller ignored it.
// HandleInterrupts sets it up.
void EndForBrokenPipe();

} // namespace platform

#endif
