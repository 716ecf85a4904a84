// Opening and closing the files kinrec reads: configuration files and CSV recordings.
#ifndef KINREC_INPUT_FILE_H
#define KINREC_INPUT_FILE_H

#include <cstdio>

// Opens path for reading as bytes; null when it cannot be opened or is a directory
// (which some systems let fopen open).
std::FILE* OpenInputFile(const char* path);

// Closes a file opened for reading; nothing written can be lost, so the result does not
// matter.
void CloseInputFile(std::FILE* f);

#endif
