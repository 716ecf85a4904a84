// kinrec: turns body-worn inertial sensor recordings into DSV feature tables.
#include "app/ConfigFile.h"
#include "app/Console.h"
#include "app/Convert.h"
#include "app/ConvertDirectory.h"
#include "app/Platform.h"
#include "app/Progress.h"
#include "app/TableFile.h"
#include "input/NumberText.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef KINREC_VERSION
#define KINREC_VERSION "unknown"
#endif

namespace {

// Exit statuses besides 0.
constexpr int kUsageStatus = 1;
constexpr int kFailedStatus = 2; // a conversion failed, or nothing was converted

void PrintUsage() {
    std::printf("Usage: kinrec <csv_file> [<dsv_file>]\n");
    std::printf("       kinrec <file_selector>\n");
    std::printf("       kinrec -r [<file_selector>]\n");
}

bool Is(const char* arg, const char* word) {
    return std::strcmp(arg, word) == 0;
}

// One argument that is not "-r": the file itself, or else a selector for the current
// directory.
// What one run shares between its conversions.
struct Run {
    DsvConfig cfg;
    std::int32_t biasCount = 0; // the gyro bias count, carried from file to file
    int workers = 1;            // how many files convert at once
};

// How many files convert at once: the CPUs this process may use. The test suite sets
// KINREC_TEST_WORKERS to try other numbers on any machine; it is not meant for users.
int BatchWorkers() {
    if (const char* forced = std::getenv("KINREC_TEST_WORKERS")) {
        const std::int32_t n = ParseInt(forced);
        return n > 0 ? n : 1;
    }
    return platform::UsableCpuCount();
}

int ConvertFileOrSelector(const char* arg, Run* run) {
    std::string openFailure;
    ConvertOptions direct;
    direct.openFailure = &openFailure;
    const int status = ConvertFile(arg, nullptr, &run->cfg, &run->biasCount, direct);
    if (!FallsBack(status)) {
        return status == kConverted ? 0 : kFailedStatus;
    }
    BatchResult search;
    ConvertDirectory(".", arg, false, &run->cfg, &run->biasCount, run->workers, &search);
    if (search.attempted == 0) {
        StdConsole().Fail(arg, status == kInputNotOpened
                                   ? openFailure + ", and no input file matches it"
                                   : "nothing converted");
        return kFailedStatus;
    }
    return status == kInputNotOpened && search.failed == 0 ? 0 : kFailedStatus;
}

int ConvertTree(const char* selector, Run* run) {
    BatchResult walk;
    ConvertDirectory(".", selector, true, &run->cfg, &run->biasCount, run->workers, &walk);
    return walk.failed > 0 ? kFailedStatus : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        PrintUsage();
        return kUsageStatus;
    }
    // A file of that name comes first: it is converted like any other.
    if (argc == 2 && !platform::Exists(argv[1])) {
        if (Is(argv[1], "--help") || Is(argv[1], "-h")) {
            PrintUsage();
            return 0;
        }
        if (Is(argv[1], "--version")) {
            std::printf("kinrec %s\n", KINREC_VERSION);
            return 0;
        }
    }
    platform::HandleInterrupts(RemoveTemporaryTables);
    if (platform::StderrIsTerminal()) {
        progress::Enable();
    }

    Run run;
    InitConfig(&run.cfg);
    LoadConfig(&run.cfg);
    run.workers = BatchWorkers();

    const bool recursive = Is(argv[1], "-r");
    int status = 0;
    if (argc == 2) {
        status = recursive ? ConvertTree(nullptr, &run) : ConvertFileOrSelector(argv[1], &run);
    } else if (recursive) {
        status = ConvertTree(argv[2], &run);
    } else {
        status = ConvertFile(argv[1], argv[2], &run.cfg, &run.biasCount) == kConverted
                     ? 0
                     : kFailedStatus;
    }
    // Lines that scripts read and that could not be written are a failure too.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout) != 0) && status == 0) {
        status = kFailedStatus;
    }
    return status;
}
