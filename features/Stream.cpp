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
    Notes notes;
    WrapCounts wraps; // over every chunk so far
    Overflow overflow = Overflow::kWrap;
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

// The n samples of a checked chunk through the stream, read by a Source of its kind.
template <class Source, class T, class... Options>
void FeedChunk(Stream& stream, const Recording<T>& chunk, std::size_t n, RowSink& sink,
               Options... options) {
    const std::array<const T*, 6> channels = ValuesOf(chunk);
    Source source(channels.data(), n, options...);
    StreamAccess::Feed(stream, source, sink);
}

// A physical chunk under kRaise: refused whole when a value does not fit the counts.
void Refuse(const Recording<double>& chunk, std::size_t n, std::int64_t start) {
    const std::array<const double*, 6> channels = ValuesOf(chunk);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t c = 0; c < channels.size(); ++c) {
            const double v = channels[c][i];
            const std::int32_t counts =
                TruncToInt32(v * (c < 3 ? kPhysAccFactor : kPhysGyroFactor));
            if (counts < -32768 || counts > 32767) {
                throw Error(std::string(kChannelNames[c]) + " of sample " +
                            std::to_string(start + static_cast<std::int64_t>(i)) + " (" +
                            std::to_string(v) +
                            ") is beyond the 16-bit range of counts; "
                            "nothing of this chunk was converted");
            }
        }
    }
}

// The rows n samples can give at most.
std::size_t RowsFor(const DsvConfig& cfg, std::size_t n) {
    const auto step = static_cast<std::size_t>(cfg.ResampleCount > 1 ? cfg.ResampleCount : 1);
    return n / step + 1;
}

} // namespace

Stream::Stream(const Settings& settings, Run* run, Overflow overflow)
    : impl_(std::make_unique<Impl>()) {
    CheckRun(run);
    impl_->overflow = overflow;
    DsvConverter& conv = impl_->conv;
    OpenDsvConverter(&conv, &settings, run != nullptr ? &run->biasCount : &impl_->fresh, nullptr);
    impl_->names.assign(conv.names, conv.names + conv.columnCount);
    impl_->notes.frequencyRepaired = settings.SamplingFrequency <= 0;
}

Stream::~Stream() = default;
Stream::Stream(Stream&&) noexcept = default;
Stream& Stream::operator=(Stream&&) noexcept = default;

const std::vector<std::string>& Stream::Names() const {
    return impl_->names;
}

void Stream::Push(const Recording<std::int16_t>& chunk, RowSink& sink) {
    FeedChunk<CountsSource>(*this, chunk, Check(chunk), sink);
}

void Stream::Push(const Recording<double>& chunk, RowSink& sink) {
    const std::size_t n = Check(chunk);
    if (impl_ && impl_->overflow == Overflow::kRaise) {
        Refuse(chunk, n, impl_->conv.samples);
    }
    FeedChunk<PhysicalSource>(*this, chunk, n, sink, impl_ && impl_->overflow == Overflow::kClip);
}

void Stream::Push(const Recording<std::int16_t>& chunk, Table& table) {
    const std::size_t n = Check(chunk);
    TableSink sink(table, impl_->names, RowsFor(impl_->conv.config, n));
    FeedChunk<CountsSource>(*this, chunk, n, sink);
    table.notes = impl_->notes;
}

void Stream::Push(const Recording<double>& chunk, Table& table) {
    const std::size_t n = Check(chunk);
    TableSink sink(table, impl_->names, RowsFor(impl_->conv.config, n));
    Push(chunk, static_cast<RowSink&>(sink));
    table.notes = impl_->notes;
}

std::int64_t Stream::Samples() const {
    return impl_->conv.samples;
}

const Notes& Stream::Noted() const {
    return impl_->notes;
}

void Stream::Finish() {
    impl_->finished = true;
}

namespace detail {

void CheckRun(const Run* run) {
    if (run != nullptr && !ValidBiasCount(run->biasCount)) {
        throw Error("Run bias count must be 0 to " + std::to_string(BiasCountLimit()) + ", not " +
                    std::to_string(run->biasCount));
    }
}

DsvConverter* StreamAccess::Open(Stream& stream) {
    if (!stream.impl_ || stream.impl_->finished) {
        throw Error("samples pushed to a stream that was finished");
    }
    return &stream.impl_->conv;
}

void StreamAccess::Feed(Stream& stream, SampleSource& src, RowSink& sink) {
    DsvConverter* conv = Open(stream);
    const std::int64_t start = conv->samples;
    conv->sink = &sink;
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
    conv->sink = nullptr;
    NoteWraps(stream, src, start);
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
    constexpr std::size_t kBatch = 1024;
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
    conv->sink = &sink;
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
        conv->sink = nullptr;
        join();
        throw;
    }
    conv->sink = nullptr;
    join();
    if (error) {
        std::rethrow_exception(error);
    }
    NoteWraps(stream, src, start);
}

} // namespace detail

} // namespace kinrec
