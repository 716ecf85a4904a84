// One share of a batch split over processes (kinrec --shard K/N -r): the plan the
// shares agree on is made or read, checked against this run and the files as they are
// now, and this share's files converted.
#ifndef KINREC_SHARE_H
#define KINREC_SHARE_H

#include "app/Batch.h"

#include <cstdint>
#include <string>
#include <vector>

// Share index (1-based) of count: the part of a batch one process converts.
struct Shard {
    int index = 1;
    int count = 1;
};

// Share shard of the batch in dir whose walk found paths: the plan's files of that
// share, checked against the plan first. walkFailed: a directory could not be listed
// (the share then keeps the plan unfinished).
BatchResult ConvertShare(const std::string& dir, const std::vector<std::string>& paths,
                         const std::string* selector, const Settings* cfg, std::int32_t* biasCount,
                         int workers, const Shard& shard, bool alone, bool walkFailed);

#endif
