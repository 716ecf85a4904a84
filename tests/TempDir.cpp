// The platform-independent file helpers of TempDir.h.
#include "TempDir.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        return "<missing>";
    }
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string FoldCrLf(const std::string& raw) {
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) {
            text += raw[i];
        }
    }
    return text;
}
