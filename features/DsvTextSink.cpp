#include "features/DsvTextSink.h"

namespace kinrec::detail {

void DsvTextSink::Begin(const char* const* names, int n) {
    for (int c = 0; c < n; ++c) {
        if (c > 0) {
            out_.PutText(c < kFixedColumnCount ? "," : ", ");
        }
        out_.PutText(names[c]);
    }
    out_.PutText("\n");
}

void DsvTextSink::Row(const std::int32_t* values, int n, std::int64_t /*sample*/) {
    char* p = out_.BeginRow();
    p = DsvOutput::PutInt(p, values[0]);
    for (int c = 1; c < n; ++c) {
        p = DsvOutput::PutField(p, values[c]);
    }
    *p++ = '\n';
    out_.EndRow(p);
}

} // namespace kinrec::detail
