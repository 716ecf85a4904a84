// The samples of one stream (a file, or a file's rows of one sensor), their timing, and
// the merge of two streams onto one grid.
#ifndef KINREC_SAMPLE_STREAMS_H
#define KINREC_SAMPLE_STREAMS_H

#include "input/DelimitedText.h"
#include "input/TimeStamps.h"
#include "kinrec.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kinrec::detail {

// One stream's samples in file order (Sorted() orders them by time).
struct SampleStream {
    std::string label;               // the file, or "<file> (accelerometer rows)"
    std::vector<double> times;       // [s] from the stream's first stamp
    std::size_t width = 0;           // values per sample: 3 (one sensor) or 6
    std::vector<double> values;      // width values per sample, in g and deg/s
    std::vector<std::int64_t> rows;  // the 0-based data row of each sample
    std::vector<std::int64_t> lines; // the 1-based file line of each sample
    std::optional<Stamp> origin;     // the first stamp; none without time stamps
    std::optional<double> scale;     // [s] per unit of the stamps; none for dates or no stamps
    void Sorted();
};

// The streams read: sensors "acc", "gyr" or both ("accgyr"); bareOk takes a bare "x"
// column name as the axis of the one sensor. Conditions choose the rows.
SampleStream ReadStream(const DelimitedText& table, const ReadOptions& options,
                        const std::vector<std::string>& sensors, bool bareOk,
                        const std::vector<Condition>& conditions, const std::string& label,
                        std::vector<ReadNote>& notes);

// The timing of time stamps in order of arrival.
struct Timing {
    std::optional<double> rate; // [Hz] of the median positive step; none without one
    bool even = false;          // at least 90 % of the steps within 25 % of the median
    std::size_t backwards = 0;  // steps that repeat or go back
    std::size_t gaps = 0;       // steps longer than 1.5 medians
};
Timing TimingOf(const std::vector<double>& times);

// A sample per grid point: its time from the grid's start, the accelerometer's row and
// the six values.
struct GridRow {
    double time;
    std::int64_t row;
    std::array<double, 6> values;
};

// One stream of six values onto a grid of rate Hz over its span.
std::vector<GridRow> OnGrid(SampleStream stream, double rate, std::vector<ReadNote>& notes);

// Two streams onto one grid of rate Hz over the span both cover; where names both in
// notes. With time stamps, the gyroscope's are put on the accelerometer's clock.
std::vector<GridRow> Merge(SampleStream acc, SampleStream gyro, double rate, bool stamped,
                           const std::string& where, std::vector<ReadNote>& notes);

// printf's %.<digits>g and %.<digits>f in the C locale.
std::string FormatG(double value, int digits);
std::string FormatF(double value, int digits);

} // namespace kinrec::detail

#endif
