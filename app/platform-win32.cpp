// The platform layer on Windows: the kernel's find and module calls.
#include "app/Platform.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

// Arguments reach main as typed: a selector such as *.csv is kinrec's to expand, not
// the C runtime's.
extern "C" {
int _dowildcard = 0;
}

namespace platform {

std::string ExecutablePath() {
    std::string buf(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, &buf[0], static_cast<DWORD>(buf.size()));
        if (n == 0) {
            return std::string();
        }
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

void OpenStandardStreams() {
    // A Windows process without standard handles writes into nothing: no file can take
    // their place.
}

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

int UsableCpuCount() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) == 0) {
        return 1;
    }
    int n = 0;
    for (; process != 0; process &= process - 1) {
        ++n;
    }
    return n > 0 ? n : 1;
}

namespace {

void (*interruptCleanup)() = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        interruptCleanup();
        return FALSE; // the default handler ends the process with its usual status
    default:
        return FALSE;
    }
}

} // namespace

void HandleInterrupts(void (*cleanup)()) {
    interruptCleanup = cleanup;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void EndForBrokenPipe() {
    // No signal for it here: the run goes on and fails at its end.
}

} // namespace platform
