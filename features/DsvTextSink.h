// The table as text: the header line, then a line of decimal integers per row, values
// separated by commas (the header's optional names by a comma and a space), each line
// ended by "\n" (CR LF where the platform's text streams write it).
#ifndef KINREC_DSV_TEXT_SINK_H
#define KINREC_DSV_TEXT_SINK_H

#include "features/DsvOutput.h"
#include "features/RowSink.h"

#include <cstdio>
#include <string>
#include <vector>

namespace kinrec::detail {

class DsvTextSink : public RowSink {
  public:
    // Creates or truncates the file; false (Error() says why) when it cannot be created.
    bool Open(const char* path) { return out_.Open(path); }
    // Writes into a file open for writing, which stays the caller's: Close flushes it
    // but does not close it.
    void Open(std::FILE* file) { out_.Open(file); }

    // The header line: the column names, before any row.
    void Header(const char* const* names, int n);
    void Header(const std::vector<std::string>& names);
    void Row(const std::int32_t* values, int n, std::int64_t sample) override;
    bool Good() const override { return !out_.Failed(); }
    // The rows given so far.
    std::int64_t Rows() const { return rows_; }

    // Writes out what is buffered (and closes a file it created); false when any write
    // or the close failed (Error() says why).
    bool Close() { return out_.Close(); }
    // Gives the table up: nothing more is written to the file.
    void Abandon() { out_.Abandon(); }
    int Error() const { return out_.Error(); }

  private:
    DsvOutput out_;
    std::int64_t rows_ = 0;
};

} // namespace kinrec::detail

#endif
