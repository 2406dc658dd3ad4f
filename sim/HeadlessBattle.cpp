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

void Choose(KvGameHolder& holder, const HeadlessBattleOptions& options) {
    holder.SetGeometry(options.geometry);
    for (size_t k = 0; k < options.files.size() && k < KvGameHolder::kMaxRobots; ++k) {
        holder.choices[k].enabled = true;
        holder.choices[k].colour = static_cast<int32_t>(k);
        holder.choices[k].path = options.files[k];
    }
}

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

HeadlessBattle::HeadlessBattle(const HeadlessBattleOptions& options, KvHeightField& ground,
                               KvBattlePresenter* presenter)
    : options_(options), timer_(options.dt), scheduler_(&timer_), holder_(scheduler_, ground, presenter) {
    Choose(holder_, options_);
}

HeadlessBattle::~HeadlessBattle() {
    holder_.Clear();
    scheduler_.Forget(&holder_);
}

bool HeadlessBattle::SetUp() {
    // The set-up draws hills and start points, the robots' programs draw later; both start
    // from the seed.
    SeedRandom(options_.seed);
    scheduler_.Add(&holder_, true, true);
    if (!holder_.SetupBattle()) return false;
    // Every tick has the same dt, so the machines may run ahead of the battle.
    for (KvVMachine* machine : holder_.machines) machine->RunAhead();
    SeedRandom(options_.seed);
    return true;
}

bool HeadlessBattle::RunUntil(double time, const std::function<void()>& afterTick) {
    const auto last = static_cast<int64_t>(std::ceil(time / options_.dt - 1e-9));
    std::lock_guard ticking(scheduler_.Mutex());  // once, not once per tick
    while (ticks_ < last && !Decided()) {
        scheduler_.Tick();
        ++ticks_;
        if (afterTick) afterTick();
    }
    return !Decided();
}

bool HeadlessBattle::Decided() const { return kv::Decided(holder_); }

BattleOutcome HeadlessBattle::Outcome() const {
    BattleOutcome outcome = Collect(holder_);
    outcome.ticks = ticks_;
    return outcome;
}

BattleOutcome RunHeadlessBattle(const HeadlessBattleOptions& options, const TraceSink& trace) {
    TraceSchedule schedule(options.traceEvery);
    auto sample = [&](const KvGameHolder& holder) {
        if (trace && schedule.Due(holder.BattleTime())) Sample(holder, trace);
    };
    if (!options.realtime) {
        KvHeightField ground;
        HeadlessBattle battle(options, ground);
        // Only this thread reads the robots, through their snapshots.
        battle.Holder().SetPublishing(false);
        if (!battle.SetUp()) {
            BattleOutcome failed;
            failed.error = battle.Error();
            return failed;
        }
        // Without a trace, no call per tick.
        battle.RunUntil(options.time, trace ? std::function<void()>([&] { sample(battle.Holder()); })
                                            : std::function<void()>());
        return battle.Outcome();
    }

    ProcessScheduler scheduler;
    SimulationThread worker(scheduler);
    KvHeightField ground;
    KvGameHolder holder(scheduler, ground);
    Choose(holder, options);
    SeedRandom(options.seed);
    scheduler.Add(&holder, true, true);
    if (!holder.SetupBattle()) {
        scheduler.Forget(&holder);
        BattleOutcome failed;
        failed.error = holder.SetupError();
        return failed;
    }
    int64_t ticks = 0;
    worker.Start(options.seed, [&] {
        ++ticks;
        sample(holder);
        return !Decided(holder) && holder.BattleTime() < options.time;
    });
    while (!worker.Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    worker.Stop();
    BattleOutcome outcome = Collect(holder);
    outcome.ticks = ticks;
    holder.Clear();
    scheduler.Forget(&holder);
    return outcome;
}

}  // namespace kv
