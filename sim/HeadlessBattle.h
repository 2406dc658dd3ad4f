#pragma once
// A whole battle without window, scene or sound, as the tools run it: stepped with a fixed
// dt on the calling thread (repeatable: same seed, files and dt give the same battle) or by
// a worker thread with measured time.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/KvString.h"
#include "sim/Battle.h"
#include "sim/RobotGeometry.h"

namespace kv {

struct HeadlessBattleOptions {
    std::vector<KvFile> files;  // one to four; file k takes slot k and its colour
    // When set, the slots as they are (colours, paths and the sources known) instead of files:
    // a battle from a battle file compiles the sources it holds, not the files on disk.
    std::optional<std::array<RobotChoice, KvGameHolder::kMaxRobots>> choices;
    uint32_t seed = 1;          // seeds the set-up's and the simulation's generators
    double dt = 0.001;          // fixed tick, seconds
    double time = 600;          // simulated seconds before stopping
    bool realtime = false;      // run the worker thread with measured, capped dt instead
    double traceEvery = 0;      // trace at the first tick reaching each multiple of this; 0 for none
    RobotGeometry geometry;
};

// Called at every trace sample with the battle time and the living robots' values, on the
// thread that ticks.
using TraceSink = std::function<void(double time, int slot, const RobotValues& values)>;

// Runs one battle. It stops after options.time simulated seconds, or, in a battle of two
// or more robots, as soon as at most one is alive.
BattleOutcome RunHeadlessBattle(const HeadlessBattleOptions& options, const TraceSink& trace = {});

}  // namespace kv
