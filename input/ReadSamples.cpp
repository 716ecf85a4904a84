// kinrec::ReadSamples: a recording of another layout as samples in g and deg/s.
#include "input/DelimitedText.h"
#include "input/Layouts.h"
#include "input/SampleStreams.h"
#include "kinrec.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

namespace kinrec {

using namespace detail;

namespace {

constexpr double kBaseRate = 50.0; // [Hz] kinrec's attitude filter steps 0.02 s a sample

// Values rounded to ten significant digits, as the importer writes them, so that a file
// written and a recording read give the same counts. Recordings of counts hold few
// distinct values: the last roundings are kept by the value's bits.
class TenDigits {
  public:
    explicit TenDigits(bool on) : on_(on) {}
    double operator()(double v) {
        if (!on_) {
            return v;
        }
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        Entry& e = cache_[(bits ^ (bits >> 29) ^ (bits >> 41)) & (kEntries - 1)];
        if (!e.used || e.bits != bits) {
            e = Entry{bits, Round(v), true};
        }
        return e.value;
    }

  private:
    static double Round(double v) {
        char buf[32];
        const std::to_chars_result w =
            std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 10);
        double back = 0.0;
        std::from_chars(buf, w.ptr, back, std::chars_format::general);
        return back == 0.0 ? 0.0 : back; // no -0
    }
    struct Entry {
        std::uint64_t bits = 0;
        double value = 0.0;
        bool used = false;
    };
    static constexpr std::size_t kEntries = 4096;
    bool on_;
    std::vector<Entry> cache_ = std::vector<Entry>(on_ ? kEntries : 0);
};

std::vector<Condition> Both(const std::vector<Condition>& a, const std::vector<Condition>& b) {
    std::vector<Condition> all = a;
    all.insert(all.end(), b.begin(), b.end());
    return all;
}

void Put(Samples& out, TenDigits& round, double time, std::int64_t row, const double* values) {
    out.time.push_back(time);
    out.sourceRow.push_back(row);
    for (int k = 0; k < 3; ++k) {
        out.acc[k].push_back(round(values[k]));
        out.gyro[k].push_back(round(values[3 + k]));
    }
}

// The rate and evenness of rows at their own time stamps, noting stamps that go back,
// gaps and an unlikely rate.
void SettleTiming(Samples& out, const std::string& label) {
    const Timing timing = TimingOf(out.time);
    if (timing.backwards > 0) {
        out.notes.push_back({"note", label,
                             std::to_string(timing.backwards) +
                                 " time stamp(s) repeat or go back; --rate 50 puts the samples "
                                 "on a time grid"});
    }
    if (timing.gaps > 0) {
        out.notes.push_back({"note", label,
                             std::to_string(timing.gaps) +
                                 " gap(s) longer than 1.5 sample intervals (dropped samples?); "
                                 "--rate 50 fills them with the last sample"});
    }
    if (timing.rate && !(*timing.rate >= 1.0 && *timing.rate <= 10000.0)) {
        out.notes.push_back(
            {"warning", label,
             "a rate of " + FormatG(*timing.rate, 4) + " Hz looks wrong: check --time-unit"});
    }
    out.rate = timing.rate.value_or(0.0);
    out.even = timing.even;
}

} // namespace

Samples ReadSamples(const std::vector<std::string>& files, const ReadOptions& given) {
    if (files.size() != 1 && files.size() != 2) {
        throw Error("a recording is one file, or an accelerometer's and a gyroscope's");
    }
    ReadOptions o = given;
    std::string layout;
    if (!o.layout.empty()) {
        layout = LayoutName(o.layout);
        if (LayoutTakesTwoFiles(layout) != (files.size() == 2)) {
            throw Error("the " + layout + " layout takes " +
                        (files.size() == 2 ? "one file"
                                           : "two files (an accelerometer's and a gyroscope's)"));
        }
        ApplyLayout(o, layout);
    }
    const bool split = files.size() == 2 || !o.accWhere.empty() || !o.gyroWhere.empty();
    if (split && !(o.rate > 0)) {
        o.rate = kBaseRate;
    }
    if (files.size() == 2) {
        std::error_code ec;
        if (std::filesystem::equivalent(files[0], files[1], ec)) {
            throw Error(files[0] + " is given as both the accelerometer's and the gyroscope's "
                                   "file: give each sensor's own");
        }
    }
    std::vector<std::unique_ptr<DelimitedText>> tables;
    tables.reserve(files.size());
    for (const std::string& f : files) {
        tables.push_back(std::make_unique<DelimitedText>(f, o.delimiter, o.noHeader));
    }
    Samples out;
    TenDigits round(o.tenDigits);
    const std::size_t most = tables.front()->Rows().size();
    out.time.reserve(most);
    out.sourceRow.reserve(most);
    for (int k = 0; k < 3; ++k) {
        out.acc[k].reserve(most);
        out.gyro[k].reserve(most);
    }
    out.source = files[0] + (files.size() == 2 ? ", " + files[1] : "");
    if (!layout.empty()) {
        std::vector<const DelimitedText*> read;
        read.reserve(tables.size());
        for (const auto& t : tables) {
            read.push_back(t.get());
        }
        ApplyLayoutEvidence(o, layout, read, out.notes);
    }
    const bool stamped = !(o.sourceRate > 0);
    if (!split) {
        SampleStream s =
            ReadStream(*tables[0], o, {"acc", "gyr"}, false, o.where, files[0], out.notes);
        if (!(o.rate > 0)) {
            for (std::size_t k = 0; k < s.times.size(); ++k) {
                Put(out, round, s.times[k], s.rows[k], &s.values[k * 6]);
            }
            SettleTiming(out, out.source);
            return out;
        }
        const auto grid = OnGrid(std::move(s), o.rate, out.notes);
        for (const GridRow& r : grid) {
            Put(out, round, r.time, r.row, r.values.data());
        }
        out.rate = o.rate;
        return out;
    }
    const DelimitedText& accTable = *tables.front();
    const DelimitedText& gyroTable = *tables.back();
    const std::string accLabel = files.size() == 2 ? files[0] : files[0] + " (accelerometer rows)";
    const std::string gyroLabel = files.size() == 2 ? files[1] : files[0] + " (gyroscope rows)";
    SampleStream acc =
        ReadStream(accTable, o, {"acc"}, true, Both(o.where, o.accWhere), accLabel, out.notes);
    SampleStream gyro =
        ReadStream(gyroTable, o, {"gyr"}, true, Both(o.where, o.gyroWhere), gyroLabel, out.notes);
    const auto grid =
        Merge(std::move(acc), std::move(gyro), o.rate, stamped, out.source, out.notes);
    for (const GridRow& r : grid) {
        Put(out, round, r.time, r.row, r.values.data());
    }
    out.rate = o.rate;
    return out;
}

} // namespace kinrec
