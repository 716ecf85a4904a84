#include "app/PlanChecks.h"

#include "kinrec.h"

#include <map>
#include <set>
#include <string>

using kinrec::detail::PathKind;

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
