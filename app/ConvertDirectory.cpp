#include "app/ConvertDirectory.h"

#include "app/Console.h"
#include "disk/Disk.h"
#include "input/Walk.h"

#include <set>

using namespace kinrec::detail;

namespace {

std::string Join(const std::string& dir, const std::string& name) {
    return dir + kPathSeparator + name;
}

// A walk reads its settings in the starting directory only: a kinrec.cnf beside the
// files of a directory below is pointed out, once.
void NoteOtherSettings(const std::string& start, const std::vector<std::string>& paths) {
    std::set<std::string> seen;
    for (const std::string& path : paths) {
        const std::size_t cut = LastSeparator(path);
        if (cut == std::string::npos || cut == 0) {
            continue;
        }
        const std::string dir = path.substr(0, cut);
        if (dir == start || !seen.insert(dir).second) {
            continue;
        }
        const std::string cnf = Join(dir, "kinrec.cnf");
        if (RealDisk().Exists(cnf)) {
            StdConsole().Fail(cnf, "not read: a walk takes its settings from the directory it "
                                   "starts in; to use these, run kinrec -r in " +
                                       dir);
        }
    }
}

} // namespace

int ConvertDirectory(const char* dir, const char* selector, bool recursive, const Settings* cfg,
                     std::int32_t* biasCount, int workers, BatchResult* result, const Shard& shard,
                     bool alone) {
    const std::string sel = selector != nullptr ? selector : "";
    const WalkResult walk = Walk(RealDisk(), dir, selector != nullptr ? &sel : nullptr, recursive);
    for (const auto& [path, error] : walk.unreadable) {
        StdConsole().Fail(path, ErrorText(error));
    }
    NoteOtherSettings(dir, walk.files);
    const int unreadable = static_cast<int>(walk.unreadable.size());
    BatchResult r = shard.count > 1
                        ? ConvertShare(dir, walk.files, selector != nullptr ? &sel : nullptr, cfg,
                                       biasCount, workers, shard, alone, unreadable > 0)
                        : ConvertFiles(walk.files, cfg, biasCount, workers, alone);
    if (r.failed > 0) {
        StdConsole().Err("kinrec: " + std::to_string(r.failed) + " of " +
                         std::to_string(r.attempted) + " conversions failed\n");
    }
    r.unreadable += unreadable;
    if (result != nullptr) {
        *result = r;
    }
    return 0;
}
