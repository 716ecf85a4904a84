// Runs a program the way a user's shell would and collects what it prints.
#ifndef KINREC_TESTS_PROCESS_H
#define KINREC_TESTS_PROCESS_H

#include <string>
#include <vector>

struct RunResult {
    int status = -1; // exit status; -1 when the program did not exit normally
    std::string out; // standard output
    std::string err; // standard error
};

// unprivileged: when running as the superuser, run the program as an ordinary user
// instead, so that file permissions apply to it. The program ends with the test process:
// a test killed for its time limit leaves nothing running.
RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& cwd, bool unprivileged = false);

#ifndef _WIN32
// In a forked child: replaces it with exe run with args (through the emulator's launcher
// in a cross build), ending with its parent; exits 127 when it cannot.
[[noreturn]] void ExecProgram(const std::string& exe, const std::vector<std::string>& args);

// Whether the ordinary user that RunProgram(..., true) switches to can reach path (search
// every directory on the way) and execute or enter it. Always true when not the superuser.
bool ReachableUnprivileged(const std::string& path);
#endif

// Whether programs built here run under an emulator (qemu-user for a cross build, Wine
// for Windows): several times slower, so the heaviest cases use smaller inputs there.
bool UnderEmulator();

// Copies a file, keeping it executable.
void CopyExecutable(const std::string& from, const std::string& to);

#endif
