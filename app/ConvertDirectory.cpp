#include "app/ConvertDirectory.h"

#include "app/Concurrency.h"
#include "app/Console.h"
#include "app/Convert.h"
#include "app/Pattern.h"
#include "app/Progress.h"
#include "kinrec.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <unordered_map>

using namespace kinrec::detail;

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

void Walk(DirectorySource& source, const Search& s, const std::string& dir, const Visitor& v) {
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
                Walk(source, s, Join(dir, e.name), v);
            }
        }
        return;
    }
    for (const platform::DirEntry& e : ListOf(source, searchDir, s.pattern, v)) {
        const std::string path = Join(searchDir, e.name);
        if (e.isDirectory) {
            if (s.recursive && Enters(e)) {
                Walk(source, s, path, v);
            }
        } else if (IsInputFile(path)) {
            v.convert(path);
        }
    }
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
                   bool recursive, const std::function<void(const std::string&)>& convert,
                   const std::function<void(const std::string&, int)>& failed) {
    const Search s = MakeSearch(dir, selector, recursive);
    Walk(source, s, s.start, Visitor{convert, failed});
}

namespace {

// What a batch knows of a file before converting it.
struct Planned {
    std::uint64_t inputKey; // the input's identity: one key for every name of one file
    std::uint64_t tableKey; // the same for its table, made or to be made
    bool special;           // the input is a device, a FIFO or a directory
    bool inPlace;           // the table is written in place (a device or a FIFO)
    long long size;         // [bytes] of the input
};

class Planner {
  public:
    Planned Plan(const std::string& path) {
        Planned p;
        const platform::PathInfo in = platform::Inspect(path);
        p.special = in.kind == platform::PathKind::kOther && in.id.known;
        p.size = in.kind == platform::PathKind::kRegular ? in.size : 0;
        p.inputKey = KeyOf(path, in);
        const std::string table = OutputNameFor(path);
        const platform::PathInfo out = platform::Inspect(table);
        p.inPlace = out.kind == platform::PathKind::kOther;
        p.tableKey = KeyOf(table, out);
        return p;
    }

  private:
    // An existing file by its identity; a name of nothing yet by its full path, with
    // letters folded (names that differ in case are one file where the file system
    // ignores it, and one more wait costs nothing where it does not). Kept as a 64-bit
    // hash, small for trees of many files: two files that happened to share one would
    // only be converted one after the other.
    std::uint64_t KeyOf(const std::string& path, const platform::PathInfo& info) {
        std::string key;
        if (info.id.known) {
            key = "id " + std::to_string(info.id.volume) + " " + std::to_string(info.id.index);
        } else {
            key = "path " + (info.isLink ? platform::CanonicalPath(path) : FullPath(path));
        }
        std::uint64_t h = 14695981039346656037ull; // FNV-1a
        for (char c : key) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        return h;
    }

    std::string FullPath(const std::string& path) {
        const std::size_t cut = platform::LastSeparator(path);
        const std::string dir = cut == std::string::npos ? "." : path.substr(0, cut);
        const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
        auto it = dirs_.find(dir);
        if (it == dirs_.end()) {
            it = dirs_.emplace(dir, platform::CanonicalPath(dir)).first;
        }
        return it->second + platform::kPathSeparator + name;
    }

    std::map<std::string, std::string> dirs_; // directory as walked -> full path
};

// For each of the files: the earlier ones it must wait for, those that read or write a
// file it reads or writes.
std::vector<std::vector<std::size_t>> Dependencies(const std::vector<const Planned*>& files) {
    std::vector<std::vector<std::size_t>> after(files.size());
    std::unordered_map<std::uint64_t, std::size_t> last;
    for (std::size_t j = 0; j < files.size(); ++j) {
        for (const std::uint64_t key : {files[j]->inputKey, files[j]->tableKey}) {
            const auto [it, first] = last.emplace(key, j);
            if (!first) {
                if (std::find(after[j].begin(), after[j].end(), it->second) == after[j].end()) {
                    after[j].push_back(it->second);
                }
                it->second = j;
            }
        }
    }
    return after;
}

// Which share converts each file after the head: parts of about equal size in walk
// order, and files that share an input or a table with an earlier file go where that
// one goes (head files to share 1), so that one process keeps their order.
std::vector<int> Shares(const std::vector<Planned>& plan, std::size_t head, int count) {
    // Groups of files joined by a shared input or table (union-find), each named by its
    // earliest file.
    std::vector<std::size_t> parent(plan.size());
    auto find = [&parent](std::size_t j) {
        while (parent[j] != j) {
            parent[j] = parent[parent[j]];
            j = parent[j];
        }
        return j;
    };
    std::unordered_map<std::uint64_t, std::size_t> firstOf;
    for (std::size_t j = 0; j < plan.size(); ++j) {
        parent[j] = j;
        for (const std::uint64_t key : {plan[j].inputKey, plan[j].tableKey}) {
            const auto [it, first] = firstOf.emplace(key, j);
            if (!first) {
                const std::size_t a = find(it->second);
                const std::size_t b = find(j);
                parent[std::max(a, b)] = std::min(a, b);
            }
        }
    }
    long long total = 0;
    for (std::size_t j = head; j < plan.size(); ++j) {
        total += plan[j].size;
    }
    // Each file's part by where the middle of it lies in the rest; a group goes where
    // its earliest file goes, and a group with a file in the head goes to share 1.
    std::vector<int> share(plan.size(), 1);
    long long before = 0;
    const std::size_t rest = plan.size() - head;
    for (std::size_t j = head; j < plan.size(); ++j) {
        int part = 1;
        if (total > 0) {
            const long double middle = static_cast<long double>(before) + plan[j].size / 2.0L;
            part = 1 + static_cast<int>(middle * count / static_cast<long double>(total));
        } else {
            part = 1 + static_cast<int>((j - head) * static_cast<std::size_t>(count) / rest);
        }
        share[j] = std::min(part, count);
        before += plan[j].size;
    }
    for (std::size_t j = head; j < plan.size(); ++j) {
        const std::size_t root = find(j);
        share[j] = root < head ? 1 : share[root];
    }
    return share;
}

int ConvertOne(const std::string& path, const Planned& p, const DsvConfig* cfg,
               std::int32_t* biasCount, const ConvertOptions& opt) {
    if (p.special) {
        ConsoleOf(opt).Fail(path, "is not a regular file; skipped");
        return kInputNotOpened;
    }
    return ConvertFile(path.c_str(), nullptr, cfg, biasCount, opt);
}

} // namespace

BatchResult ConvertFiles(const std::vector<std::string>& paths, const DsvConfig* cfg,
                         std::int32_t* biasCount, int workers, const Shard& shard) {
    BatchResult result;
    Planner planner;
    std::vector<Planned> plan;
    plan.reserve(paths.size());
    for (const std::string& path : paths) {
        plan.push_back(planner.Plan(path));
    }

    // The head, while the gyro bias count still rises: one file after another, each
    // starting where the one before left the count. Shares other than the first only
    // read it, to learn where the count stands after it.
    ConvertOptions serial;
    serial.skipTables = true;
    const bool sharded = shard.count > 1;
    std::size_t i = 0;
    for (; i < paths.size(); ++i) {
        if ((workers > 1 || sharded) && *biasCount >= kinrec::BiasCountLimit()) {
            break;
        }
        if (shard.index == 1) {
            Count(ConvertOne(paths[i], plan[i], cfg, biasCount, serial), &result);
        } else if (!plan[i].special) {
            CountBias(paths[i].c_str(), cfg, biasCount);
        }
    }

    // From here every file starts from the count's limit, whatever ran before it.
    std::vector<std::size_t> own;
    const std::vector<int> share = Shares(plan, i, sharded ? shard.count : 1);
    bool inPlace = false;
    for (std::size_t j = i; j < paths.size(); ++j) {
        if (share[j] == shard.index) {
            own.push_back(j);
            inPlace = inPlace || plan[j].inPlace;
        }
    }
    if (own.empty()) {
        return result;
    }
    if (workers <= 1 || inPlace) {
        // Tables written in place (to a terminal, say) share the console's stream: one
        // at a time, in order.
        for (std::size_t j : own) {
            std::int32_t count = kinrec::BiasCountLimit();
            Count(ConvertOne(paths[j], plan[j], cfg, &count, serial), &result);
        }
        return result;
    }

    // Workers take the files, each with a count and a configuration of its own, and keep
    // their lines for the walk's order.
    struct Slot {
        Console console{true};
        int status = kConverted;
    };
    std::vector<Slot> slots(own.size());
    std::vector<const Planned*> ownPlan;
    ownPlan.reserve(own.size());
    for (std::size_t j : own) {
        ownPlan.push_back(&plan[j]);
    }
    const DsvConfig shared = *cfg;
    auto job = [&](std::size_t k) {
        DsvConfig local = shared;
        std::int32_t count = kinrec::BiasCountLimit();
        ConvertOptions opt;
        opt.console = &slots[k].console;
        opt.skipTables = true;
        opt.showProgress = false;
        slots[k].status = ConvertOne(paths[own[k]], plan[own[k]], &local, &count, opt);
    };
    auto done = [&](std::size_t k) {
        slots[k].console.Replay();
        Count(slots[k].status, &result);
        progress::Show(std::to_string(own[k] + 1) + " of " + std::to_string(paths.size()) +
                       " files");
    };
    RunInOrder(own.size(), workers, Dependencies(ownPlan), job, done);
    progress::Clear();
    return result;
}

namespace {

// A walk reads its settings in the starting directory only: a kinrec.cnf beside the
// files of a directory below is pointed out, once.
void NoteOtherSettings(const std::string& start, const std::vector<std::string>& paths) {
    std::set<std::string> seen;
    for (const std::string& path : paths) {
        const std::size_t cut = platform::LastSeparator(path);
        if (cut == std::string::npos || cut == 0) {
            continue;
        }
        const std::string dir = path.substr(0, cut);
        if (dir == start || !seen.insert(dir).second) {
            continue;
        }
        const std::string cnf = Join(dir, "kinrec.cnf");
        if (platform::Exists(cnf)) {
            StdConsole().Fail(cnf, "not read: a walk takes its settings from the directory it "
                                   "starts in; to use these, run kinrec -r in " +
                                       dir);
        }
    }
}

} // namespace

int ConvertDirectory(const char* dir, const char* selector, bool recursive, const DsvConfig* cfg,
                     std::int32_t* biasCount, int workers, BatchResult* result,
                     const Shard& shard) {
    DiskSource disk;
    const std::string sel = selector != nullptr ? selector : "";
    std::vector<std::string> paths;
    int unreadable = 0;
    WalkDirectory(
        disk, dir, selector != nullptr ? &sel : nullptr, recursive,
        [&paths](const std::string& path) { paths.push_back(path); },
        [&unreadable](const std::string& path, int error) {
            StdConsole().Fail(path, ErrorText(error));
            ++unreadable;
        });
    NoteOtherSettings(dir, paths);
    BatchResult r = ConvertFiles(paths, cfg, biasCount, workers, shard);
    if (r.failed > 0) {
        StdConsole().Err("kinrec: " + std::to_string(r.failed) + " of " +
                         std::to_string(r.attempted) + " conversions failed\n");
    }
    r.unreadable = unreadable;
    if (result != nullptr) {
        *result = r;
    }
    return 0;
}
