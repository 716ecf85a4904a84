#include "features/DsvOutput.h"

#include <cerrno>
#include <utility>

namespace kinrec::detail {

DsvOutput::DsvOutput(DsvOutput&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), owned_(other.owned_), buf_(std::move(other.buf_)),
      len_(std::exchange(other.len_, 0)), failed_(other.failed_), error_(other.error_) {}

DsvOutput& DsvOutput::operator=(DsvOutput&& other) noexcept {
    if (this != &other) {
        Close();
        file_ = std::exchange(other.file_, nullptr);
        owned_ = other.owned_;
        buf_ = std::move(other.buf_);
        len_ = std::exchange(other.len_, 0);
        failed_ = other.failed_;
        error_ = other.error_;
    }
    return *this;
}

DsvOutput::~DsvOutput() {
    Close();
}

bool DsvOutput::Open(const char* path) {
    Close();
    errno = 0;
    std::FILE* f = std::fopen(path, "w+");
    if (f == nullptr) {
        failed_ = false;
        error_ = errno;
        return false;
    }
    Open(f);
    owned_ = true;
    return true;
}

void DsvOutput::Open(std::FILE* file) {
    Close();
    failed_ = false;
    error_ = 0;
    file_ = file;
    owned_ = false;
    // Rows are gathered here already: a second buffer in the stream would only copy
    // them once more and split every write in two.
    (void)std::setvbuf(file_, nullptr, _IONBF, 0); // at worst the stream keeps buffering
    if (!buf_) {
        buf_.reset(new char[kBufferSize]);
    }
    len_ = 0;
}

void DsvOutput::Fail() {
    if (!failed_) {
        failed_ = true;
        error_ = errno != 0 ? errno : EIO;
    }
}

void DsvOutput::Write(const char* data, std::size_t n) {
    if (failed_) {
        return; // the table is lost already; the rows only need to go somewhere
    }
    errno = 0;
    if (std::fwrite(data, 1, n, file_) != n) {
        Fail();
    }
}

void DsvOutput::Flush() {
    if (len_ > 0) {
        Write(buf_.get(), len_);
        len_ = 0;
    }
}

bool DsvOutput::Finish() {
    if (file_ == nullptr) {
        return !failed_;
    }
    Flush();
    errno = 0;
    if (!failed_ && std::fflush(file_) != 0) {
        Fail();
    }
    return !failed_;
}

bool DsvOutput::Close() {
    if (file_ == nullptr) {
        return !failed_;
    }
    Finish();
    if (owned_) {
        errno = 0;
        if (std::fclose(file_) != 0) {
            Fail();
        }
    }
    file_ = nullptr;
    return !failed_;
}

void DsvOutput::Abandon() {
    if (owned_ && file_ != nullptr) {
        (void)std::fclose(file_); // given up: what it holds no longer matters
    }
    file_ = nullptr;
    len_ = 0;
}

} // namespace kinrec::detail
