// kinrec: turns body-worn inertial sensor recordings into DSV feature tables.
#include "app/ConfigFile.h"
#include "app/Console.h"
#include "app/Convert.h"
#include "app/ConvertDirectory.h"
#include "app/Platform.h"
#include "app/Progress.h"
#include "app/TempTables.h"
#include "input/NumberText.h"
#include "kinrec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace kinrec::detail;

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

// Words in lines of at most width characters (a longer word alone on its line).
std::string Wrapped(const std::string& text, std::size_t width) {
    std::string out;
    std::size_t lineStart = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find(' ', pos), text.size());
        const std::string word = text.substr(pos, end - pos);
        if (out.size() > lineStart && out.size() - lineStart + 1 + word.size() > width) {
            out += '\n';
            lineStart = out.size();
        } else if (out.size() > lineStart) {
            out += ' ';
        }
        out += word;
        pos = end + 1;
    }
    return out + "\n";
}

void PrintHelp() {
    PrintUsage();
    std::printf("       kinrec --shard <k>/<n> -r [<file_selector>]\n"
                "       kinrec --alone -r [<file_selector>]\n"
                "\n"
                "Turns sensor recordings (*.csv, *.bin) into feature tables (*_DSV.csv)\n"
                "beside them. -r converts the current directory and all below it;\n"
                "--shard k/n converts share k of n of that batch, so that n processes\n"
                "(a job array, GNU parallel) write exactly the tables of one run.\n"
                "--alone -r gives every file the table it gets converted by itself\n"
                "(its gyro bias count starting afresh), all files on every CPU.\n"
                "\n");
    std::string settings = "Settings come from kinrec.cnf in the current directory (after the "
                           ".cnf file beside the program):";
    const char* sep = " ";
    for (const kinrec::SettingInfo& s : kinrec::SettingTable()) {
        if (s.key != nullptr) {
            settings += sep;
            settings += s.key;
            sep = ", ";
        }
    }
    std::printf("%s", Wrapped(settings + ".", 72).c_str());
    std::printf("Each key, the input layouts and the table's columns: man kinrec.\n");
}

// "<k>/<n>" with 1 <= k <= n: true with *shard filled in.
bool ParseShard(const char* text, Shard* shard) {
    long k = 0;
    long n = 0;
    const char* p = text;
    auto number = [&p](long* v) {
        const char* start = p;
        for (; *p >= '0' && *p <= '9' && p - start < 7; ++p) {
            *v = *v * 10 + (*p - '0');
        }
        return p > start;
    };
    if (!number(&k) || *p++ != '/' || !number(&n) || *p != '\0' || k < 1 || k > n) {
        return false;
    }
    shard->index = static_cast<int>(k);
    shard->count = static_cast<int>(n);
    return true;
}

bool Is(const char* arg, const char* word) {
    return std::strcmp(arg, word) == 0;
}

// An interrupt's last words: no temporary table stays, and what was said reaches its
// reader (the lines of the tables that landed, in a log that is not a terminal).
void CleanUpOnInterrupt() {
    RemoveTemporaryTables();
    (void)std::fflush(stdout); // nothing more can be done about a failure now
}

// Standard output's reader is gone: no temporary table may stay, whether the process
// ends now (as tools do under "| head") or goes on to fail at its end.
void OnLostOutput() {
    RemoveTemporaryTables();
    platform::EndForBrokenPipe();
    (void)std::fprintf(stderr, "kinrec: standard output: %s\n", ErrorText(EPIPE).c_str());
    std::_Exit(kFailedStatus); // the cleanup holds the tables' lock: no table can land now
}

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

// One argument that is not "-r": the file itself, or else a selector for the current
// directory.
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
    return status == kInputNotOpened && search.failed == 0 && search.unreadable == 0
               ? 0
               : kFailedStatus;
}

int ConvertTree(const char* selector, Run* run, const Shard& shard, bool alone = false) {
    BatchResult walk;
    ConvertDirectory(".", selector, true, &run->cfg, &run->biasCount, run->workers, &walk, shard,
                     alone);
    return walk.failed > 0 || walk.unreadable > 0 ? kFailedStatus : 0;
}

int Main(int argc, char** argv) {
    // Files kinrec opens must not become its standard streams.
    platform::OpenStandardStreams();
    // A file of that name comes first: it is converted like any other.
    Shard shard;
    const bool sharded = argc >= 2 && Is(argv[1], "--shard") && !platform::Exists(argv[1]);
    const bool alone = argc >= 2 && Is(argv[1], "--alone") && !platform::Exists(argv[1]);
    if (alone) {
        if (argc < 3 || argc > 4 || !Is(argv[2], "-r")) {
            PrintUsage();
            StdConsole().Err("kinrec: --alone is followed by -r, as in \"kinrec --alone -r\"\n");
            return kUsageStatus;
        }
    } else if (sharded) {
        if (argc < 4 || argc > 5 || !ParseShard(argv[2], &shard) || !Is(argv[3], "-r")) {
            PrintUsage();
            StdConsole().Err("kinrec: --shard takes k/n (1 <= k <= n) and then -r, as in "
                             "\"kinrec --shard 2/8 -r\"\n");
            return kUsageStatus;
        }
    } else if (argc < 2 || argc > 3) {
        PrintUsage();
        return kUsageStatus;
    }
    if (argc == 2 && !platform::Exists(argv[1])) {
        if (Is(argv[1], "--help") || Is(argv[1], "-h")) {
            PrintHelp();
            return 0;
        }
        if (Is(argv[1], "--version")) {
            std::printf("kinrec %s\n", KINREC_VERSION);
            return 0;
        }
    }
    platform::HandleInterrupts(CleanUpOnInterrupt);
    OnBrokenPipe(OnLostOutput);
    if (platform::StderrIsTerminal()) {
        progress::Enable();
    }

    Run run;
    InitConfig(&run.cfg);
    LoadConfig(&run.cfg);
    run.workers = BatchWorkers();

    const bool recursive = Is(argv[1], "-r");
    int status = 0;
    if (alone) {
        status = ConvertTree(argc == 4 ? argv[3] : nullptr, &run, Shard(), true);
    } else if (sharded) {
        status = ConvertTree(argc == 5 ? argv[4] : nullptr, &run, shard);
    } else if (argc == 2) {
        status =
            recursive ? ConvertTree(nullptr, &run, Shard()) : ConvertFileOrSelector(argv[1], &run);
    } else if (recursive) {
        status = ConvertTree(argv[2], &run, Shard());
    } else {
        status = ConvertFile(argv[1], argv[2], &run.cfg, &run.biasCount) == kConverted
                     ? 0
                     : kFailedStatus;
    }
    // Lines that scripts read and that could not be written are a failure too.
    errno = 0;
    if (std::fflush(stdout) != 0) {
        NoteStdoutFailure(errno);
    }
    if (const int err = StdoutError()) {
        StdConsole().Fail("standard output", ErrorText(err));
        status = kFailedStatus;
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const kinrec::InternalError& e) {
        // A broken invariant: reported as an assertion is, and the process ends as one.
        (void)std::fflush(stdout);
        (void)std::fprintf(stderr, "%s\n", e.what());
        std::abort();
    }
}
