#include "app/Share.h"

#include "app/Console.h"
#include "app/PlanChecks.h"
#include "app/PlanText.h"
#include "app/SharePlan.h"
#include "app/Shares.h"
#include "disk/Disk.h"
#include "input/InputFile.h"
#include "kinrec.h"

#include <unordered_set>

using namespace kinrec::detail;

namespace {

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

} // namespace

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
        RunRest(plan.files, own, cfg, workers, &result, alone);
    }
    // A share that failed keeps the plan, so that its rerun converts the same files.
    if (!finished && result.failed == 0 && result.unreadable == 0 && !walkFailed &&
        !FinishShare(dir, plan, shard.index, &planPath, &error)) {
        StdConsole().Fail(planPath, error);
        ++result.unreadable;
    }
    return result;
}
