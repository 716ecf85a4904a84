#include "app/Convert.h"

#include "app/InputFile.h"
#include "app/Platform.h"
#include "app/Progress.h"
#include "app/TableFile.h"
#include "features/DsvConverter.h"
#include "features/DsvTextSink.h"
#include "features/StreamAccess.h"
#include "input/SampleSource.h"
#include "kinrec.h"

#include <cerrno>
#include <cstdio>
#include <memory>

using namespace kinrec::detail;

namespace {

struct Opened {
    std::unique_ptr<SampleSource> source;
    const CsvSource* csv = nullptr; // the same, when it is a CSV recording
    platform::FileId id;            // of the input, to tell it from the table
    int status = kConverted;
    std::string reason;
};

Opened OpenCsv(const char* input, const DsvConfig& cfg, bool skipTables) {
    Opened o;
    errno = 0;
    std::FILE* f = OpenInputFile(input);
    if (f == nullptr) {
        o.status = kInputNotOpened;
        o.reason = ErrorText(errno != 0 ? errno : EIO);
        return o;
    }
    o.id = platform::IdOf(f);
    auto csv = std::make_unique<CsvSource>(f, cfg.FileType);
    if (csv->FirstLine() != nullptr && BeginsWithTableHeader(csv->FirstLine())) {
        o.status = skipTables ? kSkippedTable : kInputRefused;
        o.reason = "is a kinrec table, not a recording; not converted";
        return o;
    }
    o.csv = csv.get();
    o.source = std::move(csv);
    return o;
}

Opened OpenDataSetInput(const char* input, bool skipTables) {
    Opened o;
    DataSet* ds = OpenDataSet(input);
    if (ds != nullptr) {
        o.id = platform::IdOf(ds->file);
        o.source = std::make_unique<DataSetSource>(ds);
        return o;
    }
    // Say why: the file cannot be read, or it is something else.
    errno = 0;
    std::FILE* f = OpenInputFile(input);
    if (f == nullptr) {
        o.status = kInputNotOpened;
        o.reason = ErrorText(errno != 0 ? errno : EIO);
        return o;
    }
    const bool table = skipTables && HeadIsTableHeader(f);
    CloseInputFile(f);
    o.status = table ? kSkippedTable : kInputNotOpened;
    o.reason = "not a dataset file";
    return o;
}

// A source that shows the progress of the one it reads.
class ShownSource : public SampleSource {
  public:
    ShownSource(SampleSource& src, progress::FileProgress& prog) : src_(src), prog_(prog) {}
    bool Next(SampleRecord* rec) override {
        prog_.Tick([this] { return src_.Position(); });
        return src_.Next(rec);
    }
    const WrapCounts& Wraps() const override { return src_.Wraps(); }

  private:
    SampleSource& src_;
    progress::FileProgress& prog_;
};

// What a user must clean up after a failure.
std::string LeftBehind(const TableFile& table) {
    return table.Left().empty() ? "" : "; the unfinished table is left as " + table.Left();
}

// The samples through the first stage only, for their effect on the gyro bias count, as
// far as they can change it: a file whose table cannot be written leaves the count
// where its conversion would have left it.
void Drain(SampleSource& src, const DsvConfig* cfg, std::int32_t* biasCount) {
    NullSink none;
    auto conv = std::make_unique<DsvConverter>();
    OpenDsvConverter(conv.get(), cfg, biasCount, &none);
    SampleRecord rec{};
    KeptSample kept;
    const std::int32_t limit = kinrec::BiasCountLimit();
    while (*biasCount < limit && src.Next(&rec)) {
        AdvanceDsvRecord(conv.get(), &rec, &kept);
    }
}

int Convert(Opened opened, const char* input, const char* output, const DsvConfig* cfg,
            std::int32_t* biasCount, const ConvertOptions& opt) {
    Console& console = ConsoleOf(opt);
    if (opened.status != kConverted) {
        if (opened.status == kInputNotOpened && opt.openFailure != nullptr) {
            *opt.openFailure = opened.reason;
        } else if (opened.status != kSkippedTable) {
            console.Fail(input, opened.reason);
        }
        return opened.status;
    }
    const std::string name = output != nullptr ? std::string(output) : OutputNameFor(input);
    console.Out(std::string(input) + " -> " + name + "\n");
    const platform::PathInfo existing = platform::Inspect(name);
    if (existing.kind != platform::PathKind::kMissing && opened.id == existing.id) {
        console.Fail(name, "is the input file itself; not overwritten");
        Drain(*opened.source, cfg, biasCount);
        return kTableNotCreated;
    }
    TableFile table;
    std::string reason;
    if (table.Open(name, existing, &reason) != TableOpen::kOpened) {
        console.Fail(name, reason);
        Drain(*opened.source, cfg, biasCount);
        return kTableNotCreated;
    }

    if (table.InPlace()) {
        // Written in place, perhaps to standard output itself: what was said comes first.
        (void)std::fflush(stdout); // a failure shows again at the end of the run
    }
    DsvTextSink sink;
    sink.Open(table.Stream());
    kinrec::Run run{*biasCount};
    kinrec::Stream stream(*cfg, &run);
    sink.Header(stream.Names());
    if (opt.showProgress && progress::Enabled()) {
        progress::FileProgress prog(input, platform::Inspect(input).size);
        ShownSource shown(*opened.source, prog);
        StreamAccess::Feed(stream, shown, sink);
    } else {
        StreamAccess::Feed(stream, *opened.source, sink);
    }
    *biasCount = run.biasCount;
    const int readError = opened.source->Error();
    kinrec::Notes notes = stream.Noted();
    if (opened.csv != nullptr) {
        NoteLineCounts(opened.csv->Counts(), cfg->FileType, &notes);
    }
    opened.source.reset();

    if (readError != 0) {
        sink.Abandon(); // before the table's file goes
        table.Discard();
        console.Fail(input, ErrorText(readError) + LeftBehind(table));
        return kTableNotWritten;
    }
    for (const std::string& line : kinrec::NoteLines(notes)) {
        console.Fail(input, line);
    }
    if (!sink.Close()) {
        table.Discard();
        console.Fail(name, ErrorText(sink.Error()) + LeftBehind(table));
        return kTableNotWritten;
    }
    if (!table.Commit(&reason)) {
        console.Fail(name, reason);
        return kTableNotWritten;
    }
    return kConverted;
}

} // namespace

void CountBias(const char* input, const DsvConfig* cfg, std::int32_t* biasCount) {
    Opened opened = cfg->FileType == 4 ? OpenDataSetInput(input, true) : OpenCsv(input, *cfg, true);
    if (opened.status == kConverted) {
        Drain(*opened.source, cfg, biasCount);
    }
}

std::string OutputNameFor(const std::string& input) {
    const std::size_t keep = input.size() < 4 ? input.size() : input.size() - 4;
    return input.substr(0, keep) + "_DSV.csv";
}

int ConvertFile(const char* input, const char* output, const DsvConfig* cfg,
                std::int32_t* biasCount, const ConvertOptions& options) {
    if (cfg->FileType == 4) {
        return ConvertDataSetFile(input, output, cfg, biasCount, options);
    }
    return Convert(OpenCsv(input, *cfg, options.skipTables), input, output, cfg, biasCount,
                   options);
}

int ConvertDataSetFile(const char* input, const char* output, const DsvConfig* cfg,
                       std::int32_t* biasCount, const ConvertOptions& options) {
    return Convert(OpenDataSetInput(input, options.skipTables), input, output, cfg, biasCount,
                   options);
}
