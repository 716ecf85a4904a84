#include "input/Layouts.h"

#include "input/ColumnWords.h"
#include "input/SampleStreams.h"

#include <algorithm>
#include <cmath>

namespace kinrec::detail {

namespace {

struct Layout {
    const char* name;
    bool twoFiles;
};

// In the order the messages list them.
constexpr Layout kLayouts[] = {
    {"sisfall", false}, {"smartfallmm", true}, {"umafall", false},
    {"mobifall", true}, {"fallalld", true},
};

// UMAFall's sensor IDs by position in every file read that has the '%' header, for the
// copies without it.
constexpr const char* kUmaFallIds[] = {"rightpocket", "chest", "waist", "wrist", "ankle"};

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return s;
}

std::string Trimmed(std::string_view s) {
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string_view::npos) {
        return std::string();
    }
    return std::string(s.substr(a, s.find_last_not_of(" \t") - a + 1));
}

void Fill(std::string& field, const char* value) {
    if (field.empty()) {
        field = value;
    }
}

void Fill(double& field, double value) {
    if (!(field > 0)) {
        field = value;
    }
}

// The median magnitude of three columns of a header-less table, in the file's units.
double MedianMagnitude(const DelimitedText& table, std::size_t x) {
    std::vector<double> magnitudes;
    std::vector<std::string_view> fields;
    for (const DelimitedText::Row& row : table.Rows()) {
        if (table.Split(row, fields).size() < x + 3) {
            continue;
        }
        double sum = 0.0;
        bool good = true;
        for (std::size_t k = x; k < x + 3 && good; ++k) {
            const std::optional<double> v = table.Number(fields[k]);
            good = v.has_value();
            sum += good ? *v * *v : 0.0;
        }
        if (good) {
            magnitudes.push_back(std::sqrt(sum));
        }
    }
    if (magnitudes.empty()) {
        return 0.0;
    }
    const auto middle = magnitudes.begin() + static_cast<std::ptrdiff_t>(magnitudes.size() / 2);
    std::nth_element(magnitudes.begin(), middle, magnitudes.end());
    return *middle;
}

// SmartFallMM: the meta sensors write "epoch ms,ISO time,elapsed s,x,y,z", the watch
// and the phone "date-time,x,y,z". The accelerometers' unit varies between sensors: a
// body-worn sensor reads about 1 g at rest, so a median magnitude above 4 is m/s^2.
void SmartFallEvidence(ReadOptions& o, const std::vector<const DelimitedText*>& tables,
                       std::vector<ReadNote>& notes) {
    const DelimitedText& acc = *tables.front();
    const bool meta = acc.Width() >= 6;
    Fill(o.timeCol, "1");
    if (meta) {
        Fill(o.timeUnit, "ms");
    }
    Fill(o.accCols, meta ? "4,5,6" : "2,3,4");
    Fill(o.gyroCols, meta ? "4,5,6" : "2,3,4");
    // The meta sensors' gyroscopes write deg/s, the watch's and the phone's rad/s (the
    // unit their operating system reports).
    Fill(o.gyroUnit, meta ? "deg/s" : "rad/s");
    if (o.accUnit.empty()) {
        // Said only when it departs from the data set's description (g).
        const double median = MedianMagnitude(acc, meta ? 3 : 1);
        o.accUnit = median > 4.0 ? "m/s^2" : "g";
        if (o.accUnit != "g") {
            notes.push_back({"note", acc.Path(),
                             "acceleration taken as m/s^2: its median magnitude is " +
                                 FormatG(median, 4) +
                                 ", and a body-worn sensor reads about 1 g "
                                 "at rest"});
        }
    }
}

void UmaFallEvidence(ReadOptions& o, const DelimitedText& table, std::vector<ReadNote>& notes) {
    if (!o.where.empty()) {
        return;
    }
    const std::string position = o.position.empty() ? "waist" : Lower(o.position);
    std::string id = UmaFallSensorId(table, position);
    if (id.empty()) {
        for (std::size_t k = 0; k < std::size(kUmaFallIds); ++k) {
            if (position == kUmaFallIds[k]) {
                id = std::to_string(k);
            }
        }
        if (id.empty()) {
            throw Error("UMAFall has no position '" + position +
                        "'; use rightpocket, chest, waist, wrist or ankle");
        }
        notes.push_back({"note", table.Path(),
                         "no '%' header names the sensors: the " + position +
                             " is taken to be "
                             "sensor " +
                             id + ", as in every file that has one"});
    }
    o.where.push_back({"7", id});
}

} // namespace

std::string LayoutName(const std::string& text) {
    std::string key = Lower(Trimmed(text));
    std::string all;
    for (const Layout& l : kLayouts) {
        if (key == l.name) {
            return key;
        }
        all += (all.empty() ? "" : ", ") + std::string(l.name);
    }
    throw Error("unknown layout '" + text + "'; use " + all);
}

void ApplyLayout(ReadOptions& o, const std::string& layout) {
    if (layout == "sisfall") {
        // Header-less lines of nine counts at 200 Hz: an ADXL345 accelerometer (256
        // counts per g), an ITG3200 gyroscope (16.384 counts per deg/s: the readme's
        // (2*2000/2^16)*count deg/s), a second accelerometer (left out).
        o.noHeader = true;
        Fill(o.accCols, "1,2,3");
        Fill(o.gyroCols, "4,5,6");
        Fill(o.accUnit, "counts");
        Fill(o.accScale, 256.0);
        Fill(o.gyroUnit, "counts");
        Fill(o.gyroScale, 16.384);
        Fill(o.sourceRate, 200.0);
    } else if (layout == "smartfallmm") {
        o.noHeader = true; // the rest from the files' columns
    } else if (layout == "umafall") {
        // "ms;sample;x;y;z;sensor type;sensor id": type 0 accelerometer in g, 1
        // gyroscope in deg/s, 2 magnetometer; the sensor's rows by its position.
        o.noHeader = true;
        Fill(o.timeCol, "1");
        Fill(o.timeUnit, "ms");
        Fill(o.accCols, "3,4,5");
        Fill(o.gyroCols, "3,4,5");
        Fill(o.accUnit, "g");
        Fill(o.gyroUnit, "deg/s");
        if (o.accWhere.empty()) {
            o.accWhere.push_back({"6", "0"});
        }
        if (o.gyroWhere.empty()) {
            o.gyroWhere.push_back({"6", "1"});
        }
    } else if (layout == "mobifall") {
        // '#' header lines, "@DATA", then "ns, x, y, z": m/s^2 and rad/s.
        o.noHeader = true;
        Fill(o.timeCol, "1");
        Fill(o.timeUnit, "ns");
        Fill(o.accCols, "2,3,4");
        Fill(o.gyroCols, "2,3,4");
        Fill(o.accUnit, "m/s^2");
        Fill(o.gyroUnit, "rad/s");
    } else if (layout == "fallalld") {
        // Comma-separated int16 counts at 238 Hz, no time: +-8 g at 4096 counts per g,
        // +-2000 deg/s at 16.384 counts per deg/s.
        o.noHeader = true;
        Fill(o.accCols, "1,2,3");
        Fill(o.gyroCols, "1,2,3");
        Fill(o.accUnit, "counts");
        Fill(o.accScale, 4096.0);
        Fill(o.gyroUnit, "counts");
        Fill(o.gyroScale, 16.384);
        Fill(o.sourceRate, 238.0);
    }
}

void ApplyLayoutEvidence(ReadOptions& o, const std::string& layout,
                         const std::vector<const DelimitedText*>& tables,
                         std::vector<ReadNote>& notes) {
    if (layout == "smartfallmm") {
        SmartFallEvidence(o, tables, notes);
    } else if (layout == "umafall") {
        UmaFallEvidence(o, *tables.front(), notes);
    }
}

std::string UmaFallSensorId(const DelimitedText& table, const std::string& position) {
    for (std::string_view line : table.Comments()) {
        // "C4:BE:84:71:A5:02; 2; WAIST; SensorTag"
        std::vector<std::string> parts;
        std::size_t start = 0;
        for (;;) {
            const std::size_t semi = line.find(';', start);
            parts.push_back(
                Trimmed(line.substr(start, semi == std::string_view::npos ? semi : semi - start)));
            if (semi == std::string_view::npos) {
                break;
            }
            start = semi + 1;
        }
        if (parts.size() >= 3 && !parts[1].empty() &&
            std::all_of(parts[1].begin(), parts[1].end(),
                        [](char c) { return c >= '0' && c <= '9'; }) &&
            Lower(parts[2]) == position) {
            return parts[1];
        }
    }
    return std::string();
}

} // namespace kinrec::detail

namespace kinrec {

std::vector<std::string> LayoutNames() {
    std::vector<std::string> names;
    for (const detail::Layout& l : detail::kLayouts) {
        names.emplace_back(l.name);
    }
    return names;
}

bool LayoutTakesTwoFiles(const std::string& layout) {
    const std::string name = detail::LayoutName(layout);
    for (const detail::Layout& l : detail::kLayouts) {
        if (name == l.name) {
            return l.twoFiles;
        }
    }
    return false;
}

} // namespace kinrec
