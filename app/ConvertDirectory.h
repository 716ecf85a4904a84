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

// Where the walk gets directory listings from: the disk, or a test's fake tree.
class DirectorySource {
  public:
    virtual ~DirectorySource() = default;
    // The entries of dir whose names match pattern, in the order to visit them.
    virtual std::vector<platform::DirEntry> List(const std::string& dir,
                                                 const std::string& pattern) = 0;
};

bool IsInputFile(const std::string& path);

// Walks dir and hands each input file's path to convert.
//
// With a selector and the recursive flag: first the matching files of dir, then every
// sub-directory (whatever its name) in the same way. Otherwise: the entries matching
// the selector (every entry without one) in order; files are converted, directories
// entered at once when recursive. A selector with a directory part ("sub/*.csv")
// searches that sub-directory, and the paths handed on lie in it.
void WalkDirectory(DirectorySource& source, const std::string& dir, const std::string* selector,
                   bool recursive, const std::function<void(const std::string&)>& convert);

struct BatchResult {
    int attempted = 0; // conversions tried (kinrec tables met on the way are not)
    int failed = 0;
};

// Converts the files in order, with the results of a one-by-one run on the gyro bias
// count *biasCount: one after another while the count is still rising, then on
// `workers` threads (once the count has reached its limit a file starts from the limit
// whatever ran before it). Files whose tables are the same file never run at the same
// time; the console lines come in the order of the files.
BatchResult ConvertFiles(const std::vector<std::string>& paths, const DsvConfig* cfg,
                         std::int32_t* biasCount, int workers);

// The walk on the disk, converting with ConvertFiles; a walk with failures ends with a
// summary line on standard error. Returns 0; *result (when given) tells what happened.
int ConvertDirectory(const char* dir, const char* selector, bool recursive, const DsvConfig* cfg,
                     std::int32_t* biasCount, int workers, BatchResult* result = nullptr);

#endif
