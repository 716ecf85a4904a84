// The executable's own path on macOS.
#include "app/Platform.h"

#include <cstdint>
#include <mach-o/dyld.h>

namespace platform {

std::string ExecutablePath() {
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::string buf(size, '\0');
    if (_NSGetExecutablePath(&buf[0], &size) != 0) {
        return std::string();
    }
    buf.resize(buf.find('\0'));
    return buf;
}

} // namespace platform
