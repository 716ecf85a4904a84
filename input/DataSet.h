// Binary dataset files: a 24-byte header, then packed 12-byte sample records.
//
//   offset 0   20 bytes  magic: "QM DataSet V1.0.0" and a NUL at offset 17
//   offset 20   4 bytes  int32 LE: absolute position of the first record
//   offset ...          records: six int16 LE each, up to the end of the file
//
// A trailing piece shorter than a record is not a record.
#ifndef KINREC_DATA_SET_H
#define KINREC_DATA_SET_H

#include "input/SampleRecord.h"

#include <cstddef>
#include <cstdio>

namespace kinrec::detail {

extern const char kDataSetMagic[18]; // "QM DataSet V1.0.0" with its NUL

struct DataSet {
    std::FILE* file;
    unsigned char buf[12 * 4096]; // read-ahead, whole records
    std::size_t pos;
    std::size_t end;
    int error; // errno of a failed read; 0 while none failed
};

// A handle positioned at the first record, or null when the file cannot be opened, is
// shorter than the header, lacks the magic, or has a negative record offset. With error
// given, *error then holds the errno of a failed open, read or seek (0 when the file's
// content is at fault).
DataSet* OpenDataSet(const char* path, int* error = nullptr);
// The same for a file open for reading as bytes, which the handle then owns (closed on
// failure too).
DataSet* OpenDataSet(std::FILE* file, int* error = nullptr);
// Reads up to count records; returns how many complete records were read (0 at the end
// of the file, or once a read failed: ds->error then holds the errno).
int ReadDataSet(DataSet* ds, SampleRecord* records, int count);
// Closes the file and frees the handle; null is accepted.
void CloseDataSet(DataSet* ds);

} // namespace kinrec::detail

#endif
