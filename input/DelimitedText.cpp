#include "input/DelimitedText.h"

#include "kinrec.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace kinrec::detail {

namespace {

constexpr char kCandidates[] = {',', ';', '\t', '|'};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Strip(std::string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

bool IsComment(std::string_view line) {
    line = Strip(line);
    return !line.empty() && (line[0] == '#' || line[0] == '%' || line[0] == '@');
}

// Whether text is UTF-8 (what Python's strict decoding takes, surrogates aside).
bool IsUtf8(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t more = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
        } else {
            return false;
        }
        for (std::size_t k = 1; k <= more; ++k) {
            if (i + k >= n || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += more + 1;
    }
    return true;
}

std::string ReadWhole(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) {
        const int e = errno;
        throw FileError(path, e, std::strerror(e));
    }
    std::string text;
    char buf[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(buf, 1, sizeof buf, f.get());
        text.append(buf, got);
        if (got < sizeof buf) {
            if (std::ferror(f.get())) {
                const int e = errno;
                throw FileError(path, e, std::strerror(e));
            }
            break;
        }
    }
    return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

// Lines without the ';' that ends every comma-separated data line.
void StripTerminators(std::vector<std::string_view>& lines) {
    bool any = false;
    for (std::string_view line : lines) {
        const std::string_view s = Strip(line);
        if (s.empty() || IsComment(s)) {
            continue;
        }
        if (s.back() != ';' || s.find(',') == std::string_view::npos) {
            return;
        }
        any = true;
    }
    if (!any) {
        return;
    }
    for (std::string_view& line : lines) {
        std::string_view s = Strip(line);
        if (!s.empty() && !IsComment(s)) {
            while (!line.empty() && (IsBlank(line.back()) || line.back() == '\r')) {
                line.remove_suffix(1);
            }
            line.remove_suffix(1);
        }
    }
}

// The candidate whose count per line is the same on the most of the first 200 lines.
char SniffDelimiter(const std::vector<std::string_view>& lines) {
    char best = ',';
    std::size_t bestScore = 0;
    for (char c : kCandidates) {
        std::map<std::size_t, std::size_t> seen; // count per line -> lines
        std::size_t used = 0;
        for (std::string_view line : lines) {
            if (Strip(line).empty() || IsComment(line)) {
                continue;
            }
            if (++used > 200) {
                break;
            }
            ++seen[static_cast<std::size_t>(std::count(line.begin(), line.end(), c))];
        }
        std::size_t score = 0;
        for (const auto& [count, many] : seen) {
            if (count > 0) {
                score = std::max(score, many);
            }
        }
        if (score > bestScore) {
            best = c;
            bestScore = score;
        }
    }
    return best;
}

// The fields of a line: blanks after a delimiter skipped, a field in double quotes
// taken whole, every field stripped.
std::vector<std::string_view> SplitFields(std::string_view line, char delimiter) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    const std::size_t n = line.size();
    for (;;) {
        while (i < n && line[i] == ' ') {
            ++i;
        }
        std::size_t end;
        std::string_view field;
        if (i < n && line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            const std::size_t stop = close == std::string_view::npos ? n : close;
            field = line.substr(i + 1, stop - i - 1);
            end = line.find(delimiter, stop);
            if (end == std::string_view::npos) {
                end = n;
            }
        } else {
            end = line.find(delimiter, i);
            if (end == std::string_view::npos) {
                end = n;
            }
            field = line.substr(i, end - i);
        }
        fields.push_back(Strip(field));
        if (end >= n) {
            break;
        }
        i = end + 1;
    }
    return fields;
}

bool AllDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) {
        out += (out.empty() ? "" : ", ") + name;
    }
    return out;
}

} // namespace

std::optional<double> ParseNumber(std::string_view text) {
    const char* s = text.data();
    const char* end = s + text.size();
    if (s < end && *s == '+') {
        ++s;
        if (s < end && *s == '-') {
            return std::nullopt;
        }
    }
    double value = 0.0;
    const std::from_chars_result r = std::from_chars(s, end, value, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != end || s == end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

DelimitedText::DelimitedText(const std::string& path, char delimiter, bool noHeader)
    : path_(path), text_(ReadWhole(path)) {
    if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text_.erase(0, 3);
    }
    if (text_.find('\0') != std::string::npos || !IsUtf8(text_)) {
        throw FileError(path, 0, "not a text file");
    }
    if (text_.find_first_not_of(" \t\n\r\v\f") == std::string::npos) {
        throw Error(path + " is empty");
    }
    std::vector<std::string_view> lines = SplitLines(text_);
    if (delimiter == '\0' || delimiter == ',') {
        StripTerminators(lines);
    }
    delimiter_ = delimiter != '\0' ? delimiter : SniffDelimiter(lines);
    decimalComma_ = delimiter_ != ',';
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (Strip(line).empty()) {
            continue;
        }
        if (IsComment(line)) {
            comments_.push_back(Strip(line).substr(1));
            continue;
        }
        rows_.push_back(Row{static_cast<std::int64_t>(i + 1), SplitFields(line, delimiter_)});
    }
    if (rows_.empty()) {
        throw Error(path + " has no lines other than comments");
    }
    if (!noHeader && !FirstRowIsData()) {
        for (std::string_view name : rows_.front().fields) {
            names_.emplace_back(name);
        }
        rows_.erase(rows_.begin());
    }
    if (rows_.empty()) {
        throw Error(path + " has a header but no samples");
    }
}

std::optional<double> DelimitedText::Number(std::string_view text) const {
    if (decimalComma_ && text.find(',') != std::string_view::npos) {
        std::string copy(text);
        std::replace(copy.begin(), copy.end(), ',', '.');
        return ParseNumber(copy);
    }
    return ParseNumber(text);
}

bool DelimitedText::FirstRowIsData() const {
    const std::vector<std::string_view>& first = rows_[0].fields;
    if (std::all_of(first.begin(), first.end(),
                    [this](std::string_view x) { return Number(x).has_value(); })) {
        return true;
    }
    if (rows_.size() < 2 || rows_[1].fields.size() != first.size()) {
        return false;
    }
    bool numeric = false;
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (Number(rows_[1].fields[i])) {
            numeric = true;
            if (!Number(first[i])) {
                return false;
            }
        }
    }
    return numeric;
}

std::size_t DelimitedText::Width() const {
    if (!names_.empty()) {
        return names_.size();
    }
    std::size_t width = 0;
    for (const Row& row : rows_) {
        width = std::max(width, row.fields.size());
    }
    return width;
}

std::size_t DelimitedText::Column(const std::string& given, const std::string& role) const {
    const std::string wanted(Strip(given));
    if (AllDigits(wanted)) {
        const std::size_t width = Width();
        const std::size_t position = wanted.size() > 9 ? 0 : std::stoul(wanted);
        if (position < 1 || position > width) {
            throw Error(role + " column " + wanted + " is beyond the " + std::to_string(width) +
                        " columns of " + path_);
        }
        return position - 1;
    }
    if (names_.empty()) {
        throw Error(path_ + " has no header line: give the " + role +
                    " column by position (1, 2, ...)");
    }
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (names_[i] == wanted) {
            return i;
        }
    }
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        });
        return s;
    };
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (lower(names_[i]) == lower(wanted)) {
            return i;
        }
    }
    throw Error(role + " column '" + wanted + "' not found in " + path_ +
                " (its columns: " + Joined(names_) + ")");
}

} // namespace kinrec::detail
