// Where a conversion's samples come from, in input order: a CSV recording in one of its
// three layouts, a binary dataset file, or channels a caller holds in memory.
#ifndef KINREC_SAMPLE_SOURCE_H
#define KINREC_SAMPLE_SOURCE_H

#include "input/CsvParsers.h"
#include "input/DataSet.h"
#include "input/Evidence.h"
#include "input/LineReader.h"
#include "input/SampleRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace kinrec::detail {

// Samples with a value that did not fit 16-bit counts and wrapped around.
struct WrapCounts {
    long long samples = 0; // how many
    long long first = -1;  // the first one's index; -1: none
    long long peak = 0;    // the largest value before its wrap, in counts, by magnitude
    void Note(long long sample, long long value) {
        if (samples++ == 0) {
            first = sample;
        }
        if (LargerMagnitude(value, peak)) {
            peak = value;
        }
    }
    // Takes in the wraps of a later part of the input, whose samples begin at offset.
    void Add(const WrapCounts& part, long long offset) {
        if (part.samples == 0) {
            return;
        }
        if (samples == 0) {
            first = offset + part.first;
        }
        samples += part.samples;
        if (LargerMagnitude(part.peak, peak)) {
            peak = part.peak;
        }
    }
};

class SampleSource {
  public:
    virtual ~SampleSource() = default;
    // The next sample; false at the end of the input, or once reading failed.
    virtual bool Next(SampleRecord* rec) = 0;
    // The next samples, up to max of them, into recs; how many. Fewer than max only at
    // the end of the input, or once reading failed (then, as for Next, no more follow).
    virtual std::size_t Fill(SampleRecord* recs, std::size_t max);
    // The errno of a failed read; 0 while none failed.
    virtual int Error() const { return 0; }
    // Bytes of the input read so far, for a progress display; -1 where that means nothing.
    virtual long long Position() { return -1; }
    // The samples so far whose values wrapped on their way to 16-bit counts.
    virtual const WrapCounts& Wraps() const { return wraps_; }

  protected:
    WrapCounts wraps_;
};

// What a CSV source saw of its lines, so far.
struct LineCounts {
    long long lines = 0;         // pieces read (a line of over 1023 characters is several)
    long long samples = 0;       // lines taken as samples
    long long sampleLike = 0;    // lines that begin with a digit or a minus sign
    long long skipped = 0;       // lines after the first sample that were not taken:
    long long blankStart = 0;    //   of them, beginning with a space or a tab
    long long shortLines = 0;    //   of them, sample lines with too few columns
    long long lastLineShort = 0; // 1 when the last line that was not blank was short
};

// A CSV recording: every line that begins with a digit or a minus sign and has the
// layout's columns is a sample (see input/CsvParsers.h); other lines are passed over.
// The source owns the file and closes it.
class CsvSource : public SampleSource {
  public:
    // With clip, values beyond the 16-bit range saturate at its ends (still noted as
    // Wraps()); otherwise they wrap.
    CsvSource(std::FILE* file, int fileType, bool clip = false);
    ~CsvSource() override;
    CsvSource(const CsvSource&) = delete;
    CsvSource& operator=(const CsvSource&) = delete;

    // The first line, before any sample was taken (null for an empty file).
    const char* FirstLine() const { return first_; }

    bool Next(SampleRecord* rec) override { return Fill(rec, 1) == 1; }
    std::size_t Fill(SampleRecord* recs, std::size_t max) override;
    int Error() const override { return reader_.Error(); }
    long long Position() override { return std::ftell(file_); }
    const LineCounts& Counts() const { return counts_; }
    // The evidence of the lines so far: the units the header names (the last line before
    // the first sample), and the step in seconds of the first column over the first
    // kTimeLines samples when it reads as steady time stamps (0 otherwise).
    HeaderUnits Units() const { return UnitsOfHeader(header_); }
    double TimeStep() const;
    static constexpr long long kTimeLines = 2048;

  private:
    enum class Line { kSample, kOther, kEnd };

    // Plain lines (see ParsePlainLine) read in the reader's buffer, up to max of them;
    // how many. Stops before a line that is not plain, and where fewer bytes are left in
    // the file than a plain line can take.
    std::size_t TakePlain(SampleRecord* recs, std::size_t max);
    // One line the general way: a sample into *rec, a line that is none, or the end.
    Line TakeLine(SampleRecord* rec);

    std::FILE* file_;
    LineReader reader_;
    CsvLineParser parse_;
    PlainLinesReader plain_; // null where lines are never plain
    char* first_;
    LineCounts counts_;
    std::string header_; // the last line before the first sample
    TimeSteps time_;     // the first column of the first kTimeLines samples
};

// A binary dataset file; the source owns the handle and closes it.
class DataSetSource : public SampleSource {
  public:
    explicit DataSetSource(DataSet* ds) : ds_(ds) {}
    ~DataSetSource() override { CloseDataSet(ds_); }
    DataSetSource(const DataSetSource&) = delete;
    DataSetSource& operator=(const DataSetSource&) = delete;

    bool Next(SampleRecord* rec) override { return ReadDataSet(ds_, rec, 1) > 0; }
    int Error() const override { return ds_->error; }
    long long Position() override { return std::ftell(ds_->file); }

  private:
    DataSet* ds_;
};

// Six channels in memory, n samples each: acc X, Y, Z, rate X, Y, Z. The arrays stay the
// caller's and must outlive the source.
class CountsSource : public SampleSource {
  public:
    // Raw counts.
    CountsSource(const std::int16_t* const channels[6], std::size_t n);
    bool Next(SampleRecord* rec) override;

  private:
    const std::int16_t* ch_[6];
    std::size_t n_;
    std::size_t i_ = 0;
};

// 32-bit counts, as the counts CSV layout takes a number: its low 16 bits (noted as a
// wrap when it does not fit); with clip, saturated at the range's ends instead (and
// noted all the same).
class Counts32Source : public SampleSource {
  public:
    Counts32Source(const std::int32_t* const channels[6], std::size_t n, bool clip = false);
    bool Next(SampleRecord* rec) override;

  private:
    const std::int32_t* ch_[6];
    std::size_t n_;
    std::size_t i_ = 0;
    bool clip_;
};

// How a channel of doubles becomes counts: the value divided by divisor and times
// multiplier (either may be 1, which changes no value), then times factor, in double
// precision; counts (factor 0) are truncated and saturated at 32 bits instead.
struct ChannelScale {
    double divisor = 1.0;
    double multiplier = 1.0;
    double factor = 0.0;
};

// The counts of value on scale s before their wrap to 16 bits (INT32_MIN for a physical
// value that is not a number or beyond 32 bits, as the physical layout gives).
std::int32_t PreCounts(double value, const ChannelScale& s);
// The same, saturated at the 16-bit range on the unbounded value.
std::int16_t ClippedCounts(double value, const ChannelScale& s);

class PhysicalSource : public SampleSource {
  public:
    // Acceleration in g, rate in deg/s (or the scales given, acc then gyro), made counts
    // exactly as the physical CSV layout makes them (PhysicalToCounts), so values beyond
    // the range wrap in the same way; with clip, they saturate at the range's ends
    // instead (noted all the same).
    PhysicalSource(const double* const channels[6], std::size_t n, bool clip = false);
    PhysicalSource(const double* const channels[6], std::size_t n, bool clip,
                   const ChannelScale& acc, const ChannelScale& gyro);
    bool Next(SampleRecord* rec) override;

  private:
    const double* ch_[6];
    std::size_t n_;
    std::size_t i_ = 0;
    bool clip_;
    ChannelScale scale_[2]; // acc, gyro
};

} // namespace kinrec::detail

#endif
