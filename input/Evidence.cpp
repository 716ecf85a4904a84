#include "input/Evidence.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kinrec::detail {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

// The names of a header line, lower case.
std::vector<std::string> Names(const std::string& line) {
    std::vector<std::string> names(1);
    for (const char c : line) {
        if (c == ',' || c == ';' || c == '\t') {
            names.emplace_back();
        } else if (c != '"' && c != '\r' && c != '\n') {
            names.back() += c;
        }
    }
    for (std::string& n : names) {
        n = Lower(n);
    }
    return names;
}

// The words of a name: split at '_', ' ', '(', ')', '[', ']' and '.'.
std::vector<std::string> Words(const std::string& name) {
    std::vector<std::string> words(1);
    for (const char c : name) {
        if (c == '_' || c == ' ' || c == '(' || c == ')' || c == '[' || c == ']' || c == '.') {
            if (!words.back().empty()) {
                words.emplace_back();
            }
        } else {
            words.back() += c;
        }
    }
    if (words.back().empty()) {
        words.pop_back();
    }
    return words;
}

bool OneOf(const std::string& w, std::initializer_list<const char*> set) {
    return std::any_of(set.begin(), set.end(), [&w](const char* s) { return w == s; });
}

std::string Number(double v) {
    char buf[32];
    (void)std::snprintf(buf, sizeof buf, "%.3g", v);
    return buf;
}

std::string Whole(double v) {
    return std::to_string(static_cast<long long>(std::llround(v)));
}

} // namespace

HeaderUnits UnitsOfHeader(const std::string& line) {
    bool physical = false;
    bool counts = false;
    for (const std::string& name : Names(line)) {
        for (const std::string& w : Words(name)) {
            physical = physical || OneOf(w, {"g", "mg", "dps", "deg/s", "m/s^2", "m/s2", "rad/s",
                                             "ms^-2", "degree/s", "degrees/s", "°/s", "m/s²"});
            counts = counts || OneOf(w, {"counts", "count", "raw", "lsb"});
        }
    }
    if (physical == counts) {
        return HeaderUnits::kNone; // none, or words of both kinds: nothing to go by
    }
    return physical ? HeaderUnits::kPhysical : HeaderUnits::kCounts;
}

double TimeUnitOfHeader(const std::string& line) {
    const std::vector<std::string> names = Names(line);
    const std::vector<std::string> words = Words(names.front());
    bool time = false;
    double unit = 0;
    for (const std::string& w : words) {
        time = time || w.find("time") != std::string::npos || w == "t" || w == "epoch";
        if (OneOf(w, {"s", "sec", "seconds"})) {
            unit = 1;
        } else if (OneOf(w, {"ms", "msec"})) {
            unit = 1e-3;
        } else if (OneOf(w, {"us", "usec", "µs"})) {
            unit = 1e-6;
        } else if (OneOf(w, {"ns", "nsec"})) {
            unit = 1e-9;
        }
    }
    return time ? unit : -1;
}

void TimeSteps::Add(double t) {
    if (n_ > 0) {
        const double step = t - last_;
        counter_ = counter_ && step == 1;
        if (early_.size() < kFirst) {
            early_.push_back(step);
        } else if (Off(step)) {
            ++off_;
        }
    } else {
        first_ = t;
    }
    last_ = t;
    ++n_;
}

bool TimeSteps::Off(double step) const {
    if (reference_ == 0) {
        std::vector<double> s = early_;
        std::nth_element(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(s.size() / 2), s.end());
        reference_ = s[s.size() / 2];
    }
    return !(step > reference_ * 0.5 && step < reference_ * 1.5);
}

double TimeSteps::Step() const {
    if (n_ < 3 || counter_ || !std::isfinite(first_) || !std::isfinite(last_)) {
        return 0;
    }
    std::int64_t off = off_;
    for (const double step : early_) {
        off += Off(step) ? 1 : 0;
    }
    const double step = (last_ - first_) / static_cast<double>(n_ - 1);
    if (!(reference_ > 0) || off * 20 > n_ - 1 || !(step > 0)) {
        return 0;
    }
    return step;
}

RestMagnitude::RestMagnitude() : bins_(kFine + kCoarse, 0) {}

void RestMagnitude::Add(double g) {
    if (!(g >= 0)) {
        return; // not a number
    }
    std::size_t bin = 0;
    if (g < 16) {
        bin = static_cast<std::size_t>(g * 256);
    } else {
        const int doublings = std::min(static_cast<int>(std::log2(g / 16)), kCoarse - 1);
        bin = static_cast<std::size_t>(kFine + doublings);
    }
    ++bins_[bin];
    ++n_;
}

double RestMagnitude::Median() const {
    if (n_ == 0) {
        return 0;
    }
    std::int64_t seen = 0;
    for (std::size_t b = 0; b < bins_.size(); ++b) {
        seen += bins_[b];
        if (seen * 2 >= n_) {
            if (b < kFine) {
                return (static_cast<double>(b) + 0.5) / 256;
            }
            return 16 * std::exp2(static_cast<double>(b - kFine) + 0.5);
        }
    }
    return 0;
}

double StepSeconds(double step, double unit) {
    if (unit > 0) {
        return step * unit;
    }
    for (const double u : {1.0, 1e-3, 1e-6, 1e-9}) {
        if (step * u >= 1e-4 && step * u <= 1) {
            return step * u;
        }
    }
    return 0;
}

std::vector<std::string> EvidenceSentences(std::int32_t fileType, HeaderUnits units,
                                           double restMedian, bool countsInput, double step,
                                           std::int32_t resample) {
    std::vector<std::string> said;
    if (fileType == 1 && units == HeaderUnits::kPhysical) {
        said.push_back("the header names physical units, but FILETYPE 1 reads the columns as "
                       "raw counts (8192 per g): for values in g and deg/s set FILETYPE 2");
    } else if (fileType == 2 && units == HeaderUnits::kCounts) {
        said.push_back("the header names raw counts, but FILETYPE 2 reads the columns as g and "
                       "deg/s: for counts set FILETYPE 1");
    }
    const double each = 0.02 / (resample > 1 ? resample : 1); // [s] per input sample
    if (step > 0 && std::fabs(step / each - 1) > 0.1) {
        std::string s = "the time column steps " + Number(step) + " s (" + Number(1 / step) +
                        " Hz), but the settings take " + Number(each) +
                        " s per sample (0.02 s per kept row): ";
        const double k = 0.02 / step;
        const double whole = std::round(k);
        if (whole >= 1 && std::fabs(k - whole) <= 0.05 * k) {
            s += whole > 1 ? "RESAMPLECOUNT " + Whole(whole) + " fits"
                           : "no RESAMPLECOUNT fits (every sample kept)";
        } else {
            s += Number(1 / step) +
                 " Hz is no whole multiple of 50 Hz: resample the recording to 50 Hz first";
        }
        said.push_back(s);
    }
    if (restMedian > 0 && (restMedian < 0.6 || restMedian > 1.7)) {
        std::string s = "the acceleration's median magnitude is " + Number(restMedian) +
                        " g, where a body-worn sensor reads about 1 g: ";
        if (countsInput && restMedian < 0.002) {
            s += "values in g read as counts? (FILETYPE 2 reads g)";
        } else if (countsInput) {
            const double perG = 8192 * restMedian;
            double known = 0;
            for (const double k : {256.0, 512.0, 1024.0, 2048.0, 4096.0, 16384.0}) {
                known = std::fabs(perG / k - 1) < 0.15 ? k : known;
            }
            s += "the counts may be " + Whole(known > 0 ? known : perG) +
                 " per g, not the 8192 kinrec reads (scale them first)";
        } else if (restMedian > 8 && restMedian < 12) {
            s += "m/s^2 read as g? (divide by 9.80665)";
        } else if (restMedian > 600 && restMedian < 1700) {
            s += "milli-g read as g? (divide by 1000)";
        } else {
            s += "the unit or scale of the values may be wrong";
        }
        said.push_back(s);
    }
    return said;
}

} // namespace kinrec::detail
