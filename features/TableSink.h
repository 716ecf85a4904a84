// The rows appended to a library Table, column by column.
#ifndef KINREC_TABLE_SINK_H
#define KINREC_TABLE_SINK_H

#include "features/RowSink.h"
#include "kinrec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kinrec::detail {

class TableSink : public RowSink {
  public:
    // Names the table's columns when it has none, and makes room for rows more.
    TableSink(Table& table, const std::vector<std::string>& names, std::size_t rows);
    void Row(const std::int32_t* values, int n, std::int64_t sample) override;

  private:
    Table& table_;
};

} // namespace kinrec::detail

#endif
