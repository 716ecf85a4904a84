// The batch: planned files converted in order, one after another while the gyro bias
// count is below its limit (the head), then on several workers.
#ifndef KINREC_BATCH_H
#define KINREC_BATCH_H

#include "app/Plan.h"
#include "kinrec.h"

#include <cstddef>
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

// The head of files[0, count): converted one after another on the count *biasCount
// while it is below its limit. Returns its length.
std::size_t RunHead(const std::vector<PlannedFile>& files, std::size_t count, const Settings* cfg,
                    std::int32_t* biasCount, BatchResult* result);

// How far the head of files would reach from biasCount: the files read (not converted)
// while the count is below its limit.
std::size_t HeadOf(const std::vector<PlannedFile>& files, const Settings* cfg,
                   std::int32_t biasCount);

// The files own (indexes into files), each from where a file after the head starts
// (kinrec::RestRun; 0 when alone), on the workers; the console lines in their order.
void RunRest(const std::vector<PlannedFile>& files, const std::vector<std::size_t>& own,
             const Settings* cfg, int workers, BatchResult* result, bool alone);

#endif
