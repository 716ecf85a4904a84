#include "input/LineReader.h"

#include <cerrno>
#include <cstring>

namespace kinrec::detail {

LineReader::LineReader(std::FILE* file, std::size_t bufferSize)
    : file_(file), buf_((bufferSize < 2 * kMaxPiece ? 2 * kMaxPiece : bufferSize) + 1) {
    // The file is read in large blocks here: the stream's own buffer would only copy them.
    (void)std::setvbuf(file_, nullptr, _IONBF, 0); // at worst the stream keeps buffering
}

bool LineReader::Refill() {
    if (eof_) {
        return false;
    }
    if (pos_ > 0) {
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    const std::size_t want = buf_.size() - 1 - end_;
    errno = 0;
    const std::size_t got = std::fread(buf_.data() + end_, 1, want, file_);
    if (got < want && std::ferror(file_) != 0) {
        error_ = errno != 0 ? errno : EIO;
        eof_ = true; // what was read is still delivered, nothing after it
    }
    if (got == 0) {
        eof_ = true;
        return false;
    }
    end_ += got;
    return true;
}

void LineReader::PutBackHeld() {
    if (held_ != 0) {
        buf_[held_] = heldByte_;
        held_ = 0;
    }
}

const char* LineReader::PeekSlow(std::size_t want) {
    PutBackHeld();
    if (end_ - pos_ < want && (!Refill() || end_ - pos_ < want)) {
        return nullptr;
    }
    return buf_.data() + pos_;
}

char* LineReader::Next() {
    PutBackHeld();
    for (;;) {
        const std::size_t avail = end_ - pos_;
        const std::size_t window = avail < kMaxPiece ? avail : kMaxPiece;
        const char* start = buf_.data() + pos_;
        const void* nl = std::memchr(start, '\n', window);
        std::size_t piece = 0;
        if (nl != nullptr) {
            piece = static_cast<std::size_t>(static_cast<const char*>(nl) - start) + 1;
        } else if (avail >= kMaxPiece) {
            piece = kMaxPiece;
        } else if (Refill()) {
            continue;
        } else if (avail > 0) {
            piece = avail;
        } else {
            return nullptr;
        }
        char* line = buf_.data() + pos_;
        pos_ += piece;
        held_ = pos_;
        heldByte_ = buf_[pos_];
        buf_[pos_] = '\0';
        return line;
    }
}

} // namespace kinrec::detail
