#include "sim/Battle.h"

#include <cmath>
#include <cstdint>
#include <mutex>

#include "core/Random.h"
#include "vm/VMachine.h"

namespace kv {

namespace {

bool IsDecided(const KvGameHolder& holder) { return holder.robots.size() >= 2 && holder.AliveCount() <= 1; }

BattleOutcome Collect(const KvGameHolder& holder, int64_t ticks) {
    BattleOutcome outcome;
    outcome.ok = true;
    outcome.time = holder.BattleTime();
    outcome.ticks = ticks;
    int alive = 0, survivor = -1;
    for (size_t k = 0; k < holder.robots.size(); ++k) {
        const KvGLRobot& r = *holder.robots[k];
        KvMachineRecord run;
        if (const KvVMachine* machine = holder.machines[k]) run = machine->Record();
        else if (k < holder.retiredRecords.size()) run = holder.retiredRecords[k];
        const RobotOutcome o{holder.robotSlots[k], r.name, r.colourIndex, r.Snapshot(), run};
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

KvBattle::KvBattle(KvHeightField& ground, double dt, bool recordEvents)
    : dt_(dt),
      fixed_(dt),
      scheduler_(dt > 0 ? &fixed_ : nullptr),
      holder_(scheduler_, ground, recordEvents ? &recorder_ : nullptr) {
    scheduler_.Add(&holder_, true, true);
}

KvBattle::~KvBattle() {
    holder_.Clear();
    scheduler_.Forget(&holder_);
}

void KvBattle::Choose(const std::vector<KvFile>& files) { holder_.choices = ChoicesOf(files); }

void KvBattle::Clear() {
    holder_.Clear();
    {
        std::lock_guard held(eventsMutex_);
        events_.clear();
    }
    ticks_.store(0, std::memory_order_release);
    decided_.store(false, std::memory_order_release);
    decision_ = BattleOutcome();
}

bool KvBattle::SetUp(uint32_t seed, bool runAhead) {
    Clear();
    seed_ = seed;
    SeedRandom(seed);
    const bool ready = holder_.SetupBattle();
    if (ready && runAhead && dt_ > 0) {
        // Every tick has the same dt, so the machines may run ahead of the battle.
        for (KvVMachine* machine : holder_.machines) machine->RunAhead();
    }
    std::lock_guard held(scheduler_.Mutex());
    randomState_ = seed;
    pauseAfterTick_ = false;
    return ready;
}

bool KvBattle::Tick() {
    std::lock_guard held(scheduler_.Mutex());
    const int64_t pauseAt = pauseAt_.load(std::memory_order_relaxed);
    if (pauseAt >= 0 && ticks_.load(std::memory_order_relaxed) >= pauseAt) {
        scheduler_.SetPaused(true);
        return false;
    }
    // The scheduler does nothing while paused; the generator is seeded with what it has.
    SeedRandom(randomState_);
    if (!scheduler_.Tick()) return false;
    randomState_ = RandomState();
    const int64_t ticks = ticks_.load(std::memory_order_relaxed) + 1;
    if (!decided_.load(std::memory_order_relaxed) && IsDecided(holder_)) {
        decision_ = Collect(holder_, ticks);
        decided_.store(true, std::memory_order_release);
    }
    ticks_.store(ticks, std::memory_order_release);
    if (ticks == pauseAt || pauseAfterTick_) {
        scheduler_.SetPaused(true);
        pauseAfterTick_ = false;
    }
    return true;
}

int64_t KvBattle::TicksFor(double time) const {
    if (!(dt_ > 0)) return 0;
    const double ticks = std::ceil(time / dt_ - 1e-9);
    // Far beyond any battle: a count that would not fit waits for ever.
    if (!(ticks < 9.0e18)) return INT64_MAX;
    return ticks > 0 ? static_cast<int64_t>(ticks) : 0;
}

void KvBattle::RunUntil(double time, bool stopWhenDecided, const std::function<void()>& afterTick) {
    const int64_t last = TicksFor(time);
    std::lock_guard ticking(scheduler_.Mutex());  // once, not once per tick
    while (Ticks() < last && !(stopWhenDecided && Decided())) {
        if (!Tick()) return;
        if (afterTick) afterTick();
    }
}

void KvBattle::TickTo(int64_t ticks) {
    std::lock_guard held(scheduler_.Mutex());
    const bool paused = scheduler_.Paused();
    if (paused) scheduler_.SetPaused(false);
    while (Ticks() < ticks && Tick()) {
    }
    if (paused) scheduler_.SetPaused(true);
}

BattleOutcome KvBattle::Outcome() const { return Decided() ? decision_ : Collect(holder_, Ticks()); }

}  // namespace kv

namespace kv {

void KvBattle::TakeEvents(int64_t throughTick, std::vector<KvBattleEvent>& into) {
    std::lock_guard held(eventsMutex_);
    size_t taken = 0;
    while (taken < events_.size() && events_[taken].tick <= throughTick) into.push_back(events_[taken++]);
    events_.erase(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(taken));
}

KvBattleEvent KvBattle::Recorder::Event(KvBattleEvent::Kind kind) const {
    KvBattleEvent event;
    event.kind = kind;
    event.tick = battle_.ticks_.load(std::memory_order_relaxed) + 1;  // the tick running now
    return event;
}

void KvBattle::Recorder::Keep(const KvBattleEvent& event) {
    std::lock_guard held(battle_.eventsMutex_);
    battle_.events_.push_back(event);
}

void KvBattle::Recorder::RobotDied(KvGLRobot& robot) {
    KvBattleEvent event = Event(KvBattleEvent::Kind::RobotDied);
    event.robot = &robot;
    event.values = robot.Snapshot();
    Keep(event);
}

void KvBattle::Recorder::Collision(KvGLRobot& robot, const KvVec3& scenePoint) {
    KvBattleEvent event = Event(KvBattleEvent::Kind::Collision);
    event.robot = &robot;
    event.point = scenePoint;
    Keep(event);
}

void KvBattle::Recorder::ShellFired(KvRocket& rocket) {
    KvBattleEvent event = Event(KvBattleEvent::Kind::ShellFired);
    event.shell = rocket.Flight();
    Keep(event);
}

void KvBattle::Recorder::ShellExploded(KvRocket& rocket) {
    KvBattleEvent event = Event(KvBattleEvent::Kind::ShellExploded);
    event.shell.id = rocket.sequence;
    Keep(event);
}

void KvBattle::Recorder::Explosion(const KvVec3& scenePoint, double markRotation) {
    KvBattleEvent event = Event(KvBattleEvent::Kind::Explosion);
    event.point = scenePoint;
    event.rotation = markRotation;
    Keep(event);
}

}  // namespace kv
