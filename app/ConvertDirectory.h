// The batch: the walk's files converted in order, on several workers once the gyro
// bias count has reached its limit, or one share of them in a batch split over
// processes.
#ifndef KINREC_CONVERT_DIRECTORY_H
#define KINREC_CONVERT_DIRECTORY_H

#include "input/Walk.h"
#include "kinrec.h"

#include <cstdint>
#include <string>
#include <vector>

using kinrec::Settings;

struct BatchResult {
    int attempted = 0; // conversions tried (kinrec tables met on the way are not)
    int failed = 0;    // of them, failed
    // What failed the batch besides conversions: directories the walk could not list,
    // and for a share, files that differ from the batch's plan or a plan it cannot use.
    int unreadable = 0;
    // A row per input converted or tried, in the batch's order (kinrec tables met on the
    // way have none).
    std::vector<kinrec::SummaryRow> rows;
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
// a FIFO or a directory is reported and skipped. alone: every file starts the count at
// 0, as when converted by itself, so none waits for another (*biasCount stays).
BatchResult ConvertFiles(const std::vector<std::string>& paths, const Settings* cfg,
                         std::int32_t* biasCount, int workers, bool alone = false);

// The walk on the disk, converting with ConvertFiles; a directory that cannot be listed
// is reported, a walk with failed conversions ends with a summary line on standard
// error. Returns 0; *result (when given) tells what happened.
//
// With a shard, only that share's files of the batch's plan (app/SharePlan.h) are
// converted: share 1 converts the head; the rest is split into parts of about equal
// size, files sharing an input or a table staying together. The shares' tables together
// are those of one run. A share converts nothing when a file of its own differs from
// the plan, and says every file the walk finds that the plan does not hold.
int ConvertDirectory(const char* dir, const char* selector, bool recursive, const Settings* cfg,
                     std::int32_t* biasCount, int workers, BatchResult* result = nullptr,
                     const Shard& shard = Shard(), bool alone = false);

#endif
