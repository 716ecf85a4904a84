#include "Process.h"
#include "TempDir.h"

#include <stdexcept>
#include <thread>
#include <windows.h>

namespace {

// One argument quoted the way the C runtime splits a command line again.
std::string Quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
        return arg;
    }
    std::string q = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            q.append(backslashes * 2 + 1, '\\');
        } else {
            q.append(backslashes, '\\');
        }
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, '\\');
    q += '"';
    return q;
}

std::string Drain(HANDLE h) {
    std::string s;
    char buf[65536];
    DWORD n = 0;
    while (ReadFile(h, buf, sizeof buf, &n, nullptr) != 0 && n > 0) {
        s.append(buf, n);
    }
    return s;
}

// A job that every program the tests start joins: its processes end when the test
// process does (its handle closes then), so a test CTest kills for its time limit leaves
// no kinrec.exe behind.
HANDLE KillOnCloseJob() {
    static const HANDLE job = [] {
        HANDLE h = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (h == nullptr || SetInformationJobObject(h, JobObjectExtendedLimitInformation, &limits,
                                                    sizeof limits) == 0) {
            throw std::runtime_error("cannot make a job object");
        }
        return h;
    }();
    return job;
}

} // namespace

RunResult RunProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& cwd, bool /*unprivileged*/) {
    SECURITY_ATTRIBUTES sa{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &sa, 0) || !CreatePipe(&errRead, &errWrite, &sa, 0)) {
        throw std::runtime_error("CreatePipe failed");
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    std::string cmd = Quote(exe);
    for (const std::string& a : args) {
        cmd += " " + Quote(a);
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi{};
    // Started suspended, so that it is in the job before it can start anything itself.
    // Wine now and then fails to create a process that starts the next moment (a CI run
    // saw it once in some 150 starts of one test): a start, not the program, is tried
    // again, and a lasting failure names its error.
    DWORD error = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                           cwd.c_str(), &si, &pi)) {
            error = 0;
            break;
        }
        error = GetLastError();
        Sleep(100);
    }
    if (error != 0) {
        throw std::runtime_error("CreateProcess failed for " + exe + " (error " +
                                 std::to_string(error) + ")");
    }
    if (AssignProcessToJobObject(KillOnCloseJob(), pi.hProcess) == 0) {
        TerminateProcess(pi.hProcess, 1);
        throw std::runtime_error("cannot put " + exe + " into the test's job");
    }
    ResumeThread(pi.hThread);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    RunResult r;
    std::thread errThread([&] { r.err = Drain(errRead); });
    r.out = Drain(outRead);
    errThread.join();
    // The console is a text stream: CR LF line ends here, compared as LF.
    r.out = FoldCrLf(r.out);
    r.err = FoldCrLf(r.err);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    r.status = static_cast<int>(code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(outRead);
    CloseHandle(errRead);
    return r;
}

bool UnderEmulator() {
    // Wine's ntdll has exports of its own.
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void CopyExecutable(const std::string& from, const std::string& to) {
    if (CopyFileA(from.c_str(), to.c_str(), FALSE) == 0) {
        throw std::runtime_error("cannot copy " + from);
    }
}
