// The pieces of writing a table that the console also uses on its own: opening an input
// as a sample source, and reading one only for the gyro bias count.
#ifndef KINREC_WRITE_TABLE_H
#define KINREC_WRITE_TABLE_H

#include "features/FileSystem.h"
#include "input/SampleSource.h"
#include "kinrec.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kinrec::detail {

struct OpenedInput {
    std::unique_ptr<SampleSource> source;
    const CsvSource* csv = nullptr; // the same, when it is a CSV recording
    FileId id;                      // of the input, to tell it from the table
    long long size = -1;            // [bytes] of a regular file; -1: unknown
    Failure failure = Failure::kNone;
    int code = 0;
};

// Opens a recording by FileType: 4 a dataset file, anything else a CSV layout (with clip,
// its values beyond the range saturate). A kinrec table is refused (kInputIsTable).
OpenedInput OpenInput(const std::string& input, int fileType, bool clip = false);

// The samples of src through the first stage only, for their effect on the gyro bias
// count, and no further than the count's limit: a file whose table cannot be written
// leaves the count where its conversion would have left it.
void Drain(SampleSource& src, const Settings& settings, std::int32_t* biasCount);

} // namespace kinrec::detail

#endif
