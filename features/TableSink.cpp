#include "features/TableSink.h"

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
    for (std::vector<std::int32_t>& c : table_.columns) {
        c.reserve(c.size() + rows);
    }
    table_.samples.reserve(table_.samples.size() + rows);
}

void TableSink::Row(const std::int32_t* values, int n, std::int64_t sample) {
    for (int c = 0; c < n; ++c) {
        table_.columns[static_cast<std::size_t>(c)].push_back(values[c]);
    }
    table_.samples.push_back(sample);
}

} // namespace kinrec::detail
