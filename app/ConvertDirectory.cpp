#include "app/ConvertDirectory.h"

#include "app/Concurrency.h"
#include "app/Console.h"
#include "app/Convert.h"
#include "app/Pattern.h"
#include "app/Progress.h"
#include "orlib/AttitudeFilter.h"

#include <algorithm>
#include <map>

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    const std::string_view tail(suffix);
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Join(const std::string& dir, const std::string& name) {
    return dir + platform::kPathSeparator + name;
}

// The disk, the same on every platform: kinrec matches the names itself
// (case-sensitively) and sorts them by name in byte order, so a batch is reproducible.
class DiskSource : public DirectorySource {
  public:
    std::vector<platform::DirEntry> List(const std::string& dir,
                                         const std::string& pattern) override {
        std::vector<platform::DirEntry> entries = platform::ListEntries(dir);
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
    std::size_t cut = std::string::npos;
    for (std::size_t i = 0; i < selector->size(); ++i) {
        if (platform::IsPathSeparator((*selector)[i])) {
            cut = i;
        }
    }
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

void Walk(DirectorySource& source, const Search& s, const std::string& dir,
          const std::function<void(const std::string&)>& convert) {
    const std::string searchDir = s.sub.empty() ? dir : Join(dir, s.sub);
    if (s.selected && s.recursive) {
        for (const platform::DirEntry& e : source.List(searchDir, s.pattern)) {
            const std::string path = Join(searchDir, e.name);
            if (!e.isDirectory && IsInputFile(path)) {
                convert(path);
            }
        }
        for (const platform::DirEntry& e : source.List(dir, "*")) {
            if (Enters(e)) {
                Walk(source, s, Join(dir, e.name), convert);
            }
        }
        return;
    }
    for (const platform::DirEntry& e : source.List(searchDir, s.pattern)) {
        const std::string path = Join(searchDir, e.name);
        if (e.isDirectory) {
            if (s.recursive && Enters(e)) {
                Walk(source, s, path, convert);
            }
        } else if (IsInputFile(path)) {
            convert(path);
        }
    }
}

// Files whose tables are one file (x.csv and x.bin, or names differing in case where
// the file system ignores it) keep their order: each waits for the one before.
std::vector<long> SameTableChains(const std::vector<std::string>& paths, std::size_t from) {
    std::vector<long> after(paths.size() - from, -1);
    std::map<std::string, long> last;
    for (std::size_t j = from; j < paths.size(); ++j) {
        std::string key = OutputNameFor(paths[j]);
        for (char& c : key) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        const long index = static_cast<long>(j - from);
        const auto [it, first] = last.emplace(key, index);
        if (!first) {
            after[j - from] = it->second;
            it->second = index;
        }
    }
    return after;
}

void Count(int status, BatchResult* result) {
    if (status == kSkippedTable) {
        return;
    }
    ++result->attempted;
    if (status < 0) {
        ++result->failed;
    }
}

} // namespace

bool IsInputFile(const std::string& path) {
    return (EndsWith(path, ".csv") && !EndsWith(path, "_DSV.csv")) || EndsWith(path, ".bin");
}

void WalkDirectory(DirectorySource& source, const std::string& dir, const std::string* selector,
                   bool recursive, const std::function<void(const std::string&)>& convert) {
    const Search s = MakeSearch(dir, selector, recursive);
    Walk(source, s, s.start, convert);
}

BatchResult ConvertFiles(const std::vector<std::string>& paths, const DsvConfig* cfg,
                         std::int32_t* biasCount, int workers) {
    BatchResult result;
    ConvertOptions serial;
    serial.skipTables = true;
    std::size_t i = 0;
    for (; i < paths.size(); ++i) {
        if (workers > 1 && *biasCount >= kBiasCountLimit) {
            break;
        }
        Count(ConvertFile(paths[i].c_str(), nullptr, cfg, biasCount, serial), &result);
    }
    if (i == paths.size()) {
        return result;
    }

    // From here every file starts from the count's limit: workers take the files, each
    // with a count and a configuration of its own, and keep their lines for the walk's
    // order.
    const std::size_t n = paths.size() - i;
    struct Slot {
        Console console{true};
        int status = kConverted;
    };
    std::vector<Slot> slots(n);
    const DsvConfig shared = *cfg;
    auto job = [&](std::size_t j) {
        DsvConfig local = shared;
        std::int32_t count = kBiasCountLimit;
        ConvertOptions opt;
        opt.console = &slots[j].console;
        opt.skipTables = true;
        opt.showProgress = false;
        slots[j].status = ConvertFile(paths[i + j].c_str(), nullptr, &local, &count, opt);
    };
    auto done = [&](std::size_t j) {
        slots[j].console.Replay();
        Count(slots[j].status, &result);
        progress::Show(std::to_string(i + j + 1) + " of " + std::to_string(paths.size()) +
                       " files");
    };
    RunInOrder(n, workers, SameTableChains(paths, i), job, done);
    progress::Clear();
    return result;
}

int ConvertDirectory(const char* dir, const char* selector, bool recursive, const DsvConfig* cfg,
                     std::int32_t* biasCount, int workers, BatchResult* result) {
    DiskSource disk;
    const std::string sel = selector != nullptr ? selector : "";
    std::vector<std::string> paths;
    WalkDirectory(disk, dir, selector != nullptr ? &sel : nullptr, recursive,
                  [&paths](const std::string& path) { paths.push_back(path); });
    const BatchResult r = ConvertFiles(paths, cfg, biasCount, workers);
    if (r.failed > 0) {
        StdConsole().Err("kinrec: " + std::to_string(r.failed) + " of " +
                         std::to_string(r.attempted) + " conversions failed\n");
    }
    if (result != nullptr) {
        *result = r;
    }
    return 0;
}
