// Where the rows of a conversion go: the library's RowSink (kinrec.h). The converter
// hands over each kept sample's values in the order of its column names; a sink turns
// them into text (DsvTextSink) or keeps them (TableSink).
#ifndef KINREC_ROW_SINK_H
#define KINREC_ROW_SINK_H

#include "kinrec.h"

#include <cstdint>

namespace kinrec::detail {

// The first ten columns are written always; the rest come in optional groups, up to
// kMaxColumns in all.
constexpr int kFixedColumnCount = 10;
constexpr int kMaxColumns = 19;

using RowSink = ::kinrec::RowSink;

// Takes the rows and forgets them.
class NullSink : public RowSink {
  public:
    void Row(const std::int32_t* /*values*/, int /*n*/, std::int64_t /*sample*/) override {}
};

} // namespace kinrec::detail

#endif
