#include "app/Convert.h"

#include "app/InputFile.h"
#include "app/Platform.h"
#include "app/Progress.h"
#include "app/TableFile.h"
#include "features/DsvConverter.h"
#include "input/CsvParsers.h"
#include "input/DataSet.h"
#include "input/LineReader.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

// The samples of one input, in file order.
class SampleSource {
  public:
    virtual ~SampleSource() = default;
    virtual bool Next(SampleRecord* rec) = 0;
    // Bytes of the input read so far (for the progress line).
    virtual long long Position() = 0;
    virtual std::FILE* File() = 0;
};

class CsvSource : public SampleSource {
  public:
    CsvSource(std::FILE* file, CsvLineParser parse) : file_(file), reader_(file), parse_(parse) {
        first_ = reader_.Next();
    }
    ~CsvSource() override { CloseInputFile(file_); }
    CsvSource(const CsvSource&) = delete;
    CsvSource& operator=(const CsvSource&) = delete;

    // The first line, before any sample was taken.
    const char* FirstLine() const { return first_; }

    bool Next(SampleRecord* rec) override {
        for (;;) {
            char* line = first_ != nullptr ? first_ : reader_.Next();
            first_ = nullptr;
            if (line == nullptr) {
                return false;
            }
            if (IsSampleLine(line) && parse_(line, rec) == 0) {
                return true;
            }
        }
    }
    long long Position() override { return std::ftell(file_); }
    std::FILE* File() override { return file_; }

  private:
    std::FILE* file_;
    LineReader reader_;
    CsvLineParser parse_;
    char* first_;
};

class DataSetSource : public SampleSource {
  public:
    explicit DataSetSource(DataSet* ds) : ds_(ds) {}
    ~DataSetSource() override { CloseDataSet(ds_); }
    DataSetSource(const DataSetSource&) = delete;
    DataSetSource& operator=(const DataSetSource&) = delete;

    bool Next(SampleRecord* rec) override { return ReadDataSet(ds_, rec, 1) > 0; }
    long long Position() override { return std::ftell(ds_->file); }
    std::FILE* File() override { return ds_->file; }

  private:
    DataSet* ds_;
};

struct Opened {
    std::unique_ptr<SampleSource> source;
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
    auto csv = std::make_unique<CsvSource>(f, CsvParserFor(cfg.FileType));
    if (csv->FirstLine() != nullptr && BeginsWithTableHeader(csv->FirstLine())) {
        o.status = skipTables ? kSkippedTable : kInputRefused;
        o.reason = "is a kinrec table, not a recording; not converted";
        return o;
    }
    o.source = std::move(csv);
    return o;
}

Opened OpenDataSetInput(const char* input, bool skipTables) {
    Opened o;
    DataSet* ds = OpenDataSet(input);
    if (ds != nullptr) {
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

// Every sample through both stages.
void Stream(SampleSource& src, DsvConverter* conv, progress::FileProgress& prog) {
    SampleRecord rec{};
    KeptSample kept;
    while (src.Next(&rec)) {
        prog.Tick([&src] { return src.Position(); });
        if (AdvanceDsvRecord(conv, &rec, &kept)) {
            EmitDsvRow(conv, kept);
        }
    }
}

int Convert(Opened opened, const char* input, const char* output, DsvConfig* cfg,
            const ConvertOptions& opt) {
    Console& console = opt.console != nullptr ? *opt.console : StdConsole();
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
    if (existing.kind != platform::PathKind::kMissing &&
        platform::IdOf(opened.source->File()) == existing.id) {
        console.Fail(name, "is the input file itself; not overwritten");
        return kTableNotCreated;
    }
    TableFile table;
    std::string reason;
    if (OpenTable(name, existing, &table, &reason) != TableOpen::kOpened) {
        console.Fail(name, reason);
        return kTableNotCreated;
    }

    if (table.temp.empty()) {
        // Written in place, perhaps to standard output itself: what was said comes first.
        (void)std::fflush(stdout); // a failure shows again at the end of the run
    }
    auto conv = std::make_unique<DsvConverter>();
    OpenDsvStream(conv.get(), cfg, table.stream);
    if (opt.biasCount != nullptr) {
        conv->attitude.count = opt.biasCount;
    }
    const bool showProgress = opt.showProgress && progress::Enabled();
    {
        progress::FileProgress prog(input, showProgress ? platform::Inspect(input).size : 0);
        Stream(*opened.source, conv.get(), prog);
    }
    opened.source.reset();

    if (CloseDsvFile(conv.get()) < 0) {
        DiscardTable(&table);
        console.Fail(name, ErrorText(conv->out.Error()));
        return kTableNotWritten;
    }
    if (!CommitTable(&table, &reason)) {
        console.Fail(name, reason);
        return kTableNotWritten;
    }
    return kConverted;
}

} // namespace

std::string OutputNameFor(const std::string& input) {
    const std::size_t keep = input.size() < 4 ? input.size() : input.size() - 4;
    return input.substr(0, keep) + "_DSV.csv";
}

int ConvertFile(const char* input, const char* output, DsvConfig* cfg,
                const ConvertOptions& options) {
    if (cfg->FileType == 4) {
        return ConvertDataSetFile(input, output, cfg, options);
    }
    return Convert(OpenCsv(input, *cfg, options.skipTables), input, output, cfg, options);
}

int ConvertDataSetFile(const char* input, const char* output, DsvConfig* cfg,
                       const ConvertOptions& options) {
    return Convert(OpenDataSetInput(input, options.skipTables), input, output, cfg, options);
}
