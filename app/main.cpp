// kinrec: turns body-worn inertial sensor recordings into DSV feature tables.
#include "app/Console.h"
#include "app/Convert.h"
#include "app/ConvertDirectory.h"
#include "app/DsvConfig.h"
#include "app/Platform.h"
#include "app/Progress.h"
#include "app/TableFile.h"

#include <cstdio>
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
int ConvertFileOrSelector(const char* arg, DsvConfig* cfg) {
    std::string openFailure;
    ConvertOptions direct;
    direct.openFailure = &openFailure;
    const int status = ConvertFile(arg, nullptr, cfg, direct);
    if (!FallsBack(status)) {
        return status == kConverted ? 0 : kFailedStatus;
    }
    BatchResult search;
    ConvertDirectory(".", arg, false, cfg, &search);
    if (search.attempted == 0) {
        StdConsole().Fail(arg, status == kInputNotOpened
                                   ? openFailure + ", and no input file matches it"
                                   : "nothing converted");
        return kFailedStatus;
    }
    return status == kInputNotOpened && search.failed == 0 ? 0 : kFailedStatus;
}

int ConvertTree(const char* selector, DsvConfig* cfg) {
    BatchResult walk;
    ConvertDirectory(".", selector, true, cfg, &walk);
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

    DsvConfig cfg;
    InitConfig(&cfg);
    LoadConfig(&cfg);

    const bool recursive = Is(argv[1], "-r");
    int status = 0;
    if (argc == 2) {
        status = recursive ? ConvertTree(nullptr, &cfg) : ConvertFileOrSelector(argv[1], &cfg);
    } else if (recursive) {
        status = ConvertTree(argv[2], &cfg);
    } else {
        status = ConvertFile(argv[1], argv[2], &cfg) == kConverted ? 0 : kFailedStatus;
    }
    // Lines that scripts read and that could not be written are a failure too.
    if ((std::fflush(stdout) != 0 || std::ferror(stdout) != 0) && status == 0) {
        status = kFailedStatus;
    }
    return status;
}
