#include "app/Console.h"

#include "app/Progress.h"

#include <cstdio>
#include <system_error>

namespace {

void Write(bool err, const std::string& text) {
    progress::Clear();
    // A console that cannot be written has nowhere to say so; main checks standard
    // output once more at the end.
    if (err) {
        // What went before on standard output comes first where both share a file.
        (void)std::fflush(stdout);
        (void)std::fwrite(text.data(), 1, text.size(), stderr);
    } else {
        (void)std::fwrite(text.data(), 1, text.size(), stdout);
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
    static Console console;
    return console;
}

std::string ErrorText(int err) {
    return std::generic_category().message(err);
}
