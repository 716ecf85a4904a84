// The three CSV sample-line layouts.
//
// Fields are separated by commas; a run of commas is one separator and commas at the
// start of the line are passed over, so empty fields do not count as columns. Blanks,
// tabs and the line end stay inside the fields. The first column (and for the physical
// layout the second) is skipped whatever it holds; columns past the layout are ignored.
//
//   ParseCsvCounts     t, accX, accY, accZ, gyroX, gyroY, gyroZ            [counts]
//   ParseCsvPhysical   t, -, accX, accY, accZ [g], gyroX, gyroY, gyroZ [deg/s]
//   ParseCsvCounts100  t, accX, accY, accZ, gyroX, gyroY, gyroZ  [100 counts]
//
// Each parser reads the line without changing it. It returns 0 when it filled all six
// fields and -1, leaving the record untouched, when the line has fewer columns than its
// layout needs (seven, or eight for the physical layout): a line cut short, such as the
// last line of a recording that lost power, is not a sample. When a value does not fit
// 16-bit counts and wraps, *wrapPeak (0 before) becomes the largest such count before
// its wrap, by magnitude (+-40000 for 40000 counts, 5 g or 500 hundreds).
#ifndef KINREC_CSV_PARSERS_H
#define KINREC_CSV_PARSERS_H

#include "input/SampleRecord.h"

#include <cstddef>
#include <cstdint>

namespace kinrec::detail {

int ParseCsvCounts(char* line, SampleRecord* rec, std::int64_t* wrapPeak);
int ParseCsvPhysical(char* line, SampleRecord* rec, std::int64_t* wrapPeak);
int ParseCsvCounts100(char* line, SampleRecord* rec, std::int64_t* wrapPeak);

// Physical units to counts, in double precision, with the record's own factors widened:
// the value times the factor, truncated toward zero, its low 16 bits as a signed value
// (so values beyond the sensor's range wrap; not-a-number and values beyond 32 bits
// give INT32_MIN's low bits, 0).
constexpr double kPhysAccFactor = static_cast<double>(kCountsPerG);    // per g
constexpr double kPhysGyroFactor = static_cast<double>(kCountsPerDps); // 65.53600311279297
std::int16_t PhysicalToCounts(double value, double factor);

// Notes a count before its wrap to 16 bits in *peak when it does not fit.
inline void NoteWrap(std::int64_t counts, std::int64_t* peak) {
    if ((counts < -32768 || counts > 32767) && LargerMagnitude(counts, *peak)) {
        *peak = counts;
    }
}

// A count saturated at the 16-bit range on its unbounded value; not a number gives
// -32768, as below the range.
inline std::int16_t ClipInt16(double counts) {
    if (counts >= 32767.0) {
        return 32767;
    }
    if (!(counts > -32768.0)) {
        return -32768;
    }
    return static_cast<std::int16_t>(static_cast<std::int32_t>(counts));
}

typedef int (*CsvLineParser)(char* line, SampleRecord* rec, std::int64_t* wrapPeak);

// The plain shape of an integer sample line, which nearly every line of a counts or
// hundreds recording has: a first column of an optional minus sign and up to 22 digits,
// then exactly six columns of an optional minus sign and one to five digits, each after
// one comma, then "\n" or "\r\n". Such a line reads as the layout's parser reads it,
// so it can be taken straight from the line reader's buffer in one pass; any other line
// takes the general way (LineReader::Next and the parser).
constexpr std::size_t kPlainLineMax = 67; // the longest plain line, its line end included

// Reads the six values of a plain line at p into v and returns the end of the line
// (after its "\n"); null, with v undefined, when the line is not plain. Reads no more
// than kPlainLineMax bytes at p, which need not hold a NUL.
const char* ParsePlainLine(const char* p, std::int32_t v[6]);

// What the integer layouts make of a line's six values: the record, and the wrap noted
// as the layout's parser notes it.
typedef void (*CountsLayout)(const std::int32_t v[6], SampleRecord* rec, std::int64_t* wrapPeak);
void StoreCounts(const std::int32_t v[6], SampleRecord* rec, std::int64_t* wrapPeak);
void StoreCounts100(const std::int32_t v[6], SampleRecord* rec, std::int64_t* wrapPeak);

// Plain lines one after another from p, while kPlainLineMax bytes or more are left before
// end, into recs[0..max) as a layout stores them: stops before the first line that is
// not plain, and after a line with a value that wrapped (its wrap in *wrapPeak, 0
// before). Returns the end of the last line taken (p when none was) and their number in
// *taken. Reads nothing at or past end.
typedef const char* (*PlainLinesReader)(const char* p, const char* end, SampleRecord* recs,
                                        std::size_t max, std::size_t* taken,
                                        std::int64_t* wrapPeak);
// The one for a FileType whose lines can be plain; null for the physical layout. With
// clip, values beyond the range saturate at its ends (and are still noted).
PlainLinesReader PlainLinesReaderFor(int fileType, bool clip = false);

// The parser for a FileType: 2 physical, 3 hundreds of counts, anything else counts;
// with clip, as above.
CsvLineParser CsvParserFor(int fileType, bool clip = false);
// The columns its layout needs: 8 for the physical layout, else 7.
inline int CsvColumnsFor(int fileType) {
    return fileType == 2 ? 8 : 7;
}

// Whether a line is a sample line: it begins with a decimal digit or a minus sign.
inline bool IsSampleLine(const char* line) {
    return (line[0] >= '0' && line[0] <= '9') || line[0] == '-';
}

} // namespace kinrec::detail

#endif
