// The stream: one DsvConverter that lives as long as the recording, fed by chunks.
#include "Include/IntConv.h"
#include "features/DsvConverter.h"
#include "features/StreamAccess.h"
#include "features/TableSink.h"
#include "input/CsvParsers.h"
#include "input/SampleSource.h"
#include "kinrec.h"

#include <array>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace kinrec {

using namespace detail;

struct Stream::Impl {
    DsvConverter conv;
    std::int32_t fresh = 0; // the bias count of a stream without a Run
    std::vector<std::string> names;
    // What the stream met; the median magnitude and the samples taken are brought up to
    // date when the notes are asked for (Noted), not on every push.
    mutable Notes notes;
    WrapCounts wraps; // over every chunk so far
    Overflow overflow = Overflow::kWrap;
    ChannelScale scale[2]; // of doubles: acc, gyro
    bool counts = false;   // doubles of acceleration are counts
    bool finished = false;
};

namespace {

constexpr const char* kChannelNames[6] = {"accX", "accY", "accZ", "gyroX", "gyroY", "gyroZ"};

// The six channels' values, in kChannelNames' order.
template <class T>
std::array<const T*, 6> ValuesOf(const Recording<T>& rec) {
    return {rec.accX.data,  rec.accY.data,  rec.accZ.data,
            rec.gyroX.data, rec.gyroY.data, rec.gyroZ.data};
}

template <class T>
std::size_t Check(const Recording<T>& rec) {
    const Channel<T>* ch[6] = {&rec.accX, &rec.accY, &rec.accZ, &rec.gyroX, &rec.gyroY, &rec.gyroZ};
    for (int c = 0; c < 6; ++c) {
        if (ch[c]->data == nullptr && ch[c]->size > 0) {
            throw Error(std::string("channel ") + kChannelNames[c] + " has no data");
        }
        if (ch[c]->size != ch[0]->size) {
            throw Error(std::string("channels of unequal length: accX has ") +
                        std::to_string(ch[0]->size) + " samples, " + kChannelNames[c] + " " +
                        std::to_string(ch[c]->size));
        }
    }
    return ch[0]->size;
}

ChannelScale AccScale(AccUnit unit) {
    switch (unit) {
    case AccUnit::kMilliG:
        return {1000.0, 1.0, kPhysAccFactor};
    case AccUnit::kMetresPerSecond2:
        return {9.80665, 1.0, kPhysAccFactor};
    case AccUnit::kCounts:
        return {1.0, 1.0, 0.0};
    case AccUnit::kG:
        break;
    }
    return {1.0, 1.0, kPhysAccFactor};
}

ChannelScale GyroScale(GyroUnit unit) {
    switch (unit) {
    case GyroUnit::kRadPerSecond:
        return {1.0, 180.0 / 3.141592653589793, kPhysGyroFactor}; // as Python's math.degrees
    case GyroUnit::kCounts:
        return {1.0, 1.0, 0.0};
    case GyroUnit::kDegPerSecond:
        break;
    }
    return {1.0, 1.0, kPhysGyroFactor};
}

// Under kRaise: a chunk with a value beyond the counts is refused whole. counts(c, i) is
// channel c's value of sample i before its wrap.
template <class PreCounts>
void Refuse(std::size_t n, std::int64_t start, PreCounts counts) {
    std::int64_t beyond = 0;
    std::int64_t first = -1;
    std::int64_t peak = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::int64_t samplePeak = 0;
        for (std::size_t c = 0; c < 6; ++c) {
            NoteWrap(counts(c, i), &samplePeak);
        }
        if (samplePeak != 0) {
            first = beyond++ == 0 ? static_cast<std::int64_t>(i) : first;
            peak = LargerMagnitude(samplePeak, peak) ? samplePeak : peak;
        }
    }
    if (beyond > 0) {
        throw Error(std::to_string(beyond) + (beyond == 1 ? " sample has" : " samples have") +
                    " values beyond the 16-bit range (the first is sample " +
                    std::to_string(start + first) + ", the largest value " + std::to_string(peak) +
                    " counts); nothing of this chunk was converted");
    }
}

// The rows n samples can give at most.
std::size_t RowsFor(const Settings& cfg, std::size_t n) {
    const auto step = static_cast<std::size_t>(cfg.ResampleCount > 1 ? cfg.ResampleCount : 1);
    return n / step + 1;
}

} // namespace

Stream::Stream(const Settings& settings, Run* run, Units units) : impl_(std::make_unique<Impl>()) {
    CheckRun(run);
    impl_->overflow = OverflowOf(settings);
    impl_->notes.overflow = settings.Overflow;
    impl_->scale[0] = AccScale(units.acc);
    impl_->scale[1] = GyroScale(units.gyro);
    DsvConverter& conv = impl_->conv;
    OpenDsvConverter(&conv, &settings, run != nullptr ? &run->biasCount : &impl_->fresh, nullptr);
    impl_->names.assign(conv.names, conv.names + conv.columnCount);
    impl_->notes.frequencyRepaired = settings.SamplingFrequency <= 0;
    impl_->notes.resampleCount = settings.ResampleCount;
    impl_->counts = units.acc == AccUnit::kCounts;
}

Stream::~Stream() = default;
Stream::Stream(Stream&&) noexcept = default;
Stream& Stream::operator=(Stream&&) noexcept = default;

const std::vector<std::string>& Stream::Names() const {
    return StreamAccess::Live(*this).names;
}

void Stream::Push(const Recording<std::int16_t>& chunk, RowSink& sink) {
    StreamAccess::Live(*this).notes.accUnit = 1;
    StreamAccess::PushChunk<CountsSource>(*this, chunk, Check(chunk), sink);
}

void Stream::Push(const Recording<std::int32_t>& chunk, RowSink& sink) {
    Impl& impl = StreamAccess::Live(*this);
    impl.notes.accUnit = 1;
    const std::size_t n = Check(chunk);
    if (impl.overflow == Overflow::kRaise) {
        const std::array<const std::int32_t*, 6> ch = ValuesOf(chunk);
        Refuse(n, impl.conv.samples, [&ch](std::size_t c, std::size_t i) { return ch[c][i]; });
    }
    StreamAccess::PushChunk<Counts32Source>(*this, chunk, n, sink,
                                            impl.overflow == Overflow::kClip);
}

void Stream::Push(const Recording<double>& chunk, RowSink& sink) {
    Impl& impl = StreamAccess::Live(*this);
    impl.notes.accUnit = impl.counts ? 1 : 0;
    const std::size_t n = Check(chunk);
    if (impl.overflow == Overflow::kRaise) {
        const std::array<const double*, 6> ch = ValuesOf(chunk);
        Refuse(n, impl.conv.samples, [&ch, &impl](std::size_t c, std::size_t i) {
            return PreCounts(ch[c][i], impl.scale[c < 3 ? 0 : 1]);
        });
    }
    StreamAccess::PushChunk<PhysicalSource>(*this, chunk, n, sink, impl.overflow == Overflow::kClip,
                                            impl.scale[0], impl.scale[1]);
}

template <class T>
void StreamAccess::PushToTable(Stream& stream, const Recording<T>& chunk, Table& table) {
    const Stream::Impl& impl = Live(stream);
    const std::size_t n = Check(chunk);
    {
        TableSink sink(table, impl.names, RowsFor(impl.conv.config, n));
        stream.Push(chunk, static_cast<RowSink&>(sink));
    }
    table.notes = stream.Noted();
}

void Stream::Push(const Recording<std::int16_t>& chunk, Table& table) {
    StreamAccess::PushToTable(*this, chunk, table);
}

void Stream::Push(const Recording<std::int32_t>& chunk, Table& table) {
    StreamAccess::PushToTable(*this, chunk, table);
}

void Stream::Push(const Recording<double>& chunk, Table& table) {
    StreamAccess::PushToTable(*this, chunk, table);
}

std::int64_t Stream::Samples() const {
    return StreamAccess::Live(*this).conv.samples;
}

const Notes& Stream::Noted() const {
    const Impl& impl = StreamAccess::Live(*this);
    impl.notes.restMagnitude = MedianRawAcc(impl.conv);
    impl.notes.taken = impl.conv.samples;
    return impl.notes;
}

void Stream::Finish() {
    StreamAccess::Live(*this).finished = true;
}

namespace detail {

void CheckRun(const Run* run) {
    if (run != nullptr && !ValidBiasCount(run->biasCount)) {
        throw Error("Run bias count must be 0 to " + std::to_string(BiasCountLimit()) + ", not " +
                    std::to_string(run->biasCount));
    }
}

const Stream::Impl& StreamAccess::Live(const Stream& stream) {
    if (!stream.impl_) {
        throw Error("a stream that was moved from has no recording");
    }
    return *stream.impl_;
}

Stream::Impl& StreamAccess::Live(Stream& stream) {
    (void)Live(static_cast<const Stream&>(stream));
    return *stream.impl_;
}

DsvConverter* StreamAccess::Open(Stream& stream) {
    if (Live(stream).finished) {
        throw Error("samples pushed to a stream that was finished");
    }
    return &stream.impl_->conv;
}

namespace {

// The converter's sink for a scope, let go however the scope ends.
class SinkFor {
  public:
    SinkFor(DsvConverter* conv, RowSink& sink) : conv_(conv) { conv_->sink = &sink; }
    ~SinkFor() { conv_->sink = nullptr; }
    SinkFor(const SinkFor&) = delete;
    SinkFor& operator=(const SinkFor&) = delete;

  private:
    DsvConverter* conv_;
};

} // namespace

void StreamAccess::Feed(Stream& stream, SampleSource& src, RowSink& sink) {
    DsvConverter* conv = Open(stream);
    const std::int64_t start = conv->samples;
    {
        const SinkFor given(conv, sink);
        // The samples come in batches: the source's own loop takes the lines.
        constexpr std::size_t kBatch = 256;
        SampleRecord recs[kBatch];
        std::size_t got = kBatch;
        while (got == kBatch) {
            got = src.Fill(recs, kBatch);
            for (std::size_t i = 0; i < got; ++i) {
                WriteDsvRecord(conv, &recs[i]);
            }
        }
    }
    NoteWraps(stream, src, start);
}

template <class Source, class T, class... Options>
void StreamAccess::PushChunk(Stream& stream, const Recording<T>& chunk, std::size_t n,
                             RowSink& sink, Options... options) {
    const std::array<const T*, 6> channels = ValuesOf(chunk);
    const std::int64_t start = Open(stream)->samples;
    Source source(channels.data(), n, options...);
    try {
        Feed(stream, source, sink);
    } catch (...) {
        // The sink gave up: the samples taken so far are noted, the rest of the chunk
        // was not converted. The source read ahead of the conversion, so the wraps of the
        // samples taken are counted again over them alone.
        const auto taken = static_cast<std::size_t>(stream.impl_->conv.samples - start);
        Source part(channels.data(), taken, options...);
        SampleRecord rec{};
        while (part.Next(&rec)) {
        }
        NoteWraps(stream, part, start);
        throw;
    }
}

void StreamAccess::NoteWraps(Stream& stream, const SampleSource& src, std::int64_t start) {
    WrapCounts& wraps = stream.impl_->wraps;
    wraps.Add(src.Wraps(), start);
    Notes& n = stream.impl_->notes;
    n.wrapped = wraps.samples;
    n.firstWrapped = wraps.first;
    n.wrapPeak = wraps.peak;
}

void StreamAccess::FeedAhead(Stream& stream, SampleSource& src, RowSink& sink) {
    DsvConverter* conv = Open(stream);
    // Two batches take turns: the reader fills one while this thread converts the other.
    // They are large so that the threads hand over seldom: each handover may put one to
    // sleep and wake it (1024 samples a batch cost a tenth more CPU in all).
    constexpr std::size_t kBatch = 16384;
    struct Batch {
        std::vector<SampleRecord> recs = std::vector<SampleRecord>(kBatch);
        std::size_t n = 0;
        bool full = false;
    };
    Batch batches[2];
    std::mutex m;
    std::condition_variable turn;
    bool stop = false;  // the converting side gave up: the reader ends
    bool ended = false; // the reader is done (the input's end, or error)
    std::exception_ptr error;
    auto read = [&]() {
        try {
            for (int k = 0;; k ^= 1) {
                Batch& b = batches[k];
                {
                    std::unique_lock<std::mutex> lock(m);
                    turn.wait(lock, [&] { return !b.full || stop; });
                    if (stop) {
                        break;
                    }
                }
                const std::size_t got = src.Fill(b.recs.data(), kBatch);
                {
                    const std::lock_guard<std::mutex> lock(m);
                    b.n = got;
                    b.full = true;
                }
                turn.notify_all();
                if (got < kBatch) {
                    break;
                }
            }
        } catch (...) {
            const std::lock_guard<std::mutex> lock(m);
            error = std::current_exception();
        }
        {
            const std::lock_guard<std::mutex> lock(m);
            ended = true;
        }
        turn.notify_all();
    };
    std::thread reader;
    try {
        reader = std::thread(read);
    } catch (const std::system_error&) {
        Feed(stream, src, sink); // no thread to spare: one thread does both
        return;
    }
    auto join = [&]() {
        {
            const std::lock_guard<std::mutex> lock(m);
            stop = true;
        }
        turn.notify_all();
        reader.join();
    };
    const std::int64_t start = conv->samples;
    const SinkFor given(conv, sink);
    try {
        for (int k = 0;; k ^= 1) {
            Batch& b = batches[k];
            {
                std::unique_lock<std::mutex> lock(m);
                turn.wait(lock, [&] { return b.full || ended; });
                if (!b.full) {
                    break; // the reader failed before this batch
                }
            }
            for (std::size_t i = 0; i < b.n; ++i) {
                WriteDsvRecord(conv, &b.recs[i]);
            }
            const bool last = b.n < kBatch;
            {
                const std::lock_guard<std::mutex> lock(m);
                b.full = false;
            }
            turn.notify_all();
            if (last) {
                break;
            }
        }
    } catch (...) {
        join();
        throw;
    }
    join();
    if (error) {
        std::rethrow_exception(error);
    }
    NoteWraps(stream, src, start);
}

} // namespace detail

} // namespace kinrec
