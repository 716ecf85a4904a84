#include "app/Progress.h"

#include "app/ProcessState.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>

namespace progress {

namespace {

void Erase() {
    if (Process().progressLength > 0) {
        // The line is a courtesy: a terminal that refuses it changes nothing else.
        (void)std::fprintf(stderr, "\r%*s\r", static_cast<int>(Process().progressLength), "");
        (void)std::fflush(stderr);
        Process().progressLength = 0;
    }
}

} // namespace

void Enable() {
    Process().progressOn = true;
}

bool Enabled() {
    return Process().progressOn.load(std::memory_order_relaxed);
}

void Show(const std::string& text) {
    if (!Enabled()) {
        return;
    }
    const std::lock_guard<std::mutex> guard(Process().progressLock);
    const auto now = std::chrono::steady_clock::now();
    if (Process().progressLength > 0 &&
        now - Process().progressShown < std::chrono::milliseconds(250)) {
        return;
    }
    Process().progressShown = now;
    Erase();
    (void)std::fputs(text.c_str(), stderr);
    (void)std::fflush(stderr);
    Process().progressLength = text.size();
}

void Clear() {
    if (!Enabled()) {
        return;
    }
    const std::lock_guard<std::mutex> guard(Process().progressLock);
    Erase();
}

FileProgress::~FileProgress() {
    if (shown_) {
        Clear();
    }
}

void FileProgress::Update(long long position) {
    // One terminal line: a long name keeps its end, where the file's own name is.
    constexpr std::size_t kNameRoom = 48;
    std::string text =
        name_.size() <= kNameRoom ? name_ : "..." + name_.substr(name_.size() - (kNameRoom - 3));
    text += ": ";
    if (size_ > 0) {
        const long long percent = position >= size_ ? 100 : position * 100 / size_;
        text += std::to_string(percent) + "%, ";
    }
    text += std::to_string(samples_) + " samples";
    Show(text);
    shown_ = true;
}

} // namespace progress
