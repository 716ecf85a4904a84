// The walk's files converted as one batch (app/Batch.h), or as one share of a batch
// split over processes (app/Share.h), with what the walk met said on the console.
#ifndef KINREC_CONVERT_DIRECTORY_H
#define KINREC_CONVERT_DIRECTORY_H

#include "app/Batch.h"
#include "app/Share.h"

#include <cstdint>
#include <string>
#include <vector>

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
