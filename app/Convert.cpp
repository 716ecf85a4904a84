#include "app/Convert.h"

#include "app/Progress.h"
#include "app/TempTables.h"
#include "disk/Disk.h"
#include "features/WriteTable.h"
#include "input/OpenInput.h"
#include "kinrec.h"

#include <cerrno>
#include <cstdio>
#include <memory>

using namespace kinrec::detail;

namespace {

// What the library's writer tells the console as it goes: the announcement, standard
// output flushed before a table is written into it, the temporary tables for the
// interrupt's cleanup, and the progress line.
class ConsoleHooks : public TempTableHooks {
  public:
    ConsoleHooks(Console& console, const char* input, bool progress)
        : console_(console), input_(input), progress_(progress) {}

    void Opened(const std::string& input, const std::string& table) override {
        console_.Out(input + " -> " + table + "\n");
        if (progress_) {
            prog_ =
                std::make_unique<progress::FileProgress>(input_, RealDisk().Inspect(input_).size);
        }
    }
    void InPlace() override {
        // Written in place, perhaps to standard output itself: what was said comes first.
        (void)std::fflush(stdout); // a failure shows again at the end of the run
    }
    bool WantsProgress() const override { return progress_; }
    // The progress line goes before anything else is said.
    void Finish() { prog_.reset(); }
    void Progress(long long position, std::int64_t samples) override {
        if (prog_) {
            prog_->At(position, samples);
        }
    }

  private:
    Console& console_;
    const char* input_;
    bool progress_;
    std::unique_ptr<progress::FileProgress> prog_;
};

} // namespace

namespace {

// The settings a conversion gets: a FILETYPE other than 1 to 4 in the configuration is
// read as 1 (the configuration itself keeps the number written, as echoed).
kinrec::Settings ConversionSettings(const Settings& cfg) {
    kinrec::Settings s = cfg;
    if (s.FileType < 1 || s.FileType > 4) {
        s.FileType = 1;
    }
    return s;
}

} // namespace

void CountBias(const char* input, const Settings* cfg, std::int32_t* biasCount) {
    const kinrec::Settings s = ConversionSettings(*cfg);
    OpenedInput opened =
        OpenInput(RealDisk(), input, s.FileType, s.Overflow == 1); // 1: OVERFLOW clip
    if (opened.failure == kinrec::Failure::kNone) {
        Drain(*opened.source, s, biasCount);
    }
}

kinrec::Failure ConvertFile(const char* input, const char* output, const Settings* cfg,
                            std::int32_t* biasCount, const ConvertOptions& opt) {
    using kinrec::Failure;
    Console& console = ConsoleOf(opt);
    ConsoleHooks hooks(console, input, opt.showProgress && progress::Enabled());
    kinrec::Run run{*biasCount};
    const kinrec::Written w = kinrec::WriteTable(input, output != nullptr ? output : "",
                                                 ConversionSettings(*cfg), &run, &hooks);
    *biasCount = run.biasCount;
    hooks.Finish();
    if (opt.row != nullptr && !(w.failure == Failure::kInputIsTable && opt.skipTables)) {
        *opt.row = kinrec::SummaryOf(input, w);
    }
    if (InputNotOpened(w.failure) && opt.openFailure != nullptr) {
        *opt.openFailure = w.Reason();
        return w.failure;
    }
    if (w.failure == Failure::kInputIsTable && opt.skipTables) {
        return w.failure;
    }
    // A table that was written, or failed while it was, comes after what its input met.
    const bool read = w.failure == Failure::kNone || w.failure == Failure::kWriteFailed ||
                      w.failure == Failure::kBeyondRange;
    if (read) {
        for (const std::string& line : kinrec::NoteLines(w.notes)) {
            console.Fail(input, line);
        }
    }
    if (!w.Ok()) {
        console.Fail(w.path, w.Reason());
    }
    return w.failure;
}

kinrec::Failure ConvertDataSetFile(const char* input, const char* output, const Settings* cfg,
                                   std::int32_t* biasCount, const ConvertOptions& options) {
    Settings dataSet = *cfg;
    dataSet.FileType = 4;
    return ConvertFile(input, output, &dataSet, biasCount, options);
}
