// The least work a counts recording's table needs, as a yardstick for kinrec: the same
// pipeline functions for the arithmetic, and around them only what cannot be left out.
// The file is read in large blocks and each line parsed in one pass where it lies (the
// generated recordings' shape: digits, commas, minus signs, "\n"), rows are formatted
// with the field table into one buffer, and the buffer is written once per block.
//
//   lean_convert <counts.csv> <table.csv>
//
// Default settings only; the table is byte for byte kinrec's for the same recording.
#include "features/DsvConverter.h"
#include "features/IntFormat.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using namespace kinrec::detail;
using kinrec::Settings;

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 18;
constexpr std::size_t kSlack = 1024; // more than any line, and a row's longest text

class Output : public RowSink {
  public:
    explicit Output(std::FILE* f) : file_(f), buf_(kBlock + kSlack) {}
    void Text(const char* s) {
        const std::size_t n = std::strlen(s);
        std::memcpy(buf_.data() + len_, s, n);
        len_ += n;
    }
    void Row(const std::int32_t* values, int n, std::int64_t /*sample*/) override {
        char* p = intformat::PutFirst(buf_.data() + len_, values[0]);
        for (int c = 1; c < n; ++c) {
            p = intformat::PutField(p, values[c]);
        }
        *p++ = '\n';
        len_ = static_cast<std::size_t>(p - buf_.data());
        if (len_ >= kBlock) {
            Flush();
        }
    }
    bool Flush() {
        const bool ok = std::fwrite(buf_.data(), 1, len_, file_) == len_;
        len_ = 0;
        return ok;
    }

  private:
    std::FILE* file_;
    std::vector<char> buf_;
    std::size_t len_ = 0;
};

// One sample line at p, which ends in '\n' before the buffer does.
const char* ParseLine(const char* p, SampleRecord* rec) {
    while (*p != ',') {
        ++p;
    }
    std::int16_t v[6];
    for (std::int16_t& x : v) {
        ++p;
        const bool negative = *p == '-';
        p += negative ? 1 : 0;
        std::uint32_t u = 0;
        for (unsigned d; (d = static_cast<unsigned char>(*p) - 48u) < 10; ++p) {
            u = u * 10 + d;
        }
        x = WrapInt16(negative ? 0u - u : u);
    }
    while (*p != '\n') {
        ++p;
    }
    *rec = SampleRecord{v[0], v[1], v[2], v[3], v[4], v[5]};
    return p + 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lean_convert <counts.csv> <table.csv>\n");
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    std::FILE* out = std::fopen(argv[2], "wb");
    if (in == nullptr || out == nullptr) {
        std::perror("lean_convert");
        return 1;
    }
    (void)std::setvbuf(in, nullptr, _IONBF, 0);
    (void)std::setvbuf(out, nullptr, _IONBF, 0);

    Settings cfg;
    std::int32_t bias = 0;
    Output table(out);
    auto conv = std::make_unique<DsvConverter>();
    OpenDsvConverter(conv.get(), &cfg, &bias, &table);
    for (int c = 0; c < conv->columnCount; ++c) {
        table.Text(c == 0 ? "" : c < kFixedColumnCount ? "," : ", ");
        table.Text(conv->names[c]);
    }
    table.Text("\n");

    // Lines are parsed while a whole one is sure to be buffered; the rest moves to the
    // front before the next block. After the last block a '\n' ends an unended line.
    std::vector<char> buf(kBlock + kSlack + 1);
    std::size_t have = 0;
    bool header = true;
    bool eof = false;
    while (!eof) {
        const std::size_t got = std::fread(buf.data() + have, 1, kBlock, in);
        have += got;
        eof = got < kBlock;
        if (eof && have > 0 && buf[have - 1] != '\n') {
            buf[have++] = '\n';
        }
        const char* p = buf.data();
        const char* const end = buf.data() + have;
        const char* const safe = eof ? end : end - kSlack;
        if (header && p < end) {
            while (*p != '\n') {
                ++p;
            }
            ++p;
            header = false;
        }
        SampleRecord rec{};
        while (p < safe) {
            p = ParseLine(p, &rec);
            WriteDsvRecord(conv.get(), &rec);
        }
        have = static_cast<std::size_t>(end - p);
        std::memmove(buf.data(), p, have);
    }
    const bool ok = table.Flush() && !std::ferror(in) && std::fclose(out) == 0;
    (void)std::fclose(in);
    return ok ? 0 : 1;
}
