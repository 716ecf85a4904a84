#include "input/SampleSource.h"

#include "input/NumberText.h"

#include <cmath>

#include "Include/IntConv.h"

#include <algorithm>
#include <cerrno>

namespace kinrec::detail {

std::size_t SampleSource::Fill(SampleRecord* recs, std::size_t max) {
    std::size_t n = 0;
    while (n < max && Next(&recs[n])) {
        ++n;
    }
    return n;
}

CsvSource::CsvSource(std::FILE* file, int fileType, bool clip)
    : file_(file), reader_(file), parse_(CsvParserFor(fileType, clip)),
      plain_(PlainLinesReaderFor(fileType, clip)) {
    first_ = reader_.Next();
}

double CsvSource::TimeStep() const {
    const double unit = TimeUnitOfHeader(header_);
    // A first column named as something else (an index, a sample counter) is no time.
    return unit < 0 && !header_.empty() ? 0 : StepSeconds(time_.Step(), unit > 0 ? unit : 0);
}

CsvSource::~CsvSource() {
    (void)std::fclose(file_); // opened for reading: nothing to lose
}

std::size_t CsvSource::Fill(SampleRecord* recs, std::size_t max) {
    std::size_t n = 0;
    while (n < max) {
        // The first samples go the general way, which looks at their time column.
        if (first_ == nullptr && plain_ != nullptr && counts_.samples >= kTimeLines) {
            n += TakePlain(recs + n, max - n);
            if (n == max) {
                break;
            }
        }
        const Line line = TakeLine(&recs[n]);
        if (line == Line::kEnd) {
            break;
        }
        n += line == Line::kSample ? 1 : 0;
    }
    return n;
}

std::size_t CsvSource::TakePlain(SampleRecord* recs, std::size_t max) {
    std::size_t n = 0;
    while (n < max) {
        const char* p = reader_.Peek(kPlainLineMax);
        if (p == nullptr) {
            break;
        }
        std::size_t taken = 0;
        std::int64_t peak = 0;
        const char* end = plain_(p, reader_.PeekEnd(), recs + n, max - n, &taken, &peak);
        if (taken == 0) {
            break;
        }
        reader_.Skip(end);
        const auto t = static_cast<long long>(taken);
        counts_.lines += t;
        counts_.sampleLike += t;
        counts_.samples += t;
        counts_.lastLineShort = 0;
        if (peak != 0) {
            wraps_.Note(counts_.samples - 1, peak); // the last line taken
        }
        n += taken;
    }
    return n;
}

CsvSource::Line CsvSource::TakeLine(SampleRecord* rec) {
    char* line = first_ != nullptr ? first_ : reader_.Next();
    first_ = nullptr;
    if (line == nullptr) {
        return Line::kEnd;
    }
    ++counts_.lines;
    if (IsSampleLine(line)) {
        ++counts_.sampleLike;
        std::int64_t peak = 0;
        // The first column, when it is a number alone; read before the parser, which may
        // write into the line.
        double t = std::nan("");
        if (counts_.samples < kTimeLines) {
            const char* end = line;
            while (*end != ',' && *end != '\0') {
                ++end;
            }
            if (end > line && end[-1] >= '0' && end[-1] <= '9') {
                t = ParseDouble(line, end);
            }
        }
        if (parse_(line, rec, &peak) == 0) {
            if (counts_.samples < kTimeLines) {
                time_.Add(t);
            }
            if (peak != 0) {
                wraps_.Note(counts_.samples, peak);
            }
            ++counts_.samples;
            counts_.lastLineShort = 0;
            return Line::kSample;
        }
        if (counts_.samples > 0) {
            ++counts_.skipped;
            ++counts_.shortLines;
            counts_.lastLineShort = 1;
        }
        return Line::kOther;
    }
    if (counts_.samples == 0) {
        header_ = line; // titles before the samples are expected: the last names columns
        return Line::kOther;
    }
    const char c = line[0];
    if (c == '\n' || c == '\r' || c == '\0') {
        return Line::kOther; // a blank line says nothing
    }
    ++counts_.skipped;
    counts_.lastLineShort = 0;
    if (c == ' ' || c == '\t') {
        ++counts_.blankStart;
    }
    return Line::kOther;
}

CountsSource::CountsSource(const std::int16_t* const channels[6], std::size_t n) : n_(n) {
    for (int c = 0; c < 6; ++c) {
        ch_[c] = channels[c];
    }
}

bool CountsSource::Next(SampleRecord* rec) {
    if (i_ >= n_) {
        return false;
    }
    rec->accX = ch_[0][i_];
    rec->accY = ch_[1][i_];
    rec->accZ = ch_[2][i_];
    rec->gyroX = ch_[3][i_];
    rec->gyroY = ch_[4][i_];
    rec->gyroZ = ch_[5][i_];
    ++i_;
    return true;
}

namespace {

// One sample of six channels into rec: counts(c), the value of channel c in counts (at
// most 32 bits), kept as its low 16 bits, or under clip as clipped(c); a value beyond
// 16 bits is noted in wraps as sample i's.
template <class Counts, class Clipped>
void TakeSample(SampleRecord* rec, std::size_t i, bool clip, WrapCounts* wraps, Counts counts,
                Clipped clipped) {
    std::int16_t SampleRecord::*const fields[6] = {&SampleRecord::accX,  &SampleRecord::accY,
                                                   &SampleRecord::accZ,  &SampleRecord::gyroX,
                                                   &SampleRecord::gyroY, &SampleRecord::gyroZ};
    std::int64_t peak = 0;
    for (int c = 0; c < 6; ++c) {
        const std::int32_t value = counts(c);
        NoteWrap(value, &peak);
        rec->*fields[c] = clip ? clipped(c) : WrapInt16(value);
    }
    if (peak != 0) {
        wraps->Note(static_cast<long long>(i), peak);
    }
}

} // namespace

Counts32Source::Counts32Source(const std::int32_t* const channels[6], std::size_t n, bool clip)
    : n_(n), clip_(clip) {
    for (int c = 0; c < 6; ++c) {
        ch_[c] = channels[c];
    }
}

bool Counts32Source::Next(SampleRecord* rec) {
    if (i_ >= n_) {
        return false;
    }
    TakeSample(
        rec, i_, clip_, &wraps_, [&](int c) { return ch_[c][i_]; },
        [&](int c) { return static_cast<std::int16_t>(std::clamp(ch_[c][i_], -32768, 32767)); });
    ++i_;
    return true;
}

namespace {

// The value in g or deg/s (or counts): only scales other than 1 take part.
double Scaled(double value, const ChannelScale& s) {
    double v = value;
    if (s.divisor != 1.0) {
        v = v / s.divisor;
    }
    if (s.multiplier != 1.0) {
        v = v * s.multiplier;
    }
    return v;
}

} // namespace

std::int32_t PreCounts(double value, const ChannelScale& s) {
    const double v = Scaled(value, s);
    if (s.factor == 0.0) {
        // Counts: saturated at 32 bits, as the counts layout reads a number.
        if (v >= 2147483647.0) {
            return INT32_MAX;
        }
        if (v <= -2147483648.0) {
            return INT32_MIN;
        }
        return TruncToInt32(v); // not a number: INT32_MIN
    }
    return TruncToInt32(v * s.factor);
}

std::int16_t ClippedCounts(double value, const ChannelScale& s) {
    const double v = Scaled(value, s);
    const double counts = s.factor == 0.0 ? v : v * s.factor;
    if (counts >= 32767.0) {
        return 32767;
    }
    // Below the range, not a number: INT32_MIN, saturated like the rest.
    return static_cast<std::int16_t>(std::clamp(TruncToInt32(counts), -32768, 32767));
}

PhysicalSource::PhysicalSource(const double* const channels[6], std::size_t n, bool clip)
    : PhysicalSource(channels, n, clip, ChannelScale{1.0, 1.0, kPhysAccFactor},
                     ChannelScale{1.0, 1.0, kPhysGyroFactor}) {}

PhysicalSource::PhysicalSource(const double* const channels[6], std::size_t n, bool clip,
                               const ChannelScale& acc, const ChannelScale& gyro)
    : n_(n), clip_(clip), scale_{acc, gyro} {
    for (int c = 0; c < 6; ++c) {
        ch_[c] = channels[c];
    }
}

bool PhysicalSource::Next(SampleRecord* rec) {
    if (i_ >= n_) {
        return false;
    }
    TakeSample(
        rec, i_, clip_, &wraps_,
        [&](int c) { return PreCounts(ch_[c][i_], scale_[c < 3 ? 0 : 1]); },
        [&](int c) { return ClippedCounts(ch_[c][i_], scale_[c < 3 ? 0 : 1]); });
    ++i_;
    return true;
}

} // namespace kinrec::detail
