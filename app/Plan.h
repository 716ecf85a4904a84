// The plan of a batch: which walked files are one file's readers and writers (its
// groups), the order they must keep, and which share of a split batch converts each.
//
// Plain functions over values: what each name stands for comes from a Disk (the real
// one, or a test's fake one), and a plan is written to and read from text, so that
// the shares of one batch, in processes that start at different times, agree on it.
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
// How now differs from planned ("size 200 -> 300 bytes"); "" when it does not.
std::string Difference(const Stamp& planned, const Stamp& now);

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

// Gives each file after the head its share of count: parts of about equal size in walk
// order, each file by where its middle lies; a group goes where its first file goes,
// and a group with a file in the head goes to share 1 with the head. Integers only, so
// that machines of every kind split a batch alike.
void SplitShares(std::vector<PlannedFile>* files, std::size_t head, int count);

// For the files own (indexes into files, ascending, after the head): the positions in
// own that each must wait for, the one before it of its group.
std::vector<std::vector<std::size_t>> Chains(const std::vector<PlannedFile>& files,
                                             const std::vector<std::size_t>& own);

// a * b / d rounded down, without overflow for any a * b < d * 2^64; d > 0.
std::uint64_t MulDiv(std::uint64_t a, std::uint64_t b, std::uint64_t d);

// A plan as text, and back. ReadPlan gives false with *error saying what is wrong.
std::string PlanText(const Plan& plan);
bool ReadPlan(const std::string& text, Plan* plan, std::string* error);

// "2 shares of every input file", "3 shares of '*.csv', each file alone".
std::string Describe(const Plan& plan);

// How the settings now differ from those planned, key by key ("RESAMPLECOUNT 0 -> 2,
// CUTOFFFREQUENCY 5 -> 3"); "" when they do not.
std::string SettingsDifference(const std::string& planned, const std::string& now);

// Whether two plans convert the same files alike: all but their tokens agree, the
// identities of inputs that tables are written into aside (they change under a batch).
bool SamePlan(const Plan& a, const Plan& b);

#endif
