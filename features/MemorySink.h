// The table kept in memory, column by column: for callers that want the values rather
// than their text.
#ifndef KINREC_MEMORY_SINK_H
#define KINREC_MEMORY_SINK_H

#include "features/RowSink.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kinrec::detail {

class MemorySink : public RowSink {
  public:
    void Begin(const char* const* given, int n) override;
    void Row(const std::int32_t* values, int n, std::int64_t sample) override;
    // Room for this many rows, so that the columns need not grow (call after Begin).
    void Reserve(std::size_t rows);

    std::vector<std::string> names;                 // in table order
    std::vector<std::vector<std::int32_t>> columns; // columns[c][row]
    std::vector<std::int64_t> samples;              // input sample of each row
};

} // namespace kinrec::detail

#endif
