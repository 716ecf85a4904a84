// Conversion of one input file into one DSV table.
#ifndef KINREC_CONVERT_H
#define KINREC_CONVERT_H

#include "app/Console.h"
#include "kinrec.h"

#include <cstdint>
#include <string>

using kinrec::Settings;

// Whether the input could not be read as a recording: it cannot be opened, or with
// FileType 4 is no dataset file.
inline bool InputNotOpened(kinrec::Failure f) {
    return f == kinrec::Failure::kInputNotOpened || f == kinrec::Failure::kNotDataSet;
}

// Whether the one-argument form goes on to take its argument as a selector: the input
// was not read, or no table could be made under its name.
inline bool FallsBack(kinrec::Failure f) {
    using kinrec::Failure;
    return InputNotOpened(f) || f == Failure::kTableIsInput || f == Failure::kTableRefused ||
           f == Failure::kTableUnchecked || f == Failure::kTableNotCreated;
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
// kinrec::TableNameFor(input) when output is null, on the gyro bias count *biasCount (the
// run's, carried from file to file). Prints "<input> -> <output>" once the input is
// open, and one line on standard error for a failure. The table lands whole or not at
// all (see features/TableFile.h); the input is read to its end even when the table cannot be
// written, so the count that later files inherit does not depend on it.
kinrec::Failure ConvertFile(const char* input, const char* output, const Settings* cfg,
                            std::int32_t* biasCount,
                            const ConvertOptions& options = ConvertOptions());

// The same for a binary dataset file, whatever FileType says.
kinrec::Failure ConvertDataSetFile(const char* input, const char* output, const Settings* cfg,
                                   std::int32_t* biasCount,
                                   const ConvertOptions& options = ConvertOptions());

// Reads input as ConvertFile would, without a table and without a word, only for its
// effect on the gyro bias count *biasCount, and no further than the count's limit.
void CountBias(const char* input, const Settings* cfg, std::int32_t* biasCount);

#endif
