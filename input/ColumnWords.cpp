#include "input/ColumnWords.h"

#include "kinrec.h"

#include <algorithm>
#include <map>

namespace kinrec::detail {

namespace {

constexpr double kPi = 3.141592653589793;

const std::map<std::string, std::string>& Aliases() {
    static const std::map<std::string, std::string> aliases = {
        {"m/s2", "m/s^2"},       {"m/s\xC2\xB2", "m/s^2"}, {"ms^-2", "m/s^2"},
        {"m/s/s", "m/s^2"},      {"mps2", "m/s^2"},        {"dps", "deg/s"},
        {"\xC2\xB0/s", "deg/s"}, {"degree/s", "deg/s"},    {"degrees/s", "deg/s"},
        {"rad/sec", "rad/s"},    {"deg/sec", "deg/s"},     {"count", "counts"},
        {"lsb", "counts"},       {"raw", "counts"},        {"sec", "s"},
        {"msec", "ms"},          {"\xC2\xB5s", "us"},      {"\xCE\xBCs", "us"},
        {"usec", "us"},          {"nsec", "ns"},
    };
    return aliases;
}

// Unit words that may end a column name after an underscore: "acc_x_g", "timestamp_us".
bool TrailingUnit(const std::string& w) {
    return w == "g" || w == "mg" || w == "dps" || w == "s" || w == "ms" || w == "us" || w == "ns";
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsLowerAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

std::string Trimmed(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) {
        return std::string();
    }
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

} // namespace

const UnitTable& AccUnits() {
    static const UnitTable units = {
        {"g", 1.0}, {"m/s^2", 1.0 / kStandardGravity}, {"mg", 0.001}, {"counts", std::nullopt}};
    return units;
}

const UnitTable& GyroUnits() {
    static const UnitTable units = {
        {"deg/s", 1.0}, {"rad/s", 180.0 / kPi}, {"counts", std::nullopt}};
    return units;
}

const UnitTable& TimeUnits() {
    static const UnitTable units = {{"s", 1.0}, {"ms", 1e-3}, {"us", 1e-6}, {"ns", 1e-9}};
    return units;
}

std::string UnitList(const UnitTable& units) {
    std::string out;
    for (const Unit& u : units) {
        out += (out.empty() ? "" : ", ") + std::string(u.name);
    }
    return out;
}

std::string CanonicalUnit(const std::string& text, const UnitTable& units, const std::string& what,
                          const std::string& context) {
    std::string key;
    for (char c : Trimmed(text)) {
        if (c != ' ') {
            key += Lower(c);
        }
    }
    const auto alias = Aliases().find(key);
    if (alias != Aliases().end()) {
        key = alias->second;
    }
    for (const Unit& u : units) {
        if (key == u.name) {
            return key;
        }
    }
    throw Error("unknown " + what + " unit '" + text + "'" + context + "; use " + UnitList(units));
}

std::optional<double> UnitFactor(const std::string& name, const UnitTable& units) {
    for (const Unit& u : units) {
        if (name == u.name) {
            return u.factor;
        }
    }
    return std::nullopt;
}

std::pair<std::vector<std::string>, std::optional<std::string>> SplitName(const std::string& name) {
    // A unit in brackets, "(g)" or "[m/s^2]": the first one states the unit, all are
    // left out of the words.
    std::optional<std::string> unit;
    std::string base;
    std::size_t i = 0;
    while (i < name.size()) {
        if (name[i] == '(' || name[i] == '[') {
            const std::size_t close = name.find_first_of(")]", i + 1);
            if (close != std::string::npos) {
                if (!unit) {
                    unit = Trimmed(name.substr(i + 1, close - i - 1));
                }
                base += ' ';
                i = close + 1;
                continue;
            }
        }
        base += name[i++];
    }
    // camelCase splits into words: "accX" -> "acc X".
    std::string spaced;
    for (std::size_t k = 0; k < base.size(); ++k) {
        spaced += Lower(base[k]);
        if (k + 1 < base.size() && base[k] >= 'a' && base[k] <= 'z' && base[k + 1] >= 'A' &&
            base[k + 1] <= 'Z') {
            spaced += ' ';
        }
    }
    std::vector<std::string> words;
    std::string word;
    for (char c : spaced + " ") {
        if (IsLowerAlnum(c)) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    if (!unit && words.size() > 1 && TrailingUnit(words.back()) &&
        name.find('_') != std::string::npos) {
        unit = words.back();
        words.pop_back();
    }
    return {words, unit};
}

std::pair<std::string, std::string> SensorAxis(const std::vector<std::string>& words) {
    static const char* const joined[] = {"accelerometer", "gyroscope", "accel",
                                         "acc",           "gyro",      "gyr"};
    std::string sensor, axis;
    for (const std::string& w : words) {
        // "accx", "gyro_y" (its words joined), "accelerometerz"
        for (const char* prefix : joined) {
            const std::string p(prefix);
            const std::size_t n = p.size();
            if ((w.size() == n + 1 || (w.size() == n + 2 && w[n] == '_')) &&
                w.compare(0, n, p) == 0 &&
                (w.back() == 'x' || w.back() == 'y' || w.back() == 'z')) {
                return {p.substr(0, 3), std::string(1, w.back())};
            }
        }
        if (w.size() == 2 && (w[0] == 'a' || w[0] == 'g') &&
            (w[1] == 'x' || w[1] == 'y' || w[1] == 'z')) {
            return {w[0] == 'a' ? "acc" : "gyr", std::string(1, w[1])};
        }
        if (w.compare(0, 3, "acc") == 0) {
            sensor = "acc";
        } else if (w.compare(0, 3, "gyr") == 0) {
            sensor = "gyr";
        } else if (w == "x" || w == "y" || w == "z") {
            axis = w;
        }
    }
    return {sensor, axis};
}

} // namespace kinrec::detail
