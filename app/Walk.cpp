#include "app/Walk.h"

#include "app/Pattern.h"

#include <algorithm>
#include <cerrno>
#include <string_view>

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
    std::vector<platform::DirEntry> List(const std::string& dir, const std::string& pattern,
                                         int* error) override {
        std::vector<platform::DirEntry> entries = platform::ListEntries(dir, error);
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&pattern](const platform::DirEntry& e) {
                                         return !MatchPattern(pattern, e.name);
                                     }),
                      entries.end());
        std::sort(entries.begin(), entries.end(),
                  [](const platform::DirEntry& a, const platform::DirEntry& b) {
                      return a.name < b.name;
                  });
        return entries;
    }
};

// A walk's question, settled once: where it starts, the directory part of its selector
// to search below every directory (relative; "" for none) and the name pattern.
struct Search {
    std::string start;
    std::string sub;
    std::string pattern;
    bool selected; // a selector was given
    bool recursive;
};

Search MakeSearch(const std::string& dir, const std::string* selector, bool recursive) {
    Search s{dir, std::string(), "*", selector != nullptr, recursive};
    if (selector == nullptr) {
        return s;
    }
    const std::size_t cut = platform::LastSeparator(*selector);
    if (cut == std::string::npos) {
        s.pattern = *selector;
        return s;
    }
    const std::string part = selector->substr(0, cut == 0 ? 1 : cut);
    s.pattern = selector->substr(cut + 1);
    // An absolute directory part is a new starting point, not a part to repeat below
    // every sub-directory.
    if (platform::IsAbsolutePath(part)) {
        s.start = part;
    } else {
        s.sub = part;
    }
    return s;
}

// The listing drops "." and ".."; links to directories are not entered.
bool Enters(const platform::DirEntry& e) {
    return e.isDirectory && !e.isLink;
}

struct Visitor {
    const std::function<void(const std::string&)>& convert;
    const std::function<void(const std::string&, int)>& failed;
};

// A listing; a directory that exists but cannot be read is handed to the visitor's
// failed (one that does not exist, as a selector's sub-directory mostly does not, is
// just empty).
std::vector<platform::DirEntry> ListOf(DirectorySource& source, const std::string& dir,
                                       const std::string& pattern, const Visitor& v) {
    int error = 0;
    std::vector<platform::DirEntry> entries = source.List(dir, pattern, &error);
    if (error != 0 && error != ENOENT && error != ENOTDIR && v.failed) {
        v.failed(dir, error);
    }
    return entries;
}

void WalkFrom(DirectorySource& source, const Search& s, const std::string& dir, const Visitor& v) {
    const std::string searchDir = s.sub.empty() ? dir : Join(dir, s.sub);
    if (s.selected && s.recursive) {
        for (const platform::DirEntry& e : ListOf(source, searchDir, s.pattern, v)) {
            const std::string path = Join(searchDir, e.name);
            if (!e.isDirectory && IsInputFile(path)) {
                v.convert(path);
            }
        }
        for (const platform::DirEntry& e : ListOf(source, dir, "*", v)) {
            if (Enters(e)) {
                WalkFrom(source, s, Join(dir, e.name), v);
            }
        }
        return;
    }
    for (const platform::DirEntry& e : ListOf(source, searchDir, s.pattern, v)) {
        const std::string path = Join(searchDir, e.name);
        if (e.isDirectory) {
            if (s.recursive && Enters(e)) {
                WalkFrom(source, s, path, v);
            }
        } else if (IsInputFile(path)) {
            v.convert(path);
        }
    }
}

} // namespace

DirectorySource& DiskDirectories() {
    static DiskSource disk; // keeps nothing between listings
    return disk;
}

bool IsInputFile(const std::string& path) {
    return (EndsWith(path, ".csv") && !EndsWith(path, "_DSV.csv")) || EndsWith(path, ".bin");
}

void WalkDirectory(DirectorySource& source, const std::string& dir, const std::string* selector,
                   bool recursive, const std::function<void(const std::string&)>& convert,
                   const std::function<void(const std::string&, int)>& failed) {
    const Search s = MakeSearch(dir, selector, recursive);
    WalkFrom(source, s, s.start, Visitor{convert, failed});
}

WalkResult Walk(DirectorySource& source, const std::string& dir, const std::string* selector,
                bool recursive) {
    WalkResult result;
    WalkDirectory(
        source, dir, selector, recursive,
        [&result](const std::string& path) { result.files.push_back(path); },
        [&result](const std::string& path, int error) {
            result.unreadable.emplace_back(path, error);
        });
    return result;
}
