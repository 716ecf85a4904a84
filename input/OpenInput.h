// The one opener of a recording, for every door: the table writer, the library's
// FromFile, the console's bias count and the Python module all open their inputs here,
// so folders, FIFOs, devices and files of an unknown kind fare alike everywhere.
#ifndef KINREC_OPEN_INPUT_H
#define KINREC_OPEN_INPUT_H

#include "disk/Disk.h"
#include "input/SampleSource.h"
#include "kinrec.h"

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
OpenedInput OpenInput(Disk& disk, const std::string& input, int fileType, bool clip = false);

} // namespace kinrec::detail

#endif
