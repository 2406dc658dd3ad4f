#include "sim/HeadlessBattle.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "core/Random.h"
#include "sim/GameHolder.h"
#include "sim/SimulationThread.h"
#include "vm/VMachine.h"

namespace kv {

namespace {

// Keeps the set-up message instead of showing it.
class SetupErrors : public KvBattlePresenter {
public:
    void ShowSetupError(const KvString& message) override { error = message; }
    KvString error;
};

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

bool Decided(const KvGameHolder& holder) { return holder.robots.size() >= 2 && holder.AliveCount() <= 1; }

BattleOutcome Collect(const KvGameHolder& holder) {
    BattleOutcome outcome;
    outcome.ok = true;
    outcome.time = holder.BattleTime();
    int alive = 0, survivor = -1;
    for (size_t k = 0; k < holder.robots.size(); ++k) {
        const KvGLRobot& r = *holder.robots[k];
        const RobotOutcome o{holder.robotSlots[k], r.name, r.colourIndex, r.Snapshot()};
        outcome.robots.push_back(o);
        if (!o.values.dead) {
            ++alive;
            survivor = o.slot;
        }
    }
    if (holder.robots.size() >= 2 && alive == 1) outcome.winner = survivor;
    return outcome;
}

}  // namespace

BattleOutcome RunHeadlessBattle(const HeadlessBattleOptions& options, const TraceSink& trace) {
    FixedTickTimer fixed(options.dt);
    // Declared before the session, which clears its battle through the scheduler.
    ProcessScheduler scheduler(options.realtime ? nullptr : &fixed);
    SimulationThread worker(scheduler);
    KvHeightField ground;
    SetupErrors errors;
    KvGameHolder holder(scheduler, ground, &errors);
    holder.SetGeometry(options.geometry);
    for (size_t k = 0; k < options.files.size() && k < KvGameHolder::kMaxRobots; ++k) {
        holder.choices[k].enabled = true;
        holder.choices[k].colour = static_cast<int32_t>(k);
        holder.choices[k].path = options.files[k];
    }

    // The set-up draws hills and start points from this thread's generator, the robots'
    // programs from the worker's; both start from the seed.
    SeedRandom(options.seed);
    scheduler.Add(&holder, true, true);
    const bool ready = holder.SetupBattle();
    if (!ready) {
        scheduler.Forget(&holder);
        BattleOutcome failed;
        failed.error = errors.error;
        return failed;
    }

    // After every tick: a trace sample when one is due, and whether to go on.
    TraceSchedule schedule(options.traceEvery);
    int64_t ticks = 0;
    auto afterTick = [&] {
        ++ticks;
        if (trace && schedule.Due(holder.BattleTime())) Sample(holder, trace);
        return !Decided(holder);
    };
    if (!options.realtime) {
        // Every tick has the same dt, so the machines may run ahead of the battle.
        for (KvVMachine* machine : holder.machines) machine->RunAhead();
        SeedRandom(options.seed);
        const auto last = static_cast<int64_t>(std::ceil(options.time / options.dt - 1e-9));
        std::lock_guard ticking(scheduler.Mutex());  // once, not once per tick
        for (int64_t n = 1; n <= last; ++n) {
            scheduler.Tick();
            if (!afterTick()) break;
        }
    } else {
        worker.Start(options.seed, [&] { return afterTick() && holder.BattleTime() < options.time; });
        while (!worker.Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        worker.Stop();
    }
    BattleOutcome outcome = Collect(holder);
    outcome.ticks = ticks;
    scheduler.Forget(&holder);
    return outcome;
}

}  // namespace kv
