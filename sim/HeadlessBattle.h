#pragma once
// A whole battle without window, scene or sound: the battle session on its own scheduler,
// stepped with a fixed dt on the calling thread (repeatable: same seed, files and dt give
// the same battle) or by the game's worker thread with measured time.

#include <cstdint>
#include <functional>
#include <vector>

#include "core/KvString.h"
#include "sim/GameHolder.h"
#include "sim/Robot.h"
#include "sim/RobotGeometry.h"
#include "sim/Scheduler.h"

namespace kv {

struct HeadlessBattleOptions {
    std::vector<KvFile> files;  // one to four; file k takes slot k and its colour
    uint32_t seed = 1;          // seeds the set-up's and the simulation's generators
    double dt = 0.001;          // fixed tick, seconds
    double time = 600;          // simulated seconds before stopping
    bool realtime = false;      // run the worker thread with measured, capped dt instead
    double traceEvery = 0;      // trace at the first tick reaching each multiple of this; 0 for none
    RobotGeometry geometry;
};

struct RobotOutcome {
    int slot = 0;
    KvString file;  // the file name without its folder
    int32_t colour = 0;
    RobotValues values;  // at the end of the battle
};

struct BattleOutcome {
    bool ok = false;
    KvString error;  // the set-up message when not ok
    double time = 0;  // simulated seconds run
    int64_t ticks = 0;  // ticks run; time / ticks is the mean dt
    int winner = -1;  // slot of the only survivor of a battle of two or more, else -1
    std::vector<RobotOutcome> robots;
};

// Called at every trace sample with the battle time and the living robots' values, on the
// thread that ticks.
using TraceSink = std::function<void(double time, int slot, const RobotValues& values)>;

// One battle stepped with the fixed dt on the calling thread, for callers that look at it
// between steps (the offscreen renderer). The ground and the presenter, when given, outlive it.
class HeadlessBattle {
public:
    HeadlessBattle(const HeadlessBattleOptions& options, KvHeightField& ground, KvBattlePresenter* presenter = nullptr);
    ~HeadlessBattle();
    HeadlessBattle(const HeadlessBattle&) = delete;
    HeadlessBattle& operator=(const HeadlessBattle&) = delete;

    // Seeds the calling thread's generator, builds the battle and seeds it again for the
    // robots' programs. False with Error() set when a robot file is unreadable or wrong.
    bool SetUp();
    const KvString& Error() const { return holder_.SetupError(); }
    // Runs ticks until the tick count reaches ceil(time / dt), or the battle is decided.
    // afterTick, when given, runs after every tick. Returns false once decided.
    bool RunUntil(double time, const std::function<void()>& afterTick = {});
    // Whether at most one robot of two or more is alive: the battle then stops.
    bool Decided() const;
    BattleOutcome Outcome() const;

    KvGameHolder& Holder() { return holder_; }
    int64_t Ticks() const { return ticks_; }

private:
    HeadlessBattleOptions options_;
    FixedTickTimer timer_;
    // Declared before the session, which clears its battle through the scheduler.
    ProcessScheduler scheduler_;
    KvGameHolder holder_;
    int64_t ticks_ = 0;
};

// Runs one battle. It stops after options.time simulated seconds, or, in a battle of two
// or more robots, as soon as at most one is alive.
BattleOutcome RunHeadlessBattle(const HeadlessBattleOptions& options, const TraceSink& trace = {});

}  // namespace kv
