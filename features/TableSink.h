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

// Rows are written in place into columns whose storage is reserved ahead of them and grows
// to twice its size at least, so that rows come in amortised constant time however few
// each push brings; the columns are cut back to the rows written when the sink goes.
class TableSink : public RowSink {
  public:
    // Names the table's columns when it has none, and makes room for rows more.
    TableSink(Table& table, const std::vector<std::string>& names, std::size_t rows);
    ~TableSink() override;
    TableSink(const TableSink&) = delete;
    TableSink& operator=(const TableSink&) = delete;
    void Row(const std::int32_t* values, int n, std::int64_t sample) override;
    void Expect(std::size_t rows) override { Reserve(rows); }
    // Storage for rows more than the sink has written.
    void Reserve(std::size_t rows);

  private:
    // Cells for the next rows, within the storage (which grows when it is full).
    void Extend();
    // columns_ and samples_ onto the storage.
    void Point();
    // The columns cut back to the rows written.
    void Trim();

    Table& table_;
    std::vector<std::int32_t*> columns_; // table_.columns' data
    std::int64_t* samples_ = nullptr;    // table_.samples' data
    std::size_t used_ = 0;               // rows written
    std::size_t room_ = 0;               // cells made in each column
    std::size_t capacity_ = 0;           // rows every column's storage holds
};

} // namespace kinrec::detail

#endif
