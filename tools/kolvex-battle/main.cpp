// kolvex-battle: runs battles of robot files without window, scene or sound.
//
//   kolvex-battle [options] ROBOT.r...
//
// One to four robot files take the slots in order (and their colours). The same seed, files
// and dt give byte-identical output.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BattleCommand.h"
#include "sim/BattleReport.h"
#include "sim/HeadlessBattle.h"

namespace {

using namespace kv;

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
        "Exit status: 0 done, 1 a robot file cannot be opened or compiled (the game's\n"
        "message on standard error), 2 bad options, 3 the resource archive cannot be read.\n",
        out);
}

struct Options {
    BattleCommand command;
    int matches = 0;
    int jobs = 1;
};

// Returns -1 when the options are fine, else the exit status.
int Parse(int argc, char** argv, Options& o) {
    o.command.program = "kolvex-battle";
    o.command.usage = Usage;
    HeadlessBattleOptions& battle = o.command.battle;
    const int status = ParseBattleCommand(argc, argv, o.command, [&](const std::string& arg, ArgCursor& args) {
        long long n = 0;
        double d = 0;
        if (arg == "--time") {
            if (!ParseNumber(args.Value(), d) || !(d >= 0 && d <= 1e7))
                return args.Fail("--time needs simulated seconds from 0 to 10000000");
            battle.time = d;
        } else if (arg == "--trace") {
            if (!ParseNumber(args.Value(), d) || !(d > 0)) return args.Fail("--trace needs seconds above 0");
            battle.traceEvery = d;
        } else if (arg == "--matches") {
            if (!ParseCount(args.Value(), 1, 100000000, n)) return args.Fail("--matches needs a count of 1 or more");
            o.matches = static_cast<int>(n);
        } else if (arg == "--jobs") {
            if (!ParseCount(args.Value(), 1, 256, n)) return args.Fail("--jobs needs a count from 1 to 256");
            o.jobs = static_cast<int>(n);
        } else if (arg == "--realtime") {
            battle.realtime = true;
        } else {
            return -2;
        }
        return -1;
    });
    if (status >= 0) return status;
    if (int tooMany = -1; !battle.realtime && !TicksFit(o.command, battle.time, "--time", tooMany)) return tooMany;
    if (o.matches > 0 && battle.traceEvery > 0) {
        std::fprintf(stderr, "kolvex-battle: --trace shows one battle; leave out --matches\n");
        return kUsageError;
    }
    return -1;
}

int RunOne(const Options& o) {
    const HeadlessBattleOptions& battle = o.command.battle;
    TraceSink trace;
    if (battle.traceEvery > 0) {
        trace = [](double t, int slot, const RobotValues& v) { std::fputs(TraceJson(t, slot, v).c_str(), stdout); };
    }
    const BattleOutcome outcome = RunHeadlessBattle(battle, trace);
    if (!outcome.ok) return ReportSetupError(outcome.error);
    const std::string report = o.command.json ? BattleJson(battle, outcome) : BattleText(battle, outcome);
    std::fputs(report.c_str(), stdout);
    return 0;
}

// The matches' outcomes are counted in seed order as they come in, so the table is the same
// with any number of jobs; a job runs ahead of the counting by at most kWindow matches, so
// memory stays small however many matches are asked for.
int RunMatches(const Options& o) {
    const HeadlessBattleOptions& base = o.command.battle;
    constexpr int kWindow = 64;
    MatchTable table;
    table.firstSeed = base.seed;
    std::map<int, BattleOutcome> waiting;  // finished, not counted yet
    BattleOutcome failure;
    int next = 0, counted = 0;
    bool failed = false;
    std::mutex mutex;
    std::condition_variable changed;
    auto work = [&] {
        for (;;) {
            int k;
            {
                std::unique_lock held(mutex);
                changed.wait(held, [&] { return failed || next >= o.matches || next < counted + kWindow * o.jobs; });
                if (failed || next >= o.matches) return;
                k = next++;
            }
            HeadlessBattleOptions battle = base;
            battle.seed = base.seed + static_cast<uint32_t>(k);
            BattleOutcome outcome = RunHeadlessBattle(battle);
            std::lock_guard held(mutex);
            if (!outcome.ok) {
                if (!failed) failure = std::move(outcome);
                failed = true;
            } else {
                waiting.emplace(k, std::move(outcome));
                for (auto it = waiting.find(counted); it != waiting.end(); it = waiting.find(counted)) {
                    table.Count(it->second);
                    waiting.erase(it);
                    ++counted;
                }
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < o.jobs; ++j) threads.emplace_back(work);

    // Progress once a second, from a thread of its own, while this one runs its share.
    std::atomic<bool> finished{false};
    std::thread progress([&] {
        const bool tty = isatty(STDERR_FILENO);
        auto last = std::chrono::steady_clock::now();
        bool shown = false;
        while (!finished.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (std::chrono::steady_clock::now() - last < std::chrono::seconds(1)) continue;
            last = std::chrono::steady_clock::now();
            int done;
            {
                std::lock_guard held(mutex);
                done = counted;
            }
            std::fprintf(stderr, tty ? "\r%d/%d battles" : "%d/%d battles\n", done, o.matches);
            shown = true;
        }
        if (shown && tty) std::fputc('\n', stderr);
    });
    work();
    for (std::thread& t : threads) t.join();
    finished.store(true);
    progress.join();

    if (failed) return ReportSetupError(failure.error);
    const std::string report = o.command.json ? table.Json(base) : table.Text(base);
    std::fputs(report.c_str(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    KeepFreedMemory();
    Options o;
    if (const int status = Parse(argc, argv, o); status >= 0) return status;
    if (const int status = PrepareBattle(o.command, argv[0]); status >= 0) return status;
    return o.matches > 0 ? RunMatches(o) : RunOne(o);
}
