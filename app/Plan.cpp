#include "app/Plan.h"

#include "app/Convert.h"
#include "app/FullNames.h"
#include "kinrec.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>

namespace {

using kinrec::detail::PathKind;

// A file's keys: the full path it stands for, its letters folded (where the file
// system ignores case, names that differ in case are one file; where it does not, they
// only wait for each other), and for a device or a FIFO, which is written in place and
// keeps its identity, that identity as well. A regular file is not keyed by its
// identity: a table is written to a new file moved onto its name, so the identity
// changes when the table lands, and a key must not.
void AddKeys(const NameInfo& n, std::vector<std::string>* keys) {
    std::string key = "p " + n.full;
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    keys->push_back(std::move(key));
    if (n.info.kind == PathKind::kOther && n.info.id.known) {
        keys->push_back("i " + std::to_string(n.info.id.volume) + " " +
                        std::to_string(n.info.id.index));
    }
}

} // namespace

Stamp StampOf(const kinrec::detail::PathInfo& info) {
    Stamp s;
    s.kind = info.kind;
    s.size = info.kind == PathKind::kRegular ? info.size : 0;
    s.mtime = info.kind == PathKind::kMissing ? 0 : info.mtime;
    s.id = info.id;
    return s;
}

std::string Difference(const Stamp& planned, const Stamp& now) {
    if (now.kind == PathKind::kMissing) {
        return planned.kind == PathKind::kMissing ? "" : "gone";
    }
    if (planned.kind == PathKind::kMissing) {
        return "made";
    }
    if (now.kind != planned.kind) {
        return now.kind == PathKind::kRegular ? "now a regular file" : "no longer a regular file";
    }
    if (now.id.known != planned.id.known || (now.id.known && now.id.index != planned.id.index)) {
        return "replaced by another file";
    }
    if (now.size != planned.size) {
        return "size " + std::to_string(planned.size) + " -> " + std::to_string(now.size) +
               " bytes";
    }
    if (now.mtime != planned.mtime) {
        return "modified";
    }
    return "";
}

std::vector<PlannedFile> PlanFiles(const std::vector<std::string>& paths,
                                   kinrec::detail::Disk& disk) {
    FullNames names(disk);
    // Groups of files joined by a shared key (union-find), each named by its first file;
    // every key is kept once, with the first file that has it.
    struct KeyUse {
        std::size_t first;
        bool table; // some file writes its table there
    };
    std::unordered_map<std::string, KeyUse> uses;
    std::vector<std::size_t> parent(paths.size());
    auto find = [&parent](std::size_t j) {
        while (parent[j] != j) {
            parent[j] = parent[parent[j]];
            j = parent[j];
        }
        return j;
    };
    std::vector<PlannedFile> files(paths.size());
    std::vector<const KeyUse*> inputUse(paths.size()); // stays where it is in the map
    std::vector<std::string> keys;
    for (std::size_t j = 0; j < paths.size(); ++j) {
        PlannedFile& f = files[j];
        f.path = paths[j];
        parent[j] = j;
        const NameInfo in = names.Look(paths[j]);
        f.stamp = StampOf(in.info);
        f.special = in.info.kind == PathKind::kOther && in.info.id.known;
        const NameInfo out = names.Look(kinrec::TableNameFor(paths[j]));
        f.inPlace = out.info.kind == PathKind::kOther;
        keys.clear();
        AddKeys(in, &keys);
        const std::size_t inputs = keys.size();
        AddKeys(out, &keys);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const auto [it, first] = uses.emplace(std::move(keys[k]), KeyUse{j, false});
            if (!first) {
                const std::size_t a = find(it->second.first);
                const std::size_t b = find(j);
                parent[std::max(a, b)] = std::min(a, b);
            }
            if (k == 0) {
                inputUse[j] = &it->second;
            }
            it->second.table = it->second.table || k >= inputs;
        }
    }
    for (std::size_t j = 0; j < files.size(); ++j) {
        files[j].group = find(j);
        files[j].written = inputUse[j]->table;
    }
    return files;
}

std::uint64_t MulDiv(std::uint64_t a, std::uint64_t b, std::uint64_t d) {
    // The 128-bit product in two halves, from four 32-bit products.
    const std::uint64_t mask = 0xFFFFFFFFu;
    const std::uint64_t ll = (a & mask) * (b & mask);
    const std::uint64_t lh = (a & mask) * (b >> 32);
    const std::uint64_t hl = (a >> 32) * (b & mask);
    const std::uint64_t hh = (a >> 32) * (b >> 32);
    const std::uint64_t mid = (ll >> 32) + (lh & mask) + (hl & mask);
    const std::uint64_t lo = (ll & mask) | (mid << 32);
    const std::uint64_t hi = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
    // Long division, one bit at a time; a remainder past 2^63 is carried.
    std::uint64_t q = 0;
    std::uint64_t r = 0;
    for (int bit = 127; bit >= 0; --bit) {
        const bool carry = (r >> 63) != 0;
        const std::uint64_t next = bit >= 64 ? (hi >> (bit - 64)) & 1u : (lo >> bit) & 1u;
        r = (r << 1) | next;
        q <<= 1;
        if (carry || r >= d) {
            r -= d;
            q |= 1u;
        }
    }
    return q;
}

void SplitShares(std::vector<PlannedFile>* filesIn, std::size_t head, int count) {
    std::vector<PlannedFile>& files = *filesIn;
    std::uint64_t total = 0;
    for (std::size_t j = head; j < files.size(); ++j) {
        total += static_cast<std::uint64_t>(files[j].stamp.size);
    }
    const auto n = static_cast<std::uint64_t>(count);
    const std::uint64_t rest = files.size() - head;
    std::uint64_t before = 0;
    for (std::size_t j = 0; j < files.size(); ++j) {
        if (j < head) {
            files[j].share = 1;
            continue;
        }
        const auto size = static_cast<std::uint64_t>(files[j].stamp.size);
        // The part where the file's middle, before + size / 2, lies: in halves of bytes.
        const std::uint64_t part =
            total > 0 ? MulDiv(2 * before + size, n, 2 * total) : MulDiv(j - head, n, rest);
        files[j].share = static_cast<int>(std::min(part, n - 1)) + 1;
        before += size;
    }
    for (std::size_t j = head; j < files.size(); ++j) {
        const std::size_t first = files[j].group;
        files[j].share = first < head ? 1 : files[first].share;
    }
}

std::vector<std::vector<std::size_t>> Chains(const std::vector<PlannedFile>& files,
                                             const std::vector<std::size_t>& own) {
    std::vector<std::vector<std::size_t>> after(own.size());
    std::unordered_map<std::size_t, std::size_t> last; // group -> position in own
    for (std::size_t k = 0; k < own.size(); ++k) {
        const auto [it, first] = last.emplace(files[own[k]].group, k);
        if (!first) {
            after[k].push_back(it->second);
            it->second = k;
        }
    }
    return after;
}

namespace {

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

namespace {

// "Label=value ..." as label -> value.
std::map<std::string, std::string> SettingsOf(const std::string& text) {
    std::map<std::string, std::string> m;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find(' ', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string item = text.substr(pos, end - pos);
        const std::size_t eq = item.find('=');
        if (eq != std::string::npos) {
            m[item.substr(0, eq)] = item.substr(eq + 1);
        } else if (!item.empty()) {
            m[item] = "";
        }
        pos = end + 1;
    }
    return m;
}

// A setting's name as its user writes it: the configuration key where it has one.
std::string KeyOf(const std::string& label) {
    for (const kinrec::SettingInfo& s : kinrec::SettingTable()) {
        if (label == s.label) {
            return s.key != nullptr ? s.key : s.label;
        }
    }
    return label;
}

} // namespace

std::string SettingsDifference(const std::string& planned, const std::string& now) {
    if (planned == now) {
        return "";
    }
    const auto a = SettingsOf(planned);
    const auto b = SettingsOf(now);
    std::string out;
    auto say = [&out](const std::string& label, const std::string& from, const std::string& to) {
        out += (out.empty() ? "" : ", ") + KeyOf(label) + " " + (from.empty() ? "unset" : from) +
               " -> " + (to.empty() ? "unset" : to);
    };
    // In the order of the settings table, then any the table does not know.
    std::set<std::string> done;
    for (const kinrec::SettingInfo& s : kinrec::SettingTable()) {
        const auto x = a.find(s.label);
        const auto y = b.find(s.label);
        const std::string from = x != a.end() ? x->second : "";
        const std::string to = y != b.end() ? y->second : "";
        if (from != to) {
            say(s.label, from, to);
        }
        done.insert(s.label);
    }
    for (const auto* m : {&a, &b}) {
        for (const auto& [label, value] : *m) {
            if (done.insert(label).second) {
                const auto x = a.find(label);
                const auto y = b.find(label);
                say(label, x != a.end() ? x->second : "", y != b.end() ? y->second : "");
            }
        }
    }
    return out.empty() ? "the settings' text" : out;
}

bool SamePlan(const Plan& a, const Plan& b) {
    if (a.version != b.version || a.settings != b.settings || a.count != b.count ||
        a.selected != b.selected || a.selector != b.selector || a.alone != b.alone ||
        a.head != b.head || a.files.size() != b.files.size()) {
        return false;
    }
    for (std::size_t j = 0; j < a.files.size(); ++j) {
        const PlannedFile& x = a.files[j];
        const PlannedFile& y = b.files[j];
        if (x.path != y.path || x.share != y.share || x.group != y.group ||
            x.special != y.special || x.inPlace != y.inPlace || x.written != y.written ||
            (!x.written && !Difference(x.stamp, y.stamp).empty())) {
            return false;
        }
    }
    return true;
}
