// The executable's own path on Linux: the /proc/self/exe link.
#include "app/Platform.h"

#include <unistd.h>

namespace platform {

std::string ExecutablePath() {
    std::string buf(256, '\0');
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            return std::string();
        }
        if (static_cast<std::size_t>(n) < buf.size()) {
            buf.resize(static_cast<std::size_t>(n));
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

} // namespace platform
