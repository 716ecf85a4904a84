#include "features/MemorySink.h"

namespace kinrec::detail {

void MemorySink::Begin(const char* const* given, int n) {
    names.assign(given, given + n);
    columns.assign(static_cast<std::size_t>(n), {});
    samples.clear();
}

void MemorySink::Row(const std::int32_t* values, int n, std::int64_t sample) {
    for (int c = 0; c < n; ++c) {
        columns[static_cast<std::size_t>(c)].push_back(values[c]);
    }
    samples.push_back(sample);
}

void MemorySink::Reserve(std::size_t rows) {
    for (std::vector<std::int32_t>& c : columns) {
        c.reserve(rows);
    }
    samples.reserve(rows);
}

} // namespace kinrec::detail
