#include "sim/HeadlessBattle.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "sim/SimulationThread.h"

namespace kv {

namespace {

void Sample(const KvGameHolder& holder, const TraceSink& trace) {
    const double t = holder.BattleTime();
    for (size_t k = 0; k < holder.robots.size(); ++k) {
        const RobotValues v = holder.robots[k]->Snapshot();
        if (!v.dead) trace(t, holder.robotSlots[k], v);
    }
}

// Due at the first tick whose time reaches each multiple of the interval. A time within a
// millionth of a millionth of a multiple counts as reaching it, so that rounding in the sum
// of dt cannot push a sample one tick late.
class TraceSchedule {
public:
    explicit TraceSchedule(double every) : every_(every) {}
    bool Due(double time) {
        if (!(every_ > 0)) return false;
        const double reached = std::floor(time / every_ * (1 + 1e-12));
        if (reached <= reached_) return false;
        reached_ = reached;
        return true;
    }

private:
    double every_;
    double reached_ = 0;
};

BattleOutcome Failed(const KvBattle& battle) {
    BattleOutcome failed;
    failed.error = battle.Error();
    return failed;
}

}  // namespace

BattleOutcome RunHeadlessBattle(const HeadlessBattleOptions& options, const TraceSink& trace) {
    TraceSchedule schedule(options.traceEvery);
    auto sample = [&](const KvGameHolder& holder) {
        if (trace && schedule.Due(holder.BattleTime())) Sample(holder, trace);
    };
    KvHeightField ground;
    KvBattle battle(ground, options.realtime ? KvBattle::kMeasured : options.dt);
    battle.Holder().SetGeometry(options.geometry);
    if (options.choices) {
        battle.Choose(*options.choices);
    } else {
        battle.Choose(options.files);
    }
    if (!options.realtime) {
        // Only this thread reads the robots, through their snapshots.
        battle.Holder().SetPublishing(false);
        if (!battle.SetUp(options.seed, true)) return Failed(battle);
        // Without a trace, no call per tick.
        battle.RunUntil(options.time, true,
                        trace ? std::function<void()>([&] { sample(battle.Holder()); }) : std::function<void()>());
        return battle.Outcome();
    }

    if (!battle.SetUp(options.seed)) return Failed(battle);
    SimulationThread worker(battle.Scheduler());
    worker.Start(options.seed, [&] {
        sample(battle.Holder());
        return !battle.Decided() && battle.Holder().BattleTime() < options.time;
    }, [&] { return battle.Tick(); });
    while (!worker.Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    worker.Stop();
    return battle.Outcome();
}

}  // namespace kv
