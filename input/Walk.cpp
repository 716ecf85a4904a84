#include "input/Walk.h"

#include "input/InputFile.h"
#include "input/Pattern.h"
#include "kinrec.h"

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace kinrec::detail {

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    const std::string_view tail(suffix);
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Join(const std::string& dir, const std::string& name) {
    return dir + kPathSeparator + name;
}

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
    const std::size_t cut = LastSeparator(*selector);
    if (cut == std::string::npos) {
        s.pattern = *selector;
        return s;
    }
    const std::string part = selector->substr(0, cut == 0 ? 1 : cut);
    s.pattern = selector->substr(cut + 1);
    // An absolute directory part is a new starting point, not a part to repeat below
    // every sub-directory.
    if (IsAbsolutePath(part)) {
        s.start = part;
    } else {
        s.sub = part;
    }
    return s;
}

// The listing drops "." and ".."; links to directories are not entered.
bool Enters(const DirEntry& e) {
    return e.isDirectory && !e.isLink;
}

struct Visitor {
    const std::function<void(const std::string&)>& convert;
    const std::function<void(const std::string&, int)>& failed;
};

// The entries of dir matching pattern, sorted by name; a directory that exists but
// cannot be read is handed to the visitor's failed (one that does not exist, as a
// selector's sub-directory mostly does not, is just empty).
std::vector<DirEntry> ListOf(Disk& disk, const std::string& dir, const std::string& pattern,
                             const Visitor& v) {
    int error = 0;
    std::vector<DirEntry> entries = disk.List(dir, &error);
    if (error != 0 && error != ENOENT && error != ENOTDIR && v.failed) {
        v.failed(dir, error);
    }
    entries.erase(
        std::remove_if(entries.begin(), entries.end(),
                       [&pattern](const DirEntry& e) { return !MatchPattern(pattern, e.name); }),
        entries.end());
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return entries;
}

void WalkFrom(Disk& disk, const Search& s, const std::string& dir, const Visitor& v) {
    const std::string searchDir = s.sub.empty() ? dir : Join(dir, s.sub);
    if (s.selected && s.recursive) {
        for (const DirEntry& e : ListOf(disk, searchDir, s.pattern, v)) {
            const std::string path = Join(searchDir, e.name);
            if (!e.isDirectory && IsInputFile(path)) {
                v.convert(path);
            }
        }
        for (const DirEntry& e : ListOf(disk, dir, "*", v)) {
            if (Enters(e)) {
                WalkFrom(disk, s, Join(dir, e.name), v);
            }
        }
        return;
    }
    for (const DirEntry& e : ListOf(disk, searchDir, s.pattern, v)) {
        const std::string path = Join(searchDir, e.name);
        if (e.isDirectory) {
            if (s.recursive && Enters(e)) {
                WalkFrom(disk, s, path, v);
            }
        } else if (IsInputFile(path)) {
            v.convert(path);
        }
    }
}

} // namespace

bool IsInputFile(const std::string& path) {
    return (EndsWith(path, ".csv") && !EndsWith(path, "_DSV.csv")) || EndsWith(path, ".bin");
}

void WalkDirectory(Disk& disk, const std::string& dir, const std::string* selector, bool recursive,
                   const std::function<void(const std::string&)>& convert,
                   const std::function<void(const std::string&, int)>& failed) {
    const Search s = MakeSearch(dir, selector, recursive);
    WalkFrom(disk, s, s.start, Visitor{convert, failed});
}

WalkResult Walk(Disk& disk, const std::string& dir, const std::string* selector, bool recursive) {
    WalkResult result;
    WalkDirectory(
        disk, dir, selector, recursive,
        [&result](const std::string& path) { result.files.push_back(path); },
        [&result](const std::string& path, int error) {
            result.unreadable.emplace_back(path, error);
        });
    return result;
}

} // namespace kinrec::detail

kinrec::Inputs kinrec::FindInputs(const std::string& top, const std::string* selector,
                                  bool recursive) {
    detail::Disk& disk = detail::RealDisk();
    const detail::WalkResult walk = detail::Walk(disk, top, selector, recursive);
    Inputs in;
    for (const std::string& path : walk.files) {
        // What a batch skips: anything but a regular file is not even opened (a FIFO
        // would wait for a writer), and a table is never a recording.
        const detail::PathInfo info = disk.Inspect(path);
        if (info.kind == detail::PathKind::kOther && info.id.known) {
            in.special.push_back(path);
            continue;
        }
        const bool table = info.kind == detail::PathKind::kRegular &&
                           detail::IsKinrecTable(disk, path) == detail::TableCheck::kTable;
        (table ? in.tables : in.files).push_back(path);
    }
    for (const auto& [path, error] : walk.unreadable) {
        in.unreadable.push_back(path);
        in.unreadableErrno.push_back(error);
    }
    return in;
}
