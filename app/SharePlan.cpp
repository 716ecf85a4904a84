#include "app/SharePlan.h"

#include "app/Batch.h"
#include "app/Console.h"
#include "app/PlanChecks.h"
#include "app/PlanText.h"
#include "app/Shares.h"
#include "app/TempFile.h"
#include "disk/Disk.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <random>

const char kPlanName[] = "kinrec.plan";
const char kFinishedName[] = "kinrec.plan.finished";

namespace {

std::string Join(const std::string& dir, const std::string& name) {
    return dir + kinrec::detail::kPathSeparator + name;
}

std::string DoneName(int index) {
    return std::string(kPlanName) + ".done-" + std::to_string(index);
}

// The whole file; false with errno set when it cannot be read.
bool ReadWhole(const std::string& path, std::string* text) {
    std::FILE* f = kinrec::detail::RealDisk().OpenRead(path);
    if (f == nullptr) {
        return false;
    }
    text->clear();
    char buf[65536];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        text->append(buf, n);
    }
    const bool ok = std::ferror(f) == 0;
    const int err = errno;
    (void)std::fclose(f); // read only
    errno = ok ? 0 : (err != 0 ? err : EIO);
    return ok;
}

// Whether a share's record holds the plan's token: one line, ended by LF or, where text
// files are written with CR LF (Windows), by CR LF.
bool HoldsToken(const std::string& record, const std::string& token) {
    return record == token + "\n" || record == token + "\r\n";
}

} // namespace

std::string NewToken() {
    // The clock and the process id alone already tell two shares apart.
    std::uint64_t seed =
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(kinrec::detail::ProcessId()) << 40);
    try {
        std::random_device device;
        seed ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
    } catch (const std::exception&) {
        // No source of randomness here: the clock and the process id do.
    }
    std::mt19937_64 mix(seed);
    static const char hex[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 2; ++i) {
        std::uint64_t v = mix();
        for (int d = 0; d < 16; ++d, v >>= 4) {
            token += hex[v & 0xF];
        }
    }
    return token;
}

bool SharedPlan(const std::string& dir, const std::function<Plan()>& make, Plan* plan,
                bool* finished, std::string* path, std::string* error) {
    *path = Join(dir, kPlanName);
    *finished = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string text;
        if (ReadWhole(*path, &text)) {
            if (!ReadPlan(text, plan, error)) {
                *error = "not a plan this kinrec can read (" + *error + ")";
                return false;
            }
            return true;
        }
        if (errno != ENOENT) {
            *error = ErrorText(errno);
            return false;
        }
        if (attempt > 0) {
            break;
        }
        *plan = make();
        // The batch this one would be has run to its end already: a share run again
        // converts its files as planned then, and leaves no plan behind.
        Plan done;
        std::string ignored;
        if (ReadWhole(Join(dir, kFinishedName), &text) && ReadPlan(text, &done, &ignored) &&
            SamePlan(done, *plan)) {
            *plan = done;
            *finished = true;
            return true;
        }
        const std::string temp = WriteTemporary(*path, PlanText(*plan));
        if (temp.empty()) {
            *error = ErrorText(errno);
            return false;
        }
        if (Land(temp, *path, false)) {
            return true;
        }
        if (errno != EEXIST) {
            *error = ErrorText(errno);
            return false;
        }
        // Another share landed its plan first: that one holds.
    }
    *error = ErrorText(ENOENT);
    return false;
}

bool FinishShare(const std::string& dir, const Plan& plan, int index, std::string* path,
                 std::string* error) {
    *path = Join(dir, DoneName(index));
    const std::string temp = WriteTemporary(*path, plan.token + "\n");
    if (temp.empty() || !Land(temp, *path, true)) {
        *error = ErrorText(errno);
        return false;
    }
    // Whether every share has finished, starting with those after this one (which,
    // when the shares finish in order, have not).
    for (int k = index % plan.count + 1; k != index; k = k % plan.count + 1) {
        std::string text;
        if (!ReadWhole(Join(dir, DoneName(k)), &text) || !HoldsToken(text, plan.token)) {
            return true;
        }
    }
    std::string text;
    Plan lying;
    std::string ignored;
    const std::string planPath = Join(dir, kPlanName);
    if (!ReadWhole(planPath, &text) || !ReadPlan(text, &lying, &ignored) ||
        lying.token != plan.token) {
        return true; // removed by another share that found them all, at the same time
    }
    // The plan is kept as the finished batch's, which a share run again still follows;
    // the records without a plan mean nothing.
    kinrec::detail::Disk& disk = kinrec::detail::RealDisk();
    if (!disk.MoveOnto(planPath, Join(dir, kFinishedName))) {
        (void)disk.RemoveFile(planPath); // then a rerun plans afresh: no harm
    }
    for (int k = 1; k <= plan.count; ++k) {
        (void)disk.RemoveFile(Join(dir, DoneName(k)));
    }
    return true;
}

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
    plan.files = PlanFiles(paths, kinrec::detail::RealDisk());
    plan.head = alone ? 0 : HeadOf(plan.files, cfg, biasCount);
    SplitShares(&plan.files, plan.head, count);
    return plan;
}
