// Where a table is written, and how it lands: whole or not at all.
//
// A table is written to a temporary file beside its final name,
// "<name>.kinrec-tmp-<pid>-<n>", and moved onto the name only after its last row was
// written and the file closed without error; until then an earlier table of the name
// stays as it was. Ctrl-C or a termination signal removes the temporary files before
// the process ends. One left by a hard kill or a power loss is recognisable by its
// name, is never taken as an input (it does not end in ".csv" or ".bin") and does not
// hinder a later run.
//
// What the name already holds decides:
//   nothing, an empty file or a kinrec table   replaced as above;
//   another non-empty file                     refused: it is never overwritten;
//   a link to a regular file                   the link's target is replaced;
//   a device, a FIFO (or a link to one)        written in place (/dev/null, /dev/stdout).
#ifndef KINREC_TABLE_FILE_H
#define KINREC_TABLE_FILE_H

#include "app/Platform.h"

#include <cstdio>
#include <string>

struct TableFile {
    std::string target;          // the file the table replaces
    std::string temp;            // where it is written; "" when written in place
    std::FILE* stream = nullptr; // open for writing; the pipeline closes it
};

enum class TableOpen {
    kOpened,
    kNotCreated, // the file cannot be created (reason: the system's)
    kRefused,    // the name holds something that is not a kinrec table
};

// Opens the table for output; info is what platform::Inspect tells of the name.
// Otherwise *reason says why not.
TableOpen OpenTable(const std::string& output, const platform::PathInfo& info, TableFile* table,
                    std::string* reason);

// Moves a complete, closed table onto its name; false with *reason.
bool CommitTable(TableFile* table, std::string* reason);

// Removes what an incomplete table left (its temporary file; a table written in place
// stays).
void DiscardTable(TableFile* table);

// Removes every temporary table of the process and keeps new ones from being made: the
// interrupt's cleanup. It never returns the lock, as the process is about to end.
void RemoveTemporaryTables();

#endif
