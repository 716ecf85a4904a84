// What the names of a batch stand for, on a disk: the plan keys its files by them.
#ifndef KINREC_FULL_NAMES_H
#define KINREC_FULL_NAMES_H

#include "disk/Disk.h"

#include <map>
#include <string>

// What a name stands for.
struct NameInfo {
    kinrec::detail::PathInfo info;
    // The full path of the file the name stands for, with the name's own links followed
    // (also where they lead to nothing yet): the same text for every name of one file,
    // before and after the file exists.
    std::string full;
};

// Looks names up on a disk; remembers the full path of each directory it was asked
// about, so that the files of one directory cost one look at it.
class FullNames {
  public:
    explicit FullNames(kinrec::detail::Disk& disk) : disk_(disk) {}
    NameInfo Look(const std::string& path);

  private:
    kinrec::detail::Disk& disk_;
    std::map<std::string, std::string> dirs_; // directory as walked -> full path
};

#endif
