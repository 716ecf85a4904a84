// Shared pieces of the fuzz harnesses: a scratch directory and writing a file.
#ifndef KINREC_FUZZ_SUPPORT_H
#define KINREC_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// A directory of this process's own, made once; standard output goes to /dev/null so
// that the console echo does not flood the fuzzer's log.
inline const std::string& Scratch() {
    static const std::string dir = [] {
        std::freopen("/dev/null", "w", stdout);
        char templ[] = "/tmp/kinrec-fuzz-XXXXXX";
        if (mkdtemp(templ) == nullptr) {
            std::abort();
        }
        return std::string(templ);
    }();
    return dir;
}

inline void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::abort();
    }
    if (size > 0) {
        std::fwrite(data, 1, size, f);
    }
    std::fclose(f);
}

inline std::string ReadBytes(const std::string& path) {
    std::string s;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        return s;
    }
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) {
        s.append(buf, n);
    }
    std::fclose(f);
    return s;
}

} // namespace fuzz

#endif
