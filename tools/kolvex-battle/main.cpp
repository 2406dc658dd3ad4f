// kolvex-battle: runs battles of robot files without window, scene or sound.
//
//   kolvex-battle [options] ROBOT.r...
//
// One to four robot files take the slots in order (and their colours). The same seed, files
// and dt give byte-identical output.

#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BattleReport.h"
#include "sim/HeadlessBattle.h"

namespace {

using namespace kv;

constexpr int kUsageError = 1;
constexpr int kSetupError = 2;
constexpr int kResourceError = 3;

void Usage(std::FILE* out) {
    std::fputs(
        "usage: kolvex-battle [options] ROBOT.r [ROBOT.r ...]\n"
        "Runs a battle of one to four robot files (slots and colours in the order given)\n"
        "without window or sound, and reports each robot's damage, death and shots.\n"
        "\n"
        "  --seed N       seed of the random numbers (default: from the clock; always printed)\n"
        "  --dt D         fixed tick in seconds, 0 < D <= 0.3 (default 0.001)\n"
        "  --time T       simulated seconds before stopping (default 600); a battle of two\n"
        "                 or more robots also stops once at most one of them is alive\n"
        "  --realtime     tick with measured, capped time on the game's worker thread (the\n"
        "                 report gives dt as measured, with its mean)\n"
        "  --json         print one JSON object instead of text\n"
        "  --trace S      also print a JSON line per living robot at the first tick that\n"
        "                 reaches each multiple of S simulated seconds, with that tick's time\n"
        "  --matches K    run K battles with seeds N, N+1, ... and print a win table\n"
        "  --jobs J       spread the matches over J threads (default 1)\n"
        "  --archive PATH the resource archive (default: Kolvex.kvfs in the current directory,\n"
        "                 else beside the program's build folder)\n"
        "  --help         this text\n"
        "\n"
        "Exit status: 0 done, 1 bad options, 2 a robot file cannot be opened or compiled\n"
        "(the game's message on standard error), 3 the resource archive cannot be read.\n",
        out);
}

struct Options {
    HeadlessBattleOptions battle;
    bool seedGiven = false;
    bool json = false;
    int matches = 0;
    int jobs = 1;
    std::string archive;
};

bool ParseNumber(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == 0 && out == out;
}

bool ParseCount(const char* text, long long lo, long long hi, long long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(text, &end, 10);
    return end != text && *end == 0 && errno == 0 && out >= lo && out <= hi;
}

// Returns -1 when the options are fine, else the exit status.
int Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto fail = [&](const char* what) {
            std::fprintf(stderr, "kolvex-battle: %s\n", what);
            return kUsageError;
        };
        long long n = 0;
        double d = 0;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (arg == "--seed") {
            if (!hasValue || !ParseCount(argv[++i], 0, 4294967295LL, n)) return fail("--seed needs a number 0..4294967295");
            o.battle.seed = static_cast<uint32_t>(n);
            o.seedGiven = true;
        } else if (arg == "--dt") {
            if (!hasValue || !ParseNumber(argv[++i], d) || !(d > 0 && d <= 0.3))
                return fail("--dt needs seconds above 0 and at most 0.3");
            o.battle.dt = d;
        } else if (arg == "--time") {
            if (!hasValue || !ParseNumber(argv[++i], d) || !(d >= 0 && d <= 1e7))
                return fail("--time needs simulated seconds from 0 to 10000000");
            o.battle.time = d;
        } else if (arg == "--trace") {
            if (!hasValue || !ParseNumber(argv[++i], d) || !(d > 0)) return fail("--trace needs seconds above 0");
            o.battle.traceEvery = d;
        } else if (arg == "--matches") {
            if (!hasValue || !ParseCount(argv[++i], 1, 100000000, n)) return fail("--matches needs a count of 1 or more");
            o.matches = static_cast<int>(n);
        } else if (arg == "--jobs") {
            if (!hasValue || !ParseCount(argv[++i], 1, 256, n)) return fail("--jobs needs a count from 1 to 256");
            o.jobs = static_cast<int>(n);
        } else if (arg == "--archive") {
            if (!hasValue) return fail("--archive needs a path");
            o.archive = argv[++i];
        } else if (arg == "--realtime") {
            o.battle.realtime = true;
        } else if (arg == "--json") {
            o.json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "kolvex-battle: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return kUsageError;
        } else {
            o.battle.files.emplace_back(arg.c_str());
        }
    }
    if (o.battle.files.empty() || o.battle.files.size() > 4) {
        std::fprintf(stderr, "kolvex-battle: give one to four robot files\n");
        Usage(stderr);
        return kUsageError;
    }
    if (o.matches > 0 && o.battle.traceEvery > 0) {
        std::fprintf(stderr, "kolvex-battle: --trace shows one battle; leave out --matches\n");
        return kUsageError;
    }
    return -1;
}

// The archive given, else Kolvex.kvfs here, else beside the program's build folder.
std::string FindArchive(const std::string& given, const char* argv0) {
    if (!given.empty()) return given;
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists("Kolvex.kvfs", ec)) return "Kolvex.kvfs";
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = argv0;
    for (fs::path dir = exe.parent_path(); !dir.empty(); dir = dir.parent_path()) {
        if (fs::exists(dir / "Kolvex.kvfs", ec)) return (dir / "Kolvex.kvfs").string();
        if (dir == dir.parent_path()) break;
    }
    return "Kolvex.kvfs";
}

int RunOne(const Options& o) {
    TraceSink trace;
    if (o.battle.traceEvery > 0) {
        trace = [](double t, int slot, const RobotValues& v) { std::fputs(TraceJson(t, slot, v).c_str(), stdout); };
    }
    const BattleOutcome outcome = RunHeadlessBattle(o.battle, trace);
    if (!outcome.ok) {
        std::fprintf(stderr, "%s\n", outcome.error.CStr());
        return kSetupError;
    }
    const std::string report = o.json ? BattleJson(o.battle, outcome) : BattleText(o.battle, outcome);
    std::fputs(report.c_str(), stdout);
    return 0;
}

int RunMatches(const Options& o) {
    std::vector<BattleOutcome> outcomes(static_cast<size_t>(o.matches));
    std::atomic<int> next{0}, done{0};
    std::atomic<bool> failed{false};
    auto work = [&] {
        for (int k; !failed.load() && (k = next.fetch_add(1)) < o.matches;) {
            HeadlessBattleOptions battle = o.battle;
            battle.seed = o.battle.seed + static_cast<uint32_t>(k);
            outcomes[static_cast<size_t>(k)] = RunHeadlessBattle(battle);
            if (!outcomes[static_cast<size_t>(k)].ok) failed.store(true);
            done.fetch_add(1);
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < o.jobs; ++j) threads.emplace_back(work);

    // Progress once a second, from the main thread, while it runs its own share.
    std::atomic<bool> finished{false};
    std::thread progress([&] {
        const bool tty = isatty(STDERR_FILENO);
        auto last = std::chrono::steady_clock::now();
        bool shown = false;
        while (!finished.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (std::chrono::steady_clock::now() - last < std::chrono::seconds(1)) continue;
            last = std::chrono::steady_clock::now();
            std::fprintf(stderr, tty ? "\r%d/%d battles" : "%d/%d battles\n", done.load(), o.matches);
            shown = true;
        }
        if (shown && tty) std::fputc('\n', stderr);
    });
    work();
    for (std::thread& t : threads) t.join();
    finished.store(true);
    progress.join();

    MatchTable table;
    table.firstSeed = o.battle.seed;
    for (const BattleOutcome& outcome : outcomes) {
        if (!outcome.ok) {
            std::fprintf(stderr, "%s\n", outcome.error.CStr());
            return kSetupError;
        }
    }
    for (const BattleOutcome& outcome : outcomes) table.Count(outcome);
    const std::string report = o.json ? table.Json(o.battle) : table.Text(o.battle);
    std::fputs(report.c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Each battle allocates its machines' stacks anew: keep the memory of the last battle
    // for the next one rather than returning it to the system and faulting it back in.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    Options o;
    if (const int status = Parse(argc, argv, o); status >= 0) return status;
    if (!o.seedGiven) o.battle.seed = static_cast<uint32_t>(std::time(nullptr));

    KvString error;
    const std::string archive = FindArchive(o.archive, argv[0]);
    if (!LoadRobotGeometry(archive.c_str(), o.battle.geometry, error)) {
        std::fprintf(stderr, "kolvex-battle: %s\n", error.CStr());
        return kResourceError;
    }
    return o.matches > 0 ? RunMatches(o) : RunOne(o);
}
