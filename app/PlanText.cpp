#include "app/PlanText.h"

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

using kinrec::detail::PathKind;

constexpr const char* kPlanHeader = "kinrec plan 2";

// A name on one line: backslash, line ends and other control characters escaped.
std::string Escape(const std::string& s) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool Unescape(const std::string& s, std::string* out) {
    out->clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            *out += s[i];
        } else if (i + 1 < s.size() && s[i + 1] == '\\') {
            *out += '\\';
            ++i;
        } else if (i + 3 < s.size() && s[i + 1] == 'x' && HexDigit(s[i + 2]) >= 0 &&
                   HexDigit(s[i + 3]) >= 0) {
            *out += static_cast<char>(HexDigit(s[i + 2]) * 16 + HexDigit(s[i + 3]));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

char KindLetter(PathKind kind) {
    return kind == PathKind::kRegular ? 'r' : kind == PathKind::kOther ? 'o' : 'm';
}

// The words of a line up to its last field, which is the rest of the line.
class Fields {
  public:
    explicit Fields(std::string line) : line_(std::move(line)) {}
    bool Word(std::string* w) {
        const std::size_t end = line_.find(' ', pos_);
        if (end == std::string::npos) {
            return false;
        }
        *w = line_.substr(pos_, end - pos_);
        pos_ = end + 1;
        return !w->empty();
    }
    bool Number(unsigned long long* v) {
        std::string w;
        if (!Word(&w) || w.find_first_not_of("0123456789") != std::string::npos || w.size() > 20) {
            return false;
        }
        errno = 0;
        *v = std::strtoull(w.c_str(), nullptr, 10);
        return errno == 0;
    }
    // A whole number that may be negative (a time before the epoch).
    bool Signed(long long* v) {
        std::string w;
        if (!Word(&w)) {
            return false;
        }
        const bool negative = w[0] == '-';
        Fields digits(w.substr(negative ? 1 : 0) + " ");
        unsigned long long u = 0;
        if (!digits.Number(&u) || u > static_cast<unsigned long long>(~0ull >> 1)) {
            return false;
        }
        *v = negative ? -static_cast<long long>(u) : static_cast<long long>(u);
        return true;
    }
    std::string Rest() const { return line_.substr(pos_); }

  private:
    std::string line_;
    std::size_t pos_ = 0;
};

} // namespace

std::string PlanText(const Plan& plan) {
    std::string t = std::string(kPlanHeader) + "\n";
    t += "version " + Escape(plan.version) + "\n";
    t += "settings " + Escape(plan.settings) + "\n";
    t += "shares " + std::to_string(plan.count) + "\n";
    t += plan.selected ? "selector " + Escape(plan.selector) + "\n" : std::string("every\n");
    t += plan.alone ? "alone\n" : "batch\n";
    t += "token " + plan.token + "\n";
    t += "head " + std::to_string(plan.head) + "\n";
    t += "files " + std::to_string(plan.files.size()) + "\n";
    // share group flags kind size mtime volume index path
    for (const PlannedFile& f : plan.files) {
        std::string flags;
        flags += f.special ? "x" : "";
        flags += f.inPlace ? "i" : "";
        flags += f.written ? "w" : "";
        t += std::to_string(f.share) + " " + std::to_string(f.group) + " " +
             (flags.empty() ? "-" : flags) + " " + KindLetter(f.stamp.kind) + " " +
             std::to_string(f.stamp.size) + " " + std::to_string(f.stamp.mtime) + " " +
             (f.stamp.id.known
                  ? std::to_string(f.stamp.id.volume) + " " + std::to_string(f.stamp.id.index)
                  : std::string("- -")) +
             " " + Escape(f.path) + "\n";
    }
    return t + "end\n";
}

bool ReadPlan(const std::string& text, Plan* plan, std::string* error) {
    std::vector<std::string> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') { // written as text on Windows
            line.pop_back();
        }
        lines.push_back(line);
        pos = end + 1;
    }
    std::size_t at = 0;
    auto fail = [&at, error](const std::string& what) {
        *error = "line " + std::to_string(at + 1) + ": " + what;
        return false;
    };
    // "<word> <number>" on line at, the number at most max.
    auto header = [&](const char* word, unsigned long long max, unsigned long long* v) {
        if (at >= lines.size()) {
            return false;
        }
        Fields f(lines[at] + " ");
        std::string w;
        return f.Word(&w) && w == word && f.Number(v) && f.Rest().empty() && *v <= max;
    };
    if (lines.empty() || lines[0] != kPlanHeader) {
        return fail("not a kinrec plan of this version");
    }
    *plan = Plan();
    // "<word> <text>" on line at: the text, unescaped.
    auto textLine = [&](const char* word, std::string* v) {
        const std::string prefix = std::string(word) + " ";
        return at < lines.size() && lines[at].compare(0, prefix.size(), prefix) == 0 &&
               Unescape(lines[at].substr(prefix.size()), v);
    };
    at = 1;
    if (!textLine("version", &plan->version) || plan->version.empty()) {
        return fail("expected \"version <version>\"");
    }
    at = 2;
    if (!textLine("settings", &plan->settings)) {
        return fail("expected \"settings <settings>\"");
    }
    unsigned long long count = 0;
    at = 3;
    if (!header("shares", 9999999, &count) || count < 2) {
        return fail("expected \"shares <n>\"");
    }
    plan->count = static_cast<int>(count);
    at = 4;
    if (at < lines.size() && lines[at].compare(0, 9, "selector ") == 0) {
        plan->selected = true;
        if (!Unescape(lines[at].substr(9), &plan->selector)) {
            return fail("a bad escape in the selector");
        }
    } else if (at >= lines.size() || lines[at] != "every") {
        return fail("expected \"selector <pattern>\" or \"every\"");
    }
    at = 5;
    if (at >= lines.size() || (lines[at] != "alone" && lines[at] != "batch")) {
        return fail("expected \"alone\" or \"batch\"");
    }
    plan->alone = lines[at] == "alone";
    at = 6;
    if (at >= lines.size() || lines[at].compare(0, 6, "token ") != 0 || lines[at].size() == 6) {
        return fail("expected \"token <text>\"");
    }
    plan->token = lines[at].substr(6);
    unsigned long long head = 0;
    unsigned long long n = 0;
    at = 7;
    if (!header("head", ~0ull, &head) || (plan->alone && head != 0)) {
        return fail("expected \"head <n>\" (0 for files converted alone)");
    }
    at = 8;
    if (!header("files", lines.size(), &n) || head > n) {
        return fail("expected \"files <n>\", at least the head");
    }
    plan->head = static_cast<std::size_t>(head);
    for (unsigned long long j = 0; j < n; ++j) {
        at = 9 + static_cast<std::size_t>(j);
        if (at >= lines.size()) {
            return fail("the file list ends early");
        }
        Fields f(lines[at]);
        PlannedFile p;
        unsigned long long share = 0;
        unsigned long long group = 0;
        unsigned long long size = 0;
        std::string flags;
        std::string kind;
        std::string volume;
        std::string index;
        if (!f.Number(&share) || share < 1 || share > count || !f.Number(&group) || group > j ||
            !f.Word(&flags) ||
            flags.find_first_not_of(flags == "-" ? "-" : "xiw") != std::string::npos ||
            !f.Word(&kind) || kind.size() != 1 ||
            std::string("rom").find(kind) == std::string::npos || !f.Number(&size) ||
            size > static_cast<unsigned long long>(~0ull >> 1) || !f.Signed(&p.stamp.mtime) ||
            !f.Word(&volume) || !f.Word(&index) || !Unescape(f.Rest(), &p.path) || p.path.empty()) {
            return fail("not a planned file");
        }
        p.share = static_cast<int>(share);
        p.group = static_cast<std::size_t>(group);
        p.special = flags.find('x') != std::string::npos;
        p.inPlace = flags.find('i') != std::string::npos;
        p.written = flags.find('w') != std::string::npos;
        p.stamp.kind = kind == "r"   ? PathKind::kRegular
                       : kind == "o" ? PathKind::kOther
                                     : PathKind::kMissing;
        p.stamp.size = static_cast<long long>(size);
        if (volume != "-" || index != "-") {
            std::string pair = volume;
            pair += ' ';
            pair += index;
            pair += ' ';
            Fields id(std::move(pair));
            if (!id.Number(&p.stamp.id.volume) || !id.Number(&p.stamp.id.index)) {
                return fail("not a file identity");
            }
            p.stamp.id.known = true;
        }
        plan->files.push_back(std::move(p));
    }
    at = 9 + static_cast<std::size_t>(n);
    if (at >= lines.size() || lines[at] != "end" ||
        (at + 1 < lines.size() && !(at + 2 == lines.size() && lines[at + 1].empty()))) {
        return fail("expected \"end\" as the last line");
    }
    return true;
}

std::string Describe(const Plan& plan) {
    return std::to_string(plan.count) + " shares of " +
           (plan.selected ? "'" + Escape(plan.selector) + "'" : std::string("every input file")) +
           (plan.alone ? ", each file alone" : "");
}
