#include "app/Batch.h"

#include "app/Concurrency.h"
#include "app/Console.h"
#include "app/Convert.h"
#include "app/Progress.h"
#include "app/Shares.h"
#include "disk/Disk.h"
#include "kinrec.h"

using namespace kinrec::detail;

namespace {

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

} // namespace

// The head: the files converted one after another on the count *biasCount while it is
// below its limit (all of them when none is left to run at once). Returns its length.
std::size_t RunHead(const std::vector<PlannedFile>& files, std::size_t count, const Settings* cfg,
                    std::int32_t* biasCount, BatchResult* result) {
    kinrec::Run run{*biasCount};
    const std::size_t head = kinrec::ConvertHead(
        count, &run, [&](std::size_t i) { ConvertInTurn(files[i], cfg, &run.biasCount, result); });
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

// The files own, each from where a file after the head starts (kinrec::RestRun: the
// count's limit, or 0 for files converted as if alone), on the workers; the console
// lines in their order.
void RunRest(const std::vector<PlannedFile>& files, const std::vector<std::size_t>& own,
             const Settings* cfg, int workers, BatchResult* result, bool alone) {
    const kinrec::Run batch; // a batch on a run: only whether there is one matters here
    const std::int32_t start = kinrec::RestRun(alone ? nullptr : &batch).biasCount;
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
        RunRest(files, rest, cfg, workers, &result, alone);
    }
    return result;
}
