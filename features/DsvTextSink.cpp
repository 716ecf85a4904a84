#include "features/DsvTextSink.h"

#include <utility>

namespace kinrec::detail {

void DsvTextSink::Header(const char* const* names, int n) {
    for (int c = 0; c < n; ++c) {
        if (c > 0) {
            out_.PutText(c < kFixedColumnCount ? "," : ", ");
        }
        out_.PutText(names[c]);
    }
    out_.PutText("\n");
}

void DsvTextSink::Header(const std::vector<std::string>& names) {
    std::vector<const char*> c;
    c.reserve(names.size());
    for (const std::string& n : names) {
        c.push_back(n.c_str());
    }
    Header(c.data(), static_cast<int>(c.size()));
}

namespace {

// The fields after the first of a row of every column, one after another without a loop.
template <std::size_t... c>
char* PutEveryField(char* p, const std::int32_t* values, std::index_sequence<c...> /*after*/) {
    ((p = DsvOutput::PutField(p, values[c + 1])), ...);
    return p;
}

} // namespace

void DsvTextSink::Row(const std::int32_t* values, int n, std::int64_t /*sample*/) {
    char* p = out_.BeginRow();
    p = DsvOutput::PutInt(p, values[0]);
    if (n == kMaxColumns) {
        p = PutEveryField(p, values, std::make_index_sequence<kMaxColumns - 1>());
    } else {
        for (int c = 1; c < n; ++c) {
            p = DsvOutput::PutField(p, values[c]);
        }
    }
    *p++ = '\n';
    out_.EndRow(p);
    ++rows_;
}

} // namespace kinrec::detail
