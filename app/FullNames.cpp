#include "app/FullNames.h"

using kinrec::detail::kPathSeparator;
using kinrec::detail::LastSeparator;

NameInfo FullNames::Look(const std::string& path) {
    NameInfo n;
    n.info = disk_.Inspect(path);
    if (n.info.isLink) {
        n.full = disk_.FullPath(path);
        return n;
    }
    const std::size_t cut = LastSeparator(path);
    const std::string dir = cut == std::string::npos ? "." : path.substr(0, cut == 0 ? 1 : cut);
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    auto it = dirs_.find(dir);
    if (it == dirs_.end()) {
        it = dirs_.emplace(dir, disk_.FullPath(dir)).first;
    }
    n.full = it->second + kPathSeparator + name;
    return n;
}
