// One CSV line parser (chosen at build time) on arbitrary lines, delivered as the line
// reader delivers them: at most 1023 characters and a terminating NUL.
#include "input/CsvParsers.h"

#include <cstdlib>
#include <cstring>

using namespace kinrec::detail;

#ifndef KINREC_FUZZ_PARSER
#error "KINREC_FUZZ_PARSER names the parser to fuzz"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    char line[1024];
    const std::size_t n = size < 1023 ? size : 1023;
    std::memcpy(line, data, n);
    line[n] = '\0';
    char copy[1024];
    std::memcpy(copy, line, n + 1);
    SampleRecord rec{1, 2, 3, 4, 5, 6};
    std::int64_t peak = 0;
    const int status = KINREC_FUZZ_PARSER(line, &rec, &peak);
    if (status != 0 && status != -1) {
        std::abort();
    }
    if (peak != 0 && peak >= -32768 && peak <= 32767) {
        std::abort(); // only a value beyond 16 bits is a wrap
    }
    const SampleRecord untouched{1, 2, 3, 4, 5, 6};
    if (status == -1 && std::memcmp(&rec, &untouched, sizeof rec) != 0) {
        std::abort(); // a rejected line leaves the record alone
    }
    if (std::memcmp(line, copy, n + 1) != 0) {
        std::abort(); // the parsers read the line without changing it
    }
    return 0;
}
