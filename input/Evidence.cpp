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

namespace {

double MedianOf(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// A step far from the reference: beyond half of it either way.
bool Off(double step, double reference) {
    return !(step > reference * 0.5 && step < reference * 1.5);
}

} // namespace

void TimeSteps::Add(double t) {
    if (n_ > 0) {
        const double step = t - last_;
        counter_ = counter_ && step == 1;
        if (early_.size() < kFirst) {
            early_.push_back(step);
            if (early_.size() == kFirst) {
                reference_ = MedianOf(early_);
            }
        } else if (Off(step, reference_)) {
            ++off_;
        }
    } else {
        first_ = t;
    }
    last_ = t;
    ++n_;
}

double TimeSteps::Step() const {
    if (n_ < 3 || counter_ || !std::isfinite(first_) || !std::isfinite(last_)) {
        return 0;
    }
    const double reference = early_.size() == kFirst ? reference_ : MedianOf(early_);
    std::int64_t off = off_;
    for (const double step : early_) {
        off += Off(step, reference) ? 1 : 0;
    }
    const double step = (last_ - first_) / static_cast<double>(n_ - 1);
    if (!(reference > 0) || off * 20 > n_ - 1 || !(step > 0)) {
        return 0;
    }
    return step;
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

std::vector<std::string> EvidenceSentences(const Evidence& e) {
    std::vector<std::string> said;
    if (e.fileType == 1 && e.units == HeaderUnits::kPhysical) {
        said.push_back("the header names physical units, but FILETYPE 1 reads the columns as "
                       "raw counts (8192 per g): for values in g and deg/s set FILETYPE 2");
    } else if (e.fileType == 2 && e.units == HeaderUnits::kCounts) {
        said.push_back("the header names raw counts, but FILETYPE 2 reads the columns as g and "
                       "deg/s: for counts set FILETYPE 1");
    }
    const double each = 0.02 / (e.resample > 1 ? e.resample : 1); // [s] per input sample
    if (e.step > 0 && std::fabs(e.step / each - 1) > 0.1) {
        std::string s = "the time column steps " + Number(e.step) + " s (" + Number(1 / e.step) +
                        " Hz), but the settings take " + Number(each) +
                        " s per sample (0.02 s per kept row): ";
        const double k = 0.02 / e.step;
        const double whole = std::round(k);
        if (whole >= 1 && std::fabs(k - whole) <= 0.05 * k) {
            s += whole > 1 ? "RESAMPLECOUNT " + Whole(whole) + " fits"
                           : "no RESAMPLECOUNT fits (every sample kept)";
        } else {
            s += Number(1 / e.step) +
                 " Hz is no whole multiple of 50 Hz: resample the recording to 50 Hz first";
        }
        said.push_back(s);
    }
    if (e.beyondShare > 0.5) {
        // The magnitudes of wrapped or clipped values say nothing: the share does.
        said.push_back("most samples (" + Whole(100 * e.beyondShare) +
                       "%) hold values beyond the 16-bit range: " +
                       (e.accUnit == 1 ? std::string("counts of another scale?")
                                       : std::string("values in m/s^2 or milli-g read as g?")));
        return said;
    }
    const double m = e.restMedian;
    if (m > 0 && (m < 0.5 || m > 2)) {
        std::string s = "the acceleration's median magnitude is " + Number(m) +
                        " g, where a body-worn sensor reads about 1 g: ";
        if (e.accUnit == 1 && m < 0.01) { // the first 0.01 g: next to nothing
            s += "values in g read as counts? (FILETYPE 2 reads g)";
        } else if (e.accUnit == 1) {
            const double perG = 8192 * m;
            double known = 0;
            for (const double k : {256.0, 512.0, 1024.0, 2048.0, 4096.0, 16384.0}) {
                known = std::fabs(perG / k - 1) < 0.15 ? k : known;
            }
            s += "the counts may be " + Whole(known > 0 ? known : perG) +
                 " per g, not the 8192 kinrec reads (scale them first)";
        } else {
            s += "the unit or scale of the values may be wrong";
        }
        said.push_back(s);
    }
    return said;
}

} // namespace kinrec::detail
