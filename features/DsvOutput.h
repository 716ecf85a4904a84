// The table's output stream: a text-mode file (CR LF line ends where the platform's text
// streams write them) behind a large buffer into which rows are formatted directly.
// A failed write is remembered, so that the conversion can be reported as failed.
#ifndef KINREC_DSV_OUTPUT_H
#define KINREC_DSV_OUTPUT_H

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

class DsvOutput {
  public:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 16;
    static constexpr std::size_t kRowReserve = 512; // more than any row

    DsvOutput() = default;
    DsvOutput(const DsvOutput&) = delete;
    DsvOutput& operator=(const DsvOutput&) = delete;
    DsvOutput(DsvOutput&& other) noexcept;
    DsvOutput& operator=(DsvOutput&& other) noexcept;
    ~DsvOutput();

    // Creates or truncates the file; false when it cannot be created.
    bool Open(const char* path);
    // Flushes and closes; false when any write or the close failed.
    bool Close();
    bool Failed() const { return failed_; }
    bool IsOpen() const { return file_ != nullptr; }

    // Makes room for one row; call before the Put calls of each row.
    void Reserve() {
        if (kBufferSize - len_ < kRowReserve) {
            Flush();
        }
    }
    void PutText(const char* s) {
        const std::size_t n = std::strlen(s);
        if (kBufferSize - len_ < n) {
            Flush();
        }
        if (n > kBufferSize) {
            Write(s, n);
            return;
        }
        std::memcpy(buf_.get() + len_, s, n);
        len_ += n;
    }
    void PutChar(char c) { buf_[len_++] = c; }
    void PutInt(std::int32_t v) {
        char* p = buf_.get() + len_;
        len_ = static_cast<std::size_t>(std::to_chars(p, p + 12, v).ptr - buf_.get());
    }

  private:
    void Flush();
    void Write(const char* data, std::size_t n);

    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buf_;
    std::size_t len_ = 0;
    bool failed_ = false;
};

#endif
