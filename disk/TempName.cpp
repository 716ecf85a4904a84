#include "disk/TempName.h"

#include "disk/Disk.h"

namespace kinrec::detail {

namespace {

constexpr std::size_t kNameMax = 255; // bytes of one file name, on every system kinrec knows

} // namespace

std::string TemporaryName(const std::string& target, int n) {
    const std::string suffix =
        ".kinrec-tmp-" + std::to_string(ProcessId()) + "-" + std::to_string(n);
    const std::size_t cut = LastSeparator(target);
    const std::size_t nameStart = cut == std::string::npos ? 0 : cut + 1;
    const std::size_t nameLength = target.size() - nameStart;
    const std::size_t keep = nameLength + suffix.size() <= kNameMax
                                 ? nameLength
                                 : (kNameMax > suffix.size() ? kNameMax - suffix.size() : 0);
    return target.substr(0, nameStart + keep) + suffix;
}

} // namespace kinrec::detail
