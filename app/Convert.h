// Conversion of one input file into one DSV table.
#ifndef KINREC_CONVERT_H
#define KINREC_CONVERT_H

#include "app/Console.h"
#include "features/DsvConfig.h"
#include "kinrec.h"

#include <cstdint>
#include <string>

using kinrec::detail::DsvConfig;

// The table's name for an input path: the path without its last four characters, then
// "_DSV.csv" (a.csv and a.bin both give a_DSV.csv). A path of fewer than four characters
// keeps all of them: "ab" gives "ab_DSV.csv".
std::string OutputNameFor(const std::string& input);

// What a conversion came to. Failures are negative.
enum ConvertStatus : int {
    kConverted = 0,
    kSkippedTable = 1,     // a kinrec table met by a search (skipTables): left alone
    kInputNotOpened = -1,  // cannot be opened; with FileType 4, not a dataset file
    kTableNotCreated = -2, // cannot be created, would be the input, or holds another file
    kTableNotWritten = -3, // a write or the close failed; nothing was left behind
    kInputRefused = -4,    // the input is a kinrec table
};

// Whether the one-argument form goes on to take its argument as a selector.
inline bool FallsBack(int status) {
    return status == kInputNotOpened || status == kTableNotCreated;
}

struct ConvertOptions {
    Console* console = nullptr; // where its lines go; null: straight through
    bool skipTables = false;    // a kinrec table as input is skipped silently
    bool showProgress = true;   // the progress line, where it is shown at all
    // When set, an input that cannot be opened is not reported but described here.
    std::string* openFailure = nullptr;
    // When set, the input's row of the batch summary (its status stays "" for a kinrec
    // table skipped).
    kinrec::SummaryRow* row = nullptr;
};

// The console a conversion's lines go to.
inline Console& ConsoleOf(const ConvertOptions& options) {
    return options.console != nullptr ? *options.console : StdConsole();
}

// Converts input (a CSV file, or a dataset file when FileType is 4) into output, or into
// OutputNameFor(input) when output is null, on the gyro bias count *biasCount (the
// run's, carried from file to file). Prints "<input> -> <output>" once the input is
// open, and one line on standard error for a failure. The table lands whole or not at
// all (see features/TableFile.h); the input is read to its end even when the table cannot be
// written, so the count that later files inherit does not depend on it.
int ConvertFile(const char* input, const char* output, const DsvConfig* cfg,
                std::int32_t* biasCount, const ConvertOptions& options = ConvertOptions());

// The same for a binary dataset file, whatever FileType says.
int ConvertDataSetFile(const char* input, const char* output, const DsvConfig* cfg,
                       std::int32_t* biasCount, const ConvertOptions& options = ConvertOptions());

// Reads input as ConvertFile would, without a table and without a word, only for its
// effect on the gyro bias count *biasCount, and no further than the count's limit.
void CountBias(const char* input, const DsvConfig* cfg, std::int32_t* biasCount);

#endif
