// Where the rows of a conversion go. The converter hands over the table's column names
// once, then each kept sample's values in the same order; a sink turns them into text
// (DsvTextSink) or keeps them (MemorySink).
#ifndef KINREC_ROW_SINK_H
#define KINREC_ROW_SINK_H

#include <cstdint>

namespace kinrec::detail {

// The first ten columns are written always; the rest come in optional groups.
constexpr int kFixedColumnCount = 10;

class RowSink {
  public:
    virtual ~RowSink() = default;
    // The table's columns, before any row: names[0..n).
    virtual void Begin(const char* const* names, int n) = 0;
    // One row: values[0..n) in the order of the names; sample is the index of the input
    // sample the row was kept from (0 for the first sample of the input).
    virtual void Row(const std::int32_t* values, int n, std::int64_t sample) = 0;
    // False once a row could not be stored (the table's writes failed).
    virtual bool Good() const { return true; }
};

// Takes the rows and forgets them.
class NullSink : public RowSink {
  public:
    void Begin(const char* const* /*names*/, int /*n*/) override {}
    void Row(const std::int32_t* /*values*/, int /*n*/, std::int64_t /*sample*/) override {}
};

} // namespace kinrec::detail

#endif
