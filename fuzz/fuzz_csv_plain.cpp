// The plain-line reader, and the batch readers built on it, against the layouts'
// parsers on arbitrary bytes: a line it takes must be one whole piece of the line reader
// and read exactly as the counts and hundreds parsers read that piece, wrap included.
// The bytes sit at the end of an allocation of kPlainLineMax, so a read past its bound is
// caught.
#include "input/CsvParsers.h"

#include <cstdlib>
#include <cstring>
#include <memory>

using namespace kinrec::detail;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t n = size < kPlainLineMax ? size : kPlainLineMax;
    const std::unique_ptr<char[]> bytes(new char[kPlainLineMax]);
    std::memset(bytes.get(), '7', kPlainLineMax); // digits after the input, to run on
    std::memcpy(bytes.get(), data, n);
    std::int32_t v[6];
    const char* end = ParsePlainLine(bytes.get(), v);
    // The batch readers take the line as the line reader does, or leave it alone.
    const char* const bound = bytes.get() + kPlainLineMax;
    SampleRecord batch[2][2] = {};
    std::int64_t batchPeak[2] = {0, 0};
    for (int l = 0; l < 2; ++l) {
        std::size_t taken = 9;
        const char* to = PlainLinesReaderFor(l == 0 ? 1 : 3)(bytes.get(), bound, batch[l], 2,
                                                             &taken, &batchPeak[l]);
        if (taken != (end != nullptr ? 1u : 0u) || to != (end != nullptr ? end : bytes.get())) {
            std::abort();
        }
    }
    if (end == nullptr) {
        return 0; // the general way reads it
    }
    const auto len = static_cast<std::size_t>(end - bytes.get());
    if (len > kPlainLineMax || len > 1023) {
        std::abort();
    }
    // The piece the line reader would deliver: up to the first newline, NUL-terminated.
    const void* nl = std::memchr(bytes.get(), '\n', len);
    if (nl == nullptr || static_cast<const char*>(nl) != end - 1) {
        std::abort();
    }
    char line[kPlainLineMax + 1];
    std::memcpy(line, bytes.get(), len);
    line[len] = '\0';
    if (!IsSampleLine(line)) {
        std::abort();
    }
    const struct {
        CsvLineParser parse;
        CountsLayout store;
    } layouts[2] = {{ParseCsvCounts, StoreCounts}, {ParseCsvCounts100, StoreCounts100}};
    for (int k = 0; k < 2; ++k) {
        const auto& l = layouts[k];
        SampleRecord general{1, 2, 3, 4, 5, 6};
        SampleRecord plain{1, 2, 3, 4, 5, 6};
        std::int64_t generalPeak = 0;
        std::int64_t plainPeak = 0;
        if (l.parse(line, &general, &generalPeak) != 0) {
            std::abort();
        }
        l.store(v, &plain, &plainPeak);
        if (std::memcmp(&general, &plain, sizeof plain) != 0 || generalPeak != plainPeak) {
            std::abort();
        }
        if (std::memcmp(&general, &batch[k][0], sizeof plain) != 0 || generalPeak != batchPeak[k]) {
            std::abort();
        }
    }
    return 0;
}
