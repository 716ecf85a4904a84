#include "features/DsvOutput.h"

#include <utility>

DsvOutput::DsvOutput(DsvOutput&& other) noexcept
    : file_(std::exchange(other.file_, nullptr)), buf_(std::move(other.buf_)),
      len_(std::exchange(other.len_, 0)), failed_(other.failed_) {}

DsvOutput& DsvOutput::operator=(DsvOutput&& other) noexcept {
    if (this != &other) {
        Close();
        file_ = std::exchange(other.file_, nullptr);
        buf_ = std::move(other.buf_);
        len_ = std::exchange(other.len_, 0);
        failed_ = other.failed_;
    }
    return *this;
}

DsvOutput::~DsvOutput() {
    Close();
}

bool DsvOutput::Open(const char* path) {
    Close();
    failed_ = false;
    file_ = std::fopen(path, "w+");
    if (file_ == nullptr) {
        return false;
    }
    if (!buf_) {
        buf_.reset(new char[kBufferSize]);
    }
    len_ = 0;
    return true;
}

void DsvOutput::Write(const char* data, std::size_t n) {
    if (!failed_ && std::fwrite(data, 1, n, file_) != n) {
        failed_ = true;
    }
}

void DsvOutput::Flush() {
    if (len_ > 0) {
        Write(buf_.get(), len_);
        len_ = 0;
    }
}

bool DsvOutput::Close() {
    if (file_ == nullptr) {
        return !failed_;
    }
    Flush();
    if (std::fflush(file_) != 0) {
        failed_ = true;
    }
    if (std::fclose(file_) != 0) {
        failed_ = true;
    }
    file_ = nullptr;
    return !failed_;
}
