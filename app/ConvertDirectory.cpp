#include "app/ConvertDirectory.h"

#include "app/Convert.h"

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    const std::string_view tail(suffix);
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Join(const std::string& dir, const std::string& name) {
    return dir + platform::kPathSeparator + name;
}

class DiskSource : public DirectorySource {
  public:
    std::vector<platform::DirEntry> List(const std::string& dir,
                                         const std::string& pattern) override {
        return platform::ListDirectory(dir, pattern);
    }
};

struct Selector {
    std::string dir;  // directory part, "" when none
    std::string name; // name pattern
};

Selector Split(const std::string& selector) {
    std::size_t cut = std::string::npos;
    for (std::size_t i = 0; i < selector.size(); ++i) {
        if (platform::IsPathSeparator(selector[i])) {
            cut = i;
        }
    }
    if (cut == std::string::npos) {
        return Selector{std::string(), selector};
    }
    return Selector{selector.substr(0, cut == 0 ? 1 : cut), selector.substr(cut + 1)};
}

} // namespace

bool IsInputFile(const std::string& path) {
    return (EndsWith(path, ".csv") && !EndsWith(path, "_DSV.csv")) || EndsWith(path, ".bin");
}

void WalkDirectory(DirectorySource& source, const std::string& dir, const std::string* selector,
                   bool recursive, const std::function<void(const std::string&)>& convert) {
    std::string searchDir = dir;
    std::string pattern = "*";
    if (selector != nullptr) {
        const Selector s = Split(*selector);
        if (!s.dir.empty()) {
            searchDir = platform::IsAbsolutePath(s.dir) ? s.dir : Join(dir, s.dir);
        }
        pattern = s.name;
    }

    if (selector != nullptr && recursive) {
        for (const platform::DirEntry& e : source.List(searchDir, pattern)) {
            const std::string path = Join(searchDir, e.name);
            if (!e.isDirectory && IsInputFile(path)) {
                convert(path);
            }
        }
        for (const platform::DirEntry& e : source.List(dir, "*")) {
            if (e.isDirectory && !e.isLink && e.name != "." && e.name != "..") {
                WalkDirectory(source, Join(dir, e.name), selector, recursive, convert);
            }
        }
        return;
    }

    for (const platform::DirEntry& e : source.List(searchDir, pattern)) {
        const std::string path = Join(searchDir, e.name);
        if (e.isDirectory) {
            if (recursive && !e.isLink && e.name != "." && e.name != "..") {
                WalkDirectory(source, path, selector, recursive, convert);
            }
        } else if (IsInputFile(path)) {
            convert(path);
        }
    }
}

int ConvertDirectory(const char* dir, const char* selector, bool recursive, DsvConfig* cfg) {
    DiskSource disk;
    std::string start = dir;
    std::string sel = selector != nullptr ? selector : "";
    // An absolute directory part is a new starting point, not a part to repeat below
    // every sub-directory.
    if (selector != nullptr) {
        const Selector s = Split(sel);
        if (platform::IsAbsolutePath(s.dir)) {
            start = s.dir;
            sel = s.name;
        }
    }
    WalkDirectory(disk, start, selector != nullptr ? &sel : nullptr, recursive,
                  [cfg](const std::string& path) { ConvertFile(path.c_str(), nullptr, cfg); });
    return 0;
}
