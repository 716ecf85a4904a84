// Opening and closing the files kinrec reads: configuration files and CSV recordings,
// and a look at a file's first line.
#ifndef KINREC_INPUT_FILE_H
#define KINREC_INPUT_FILE_H

#include "disk/Disk.h"

#include <cstddef>
#include <cstdio>
#include <string>

namespace kinrec::detail {

// Opens path for reading as bytes; null when it cannot be opened or is a directory
// (which some systems let fopen open), with errno set.
std::FILE* OpenInputFile(Disk& disk, const std::string& path);

// Closes a file opened for reading; nothing written can be lost, so the result does not
// matter.
void CloseInputFile(std::FILE* f);

enum class TableCheck { kTable, kNotTable, kUnreadable };

// Whether the file's first line begins with the ten fixed names of a kinrec table's
// header, or is the first line of a batch summary, whatever the file is called: kinrec's
// own files are never recordings.
TableCheck IsKinrecTable(Disk& disk, const std::string& path);
// The same for a file open for reading, read from where it stands. (For a line already
// read: BeginsWithTableHeader in input/TableHeader.h, and IsSummaryMark.)
bool HeadIsTableHeader(std::FILE* f);

// The first line of a batch summary.
constexpr const char kSummaryMark[] = "# kinrec summary";
// Whether the n characters at text begin with that line, ended by a line end or by the
// end of text.
bool IsSummaryMark(const char* text, std::size_t n);

} // namespace kinrec::detail

#endif
