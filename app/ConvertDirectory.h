// The batch walk: finds the input files of a directory (and, recursively, of the tree
// below it) and converts each one.
//
// An input file is a non-directory entry whose path ends in ".csv" but not "_DSV.csv",
// or in ".bin" (exact, case-sensitive). Entries come sorted by name, so a batch run is
// reproducible (the gyro bias count carries from one file to the next). Directories
// reached through a link are not entered: a link back up the tree would never end.
#ifndef KINREC_CONVERT_DIRECTORY_H
#define KINREC_CONVERT_DIRECTORY_H

#include "app/Platform.h"
#include "features/DsvConfig.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using kinrec::detail::DsvConfig;

// Where the walk gets directory listings from: the disk, or a test's fake tree.
class DirectorySource {
  public:
    virtual ~DirectorySource() = default;
    // The entries of dir whose names match pattern, in the order to visit them; *error
    // is the errno when dir could not be listed (wholly or in part), else 0.
    virtual std::vector<platform::DirEntry> List(const std::string& dir, const std::string& pattern,
                                                 int* error) = 0;
};

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
void WalkDirectory(DirectorySource& source, const std::string& dir, const std::string* selector,
                   bool recursive, const std::function<void(const std::string&)>& convert,
                   const std::function<void(const std::string&, int)>& failed = {});

struct BatchResult {
    int attempted = 0;  // conversions tried (kinrec tables met on the way are not)
    int failed = 0;     // of them, failed
    int unreadable = 0; // directories the walk could not list
};

// Share index (1-based) of count: the part of a batch one process converts.
struct Shard {
    int index = 1;
    int count = 1;
};

// Converts the files in order, with the results of a one-by-one run on the gyro bias
// count *biasCount: one after another while the count is still rising (the head), then
// on `workers` threads (once the count has reached its limit a file starts from the
// limit whatever ran before it). Files that read or write one file (by what their names
// resolve to) never run at the same time; tables written in place are written one after
// another; the console lines come in the order of the files. An input that is a device,
// a FIFO or a directory is reported and skipped.
//
// With a shard, only that share's files are converted: share 1 converts the head, the
// others read it only to learn the count; the rest is split into parts of about equal
// size, files sharing an input or a table staying together. The shares' tables together
// are those of one run.
BatchResult ConvertFiles(const std::vector<std::string>& paths, const DsvConfig* cfg,
                         std::int32_t* biasCount, int workers, const Shard& shard = Shard());

// The walk on the disk, converting with ConvertFiles; a directory that cannot be listed
// is reported, a walk with failed conversions ends with a summary line on standard
// error. Returns 0; *result (when given) tells what happened.
int ConvertDirectory(const char* dir, const char* selector, bool recursive, const DsvConfig* cfg,
                     std::int32_t* biasCount, int workers, BatchResult* result = nullptr,
                     const Shard& shard = Shard());

#endif
