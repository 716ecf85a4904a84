// The split of a batch's plan into shares, and the order each share keeps.
#ifndef KINREC_SHARES_H
#define KINREC_SHARES_H

#include "app/Plan.h"

#include <cstddef>
#include <cstdint>
#include <vector>

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

#endif
