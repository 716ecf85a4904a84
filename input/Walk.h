// The walk: which input files a directory (and, recursively, the tree below it) holds,
// in the order a batch converts them. It only lists and names files: nothing here opens
// them or says anything: the console's batches and the library's FindInputs both walk
// with it, so they find the same files in the same order.
//
// An input file is a non-directory entry whose path ends in ".csv" but not "_DSV.csv",
// or in ".bin" (exact, case-sensitive). Entries come sorted by name in byte order, so a
// batch run is reproducible (the gyro bias count carries from one file to the next);
// names are matched by kinrec itself, case-sensitively, the same on every platform.
// Directories reached through a link are not entered: a link back up the tree would
// never end.
#ifndef KINREC_WALK_H
#define KINREC_WALK_H

#include "disk/Disk.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kinrec::detail {

bool IsInputFile(const std::string& path);

// Walks dir and hands each input file's path to convert.
//
// With a selector and the recursive flag: first the matching files of dir, then every
// sub-directory (whatever its name) in the same way. Otherwise: the entries matching
// the selector (every entry without one) in order; files are converted, directories
// entered at once when recursive. A selector with a directory part ("sub/*.csv")
// searches that sub-directory, and the paths handed on lie in it.
// A directory that exists but cannot be listed goes to failed with the errno, and the
// walk goes on with the rest.
void WalkDirectory(Disk& disk, const std::string& dir, const std::string* selector, bool recursive,
                   const std::function<void(const std::string&)>& convert,
                   const std::function<void(const std::string&, int)>& failed = {});

// What a walk found: the input files in order, and the directories it could not list
// with the errno of each.
struct WalkResult {
    std::vector<std::string> files;
    std::vector<std::pair<std::string, int>> unreadable;
};
WalkResult Walk(Disk& disk, const std::string& dir, const std::string* selector, bool recursive);

} // namespace kinrec::detail

#endif
