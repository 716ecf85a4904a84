// Conversion of one input file into one DSV table.
#ifndef KINREC_CONVERT_H
#define KINREC_CONVERT_H

#include "app/DsvConfig.h"

#include <string>

// The table's name for an input path: the path without its last four characters, then
// "_DSV.csv" (a.csv and a.bin both give a_DSV.csv). A path of fewer than four characters
// keeps all of them: "ab" gives "ab_DSV.csv".
std::string OutputNameFor(const std::string& input);

// Converts input (a CSV file, or a dataset file when FileType is 4) into output, or into
// OutputNameFor(input) when output is null. Prints "<input> -> <output>" once the input
// is open. Returns 0 when the table was written to the end of the input; -1, silently,
// when the input cannot be opened, the table cannot be created or written, or the table
// would be the input itself.
int ConvertFile(const char* input, const char* output, DsvConfig* cfg);

// The same for a binary dataset file, whatever FileType says.
int ConvertDataSetFile(const char* input, const char* output, DsvConfig* cfg);

#endif
