#include "input/DataSets.h"

#include "input/Layouts.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kinrec {

using namespace detail;

namespace {

namespace fs = std::filesystem;

struct DataSetInfo {
    const char* name;
    std::vector<std::string> positions; // the default first; empty: one sensor
};

const std::vector<DataSetInfo>& Infos() {
    static const std::vector<DataSetInfo> infos = {
        {"sisfall", {}},
        {"smartfallmm", {"hip", "wrist", "watch", "phone"}},
        {"umafall", {"waist", "wrist", "ankle", "chest", "rightpocket"}},
        {"mobifall", {}},
        {"fallalld", {"waist", "neck", "wrist"}},
    };
    return infos;
}

const DataSetInfo& Info(const std::string& name) {
    for (const DataSetInfo& i : Infos()) {
        if (name == i.name) {
            return i;
        }
    }
    throw InternalError("no data set " + name);
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return s;
}

std::string Path(const std::string& root, const std::string& relative) {
    return (fs::path(root) / fs::path(relative)).generic_string();
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// The last folder of a relative path before its file name, and the one before it.
std::vector<std::string> Folders(const std::string& relative) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t slash; (slash = relative.find('/', start)) != std::string::npos;
         start = slash + 1) {
        parts.push_back(relative.substr(start, slash - start));
    }
    return parts;
}

// A file name read left to right, piece by piece, as the data sets make their names; each
// piece appends what it read to *out when given.
class NameScan {
  public:
    explicit NameScan(const std::string& s, std::size_t from = 0) : s_(s), i_(from) {}
    // The text t next.
    bool Text(const char* t) {
        const std::size_t n = std::strlen(t);
        if (s_.compare(i_, n, t) != 0) {
            return false;
        }
        i_ += n;
        return true;
    }
    // min to max decimal digits next: as many as stand there, up to max.
    bool Digits(std::size_t min, std::size_t max, std::string* out = nullptr) {
        std::size_t n = 0;
        while (n < max && i_ + n < s_.size() && s_[i_ + n] >= '0' && s_[i_ + n] <= '9') {
            ++n;
        }
        return Take(n >= min ? n : 0, out);
    }
    // One character of set next.
    bool OneOf(const char* set, std::string* out = nullptr) {
        const bool in = i_ < s_.size() && s_[i_] != '\0' && std::strchr(set, s_[i_]) != nullptr;
        return Take(in ? 1 : 0, out);
    }
    // n capital letters next.
    bool Capitals(std::size_t n, std::string* out) {
        std::size_t k = 0;
        while (k < n && i_ + k < s_.size() && s_[i_ + k] >= 'A' && s_[i_ + k] <= 'Z') {
            ++k;
        }
        return Take(k == n ? n : 0, out);
    }
    bool End() const { return i_ == s_.size(); }
    std::size_t At() const { return i_; }
    // Whatever is left ends with t.
    bool EndsWith(const char* t) const {
        const std::size_t n = std::strlen(t);
        return s_.size() >= i_ + n && s_.compare(s_.size() - n, n, t) == 0;
    }

  private:
    bool Take(std::size_t n, std::string* out) {
        if (n == 0) {
            return false;
        }
        if (out != nullptr) {
            *out += s_.substr(i_, n);
        }
        i_ += n;
        return true;
    }
    const std::string& s_;
    std::size_t i_;
};

// SisFall: SA01/F05_SA01_R01.txt; F01-F15 falls, D01-D19 activities.
bool SisFallTrial(const std::string& name, Trial& t) {
    NameScan n(name);
    std::string activity, subject, trial;
    if (!(n.OneOf("DF", &activity) && n.Digits(2, 2, &activity) && n.Text("_") &&
          n.OneOf("S", &subject) && n.OneOf("AE", &subject) && n.Digits(2, 2, &subject) &&
          n.Text("_R") && n.Digits(2, 2, &trial) && n.Text(".txt") && n.End())) {
        return false;
    }
    t.activity = activity;
    t.subject = subject;
    t.trial = std::stoi(trial);
    t.fall = t.activity[0] == 'F';
    return true;
}

// SmartFallMM: <group>/accelerometer/<sensor>/S29A10T01.csv with its gyroscope file at
// <group>/gyroscope/<sensor>/; A10-A14 are falls.
bool SmartFallTrial(const std::string& root, const std::string& relative, const std::string& name,
                    const std::string& position, Trial& t) {
    NameScan n(name);
    std::string subject = "S", code, trial;
    const std::vector<std::string> folders = Folders(relative);
    if (folders.size() < 2 || folders[folders.size() - 2] != "accelerometer" ||
        !(n.Text("S") && n.Digits(1, 6, &subject) && n.Text("A") && n.Digits(1, 6, &code) &&
          n.Text("T") && n.Digits(1, 6, &trial) && n.Text(".csv") && n.End())) {
        return false;
    }
    const std::string& sensor = folders.back();
    const std::string where = sensor == "meta_hip"     ? "hip"
                              : sensor == "meta_wrist" ? "wrist"
                                                       : sensor;
    if (where != position) {
        return false;
    }
    std::string gyro;
    for (std::size_t k = 0; k + 2 < folders.size(); ++k) {
        gyro += folders[k] + "/";
    }
    gyro += "gyroscope/" + sensor + "/" + name;
    if (!IsFile(Path(root, gyro))) {
        return false;
    }
    t.subject = subject;
    t.activity = "A" + code;
    const int number = std::stoi(code);
    t.fall = number >= 10 && number <= 14;
    t.trial = std::stoi(trial);
    t.position = where;
    t.paths.push_back(Path(root, gyro));
    return true;
}

// UMAFall: UMAFall_Subject_01_ADL_Walking_1_2017-04-14_23-38-23.csv.
bool UmaFallTrial(const std::string& name, const std::string& position, Trial& t) {
    NameScan n(name);
    std::string subject = "Subject_";
    if (!(n.Text("UMAFall_Subject_") && n.Digits(1, 6, &subject) && n.Text("_"))) {
        return false;
    }
    const bool fall = n.Text("Fall_");
    if (!fall && !n.Text("ADL_")) {
        return false;
    }
    // The activity may hold '_': it ends at the last '_' after which the trial, the date
    // and the ".csv" follow.
    const std::size_t from = n.At();
    for (std::size_t at = name.rfind('_'); at != std::string::npos && at > from;
         at = name.rfind('_', at - 1)) {
        NameScan tail(name, at);
        std::string trial;
        if (tail.Text("_") && tail.Digits(1, 6, &trial) && tail.Text("_") && tail.Digits(4, 4) &&
            tail.Text("-") && tail.Digits(2, 2) && tail.Text("-") && tail.Digits(2, 2) &&
            tail.Text("_") && tail.EndsWith(".csv")) {
            t.subject = subject;
            t.fall = fall;
            t.activity = name.substr(from, at - from);
            t.trial = std::stoi(trial);
            t.position = position;
            return true;
        }
    }
    return false;
}

// MobiFall: sub1/FALLS/FOL/FOL_acc_1_1.txt beside FOL_gyro_1_1.txt; FOL, FKL, BSC and
// SDL are falls.
bool MobiFallTrial(const std::string& root, const std::string& relative, const std::string& name,
                   Trial& t) {
    NameScan n(name);
    std::string activity, subject, trial;
    if (!(n.Capitals(3, &activity) && n.Text("_acc_") && n.Digits(1, 6, &subject) && n.Text("_") &&
          n.Digits(1, 6, &trial) && n.Text(".txt") && n.End())) {
        return false;
    }
    const std::string gyro = relative.substr(0, relative.size() - name.size()) + activity +
                             "_gyro_" + subject + "_" + trial + ".txt";
    if (!IsFile(Path(root, gyro))) {
        return false;
    }
    t.activity = activity;
    t.subject = "sub" + subject;
    t.trial = std::stoi(trial);
    t.fall =
        t.activity == "FOL" || t.activity == "FKL" || t.activity == "BSC" || t.activity == "SDL";
    t.paths.push_back(Path(root, gyro));
    return true;
}

// FallAllD: S01_D3_A101_T01_A.dat beside S01_D3_A101_T01_G.dat; D1 neck, D2 wrist, D3
// waist; A001-A044 activities, A101-A135 falls.
bool FallAllDTrial(const std::string& root, const std::string& relative, const std::string& name,
                   const std::string& position, Trial& t) {
    NameScan n(name);
    std::string subject = "S", device, code, trial;
    if (!(n.Text("S") && n.Digits(1, 6, &subject) && n.Text("_D") && n.OneOf("123", &device) &&
          n.Text("_A") && n.Digits(1, 6, &code) && n.Text("_T") && n.Digits(1, 6, &trial) &&
          n.Text("_A.dat") && n.End())) {
        return false;
    }
    static const char* const devices[] = {"neck", "wrist", "waist"};
    const std::string where = devices[device[0] - '1'];
    const std::string gyro = relative.substr(0, relative.size() - 5) + "G.dat";
    if (where != position || !IsFile(Path(root, gyro))) {
        return false;
    }
    t.subject = subject;
    t.activity = "A" + code;
    t.fall = std::stoi(code) >= 101;
    t.trial = std::stoi(trial);
    t.position = where;
    t.paths.push_back(Path(root, gyro));
    return true;
}

} // namespace

namespace detail {

std::string DataSetName(const std::string& text) {
    std::string key = Lower(text);
    std::string all;
    for (const DataSetInfo& i : Infos()) {
        if (key == i.name) {
            return key;
        }
        all += (all.empty() ? "" : ", ") + std::string(i.name);
    }
    throw Error("unknown data set '" + text + "'; use " + all);
}

bool TrialOf(const std::string& dataSet, const std::string& root, const std::string& relative,
             const std::string& position, Trial& t) {
    const std::size_t slash = relative.rfind('/');
    const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
    t = Trial();
    t.file = relative;
    t.paths.push_back(Path(root, relative));
    if (dataSet == "sisfall") {
        return SisFallTrial(name, t);
    }
    if (dataSet == "smartfallmm") {
        return SmartFallTrial(root, relative, name, position, t);
    }
    if (dataSet == "umafall") {
        return UmaFallTrial(name, position, t);
    }
    if (dataSet == "mobifall") {
        return MobiFallTrial(root, relative, name, t);
    }
    if (dataSet == "fallalld") {
        return FallAllDTrial(root, relative, name, position, t);
    }
    return false;
}

} // namespace detail

std::vector<std::string> DataSetNames() {
    std::vector<std::string> names;
    for (const DataSetInfo& i : Infos()) {
        names.emplace_back(i.name);
    }
    return names;
}

std::vector<std::string> DataSetPositions(const std::string& dataSet) {
    return Info(DataSetName(dataSet)).positions;
}

std::vector<Trial> FindTrials(const std::string& dataSet, const std::string& root,
                              const std::string& position) {
    const std::string name = DataSetName(dataSet);
    const std::vector<std::string>& positions = Info(name).positions;
    std::string where = Lower(position);
    if (positions.empty() && !where.empty()) {
        throw Error(name + " has one sensor position: give no position");
    }
    if (!positions.empty()) {
        if (where.empty()) {
            where = positions.front();
        } else if (std::find(positions.begin(), positions.end(), where) == positions.end()) {
            std::string all;
            for (const std::string& p : positions) {
                all += (all.empty() ? "" : ", ") + p;
            }
            throw Error(name + " has no position '" + position + "'; use " + all);
        }
    }
    std::error_code ec;
    fs::recursive_directory_iterator it(root, ec);
    if (ec) {
        throw FileError(root, ec.value(), ec.message());
    }
    std::vector<std::string> files;
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) {
            throw FileError(root, ec.value(), ec.message());
        }
        if (it->is_regular_file(ec)) {
            files.push_back(it->path().lexically_relative(root).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<Trial> trials;
    Trial t;
    for (const std::string& f : files) {
        if (TrialOf(name, root, f, where, t)) {
            trials.push_back(t);
        }
    }
    return trials;
}

ReadOptions TrialReadOptions(const std::string& dataSet, const Trial& trial) {
    ReadOptions o;
    o.layout = DataSetName(dataSet);
    o.position = trial.position;
    o.rate = 50.0;
    o.tenDigits = false; // no file in between to agree with
    return o;
}

Settings DataSetSettings() {
    Settings s;
    s.Overflow = 1; // clip
    return s;
}

TrialTable ConvertTrial(const std::string& dataSet, const Trial& trial, const Settings& settings) {
    const Samples samples = ReadSamples(trial.paths, TrialReadOptions(dataSet, trial));
    TrialTable out;
    out.notes = samples.notes;
    const std::size_t n = samples.Size();
    Recording<double> rec;
    Channel<double>* channels[] = {&rec.accX,  &rec.accY,  &rec.accZ,
                                   &rec.gyroX, &rec.gyroY, &rec.gyroZ};
    for (std::size_t c = 0; c < 6; ++c) {
        const std::vector<double>& v = c < 3 ? samples.acc[c] : samples.gyro[c - 3];
        *channels[c] = Channel<double>{v.data(), n};
    }
    out.table = FromPhysical(rec, settings);
    out.beyondRange = out.table.notes.wrapped;
    out.time.reserve(out.table.Rows());
    for (std::int64_t s : out.table.samples) {
        out.time.push_back(samples.time[static_cast<std::size_t>(s)]);
    }
    return out;
}

} // namespace kinrec
