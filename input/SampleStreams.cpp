#include "input/SampleStreams.h"

#include "input/ColumnWords.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace kinrec::detail {

namespace {

struct Axis {
    std::size_t index;
    double sign;
};

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) {
        out += (out.empty() ? "" : ", ") + name;
    }
    return out;
}

std::vector<std::string> SplitComma(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        std::string part = text.substr(start, comma == std::string::npos ? comma : comma - start);
        const std::size_t a = part.find_first_not_of(" \t");
        part = a == std::string::npos ? std::string()
                                      : part.substr(a, part.find_last_not_of(" \t") - a + 1);
        parts.push_back(part);
        if (comma == std::string::npos) {
            return parts;
        }
        start = comma + 1;
    }
}

std::vector<Axis> FindAxes(const DelimitedText& table, const std::string& sensor,
                           const std::string& wanted, bool bareOk) {
    const std::string role = sensor == "acc" ? "acceleration" : "angular rate";
    const std::string option = sensor == "acc" ? "--acc-cols" : "--gyro-cols";
    std::vector<Axis> found;
    if (!wanted.empty()) {
        const std::vector<std::string> parts = SplitComma(wanted);
        if (parts.size() != 3) {
            throw Error(option + " takes three columns (x,y,z), not '" + wanted + "'");
        }
        for (const std::string& p : parts) {
            if (!p.empty() && p[0] == '-') {
                found.push_back({table.Column(p.substr(1), role), -1.0});
            } else {
                found.push_back({table.Column(p, role), 1.0});
            }
        }
        return found;
    }
    if (!table.HasHeader()) {
        throw Error(table.Path() + " has no header line: give " + option + " by position, e.g. " +
                    option + " 2,3,4");
    }
    std::vector<std::vector<std::string>> words;
    for (const std::string& name : table.Names()) {
        words.push_back(SplitName(name).first);
    }
    for (const char* axis : {"x", "y", "z"}) {
        std::vector<std::size_t> hits;
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (SensorAxis(words[i]) == std::make_pair(sensor, std::string(axis))) {
                hits.push_back(i);
            }
        }
        if (hits.empty() && bareOk) {
            for (std::size_t i = 0; i < words.size(); ++i) {
                if (words[i] == std::vector<std::string>{axis}) {
                    hits.push_back(i);
                }
            }
        }
        if (hits.size() != 1) {
            std::string why = hits.empty() ? "no" : "more than one";
            why += " ";
            why += role;
            why += " column for axis ";
            why += axis;
            why += " found in ";
            why += table.Path();
            why += " (its columns: ";
            why += Joined(table.Names());
            why += "); give ";
            why += option;
            throw Error(why);
        }
        found.push_back({hits[0], 1.0});
    }
    return found;
}

std::size_t FindTime(const DelimitedText& table, const std::string& wanted) {
    if (!wanted.empty()) {
        return table.Column(wanted, "time");
    }
    for (std::size_t i = 0; i < table.Names().size(); ++i) {
        const std::vector<std::string> words = SplitName(table.Names()[i]).first;
        const bool timeWord = std::any_of(words.begin(), words.end(), [](const std::string& w) {
            return w.compare(0, 4, "time") == 0;
        });
        if (timeWord || words == std::vector<std::string>{"t"} ||
            words == std::vector<std::string>{"ts"}) {
            return i;
        }
    }
    throw Error("no time column found in " + table.Path() +
                "; give --time-col, or --source-rate when the rows are evenly spaced");
}

// The factor of a unit; counts take theirs from the scale option (0: not given).
double UnitScale(const std::string& name, const UnitTable& units, double scale,
                 const std::string& what, const std::string& scaleOption,
                 const std::string& where) {
    const std::optional<double> factor = UnitFactor(name, units);
    if (factor) {
        if (scale > 0) {
            throw Error(scaleOption + " is for counts, but the " + what + " unit of " + where +
                        " is " + name);
        }
        return *factor;
    }
    if (!(scale > 0)) {
        throw Error(what + " counts of " + where + " need " + scaleOption + " (counts per " +
                    (&units == &AccUnits() ? "g" : "deg/s") + ")");
    }
    return 1.0 / scale;
}

double ColumnScale(const DelimitedText& table, std::size_t index, const std::string& given,
                   const UnitTable& units, const std::string& what, const std::string& option,
                   double scale = 0, const std::string& scaleOption = std::string()) {
    if (!given.empty()) {
        return UnitScale(CanonicalUnit(given, units, what, ""), units, scale, what, scaleOption,
                         table.Path());
    }
    const std::optional<std::string> text =
        table.HasHeader() ? SplitName(table.Names()[index]).second : std::nullopt;
    if (!text) {
        throw Error("the " + what + " unit of " + table.Path() + " is not in its header; give " +
                    option + " (" + UnitList(units) + ")");
    }
    const std::string name = CanonicalUnit(*text, units, what,
                                           " in column '" + table.Names()[index] + "' of " +
                                               table.Path() + "; give " + option);
    return UnitScale(name, units, scale, what, scaleOption, table.Path());
}

// COLUMN=VALUE conditions on a table's rows.
class Filter {
  public:
    Filter(const DelimitedText& table, const std::vector<Condition>& conditions) : table_(table) {
        for (const Condition& c : conditions) {
            text_ += text_.empty() ? "" : " ";
            text_ += c.column;
            text_ += "=";
            text_ += c.value;
            tests_.push_back({table.Column(c.column, "filter"), c.value, table.Number(c.value)});
        }
    }
    bool operator()(const std::vector<std::string_view>& fields) const {
        return std::all_of(tests_.begin(), tests_.end(), [&](const Test& t) {
            if (t.index >= fields.size()) {
                return false;
            }
            const std::string_view got = fields[t.index];
            return got == t.text || (t.value && table_.Number(got) == t.value);
        });
    }
    const std::string& Text() const { return text_; }

  private:
    struct Test {
        std::size_t index;
        std::string text;
        std::optional<double> value;
    };
    const DelimitedText& table_;
    std::vector<Test> tests_;
    std::string text_;
};

std::optional<Stamp> ParseTime(std::string_view text, const DelimitedText& table, bool dated) {
    if (dated) {
        return ParseDateTime(text);
    }
    if (std::optional<Stamp> whole = ParseWhole(text)) {
        return whole;
    }
    if (std::optional<double> value = table.Number(text)) {
        Stamp s;
        s.kind = Stamp::kReal;
        s.real = *value;
        return s;
    }
    return std::nullopt;
}

double Median(std::vector<double> v) {
    const std::size_t n = v.size();
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n / 2), v.end());
    const double upper = v[n / 2];
    if (n % 2 == 1) {
        return upper;
    }
    const double lower =
        *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n / 2));
    return (lower + upper) / 2.0;
}

// A grid may hold this many points in any case, and this many per sample read (a slow
// stream's values are held on a faster grid).
constexpr double kGridLimit = 1000000;
constexpr double kGridPerSample = 1000;

// The grid's times over [start, end]. A grid far longer than the samples behind it
// comes of a stamp out of place (a year instead of a second): refused, naming the line
// of the widest step of the streams, before any of it is made.
std::vector<double> Grid(double start, double end, double rate,
                         const std::vector<const SampleStream*>& streams) {
    const double points = std::floor((end - start) * rate + 1e-6) + 1;
    std::size_t samples = 0;
    for (const SampleStream* s : streams) {
        samples += s->times.size();
    }
    if (points > std::max(kGridLimit, kGridPerSample * static_cast<double>(samples))) {
        double step = -1;
        std::int64_t line = 0;
        const std::string* label = nullptr;
        for (const SampleStream* s : streams) {
            for (std::size_t k = 1; k < s->times.size(); ++k) {
                const double d = s->times[k] - s->times[k - 1];
                if (d > step || (d == step && (s->lines[k] > line ||
                                               (s->lines[k] == line && s->label > *label)))) {
                    step = d;
                    line = s->lines[k];
                    label = &s->label;
                }
            }
        }
        throw Error(*label + " line " + std::to_string(line) + ": its time stamp is " +
                    FormatG(step, 6) + " s after the one before it, so a " + FormatG(rate, 4) +
                    " Hz grid would hold " + FormatF(points, 0) + " samples for " +
                    std::to_string(samples) + " read; a stamp out of place or the wrong " +
                    "--time-unit?");
    }
    const auto count = static_cast<std::size_t>(points);
    std::vector<double> at(count);
    for (std::size_t k = 0; k < count; ++k) {
        at[k] = start + static_cast<double>(k) / rate;
    }
    return at;
}

// For each grid time, the index of the last sample at or before it; notes a stream
// slower than the grid, whose values are then held.
std::vector<std::size_t> Held(const SampleStream& stream, const std::vector<double>& at,
                              double rate, std::vector<ReadNote>& notes) {
    const std::optional<double> source = TimingOf(stream.times).rate;
    if (source && *source < 0.9 * rate) {
        notes.push_back({"note", stream.label,
                         "about " + FormatG(*source, 4) + " Hz, slower than the " +
                             FormatG(rate, 4) + " Hz grid: each value is held for about " +
                             FormatG(rate / *source, 2) + " grid steps"});
    }
    std::vector<std::size_t> picks(at.size());
    auto from = stream.times.begin();
    for (std::size_t k = 0; k < at.size(); ++k) {
        from = std::upper_bound(from, stream.times.end(), at[k] + 1e-9);
        // the grid starts at or after the stream's first sample: never before it
        picks[k] =
            static_cast<std::size_t>(std::max<std::ptrdiff_t>(from - stream.times.begin(), 1)) - 1;
    }
    return picks;
}

std::string Format(double value, std::chars_format fmt, int digits) {
    char buf[64];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value, fmt, digits);
    return std::string(buf, r.ptr);
}

} // namespace

std::string FormatG(double value, int digits) {
    return Format(value, std::chars_format::general, digits);
}

std::string FormatF(double value, int digits) {
    return Format(value, std::chars_format::fixed, digits);
}

void SampleStream::Sorted() {
    std::vector<std::size_t> order(times.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (std::is_sorted(times.begin(), times.end())) {
        return;
    }
    std::stable_sort(order.begin(), order.end(),
                     [this](std::size_t a, std::size_t b) { return times[a] < times[b]; });
    std::vector<double> t(times.size()), v(values.size());
    std::vector<std::int64_t> r(rows.size()), l(lines.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        t[k] = times[order[k]];
        r[k] = rows[order[k]];
        l[k] = lines[order[k]];
        std::copy_n(values.begin() + static_cast<std::ptrdiff_t>(order[k] * width), width,
                    v.begin() + static_cast<std::ptrdiff_t>(k * width));
    }
    times.swap(t);
    rows.swap(r);
    lines.swap(l);
    values.swap(v);
}

SampleStream ReadStream(const DelimitedText& table, const ReadOptions& options,
                        const std::vector<std::string>& sensors, bool bareOk,
                        const std::vector<Condition>& conditions, const std::string& label,
                        std::vector<ReadNote>& notes) {
    std::vector<std::size_t> columns;
    std::vector<double> scales;
    for (const std::string& sensor : sensors) {
        const bool acc = sensor == "acc";
        for (const Axis& axis :
             FindAxes(table, sensor, acc ? options.accCols : options.gyroCols, bareOk)) {
            const double scale =
                acc ? ColumnScale(table, axis.index, options.accUnit, AccUnits(), "acceleration",
                                  "--acc-unit", options.accScale, "--acc-scale")
                    : ColumnScale(table, axis.index, options.gyroUnit, GyroUnits(), "angular rate",
                                  "--gyro-unit", options.gyroScale, "--gyro-scale");
            columns.push_back(axis.index);
            scales.push_back(scale * axis.sign);
        }
    }
    const Filter keep(table, conditions);
    const bool stamped = !(options.sourceRate > 0);
    std::size_t timeIndex = 0;
    std::optional<double> timeScale;
    if (stamped) {
        timeIndex = FindTime(table, options.timeCol);
        std::string_view first;
        std::vector<std::string_view> fields;
        for (const DelimitedText::Row& row : table.Rows()) {
            if (table.Split(row, fields).size() > timeIndex && keep(fields)) {
                first = fields[timeIndex];
                break;
            }
        }
        if (table.Number(first) || !ParseDateTime(first)) {
            timeScale =
                ColumnScale(table, timeIndex, options.timeUnit, TimeUnits(), "time", "--time-unit");
        }
    }
    const bool dated = stamped && !timeScale;
    std::size_t need = *std::max_element(columns.begin(), columns.end());
    if (stamped) {
        need = std::max(need, timeIndex);
    }

    SampleStream s;
    s.label = label;
    s.width = columns.size();
    s.scale = timeScale;
    const std::size_t rowCount = table.Rows().size();
    s.times.reserve(rowCount);
    s.rows.reserve(rowCount);
    s.lines.reserve(rowCount);
    s.values.reserve(rowCount * s.width);
    std::int64_t kept = 0, skipped = 0, firstBad = -1;
    std::string why;
    std::vector<double> values(columns.size());
    std::vector<std::string_view> split;
    for (std::size_t n = 0; n < rowCount; ++n) {
        const DelimitedText::Row& row = table.Rows()[n];
        const std::vector<std::string_view>& fields = table.Split(row, split);
        if (!keep(fields)) {
            continue;
        }
        ++kept;
        bool good = fields.size() > need;
        std::size_t bad = columns.size();
        std::optional<Stamp> stamp;
        if (good) {
            for (std::size_t c = 0; c < columns.size(); ++c) {
                const std::optional<double> v = table.Number(fields[columns[c]]);
                if (!v) {
                    bad = std::min(bad, c);
                    good = false;
                } else {
                    values[c] = *v * scales[c];
                }
            }
            if (stamped) {
                stamp = ParseTime(fields[timeIndex], table, dated);
                good = good && stamp.has_value();
            }
        }
        if (!good) {
            ++skipped;
            if (firstBad < 0) {
                firstBad = row.line;
                if (fields.size() <= need) {
                    why = ": " + std::to_string(fields.size()) + " field(s), column " +
                          std::to_string(need + 1) + " wanted";
                } else {
                    const std::size_t index = bad < columns.size() ? columns[bad] : timeIndex;
                    why = ": column " + std::to_string(index + 1) + " holds '" +
                          std::string(fields[index]) + "'";
                }
            }
            continue;
        }
        double t;
        if (!stamped) {
            t = static_cast<double>(kept - 1) / options.sourceRate;
        } else {
            if (!s.origin) {
                s.origin = stamp;
            }
            t = Elapsed(*stamp, *s.origin, timeScale ? *timeScale : 1.0);
        }
        s.times.push_back(t);
        for (double v : values) {
            s.values.push_back(v);
        }
        s.rows.push_back(static_cast<std::int64_t>(n));
        s.lines.push_back(row.line);
    }
    if (kept == 0) {
        throw Error("no rows of " + table.Path() + " match " + keep.Text());
    }
    if (s.times.empty()) {
        throw Error("no samples in " + label + ": none of its " + std::to_string(kept) +
                    " data rows has numbers in the columns used (first at line " +
                    std::to_string(firstBad) + why + ")");
    }
    if (skipped > 0) {
        notes.push_back({"warning", label,
                         "skipped " + std::to_string(skipped) +
                             " row(s) with missing or non-numeric values (first at line " +
                             std::to_string(firstBad) + ")"});
    }
    return s;
}

Timing TimingOf(const std::vector<double>& times) {
    Timing timing;
    std::vector<double> positive;
    const std::size_t steps = times.empty() ? 0 : times.size() - 1;
    for (std::size_t k = 0; k < steps; ++k) {
        const double d = times[k + 1] - times[k];
        if (d > 0) {
            positive.push_back(d);
        } else {
            ++timing.backwards;
        }
    }
    if (positive.empty()) {
        return timing;
    }
    const double median = Median(positive);
    std::size_t near = 0;
    for (std::size_t k = 0; k < steps; ++k) {
        const double d = times[k + 1] - times[k];
        near += std::fabs(d - median) <= 0.25 * median ? 1 : 0;
        timing.gaps += d > 1.5 * median ? 1 : 0;
    }
    timing.rate = 1.0 / median;
    timing.even = static_cast<double>(near) >= 0.9 * static_cast<double>(steps);
    return timing;
}

std::vector<GridRow> OnGrid(SampleStream stream, double rate, std::vector<ReadNote>& notes) {
    stream.Sorted();
    const std::vector<double> at = Grid(stream.times.front(), stream.times.back(), rate, {&stream});
    const std::vector<std::size_t> picks = Held(stream, at, rate, notes);
    std::vector<GridRow> out(at.size());
    for (std::size_t k = 0; k < at.size(); ++k) {
        const std::size_t i = picks[k];
        out[k].time = at[k] - at[0];
        out[k].row = stream.rows[i];
        std::copy_n(stream.values.begin() + static_cast<std::ptrdiff_t>(i * 6), 6,
                    out[k].values.begin());
    }
    return out;
}

std::vector<GridRow> Merge(SampleStream acc, SampleStream gyro, double rate, bool stamped,
                           const std::string& where, std::vector<ReadNote>& notes) {
    acc.Sorted();
    gyro.Sorted();
    if (stamped) {
        // The gyroscope's times on the accelerometer's clock.
        if (acc.scale.has_value() != gyro.scale.has_value()) {
            throw Error(acc.label + " and " + gyro.label +
                        ": one has date-time stamps, the other numbers");
        }
        double shift;
        if (!acc.scale || *acc.scale == *gyro.scale) {
            shift = Elapsed(*gyro.origin, *acc.origin, acc.scale ? *acc.scale : 1.0);
        } else {
            const auto value = [](const Stamp& s) {
                return s.kind == Stamp::kReal ? s.real : static_cast<double>(s.whole);
            };
            shift = value(*gyro.origin) * *gyro.scale - value(*acc.origin) * *acc.scale;
        }
        for (double& t : gyro.times) {
            t += shift;
        }
    }
    const double start = std::max(acc.times.front(), gyro.times.front());
    const double end = std::min(acc.times.back(), gyro.times.back());
    if (end < start) {
        throw Error(acc.label + " and " + gyro.label + " do not overlap in time");
    }
    const char* first = acc.times.front() < gyro.times.front() ? "accelerometer" : "gyroscope";
    const char* last = acc.times.back() > gyro.times.back() ? "accelerometer" : "gyroscope";
    const double lostStart = start - std::min(acc.times.front(), gyro.times.front());
    const double lostEnd = std::max(acc.times.back(), gyro.times.back()) - end;
    if (lostStart > 0 || lostEnd > 0) {
        notes.push_back({"note", where,
                         "trimmed to the time span both sensors cover: " + FormatF(lostStart, 3) +
                             " s lost at the start (" + first + " only), " + FormatF(lostEnd, 3) +
                             " s at the end (" + last + " only)"});
    }
    const std::vector<double> at = Grid(start, end, rate, {&acc, &gyro});
    const std::vector<std::size_t> a = Held(acc, at, rate, notes);
    const std::vector<std::size_t> g = Held(gyro, at, rate, notes);
    std::vector<GridRow> out(at.size());
    for (std::size_t k = 0; k < at.size(); ++k) {
        out[k].time = at[k] - start;
        out[k].row = acc.rows[a[k]];
        std::copy_n(acc.values.begin() + static_cast<std::ptrdiff_t>(a[k] * 3), 3,
                    out[k].values.begin());
        std::copy_n(gyro.values.begin() + static_cast<std::ptrdiff_t>(g[k] * 3), 3,
                    out[k].values.begin() + 3);
    }
    return out;
}

} // namespace kinrec::detail
