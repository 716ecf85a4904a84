// Line-by-line reading of a text file in pieces of at most 1023 characters, the way a
// 1024-byte line buffer reads: a piece ends after its newline, at the limit, or at the
// end of the file, and a longer line arrives as several pieces.
//
// The file is read as bytes on every platform, so a CR LF file gives the same pieces on
// Linux and on Windows (the CR stays in the piece; the number parsers stop at it).
#ifndef KINREC_LINE_READER_H
#define KINREC_LINE_READER_H

#include <cstddef>
#include <cstdio>
#include <vector>

namespace kinrec::detail {

class LineReader {
  public:
    static constexpr std::size_t kMaxPiece = 1023;

    explicit LineReader(std::FILE* file, std::size_t bufferSize = std::size_t{1} << 18);

    // The next piece, NUL-terminated and writable until the next call; null at the end
    // of the file, or once reading failed.
    char* Next();
    // The errno of a failed read (0 when the end was reached without one): what was read
    // before it is delivered, and reading stops there.
    int Error() const { return error_; }

    // The unread bytes, for a caller that reads a line in place: at least want of them
    // (want <= kMaxPiece), reading more when fewer are buffered; null when the file has
    // fewer left (Next delivers them). They stay valid until the next call.
    const char* Peek(std::size_t want) {
        if (held_ == 0 && end_ - pos_ >= want) {
            return buf_.data() + pos_;
        }
        return PeekSlow(want);
    }
    // The end of the bytes the last Peek showed, all of them buffered, for a caller that
    // reads several lines in place.
    const char* PeekEnd() const { return buf_.data() + end_; }
    // Takes the bytes before end, lines that Peek showed, as read.
    void Skip(const char* end) { pos_ = static_cast<std::size_t>(end - buf_.data()); }

  private:
    bool Refill();
    void PutBackHeld();
    const char* PeekSlow(std::size_t want);

    std::FILE* file_;
    std::vector<char> buf_; // one byte more than is read, for the terminating NUL
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    int error_ = 0;
    // The piece is terminated in place; the byte the NUL covers is put back next time.
    std::size_t held_ = 0;
    char heldByte_ = '\0';
};

} // namespace kinrec::detail

#endif
