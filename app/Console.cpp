#include "app/Console.h"

#include "app/ProcessState.h"
#include "app/Progress.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>

void NoteStdoutFailure(int err) {
    int none = 0;
    if (Process().stdoutError.compare_exchange_strong(none, err != 0 ? err : EIO) && err == EPIPE) {
        if (void (*handler)() = Process().brokenPipe.load()) {
            handler();
        }
    }
}

namespace {

void Write(bool err, const std::string& text) {
    progress::Clear();
    // Standard error that cannot be written has nowhere to say so; a failure of standard
    // output is noted, said at the end of the run, and a broken pipe handled at once.
    if (err) {
        // What went before on standard output comes first where both share a file.
        errno = 0;
        if (std::fflush(stdout) != 0) {
            NoteStdoutFailure(errno);
        }
        (void)std::fwrite(text.data(), 1, text.size(), stderr);
    } else {
        errno = 0;
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
            NoteStdoutFailure(errno);
        }
    }
}

} // namespace

void Console::Out(const std::string& text) {
    if (keep_) {
        lines_.push_back(Line{false, text});
    } else {
        Write(false, text);
    }
}

void Console::Err(const std::string& text) {
    if (keep_) {
        lines_.push_back(Line{true, text});
    } else {
        Write(true, text);
    }
}

void Console::Fail(const std::string& path, const std::string& reason) {
    Err("kinrec: " + path + ": " + reason + "\n");
}

void Console::Replay() {
    for (const Line& l : lines_) {
        Write(l.err, l.text);
    }
    lines_.clear();
}

std::string Console::Kept(bool err) const {
    std::string text;
    for (const Line& l : lines_) {
        if (l.err == err) {
            text += l.text;
        }
    }
    return text;
}

Console& StdConsole() {
    return Process().console;
}

void OnBrokenPipe(void (*handler)()) {
    Process().brokenPipe = handler;
}

int StdoutError() {
    if (std::ferror(stdout) != 0 && Process().stdoutError == 0) {
        NoteStdoutFailure(EIO);
    }
    return Process().stdoutError;
}

std::string ErrorText(int err) {
    return std::generic_category().message(err);
}
