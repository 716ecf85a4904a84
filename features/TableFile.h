// Where a table is written, and how it lands: whole or not at all.
//
// A table is written to a temporary file beside its final name,
// "<name>.kinrec-tmp-<pid>-<n>", and moved onto the name only after its last row was
// written and the file closed without error; until then an earlier table of the name
// stays as it was. The caller's hooks learn each temporary name under their lock, so an
// interrupt's cleanup can remove them before the process ends. One left by a hard kill
// or a power loss is recognisable by its
// name (where the table's name is long, its end gives way to the suffix), is never
// taken as an input (it does not end in ".csv" or ".bin") and does not hinder a later
// run: a name that is taken is passed over for the next.
//
// What the name already holds decides:
//   nothing, an empty file or a kinrec table   replaced as above;
//   another non-empty file                     refused: it is never overwritten;
//   a link to a regular file                   the link's target is replaced;
//   a link to a name that does not exist       the table is made under that name;
//   a device, a FIFO (or a link to one)        written in place (/dev/null, /dev/stdout).
#ifndef KINREC_TABLE_FILE_H
#define KINREC_TABLE_FILE_H

#include "disk/Disk.h"
#include "kinrec.h"

#include <cstdio>
#include <string>

namespace kinrec::detail {

enum class TableOpen {
    kOpened,
    kNotCreated, // the file cannot be created (code: the system's)
    kRefused,    // the name holds something that is not a kinrec table
    kUnchecked,  // the name holds a file that cannot be read to check it (code)
};

// One table from its creation to its landing: the object owns the open file and the
// temporary name, and whatever it has not landed when it goes is removed.
class TableFile {
  public:
    TableFile(Disk& disk, WriteHooks* hooks)
        : disk_(disk), hooks_(hooks != nullptr ? hooks : &none_) {}
    ~TableFile() { Discard(); }
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    // Opens the table for output; info is what the disk's Inspect tells of the name. Otherwise
    // *code holds the errno (0 when the name holds another file).
    TableOpen Open(const std::string& output, const PathInfo& info, int* code);

    // Open for writing until Commit or Discard.
    std::FILE* Stream() const { return stream_; }
    // Written straight into the name (a device or a FIFO), not through a temporary file.
    bool InPlace() const { return temp_.empty(); }

    // Closes the complete table and moves it onto its name; false with *code, and
    // nothing left behind but what Left() names. The name is checked again first: where
    // it was free at the start the table lands only while it still is, and otherwise
    // replaces only an empty file or a kinrec table; *code is EEXIST when it no longer may.
    bool Commit(int* code);

    // Closes the table and removes its temporary file (a table written in place stays).
    void Discard();
    // The temporary file a Discard could not remove ("" when none is left).
    const std::string& Left() const { return left_; }

  private:
    // The finished temporary file onto its name, as Commit says.
    bool Land(int* code);

    Disk& disk_;
    WriteHooks none_;
    WriteHooks* hooks_;
    std::string target_;          // the file the table replaces
    bool free_ = false;           // nothing had the target's name when the table began
    std::string temp_;            // where it is written; "" when written in place
    std::FILE* stream_ = nullptr; // open for writing
    std::string left_;            // a temporary file that could not be removed
};

} // namespace kinrec::detail

#endif
