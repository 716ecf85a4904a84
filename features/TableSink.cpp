#include "features/TableSink.h"

#include <algorithm>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace kinrec::detail {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Storage for rows values of T. A large column gets a huge page more than it needs, and
// huge pages under it where the system gives them for the asking: a table's columns are
// written once, front to back, and faulting them in 4 KiB at a time costs more than the
// conversion's own writes. The advice names only whole pages inside the storage and
// changes no byte; the slack is never touched unless rows come to fill it.
template <class T>
void ReserveRows(std::vector<T>& v, std::size_t rows) {
    const bool large = rows >= kHugePage / sizeof(T);
    v.reserve(large ? rows + kHugePage / sizeof(T) : rows);
#if defined(__linux__)
    if (large) {
        const std::size_t bytes = v.capacity() * sizeof(T);
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        char* begin = reinterpret_cast<char*>(v.data());
        const std::size_t into = reinterpret_cast<std::uintptr_t>(begin) % page;
        const std::size_t skip = into == 0 ? 0 : page - into; // to the first whole page
        if (bytes > skip + page) {
            const std::size_t length = (bytes - skip) / page * page;
            (void)madvise(begin + skip, length, MADV_HUGEPAGE);
        }
    }
#endif
}

} // namespace

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
    room_ = used_;
    capacity_ = table_.samples.capacity();
    for (const std::vector<std::int32_t>& c : table_.columns) {
        capacity_ = std::min(capacity_, c.capacity());
    }
    Reserve(rows);
}

TableSink::~TableSink() {
    Trim();
}

void TableSink::Reserve(std::size_t rows) {
    // Storage grows to twice what it held at least, so that a table fed a row at a time
    // moves its values O(log n) times, not n times.
    const std::size_t need = used_ + std::max<std::size_t>(rows, 1);
    if (need <= capacity_) {
        return;
    }
    const std::size_t capacity = std::max(need, 2 * capacity_);
    try {
        for (std::vector<std::int32_t>& c : table_.columns) {
            ReserveRows(c, capacity);
        }
        ReserveRows(table_.samples, capacity);
    } catch (...) {
        Trim();
        throw;
    }
    capacity_ = capacity;
    Point();
}

void TableSink::Extend() {
    // The next rows' cells are made a few thousand at a time, just before they are
    // written (while they are still in the cache), within the storage reserved.
    constexpr std::size_t kRows = 4096;
    if (room_ == capacity_) {
        Reserve(std::max(kRows, used_ / 2));
    }
    room_ = std::min(capacity_, room_ + kRows);
    for (std::vector<std::int32_t>& c : table_.columns) {
        c.resize(room_);
    }
    table_.samples.resize(room_);
    Point();
}

void TableSink::Point() {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        columns_[c] = table_.columns[c].data();
    }
    samples_ = table_.samples.data();
}

void TableSink::Trim() {
    for (std::vector<std::int32_t>& c : table_.columns) {
        c.resize(used_);
    }
    table_.samples.resize(used_);
    room_ = used_;
}

void TableSink::Row(const std::int32_t* values, int n, std::int64_t sample) {
    if (used_ == room_) {
        Extend();
    }
    const std::size_t width = std::min(columns_.size(), static_cast<std::size_t>(n));
    for (std::size_t c = 0; c < width; ++c) {
        columns_[c][used_] = values[c];
    }
    samples_[used_] = sample;
    ++used_;
}

} // namespace kinrec::detail
