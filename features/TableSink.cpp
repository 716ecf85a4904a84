#include "features/TableSink.h"

#include <algorithm>

namespace kinrec::detail {

TableSink::TableSink(Table& table, const std::vector<std::string>& names, std::size_t rows)
    : table_(table) {
    if (table_.names.empty() && table_.columns.empty()) {
        table_.names = names;
        table_.columns.assign(names.size(), {});
    }
    if (table_.columns.size() != names.size()) {
        throw Error("a table of " + std::to_string(table_.columns.size()) +
                    " columns cannot take rows of " + std::to_string(names.size()));
    }
    used_ = table_.samples.size();
    for (const std::vector<std::int32_t>& c : table_.columns) {
        if (c.size() != used_) {
            throw Error("a table of " + std::to_string(used_) + " rows has a column of " +
                        std::to_string(c.size()) + " values");
        }
    }
    columns_.resize(table_.columns.size());
    Grow(used_ + std::max<std::size_t>(rows, 1));
}

TableSink::~TableSink() {
    Trim();
}

void TableSink::Grow(std::size_t rows) {
    // Storage grows to twice what it held at least, so that a table fed a row at a time
    // moves its values O(log n) times, not n times; only the rows asked for are made.
    const std::size_t held = table_.samples.capacity();
    const std::size_t capacity = rows <= held ? held : std::max(rows, 2 * held);
    try {
        for (std::size_t c = 0; c < table_.columns.size(); ++c) {
            std::vector<std::int32_t>& column = table_.columns[c];
            column.reserve(capacity);
            column.resize(rows);
            columns_[c] = column.data();
        }
        table_.samples.reserve(capacity);
        table_.samples.resize(rows);
    } catch (...) {
        Trim();
        throw;
    }
    samples_ = table_.samples.data();
    room_ = rows;
}

void TableSink::Trim() {
    for (std::vector<std::int32_t>& c : table_.columns) {
        c.resize(used_);
    }
    table_.samples.resize(used_);
}

void TableSink::Row(const std::int32_t* values, int n, std::int64_t sample) {
    if (used_ == room_) {
        Grow(used_ + std::max<std::size_t>(4096, used_ / 2));
    }
    const std::size_t width = std::min(columns_.size(), static_cast<std::size_t>(n));
    for (std::size_t c = 0; c < width; ++c) {
        columns_[c][used_] = values[c];
    }
    samples_[used_] = sample;
    ++used_;
}

} // namespace kinrec::detail
