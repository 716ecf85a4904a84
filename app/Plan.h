// The plan of a batch: which walked files are one file's readers and writers (its
// groups), each with its identity as planned. The split into shares is in Shares.h,
// the text the shares agree on in PlanText.h, the checks of a plan in PlanChecks.h.
//
// Plain functions over values: what each name stands for comes from a Disk (the real
// one, or a test's fake one).
#ifndef KINREC_PLAN_H
#define KINREC_PLAN_H

#include "disk/Disk.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// An input's identity as it was planned: a file that differs in any of these is not the
// file the plan was made for. The volume is kept but not compared: each machine of a
// cluster may mount the shared file system under a device number of its own, while
// the file's index there stays.
struct Stamp {
    kinrec::detail::PathKind kind = kinrec::detail::PathKind::kMissing;
    long long size = 0;  // [bytes]
    long long mtime = 0; // [ns] since the epoch
    kinrec::detail::FileId id;
};
Stamp StampOf(const kinrec::detail::PathInfo& info);
struct PlannedFile {
    std::string path;
    Stamp stamp;
    bool special = false;  // the input is a device, a FIFO or a directory: skipped
    bool inPlace = false;  // its table is written in place (a device or a FIFO)
    bool written = false;  // the input is where a file of the batch writes its table
    std::size_t group = 0; // the first file of its group
    int share = 1;
};

struct Plan {
    std::string version;   // of the kinrec that made it
    std::string settings;  // the settings it was made under (kinrec::SettingsText)
    int count = 1;         // shares
    bool selected = false; // a selector was given:
    std::string selector;  // this one
    bool alone = false;    // each file converted as if alone (--alone): no head
    std::string token;     // tells this plan from any other
    std::size_t head = 0;  // the first files, converted one after another by share 1
    std::vector<PlannedFile> files;
};

// The files in walk order, each with its identity and its group: files whose inputs or
// tables are one file (by the full key, never a hash of it) are one group, named by its
// first file.
std::vector<PlannedFile> PlanFiles(const std::vector<std::string>& paths,
                                   kinrec::detail::Disk& disk);

#endif
