#include "input/DelimitedText.h"

#include "disk/Disk.h"
#include "input/InputFile.h"
#include "kinrec.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace kinrec::detail {

namespace {

constexpr char kCandidates[] = {',', ';', '\t', '|'};
constexpr std::size_t kFieldLimit = 131072; // [characters]

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
        // Eight ASCII characters at a time.
        std::uint64_t eight;
        if (i + 8 <= n &&
            (std::memcpy(&eight, text.data() + i, 8), (eight & 0x8080808080808080ULL) == 0)) {
            i += 8;
            continue;
        }
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
    // The readers' one way in: a folder is refused with EISDIR, as a recording is.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(OpenInputFile(RealDisk(), path), std::fclose);
    if (!f) {
        const int e = errno;
        throw FileError(path, e, std::strerror(e));
    }
    std::string text;
    std::size_t size = 0;
    if (std::fseek(f.get(), 0, SEEK_END) == 0) {
        const long end = std::ftell(f.get());
        size = end > 0 ? static_cast<std::size_t>(end) : 0;
        std::rewind(f.get());
    }
    text.resize(size + 1);
    std::size_t have = 0;
    for (;;) {
        if (have == text.size()) {
            text.resize(2 * text.size() + 4096);
        }
        const std::size_t got = std::fread(&text[have], 1, text.size() - have, f.get());
        have += got;
        if (got == 0) {
            if (std::ferror(f.get())) {
                const int e = errno;
                throw FileError(path, e, std::strerror(e));
            }
            break;
        }
    }
    text.resize(have);
    return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::size_t start = 0;
    if (text.find('\r') == std::string_view::npos) {
        for (std::size_t nl; (nl = text.find('\n', start)) != std::string_view::npos;
             start = nl + 1) {
            lines.push_back(text.substr(start, nl - start));
        }
    } else {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' || text[i] == '\r') {
                lines.push_back(text.substr(start, i - start));
                if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                    ++i;
                }
                start = i + 1;
            }
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
void SplitFields(std::string_view line, char delimiter, std::vector<std::string_view>& fields) {
    // At most one field more than delimiters; written through a local pointer, which
    // the characters read cannot alias as they could the vector's own.
    fields.resize(static_cast<std::size_t>(std::count(line.begin(), line.end(), delimiter)) + 1);
    std::string_view* out = fields.data();
    const char* p = line.data();
    const char* const end = p + line.size();
    for (;;) {
        while (p < end && *p == ' ') {
            ++p;
        }
        const char* start = p;
        const char* stop;
        if (p < end && *p == '"') {
            ++start;
            while (++p < end && *p != '"') {
            }
            stop = p;
            while (p < end && *p != delimiter) {
                ++p;
            }
        } else {
            while (p < end && *p != delimiter) {
                ++p;
            }
            stop = p;
        }
        *out++ = Strip(std::string_view(start, static_cast<std::size_t>(stop - start)));
        if (p >= end) {
            break;
        }
        ++p;
    }
    fields.resize(static_cast<std::size_t>(out - fields.data()));
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
    // Most fields are short decimals: digits, perhaps a point and more digits. With at
    // most 15 digits the mantissa and the power of ten are exact doubles, and their
    // quotient is the correctly rounded value, as from_chars gives it.
    static constexpr double kTens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* s = text.data();
    const char* end = s + text.size();
    const char* p = s;
    const bool negative = p < end && *p == '-';
    p += p < end && (*p == '-' || *p == '+') ? 1 : 0;
    std::int64_t mantissa = 0;
    int digits = 0, decimals = 0;
    bool point = false;
    for (; p < end; ++p) {
        if (*p >= '0' && *p <= '9') {
            if (digits < 15) { // longer ones take from_chars
                mantissa = mantissa * 10 + (*p - '0');
            }
            ++digits;
            decimals += point ? 1 : 0;
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (p == end && digits > 0 && digits <= 15) {
        const double value = static_cast<double>(mantissa) / kTens[decimals];
        return negative ? -value : value;
    }
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
    rows_.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (Strip(line).empty()) {
            continue;
        }
        if (IsComment(line)) {
            comments_.push_back(Strip(line).substr(1));
            continue;
        }
        if (line.size() > kFieldLimit) {
            // The csv module's limit on a field, which the Python readers kept.
            std::vector<std::string_view> fields;
            SplitFields(line, delimiter_, fields);
            for (std::string_view f : fields) {
                if (f.size() > kFieldLimit) {
                    throw Error(path + " line " + std::to_string(i + 1) +
                                ": field larger than field limit (" + std::to_string(kFieldLimit) +
                                "); not a recording's line");
                }
            }
        }
        rows_.push_back(Row{static_cast<std::int64_t>(i + 1), line});
    }
    if (rows_.empty()) {
        throw Error(path + " has no lines other than comments");
    }
    if (!noHeader && !FirstRowIsData()) {
        std::vector<std::string_view> fields;
        for (std::string_view name : Split(rows_.front(), fields)) {
            names_.emplace_back(name);
        }
        rows_.erase(rows_.begin());
    }
    if (rows_.empty()) {
        throw Error(path + " has a header but no samples");
    }
}

const std::vector<std::string_view>&
DelimitedText::Split(const Row& row, std::vector<std::string_view>& fields) const {
    SplitFields(row.text, delimiter_, fields);
    return fields;
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
    std::vector<std::string_view> first, second;
    Split(rows_[0], first);
    if (std::all_of(first.begin(), first.end(),
                    [this](std::string_view x) { return Number(x).has_value(); })) {
        return true;
    }
    if (rows_.size() < 2 || Split(rows_[1], second).size() != first.size()) {
        return false;
    }
    bool numeric = false;
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (Number(second[i])) {
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
    if (!width_) {
        // Fields are delimiters plus one, unless quotes hold a delimiter.
        std::size_t width = 0;
        std::vector<std::string_view> fields;
        for (const Row& row : rows_) {
            const bool quoted = row.text.find('"') != std::string_view::npos;
            width = std::max(width, quoted ? Split(row, fields).size()
                                           : static_cast<std::size_t>(std::count(
                                                 row.text.begin(), row.text.end(), delimiter_)) +
                                                 1);
        }
        width_ = width;
    }
    return *width_;
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
