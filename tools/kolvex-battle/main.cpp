// kolvex-battle: runs battles of robot files without window, scene or sound.
//
//   kolvex-battle [options] ROBOT.r...
//   kolvex-battle [options] BATTLE.kvb
//
// One to four robot files take the slots in order (and their colours). The same seed, files
// and dt give byte-identical output. A battle file brings its own seed, dt, time, slots and
// sources, so the battle it holds is fought again whatever became of the robot files.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "BattleCommand.h"
#include "sim/BattleFile.h"
#include "sim/BattleReport.h"
#include "sim/HeadlessBattle.h"

namespace {

using namespace kv;

void Usage(std::FILE* out) {
    std::fputs(
        "usage: kolvex-battle [options] ROBOT.r [ROBOT.r ...]\n"
        "       kolvex-battle [options] BATTLE.kvb\n"
        "Runs a battle of one to four robot files (slots and colours in the order given)\n"
        "without window or sound, and reports each robot's damage, death and shots.\n"
        "A battle file (a name ending in .kvb, given alone) fights its battle again from\n"
        "its seed, dt, time, slots, colours and robot sources, whatever became of the\n"
        "robot files, and prints the report the run that saved it printed (when the\n"
        "report it holds differs, a warning names both programs' versions). --seed and\n"
        "--dt cannot be given with one; --time, --json, --trace, --matches, --save can.\n"
        "\n"
        "  --seed N       seed of the random numbers (default: from the clock; always printed)\n"
        "  --dt D         fixed tick in seconds, 0 < D <= 0.3 (default 0.001)\n"
        "  --battle FILE  a battle file in place of the robot files (any name)\n"
        "  --time T       simulated seconds before stopping (default 600); a battle of two\n"
        "                 or more robots also stops once at most one of them is alive\n"
        "  --realtime     tick with measured, capped time on the game's worker thread (the\n"
        "                 report gives dt as measured, with its mean)\n"
        "  --json         print one JSON object instead of text\n"
        "  --trace S      also print a JSON line per living robot at the first tick that\n"
        "                 reaches each multiple of S simulated seconds, with that tick's time\n"
        "  --matches K    run K battles with seeds N, N+1, ... and print a win table\n"
        "  --jobs J       spread the matches over J threads (default 1)\n"
        "  --save FILE    after the report, write the battle run as a battle file, with its\n"
        "                 report (not with --realtime)\n"
        "  --save-seed S  with --matches and --save: the seed of the match to save (the win\n"
        "                 table names each robot's first winning seed)\n"
        "  --archive PATH the resource archive (default: Kolvex.kvfs in the current directory,\n"
        "                 else beside the program's build folder)\n"
        "  --help         this text\n"
        "\n"
        "Exit status: 0 done, 1 a robot file cannot be opened or compiled (the game's\n"
        "message on standard error), a battle file cannot be read or is damaged, or the\n"
        "--save file cannot be written (the report is printed first), 2 bad options, 3 the\n"
        "resource archive cannot be read.\n",
        out);
}

struct Options {
    BattleCommand command;
    int matches = 0;
    int jobs = 1;
    bool timeGiven = false;
    std::string save;                 // the battle file to write, if any
    std::optional<uint32_t> saveSeed;  // the match to write
};

int UsageError(const char* what) {
    std::fprintf(stderr, "kolvex-battle: %s\n", what);
    return kUsageError;
}

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
            o.timeGiven = true;
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
        } else if (arg == "--save") {
            const char* path = args.Value();
            if (!path || !*path) return args.Fail("--save needs a file to write");
            o.save = path;
        } else if (arg == "--save-seed") {
            if (!ParseCount(args.Value(), 0, 4294967295LL, n)) return args.Fail("--save-seed needs a seed 0..4294967295");
            o.saveSeed = static_cast<uint32_t>(n);
        } else {
            return -2;
        }
        return -1;
    });
    if (status >= 0) return status;
    if (int tooMany = -1; !o.command.battleFile && !battle.realtime && !TicksFit(o.command, battle.time, "--time", tooMany))
        return tooMany;
    if (o.matches > 0 && battle.traceEvery > 0) return UsageError("--trace shows one battle; leave out --matches");
    if (!o.save.empty() && battle.realtime) return UsageError("--save keeps a battle of fixed ticks; leave out --realtime");
    if (o.saveSeed && o.save.empty()) return UsageError("--save-seed names the match --save writes; give --save FILE");
    if (o.saveSeed && o.matches == 0) return UsageError("--save-seed names one of the --matches battles");
    if (o.matches > 0 && !o.save.empty() && !o.saveSeed)
        return UsageError("--save with --matches needs --save-seed S, the seed of the match to save");
    return -1;
}

// The battle the file holds in place of the robot files: its seed, dt, time (unless --time
// was given) and slots. Returns -1 when ready, else the exit status after its message.
int LoadBattle(Options& o) {
    if (const int status = LoadCommandBattle(o.command); status >= 0) return status;
    HeadlessBattleOptions& battle = o.command.battle;
    if (!o.timeGiven) battle.time = o.command.record.time;
    if (battle.realtime || battle.time / battle.dt <= kMaxTicks) return -1;
    // Only a --time given here is a bad option; the file's own is the file's fault.
    if (int tooMany = -1; o.timeGiven && !TicksFit(o.command, battle.time, "--time", tooMany)) return tooMany;
    std::fprintf(stderr, "kolvex-battle: Battle file '%s': time %g at dt %g is more than %.0f ticks\n",
                 o.command.battleFile->CStr(), battle.time, battle.dt, kMaxTicks);
    return kSetupError;
}


// Seeds that wrap past 4294967295 go on from 0, as the matches do.
bool AmongMatches(const Options& o, uint32_t seed) {
    return static_cast<uint32_t>(seed - o.command.battle.seed) < static_cast<uint32_t>(o.matches);
}

// Writes the battle of options with its outcome as a battle file; the exit status.
int Save(const Options& o, const HeadlessBattleOptions& battle, const BattleOutcome& outcome) {
    KvBattleRecord record;
    record.seed = battle.seed;
    record.dt = battle.dt;
    record.time = battle.time;
    record.program = ProgramVersion();
    record.report = BattleJson(battle, outcome);
    for (size_t k = 0; k < battle.choices->size(); ++k) {
        const RobotChoice& choice = (*battle.choices)[k];
        if (!choice.enabled) continue;
        if (!choice.source) {
            std::fprintf(stderr, "kolvex-battle: Can't save battle file '%s': '%s' could not be read\n", o.save.c_str(),
                         choice.path.CStr());
            return kOutputError;
        }
        record.robots.push_back({static_cast<int>(k), choice.colour, choice.path, *choice.source});
    }
    KvString error;
    if (!SaveBattleFile(KvFile(o.save.c_str()), record, error)) {
        std::fprintf(stderr, "kolvex-battle: %s\n", error.CStr());
        return kOutputError;
    }
    return 0;
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
    // A replay of the battle as saved should end as it did; when it does not, the programs'
    // rules differ (or the file was edited).
    const bool asSaved = o.command.battleFile && !battle.realtime && battle.time == o.command.record.time;
    if (asSaved && !o.command.record.report.empty() && BattleJson(battle, outcome) != o.command.record.report) {
        std::fflush(stdout);
        std::fprintf(stderr,
                     "kolvex-battle: warning: this battle ended otherwise than when %s was saved (saved by "
                     "version %s, replayed by version %s)\n",
                     o.command.battleFile->CStr(), o.command.record.program.c_str(), ProgramVersion().c_str());
    }
    if (o.save.empty()) return 0;
    std::fflush(stdout);
    return Save(o, battle, outcome);
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
    std::optional<BattleOutcome> saved;  // the match of --save-seed
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
                if (o.saveSeed && battle.seed == *o.saveSeed) saved = outcome;
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
    if (!saved) return 0;
    std::fflush(stdout);
    HeadlessBattleOptions battle = base;
    battle.seed = *o.saveSeed;
    return Save(o, battle, *saved);
}

}  // namespace

int main(int argc, char** argv) {
    KeepFreedMemory();
    Options o;
    if (const int status = Parse(argc, argv, o); status >= 0) return status;
    if (o.command.battleFile) {
        if (const int status = LoadBattle(o); status >= 0) return status;
    } else {
        // Read once: every battle of the run compiles the same texts, and a saved battle holds
        // exactly what ran.
        HeadlessBattleOptions& battle = o.command.battle;
        battle.choices = ChoicesOf(battle.files);
        ReadSources(*battle.choices);
    }
    if (const int status = PrepareBattle(o.command, argv[0]); status >= 0) return status;
    if (o.saveSeed && !AmongMatches(o, *o.saveSeed)) {
        const uint32_t first = o.command.battle.seed, last = first + static_cast<uint32_t>(o.matches - 1);
        std::fprintf(stderr, "kolvex-battle: --save-seed %u is not among the seeds run (%u..%u)\n", *o.saveSeed, first,
                     last);
        return kUsageError;
    }
    return o.matches > 0 ? RunMatches(o) : RunOne(o);
}
