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

  private:
    SampleSource& src_;
    progress::FileProgress& prog_;
};

std::string Plural(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What a recording's lines came to, when it is not what the user may think: no samples
// at all, or lines after the first sample that were not samples. Titles before the
// samples, blank lines and a last line cut short (a recording that lost power) are
// expected and say nothing. "" when there is nothing to say.
std::string LineReport(const LineCounts& c, int fileType) {
    if (c.samples == 0) {
        if (c.lines == 0) {
            return "no samples (the file is empty)";
        }
        if (c.sampleLike == 0) {
            return "no samples (none of its " + Plural(c.lines, "line", "lines") +
                   " begins with a digit or a minus sign)";
        }
        return "no samples (no line that begins with a digit or a minus sign has the " +
               std::to_string(CsvColumnsFor(fileType)) + " comma-separated columns of FILETYPE " +
               std::to_string(fileType == 2 || fileType == 3 ? fileType : 1) + "; " +
               Plural(c.lines, "line", "lines") + " in all)";
    }
    const long long shortOnes = c.shortLines - (c.lastLineShort != 0 ? 1 : 0);
    const long long skipped = c.skipped - (c.lastLineShort != 0 ? 1 : 0);
    if (skipped <= 0) {
        return "";
    }
    std::string why;
    auto add = [&why](const std::string& part) { why += (why.empty() ? "" : ", ") + part; };
    if (c.blankStart > 0) {
        add(Plural(c.blankStart, "begins", "begin") + " with a space or a tab");
    }
    if (shortOnes > 0) {
        add(Plural(shortOnes, "has", "have") + " fewer than " +
            std::to_string(CsvColumnsFor(fileType)) + " columns");
    }
    const long long other = skipped - c.blankStart - shortOnes;
    if (other > 0) {
        add(Plural(other, "begins", "begin") + " with another character");
    }
    const bool notSampleLines = c.blankStart > 0 || other > 0;
    return std::to_string(skipped) + " of " + Plural(c.lines, "line", "lines") + " skipped (" +
           why + (notSampleLines ? "; a sample line begins with a digit or a minus sign)" : ")");
}

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
    const std::string lines =
        opened.csv != nullptr ? LineReport(opened.csv->Counts(), cfg->FileType) : "";
    opened.source.reset();

    if (readError != 0) {
        sink.Abandon(); // before the table's file goes
        table.Discard();
        console.Fail(input, ErrorText(readError) + LeftBehind(table));
        return kTableNotWritten;
    }
    if (!lines.empty()) {
        console.Fail(input, lines);
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
