// The table's output stream: a text-mode file (CR LF line ends where the platform's text
// streams write them) behind a large buffer into which rows are formatted directly.
// A failed write is remembered, so that the conversion can be reported as failed.
#ifndef KINREC_DSV_OUTPUT_H
#define KINREC_DSV_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "features/IntFormat.h"

namespace kinrec::detail {

class DsvOutput {
  public:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 18;
    static constexpr std::size_t kRowReserve = 512; // more than any row

    DsvOutput() = default;
    DsvOutput(const DsvOutput&) = delete;
    DsvOutput& operator=(const DsvOutput&) = delete;
    DsvOutput(DsvOutput&& other) noexcept;
    DsvOutput& operator=(DsvOutput&& other) noexcept;
    ~DsvOutput();

    // Creates or truncates the file, which Close closes; false when it cannot be created.
    bool Open(const char* path);
    // Writes into a file open for writing, which stays the caller's: Close flushes it
    // but leaves it open.
    void Open(std::FILE* file);
    // Writes out the buffer and flushes the file; false when any write failed.
    bool Finish();
    // Finishes, and closes the file when it was opened here; false when any write or
    // the close failed.
    bool Close();
    // Lets go of the file without writing what is buffered (the table is given up and
    // its file closed by its owner).
    void Abandon();
    bool Failed() const { return failed_; }
    // The errno of the first failed write, open or close (0 when none).
    int Error() const { return error_; }

    // Room for one row: a cursor to format into, handed back with EndRow. Formatting
    // through a local cursor keeps the buffer's bookkeeping out of the inner loop. Room
    // for a row is kept free after each row and text, so the cursor needs no check.
    char* BeginRow() { return buf_.get() + len_; }
    void EndRow(const char* end) {
        len_ = static_cast<std::size_t>(end - buf_.get());
        KeepRowRoom();
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
        KeepRowRoom();
    }

    // ",<v>" at p; returns the end. Up to 13 bytes at p may be written.
    static char* PutField(char* p, std::int32_t v) { return intformat::PutField(p, v); }
    static char* PutInt(char* p, std::int32_t v) { return intformat::PutFirst(p, v); }

  private:
    void KeepRowRoom() {
        if (kBufferSize - len_ < kRowReserve) {
            Flush();
        }
    }
    void Fail();
    void Flush();
    void Write(const char* data, std::size_t n);

    std::FILE* file_ = nullptr;
    bool owned_ = false; // file_ was opened here
    std::unique_ptr<char[]> buf_;
    std::size_t len_ = 0;
    bool failed_ = false;
    int error_ = 0;
};

} // namespace kinrec::detail

#endif
