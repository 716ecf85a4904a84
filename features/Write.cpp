// A recording's table written to a file, safely: the console's conversion of one file,
// with every failure returned as a value.
#include "disk/Disk.h"
#include "features/DsvConverter.h"
#include "features/DsvTextSink.h"
#include "features/StreamAccess.h"
#include "features/TableFile.h"
#include "features/WriteTable.h"
#include "input/OpenInput.h"
#include "input/SampleSource.h"
#include "kinrec.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

namespace kinrec {

using namespace detail;

namespace {

// A source that tells the hooks how far it got, every 4096 samples.
class ProgressSource : public SampleSource {
  public:
    ProgressSource(SampleSource& src, WriteHooks& hooks) : src_(src), hooks_(hooks) {}
    bool Next(SampleRecord* rec) override {
        if ((++samples_ & 4095u) == 0) {
            hooks_.Progress(src_.Position(), samples_);
        }
        return src_.Next(rec);
    }
    const WrapCounts& Wraps() const override { return src_.Wraps(); }

  private:
    SampleSource& src_;
    WriteHooks& hooks_;
    std::int64_t samples_ = 0;
};

} // namespace

namespace detail {

void Drain(SampleSource& src, const Settings& settings, std::int32_t* biasCount) {
    NullSink none;
    auto conv = std::make_unique<DsvConverter>();
    OpenDsvConverter(conv.get(), &settings, biasCount, &none);
    SampleRecord rec{};
    KeptSample kept;
    const std::int32_t limit = BiasCountLimit();
    while (*biasCount < limit && src.Next(&rec)) {
        AdvanceDsvRecord(conv.get(), &rec, &kept);
    }
}

} // namespace detail

std::string TableNameFor(const std::string& input) {
    const std::size_t keep = input.size() < 4 ? input.size() : input.size() - 4;
    return input.substr(0, keep) + "_DSV.csv";
}

std::string Written::Reason() const {
    std::string system = code != 0 ? std::generic_category().message(code) : "";
    const std::string leftBehind = left.empty() ? "" : "; the unfinished table is left as " + left;
    switch (failure) {
    case Failure::kNone:
        return "";
    case Failure::kNotDataSet:
        return "not a dataset file";
    case Failure::kInputIsTable:
        return "is a kinrec table, not a recording; not converted";
    case Failure::kTableIsInput:
        return "is the input file itself; not overwritten";
    case Failure::kTableRefused:
        return "exists and is not a kinrec table; not overwritten";
    case Failure::kTableUnchecked:
        return "cannot be read to check that it is a kinrec table (" + system +
               "); not overwritten";
    case Failure::kInputNotOpened:
    case Failure::kTableNotCreated:
        return system;
    case Failure::kWriteFailed:
        if (code == EEXIST) {
            return "was taken by another file while the table was written; not overwritten" +
                   leftBehind;
        }
        return system + leftBehind;
    case Failure::kReadFailed:
        return system + leftBehind;
    case Failure::kBeyondRange:
        return BeyondRangeReason(notes) + leftBehind;
    }
    return system;
}

Written WriteTable(const std::string& input, const std::string& table, const Settings& settings,
                   Run* run, WriteHooks* hooks) {
    WriteHooks none;
    WriteHooks& h = hooks != nullptr ? *hooks : none;
    CheckFileType(settings);
    CheckRun(run); // before the input is read: a drained input advances the Run too
    Written w;
    w.table = table.empty() ? TableNameFor(input) : table;
    Disk& disk = RealDisk();
    OpenedInput opened =
        OpenInput(disk, input, settings.FileType, OverflowOf(settings) == Overflow::kClip);
    if (opened.failure != Failure::kNone) {
        w.failure = opened.failure;
        w.path = input;
        w.code = opened.code;
        return w;
    }
    std::int32_t fresh = 0;
    std::int32_t* biasCount = run != nullptr ? &run->biasCount : &fresh;
    h.Opened(input, w.table);
    const PathInfo existing = disk.Inspect(w.table);
    if (existing.kind != PathKind::kMissing && opened.id == existing.id) {
        w.failure = Failure::kTableIsInput;
        w.path = w.table;
        Drain(*opened.source, settings, biasCount);
        return w;
    }
    TableFile file(disk, &h);
    int code = 0;
    const TableOpen open = file.Open(w.table, existing, &code);
    if (open != TableOpen::kOpened) {
        w.failure = open == TableOpen::kRefused     ? Failure::kTableRefused
                    : open == TableOpen::kUnchecked ? Failure::kTableUnchecked
                                                    : Failure::kTableNotCreated;
        w.path = w.table;
        w.code = code;
        Drain(*opened.source, settings, biasCount);
        return w;
    }
    if (file.InPlace()) {
        h.InPlace();
    }
    DsvTextSink sink;
    sink.Open(file.Stream());
    Stream stream(settings, run);
    sink.Header(stream.Names());
    if (h.WantsProgress()) {
        ProgressSource shown(*opened.source, h);
        StreamAccess::Feed(stream, shown, sink);
    } else {
        StreamAccess::Feed(stream, *opened.source, sink);
    }
    const int readError = opened.source->Error();
    w.notes = stream.Noted();
    w.rows = sink.Rows();
    NoteInput(opened.csv, settings.FileType, &w.notes);
    opened.source.reset();
    if (readError != 0) {
        sink.Abandon(); // before the table's file goes
        file.Discard();
        w.failure = Failure::kReadFailed;
        w.path = input;
        w.code = readError;
        w.left = file.Left();
        return w;
    }
    if (w.notes.overflow == 2 && w.notes.wrapped > 0) {
        // OVERFLOW raise: no table of values that do not fit.
        sink.Abandon();
        file.Discard();
        w.failure = Failure::kBeyondRange;
        w.path = input;
        w.left = file.Left();
        return w;
    }
    if (!sink.Close()) {
        file.Discard();
        w.failure = Failure::kWriteFailed;
        w.path = w.table;
        w.code = sink.Error();
        w.left = file.Left();
        return w;
    }
    if (!file.Commit(&code)) {
        w.failure = Failure::kWriteFailed;
        w.path = w.table;
        w.code = code;
        w.left = file.Left();
    }
    return w;
}

} // namespace kinrec
