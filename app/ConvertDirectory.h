// The batch walk: finds the input files of a directory (and, recursively, of the tree
// below it) and converts each one.
//
// An input file is a non-directory entry whose path ends in ".csv" but not "_DSV.csv",
// or in ".bin" (exact, case-sensitive). Entries come sorted by name, so a batch run is
// reproducible (the gyro bias count carries from one file to the next). Directories
// reached through a link are not entered: a link back up the tree would never end.
#ifndef KINREC_CONVERT_DIRECTORY_H
#define KINREC_CONVERT_DIRECTORY_H

#include "app/DsvConfig.h"
#include "app/Platform.h"

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

// The walk on the disk, converting with ConvertFile. Returns 0.
int ConvertDirectory(const char* dir, const char* selector, bool recursive, DsvConfig* cfg);

#endif
