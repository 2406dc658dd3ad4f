#pragma once
// One battle on its own scheduler: the session, its set-up from a seed, and what every tick
// leaves to know (the ticks run, the moment the battle was decided and how it stood then).
// The headless tools tick it on the calling thread; the game's worker ticks it paced to the
// clock. With a fixed dt, the same seed and robot files give the same battle either way.
//
// One seed drives everything a battle draws: the set-up's hills and start points come from
// the set-up thread's generator seeded with it, and the robots' programs (and the marks'
// turns) from the ticking thread's generator, seeded with it again for the first tick. The
// battle carries that generator's state from tick to tick, so the ticks of one battle may run
// on different threads (the worker, then the main thread stepping or seeking) and still draw
// one sequence.
//
// A battle that records its events keeps what each tick showed (deaths, collisions, shells
// fired and exploded, explosions) for the drawing side, which takes them from any thread.
//
// Threads: SetUp, Clear and Outcome run while no tick can (the scheduler paused, or the
// worker not running); Tick runs on one thread at a time. Ticks(), Decided() and TakeEvents
// are safe from any thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "core/KvString.h"
#include "sim/BattleEvent.h"
#include "sim/GameHolder.h"
#include "sim/Robot.h"
#include "sim/Scheduler.h"

namespace kv {

struct RobotOutcome {
    int slot = 0;
    KvString file;  // the file name without its folder
    int32_t colour = 0;
    RobotValues values;  // at the end of the battle, or when it was decided
    KvMachineRecord machine;  // its program's run, through its death if it died
};

struct BattleOutcome {
    bool ok = false;
    KvString error;     // the set-up message when not ok
    double time = 0;    // simulated seconds run
    int64_t ticks = 0;  // ticks run; time / ticks is the mean dt
    int winner = -1;    // slot of the only survivor of a battle of two or more, else -1
    std::vector<RobotOutcome> robots;
};

class KvBattle {
public:
    // A fixed tick, seconds; kMeasured ticks with the real time since the previous tick,
    // capped as the scheduler's measured timer caps it.
    static constexpr double kMeasured = 0;

    // The ground outlives the battle. With recordEvents the battle keeps its events.
    KvBattle(KvHeightField& ground, double dt, bool recordEvents = false);
    ~KvBattle();
    KvBattle(const KvBattle&) = delete;
    KvBattle& operator=(const KvBattle&) = delete;

    // File k takes slot k and its colour; the other slots are left out.
    void Choose(const std::vector<KvFile>& files);
    // The slots as given, with their colours and any sources known.
    void Choose(const std::array<RobotChoice, KvGameHolder::kMaxRobots>& choices) { holder_.choices = choices; }
    // Clears the battle and builds a new one of the session's choices from seed. runAhead
    // lets the machines run ahead of the battle (KvVMachine::RunAhead; fixed dt only). False
    // with the set-up's message in Error() when a robot file is unreadable or wrong.
    bool SetUp(uint32_t seed, bool runAhead = false);
    // Destroys the battle; the session stays registered with the scheduler.
    void Clear();
    const KvString& Error() const { return holder_.SetupError(); }
    uint32_t Seed() const { return seed_; }
    double Dt() const { return dt_; }

    // One tick on the calling thread; false, stepping nothing, while the scheduler is paused.
    bool Tick();
    // The ticks that reach time: ceil(time / dt).
    int64_t TicksFor(double time) const;
    // Ticks on the calling thread until the count reaches TicksFor(time), or the battle is
    // decided when stopWhenDecided. afterTick, when given, runs after every tick.
    void RunUntil(double time, bool stopWhenDecided, const std::function<void()>& afterTick = {});
    // Ticks on the calling thread until Ticks() reaches ticks, paused or not (a worker waits
    // meanwhile), or until the tick PauseAtTick asked for; the pause stands as it was.
    void TickTo(int64_t ticks);
    // The battle pauses the scheduler itself once this many ticks have run; -1 never.
    void PauseAtTick(int64_t ticks) { pauseAt_.store(ticks, std::memory_order_relaxed); }
    // From inside a tick (an observer of a machine): the battle pauses once this tick is
    // complete, so it stays the battle it would have been.
    void PauseAfterThisTick() { pauseAfterTick_ = true; }

    // Ticks run since the set-up, all of them complete.
    int64_t Ticks() const { return ticks_.load(std::memory_order_acquire); }
    // At most one robot of two or more is alive; once true it stays so until the next set-up.
    bool Decided() const { return decided_.load(std::memory_order_acquire); }
    // How the battle stood when it was decided, or stands now. While no tick runs.
    BattleOutcome Outcome() const;
    // How the battle stood at the tick that decided it; from any thread once Decided().
    const BattleOutcome& Decision() const { return decision_; }

    // Moves the recorded events of the ticks up to and including the tick count Ticks()
    // gave into into (after what it holds), in the order they happened; events of a tick
    // still running stay. Events of a cleared battle are dropped.
    void TakeEvents(int64_t throughTick, std::vector<KvBattleEvent>& into);

    KvGameHolder& Holder() { return holder_; }
    const KvGameHolder& Holder() const { return holder_; }
    ProcessScheduler& Scheduler() { return scheduler_; }

private:
    // The session's presenter when events are recorded: each hook becomes an event.
    class Recorder : public KvBattlePresenter {
    public:
        explicit Recorder(KvBattle& battle) : battle_(battle) {}
        void RobotDied(KvGLRobot& robot) override;
        void Collision(KvGLRobot& robot, const KvVec3& scenePoint) override;
        void ShellFired(KvRocket& rocket) override;
        void ShellExploded(KvRocket& rocket) override;
        void Explosion(const KvVec3& scenePoint, double markRotation) override;

    private:
        KvBattleEvent Event(KvBattleEvent::Kind kind) const;
        void Keep(const KvBattleEvent& event);
        KvBattle& battle_;
    };

    double dt_;
    Recorder recorder_{*this};
    FixedTickTimer fixed_;
    // Declared before the session, which clears its battle through the scheduler.
    ProcessScheduler scheduler_;
    KvGameHolder holder_;
    uint32_t seed_ = 0;
    uint32_t randomState_ = 0;  // the ticking generator's, between ticks; under the scheduler mutex
    std::atomic<int64_t> ticks_{0};
    std::atomic<int64_t> pauseAt_{-1};
    bool pauseAfterTick_ = false;  // under the scheduler mutex
    std::atomic<bool> decided_{false};
    BattleOutcome decision_;  // written by the tick that decided the battle
    std::mutex eventsMutex_;
    std::vector<KvBattleEvent> events_;  // under eventsMutex_
};

}  // namespace kv
