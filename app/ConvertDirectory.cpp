#include "app/ConvertDirectory.h"

#include "app/Concurrency.h"
#include "app/Console.h"
#include "app/Convert.h"
#include "app/Plan.h"
#include "app/Progress.h"
#include "app/SharePlan.h"
#include "disk/Disk.h"
#include "input/InputFile.h"
#include "kinrec.h"

#include <set>
#include <unordered_set>

using namespace kinrec::detail;

namespace {

std::string Join(const std::string& dir, const std::string& name) {
    return dir + kPathSeparator + name;
}

// A batch's conversions skip kinrec tables: those are neither tried nor failed.
void Count(kinrec::Failure failure, kinrec::SummaryRow&& row, BatchResult* result) {
    if (!row.status.empty()) {
        result->rows.push_back(std::move(row));
    }
    if (failure == kinrec::Failure::kInputIsTable) {
        return;
    }
    ++result->attempted;
    if (failure != kinrec::Failure::kNone) {
        ++result->failed;
    }
}

kinrec::Failure ConvertOne(const PlannedFile& f, const Settings* cfg, std::int32_t* biasCount,
                           ConvertOptions opt, kinrec::SummaryRow* row) {
    if (f.special) {
        const char* why = "is not a regular file; skipped";
        ConsoleOf(opt).Fail(f.path, why);
        row->input = f.path;
        row->table = kinrec::TableNameFor(f.path);
        row->status = "not_regular_file";
        row->notes = why;
        return kinrec::Failure::kInputNotOpened;
    }
    opt.row = row;
    return ConvertFile(f.path.c_str(), nullptr, cfg, biasCount, opt);
}

// One file on the count *biasCount, its lines straight through.
void ConvertInTurn(const PlannedFile& f, const Settings* cfg, std::int32_t* biasCount,
                   BatchResult* result) {
    ConvertOptions serial;
    serial.skipTables = true;
    kinrec::SummaryRow row;
    const kinrec::Failure status = ConvertOne(f, cfg, biasCount, serial, &row);
    Count(status, std::move(row), result);
}

// The head: the files converted one after another on the count *biasCount while it is
// below its limit (all of them when none is left to run at once). Returns its length.
std::size_t RunHead(const std::vector<PlannedFile>& files, std::size_t count, const Settings* cfg,
                    std::int32_t* biasCount, BatchResult* result) {
    kinrec::Run run{*biasCount};
    const std::size_t head = kinrec::ConvertHead(count, &run, [&](std::size_t i) {
        std::int32_t turn = run.biasCount;
        ConvertInTurn(files[i], cfg, &turn, result);
        run.biasCount = turn;
    });
    *biasCount = run.biasCount;
    return head;
}

// How far the head reaches: the files read while the count is still below its limit.
std::size_t HeadOf(const std::vector<PlannedFile>& files, const Settings* cfg,
                   std::int32_t biasCount) {
    kinrec::Run run{biasCount};
    return kinrec::ConvertHead(files.size(), &run, [&](std::size_t i) {
        if (!files[i].special) {
            CountBias(files[i].path.c_str(), cfg, &run.biasCount);
        }
    });
}

// The files own, each from the gyro bias count start (the count's limit after the head,
// 0 for files converted as if alone), on the workers; the console lines in their order.
void RunRest(const std::vector<PlannedFile>& files, const std::vector<std::size_t>& own,
             const Settings* cfg, int workers, BatchResult* result, std::int32_t start) {
    bool inPlace = false;
    for (std::size_t j : own) {
        inPlace = inPlace || files[j].inPlace;
    }
    if (workers <= 1 || inPlace) {
        // Tables written in place (to a terminal, say) share the console's stream: one
        // at a time, in order.
        for (std::size_t j : own) {
            std::int32_t count = start;
            ConvertInTurn(files[j], cfg, &count, result);
        }
        return;
    }

    // Workers take the files, each with a count and a configuration of its own, and keep
    // their lines for the walk's order.
    struct Slot {
        Console console{true};
        kinrec::Failure status = kinrec::Failure::kNone;
        kinrec::SummaryRow row;
    };
    std::vector<Slot> slots(own.size());
    const Settings shared = *cfg;
    auto job = [&](std::size_t k) {
        Settings local = shared;
        std::int32_t count = start;
        ConvertOptions opt;
        opt.console = &slots[k].console;
        opt.skipTables = true;
        opt.showProgress = false;
        slots[k].status = ConvertOne(files[own[k]], &local, &count, opt, &slots[k].row);
    };
    auto done = [&](std::size_t k) {
        slots[k].console.Replay();
        Count(slots[k].status, std::move(slots[k].row), result);
        progress::Show(std::to_string(own[k] + 1) + " of " + std::to_string(files.size()) +
                       " files");
    };
    RunInOrder(own.size(), workers, Chains(files, own), job, done);
    progress::Clear();
}

} // namespace

BatchResult ConvertFiles(const std::vector<std::string>& paths, const Settings* cfg,
                         std::int32_t* biasCount, int workers, bool alone) {
    BatchResult result;
    const std::vector<PlannedFile> files = PlanFiles(paths, RealDisk());
    // The head one after another on the count, then the rest each from where a file
    // after the head starts (on the workers); as if alone, every file starts from 0.
    const std::size_t head = alone ? 0 : RunHead(files, files.size(), cfg, biasCount, &result);
    std::vector<std::size_t> rest;
    for (std::size_t j = head; j < files.size(); ++j) {
        rest.push_back(j);
    }
    if (!rest.empty()) {
        const kinrec::Run run{*biasCount};
        const kinrec::Run start = kinrec::RestRun(alone ? nullptr : &run);
        RunRest(files, rest, cfg, workers, &result, start.biasCount);
    }
    return result;
}

namespace {

// The plan of this batch, made from the walk when no share has made one yet.
// What a plan of this run says besides its files.
Plan PlanOfRun(const std::string* selector, const Settings* cfg, int count, bool alone) {
    Plan plan;
    plan.version = kinrec::Version();
    plan.settings = kinrec::SettingsText(*cfg);
    plan.count = count;
    plan.selected = selector != nullptr;
    plan.selector = selector != nullptr ? *selector : "";
    plan.alone = alone;
    return plan;
}

// The plan of this batch, made from the walk when no share has made one yet.
Plan MakePlan(const std::vector<std::string>& paths, const std::string* selector,
              const Settings* cfg, std::int32_t biasCount, int count, bool alone) {
    Plan plan = PlanOfRun(selector, cfg, count, alone);
    plan.token = NewToken();
    plan.files = PlanFiles(paths, RealDisk());
    plan.head = alone ? 0 : HeadOf(plan.files, cfg, biasCount);
    SplitShares(&plan.files, plan.head, count);
    return plan;
}

// Whether path holds a file kinrec wrote (a table, a batch summary): never an input, so
// never a change to the batch, whenever it was written.
bool IsKinrecOwn(const std::string& path) {
    return IsKinrecTable(RealDisk(), path) == TableCheck::kTable;
}

// What to do when a share cannot follow the plan at planPath: start the batch again.
std::string RunAllAgain(const std::string& planPath, int count) {
    return "remove " + planPath + " and run all " + std::to_string(count) + " shares again";
}

// Why plan, made by another share, does not serve this run (ours): "" when it does.
std::string Mismatch(const Plan& plan, const Plan& ours, const std::string& planPath) {
    const std::string again = RunAllAgain(planPath, ours.count);
    if (plan.count != ours.count || plan.selected != ours.selected ||
        plan.selector != ours.selector || plan.alone != ours.alone) {
        return "made for " + Describe(plan) + ", not " + Describe(ours) +
               "; nothing converted: finish that batch with " + (plan.alone ? "--alone " : "") +
               "--shard K/" + std::to_string(plan.count) +
               ", or remove the plan to start a new one";
    }
    if (plan.version != ours.version) {
        return "made by kinrec " + plan.version + ", not " + ours.version +
               "; nothing converted: finish that batch with kinrec " + plan.version + ", or " +
               again;
    }
    const std::string changed = SettingsDifference(plan.settings, ours.settings);
    if (!changed.empty()) {
        return "made under other settings (" + changed +
               "); nothing converted: finish that batch under the settings it was made "
               "under, or " +
               again + " (each under the new settings)";
    }
    return "";
}

// Share shard of the batch whose walk found paths: the plan's files of that share,
// checked against the plan first. walkFailed: a directory could not be listed.
BatchResult ConvertShare(const std::string& dir, const std::vector<std::string>& paths,
                         const std::string* selector, const Settings* cfg, std::int32_t* biasCount,
                         int workers, const Shard& shard, bool alone, bool walkFailed) {
    BatchResult result;
    Plan plan;
    bool finished = false;
    std::string planPath;
    std::string error;
    const auto make = [&] {
        return MakePlan(paths, selector, cfg, *biasCount, shard.count, alone);
    };
    if (!SharedPlan(dir, make, &plan, &finished, &planPath, &error)) {
        StdConsole().Fail(planPath, error + "; nothing converted");
        ++result.unreadable;
        return result;
    }
    const std::string mismatch =
        Mismatch(plan, PlanOfRun(selector, cfg, shard.count, alone), planPath);
    if (!mismatch.empty()) {
        StdConsole().Fail(planPath, mismatch);
        ++result.unreadable;
        return result;
    }
    const std::string again = RunAllAgain(planPath, shard.count);

    // Files added since the plan was made are converted by no share: said.
    std::unordered_set<std::string> planned;
    for (const PlannedFile& f : plan.files) {
        planned.insert(f.path);
    }
    for (const std::string& path : paths) {
        if (planned.count(path) == 0 && !IsKinrecOwn(path)) {
            std::string why = "added after ";
            why += planPath;
            why += " was made; converted by no share: ";
            why += again;
            StdConsole().Fail(path, why);
            ++result.unreadable;
        }
    }

    // This share's files, as they were planned (a file kinrec writes a table into is not
    // checked: it changes under the batch).
    std::vector<std::size_t> own;
    bool changed = false;
    for (std::size_t j = 0; j < plan.files.size(); ++j) {
        const PlannedFile& f = plan.files[j];
        if (f.share != shard.index) {
            continue;
        }
        const std::string how =
            f.written ? "" : Difference(f.stamp, StampOf(RealDisk().Inspect(f.path)));
        if (!how.empty() && !IsKinrecOwn(f.path)) {
            std::string why = "changed since ";
            why += planPath;
            why += " was made (";
            why += how;
            why += "); share ";
            why += std::to_string(shard.index);
            why += "/";
            why += std::to_string(shard.count);
            why += " converts nothing: ";
            why += again;
            StdConsole().Fail(f.path, why);
            ++result.unreadable;
            changed = true;
        }
        if (j >= plan.head) {
            own.push_back(j);
        }
    }
    if (changed) {
        return result;
    }
    if (shard.index == 1) {
        RunHead(plan.files, plan.head, cfg, biasCount, &result);
    }
    if (!own.empty()) {
        const kinrec::Run run{*biasCount};
        const kinrec::Run start = kinrec::RestRun(alone ? nullptr : &run);
        RunRest(plan.files, own, cfg, workers, &result, start.biasCount);
    }
    // A share that failed keeps the plan, so that its rerun converts the same files.
    if (!finished && result.failed == 0 && result.unreadable == 0 && !walkFailed &&
        !FinishShare(dir, plan, shard.index, &planPath, &error)) {
        StdConsole().Fail(planPath, error);
        ++result.unreadable;
    }
    return result;
}

// A walk reads its settings in the starting directory only: a kinrec.cnf beside the
// files of a directory below is pointed out, once.
void NoteOtherSettings(const std::string& start, const std::vector<std::string>& paths) {
    std::set<std::string> seen;
    for (const std::string& path : paths) {
        const std::size_t cut = LastSeparator(path);
        if (cut == std::string::npos || cut == 0) {
            continue;
        }
        const std::string dir = path.substr(0, cut);
        if (dir == start || !seen.insert(dir).second) {
            continue;
        }
        const std::string cnf = Join(dir, "kinrec.cnf");
        if (RealDisk().Exists(cnf)) {
            StdConsole().Fail(cnf, "not read: a walk takes its settings from the directory it "
                                   "starts in; to use these, run kinrec -r in " +
                                       dir);
        }
    }
}

} // namespace

int ConvertDirectory(const char* dir, const char* selector, bool recursive, const Settings* cfg,
                     std::int32_t* biasCount, int workers, BatchResult* result, const Shard& shard,
                     bool alone) {
    const std::string sel = selector != nullptr ? selector : "";
    const WalkResult walk = Walk(RealDisk(), dir, selector != nullptr ? &sel : nullptr, recursive);
    for (const auto& [path, error] : walk.unreadable) {
        StdConsole().Fail(path, ErrorText(error));
    }
    NoteOtherSettings(dir, walk.files);
    const int unreadable = static_cast<int>(walk.unreadable.size());
    BatchResult r = shard.count > 1
                        ? ConvertShare(dir, walk.files, selector != nullptr ? &sel : nullptr, cfg,
                                       biasCount, workers, shard, alone, unreadable > 0)
                        : ConvertFiles(walk.files, cfg, biasCount, workers, alone);
    if (r.failed > 0) {
        StdConsole().Err("kinrec: " + std::to_string(r.failed) + " of " +
                         std::to_string(r.attempted) + " conversions failed\n");
    }
    r.unreadable += unreadable;
    if (result != nullptr) {
        *result = r;
    }
    return 0;
}
