// What a recording shows of itself, gathered while it is converted and held against what
// it is said to be: its header's unit words, its time column's step, and the magnitude
// of its acceleration (a body-worn sensor reads about 1 g when still; the conversion
// counts its rows' raw_acc, features/DsvConverter.h).
//
// Each piece is a small accumulator fed with values the conversion already has; nothing
// here reads a file a second time or changes a value.
#ifndef KINREC_EVIDENCE_H
#define KINREC_EVIDENCE_H

#include <cstdint>
#include <string>
#include <vector>

namespace kinrec::detail {

// The units a header line names.
enum class HeaderUnits : std::int32_t {
    kNone = 0,     // no unit words (or no header)
    kPhysical = 1, // g, m/s^2, deg/s, dps, rad/s ...: physical values
    kCounts = 2,   // counts, raw, lsb: raw counts
};

// The unit words of a header line (names separated by commas, semicolons or tabs): the
// words of its names split at '_', ' ', '(', ')', '[' and ']'.
HeaderUnits UnitsOfHeader(const std::string& line);

// Whether a header line's first name reads as a time column, and its unit: the seconds
// one unit of it stands for (1e-3 for "timestamp_ms"); 0 when the name says no unit,
// -1 when it is no time column.
double TimeUnitOfHeader(const std::string& line);

// The step of a time column, judged on its values in the order read.
class TimeSteps {
  public:
    void Add(double t);
    // The typical step in the column's own unit when the values read as steady time
    // stamps (rising, nineteen steps in twenty within half of it either way, not a
    // counter stepping 1); 0 otherwise.
    double Step() const;

  private:
    static constexpr int kFirst = 32; // steps that set the reference
    double first_ = 0;
    double last_ = 0;
    std::int64_t n_ = 0;        // values
    std::vector<double> early_; // the first steps
    std::int64_t off_ = 0;      // steps far from the reference, after the first
    bool counter_ = true;       // every step so far exactly 1
    double reference_ = 0;      // the median of the first steps, once there are kFirst
};

// The time column's step in seconds for a column whose header says unit (see
// TimeUnitOfHeader; 0: none said): the step as it stands in the unit said, or else in
// the unit that makes its rate 1 Hz to 10 kHz (s, ms, us, then ns).
double StepSeconds(double step, double unit);

// What a conversion saw, for EvidenceSentences.
struct Evidence {
    std::int32_t fileType = 0;              // 1 to 4 as read; 0: values in memory
    HeaderUnits units = HeaderUnits::kNone; // what the header names
    double restMedian = 0;                  // [g] median magnitude; 0: unknown
    std::int32_t accUnit = 0;               // acceleration as 0 physical values, 1 counts,
                                            // 2 hundredths of g
    double beyondShare = 0;                 // of the samples, those beyond the 16-bit range
    double step = 0;                        // [s] per input sample; 0: no steady time column
    std::int32_t resample = 0;              // the settings' resample count
};

// The sentences the evidence gives, each a note of its own; none when it agrees with what
// the recording is said to be.
std::vector<std::string> EvidenceSentences(const Evidence& e);

} // namespace kinrec::detail

#endif
