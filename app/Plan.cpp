#include "app/Plan.h"

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
