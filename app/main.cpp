// kinrec: turns body-worn inertial sensor recordings into DSV feature tables.
#include "app/ConfigFile.h"
#include "app/Console.h"
#include "app/Convert.h"
#include "app/ConvertDirectory.h"
#include "app/Platform.h"
#include "app/Progress.h"
#include "app/Summary.h"
#include "app/TempTables.h"
#include "disk/Disk.h"
#include "input/NumberText.h"
#include "kinrec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

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
    std::printf("       kinrec [--alone] --shard <k>/<n> -r [<file_selector>]\n"
                "       kinrec --alone -r [<file_selector>]\n"
                "       kinrec --summary <file> ... (before any of the above)\n"
                "\n"
                "Turns sensor recordings (*.csv, *.bin) into feature tables (*_DSV.csv)\n"
                "beside them. -r converts the current directory and all below it;\n"
                "--shard k/n converts share k of n of that batch, so that n processes\n"
                "(a job array, GNU parallel) write exactly the tables of one run.\n"
                "--alone -r gives every file the table it gets converted by itself\n"
                "(its gyro bias count starting afresh), all files on every CPU.\n"
                "--summary <file> writes a CSV row per input (status, samples, rows,\n"
                "values beyond the range, notes) after kinrec's version and settings.\n"
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
struct Session {
    Settings cfg;
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
int ConvertFileOrSelector(const char* arg, Session* session,
                          std::vector<kinrec::SummaryRow>* rows) {
    std::string openFailure;
    ConvertOptions direct;
    direct.openFailure = &openFailure;
    kinrec::SummaryRow row;
    direct.row = &row;
    const kinrec::Failure failure =
        ConvertFile(arg, nullptr, &session->cfg, &session->biasCount, direct);
    if (!FallsBack(failure)) {
        if (!row.status.empty()) {
            rows->push_back(std::move(row));
        }
        return failure == kinrec::Failure::kNone ? 0 : kFailedStatus;
    }
    BatchResult search;
    ConvertDirectory(".", arg, false, &session->cfg, &session->biasCount, session->workers,
                     &search);
    *rows = std::move(search.rows);
    if (search.attempted == 0) {
        StdConsole().Fail(arg, InputNotOpened(failure)
                                   ? openFailure + ", and no input file matches it"
                                   : "nothing converted");
        return kFailedStatus;
    }
    return InputNotOpened(failure) && search.failed == 0 && search.unreadable == 0 ? 0
                                                                                   : kFailedStatus;
}

// The batch's rows go on to the summary, when one is asked for.
int ConvertTree(const char* selector, Session* session, const Shard& shard, bool alone,
                std::vector<kinrec::SummaryRow>* rows) {
    BatchResult walk;
    ConvertDirectory(".", selector, true, &session->cfg, &session->biasCount, session->workers,
                     &walk, shard, alone);
    *rows = std::move(walk.rows);
    return walk.failed > 0 || walk.unreadable > 0 ? kFailedStatus : 0;
}

// The options before the command line's own arguments: each a word of its own, taken as
// an option only while no file has that name.
struct Options {
    bool alone = false;
    bool sharded = false;
    Shard shard;
    const char* summary = nullptr; // the summary's file name
    int next = 1;                  // the first argument after them
};

// False with the usage's complaint said when the options or what follows them are amiss.
bool ParseOptions(int argc, char** argv, Options* o) {
    auto refuse = [](const char* why) {
        PrintUsage();
        StdConsole().Err(std::string("kinrec: ") + why + "\n");
        return false;
    };
    const char* shardUse = "--shard takes k/n (1 <= k <= n) and then -r, as in \"kinrec --shard "
                           "2/8 -r\"";
    const char* aloneUse = "--alone is followed by -r, as in \"kinrec --alone -r\"";
    int& i = o->next;
    for (; i < argc && !RealDisk().Exists(argv[i]); ++i) {
        if (Is(argv[i], "--alone") && !o->alone) {
            o->alone = true;
        } else if (Is(argv[i], "--shard") && !o->sharded) {
            o->sharded = true;
            if (i + 1 >= argc || !ParseShard(argv[i + 1], &o->shard)) {
                return refuse(shardUse);
            }
            ++i;
        } else if (Is(argv[i], "--summary") && o->summary == nullptr) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                return refuse("--summary takes the summary's file name, as in \"kinrec "
                              "--summary summary.csv -r\"");
            }
            o->summary = argv[++i];
        } else if (Is(argv[i], "--alone") || Is(argv[i], "--shard") || Is(argv[i], "--summary")) {
            return refuse((std::string(argv[i]) + " is given twice").c_str());
        } else {
            break;
        }
    }
    const int rest = argc - i;
    if (o->alone || o->sharded) {
        if (rest < 1 || rest > 2 || !Is(argv[i], "-r")) {
            return refuse(o->sharded ? shardUse : aloneUse);
        }
    } else if (rest < 1 || rest > 2) {
        if (o->summary != nullptr) {
            return refuse("--summary is followed by what to convert, as in \"kinrec --summary "
                          "summary.csv -r\"");
        }
        PrintUsage();
        return false;
    }
    return true;
}

int Main(int argc, char** argv) {
    // Files kinrec opens must not become its standard streams.
    platform::OpenStandardStreams();
    // A file of an option's name comes first: it is converted like any other.
    Options opt;
    if (!ParseOptions(argc, argv, &opt)) {
        return kUsageStatus;
    }
    const int n = argc - opt.next; // the command line's own arguments
    char** args = argv + opt.next;
    if (argc == 2 && !RealDisk().Exists(argv[1])) {
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

    Session session;
    LoadConfig(&session.cfg);
    session.workers = BatchWorkers();

    const bool recursive = Is(args[0], "-r");
    std::vector<kinrec::SummaryRow> rows;
    int status = 0;
    if (recursive) {
        status = ConvertTree(n == 2 ? args[1] : nullptr, &session,
                             opt.sharded ? opt.shard : Shard(), opt.alone, &rows);
    } else if (n == 1) {
        status = ConvertFileOrSelector(args[0], &session, &rows);
    } else {
        ConvertOptions direct;
        kinrec::SummaryRow row;
        direct.row = &row;
        status = ConvertFile(args[0], args[1], &session.cfg, &session.biasCount, direct) ==
                         kinrec::Failure::kNone
                     ? 0
                     : kFailedStatus;
        if (!row.status.empty()) {
            rows.push_back(std::move(row));
        }
    }
    std::string error;
    if (opt.summary != nullptr && !WriteSummary(opt.summary, session.cfg, rows, &error)) {
        StdConsole().Fail(opt.summary, error);
        status = kFailedStatus;
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
