#pragma once
// The battle session: builds a battle from the chosen robot files, owns every process of
// it, checks robot-robot collisions once per tick, answers scans, carries out explosions
// and tears the battle down again. It is itself a process, stepped every tick with or
// without a battle.
//
// Ownership: `objects` owns every live process of the battle, `retired` the dead robots
// taken off the scheduler; `robots` and `machines` only point into them. SetupBattle and
// Clear run with the scheduler paused; everything else runs inside a tick. Debug builds
// assert both, and so the thread of every presenter hook (see BattlePresenter.h).

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/KahanSum.h"
#include "core/KvString.h"
#include "sim/BattlePresenter.h"
#include "sim/HeightField.h"
#include "sim/Robot.h"
#include "sim/RobotGeometry.h"
#include "sim/Scheduler.h"
#include "vm/MachineRecord.h"

namespace kv {

class KvVMachine;

// One slot of the choose-robots dialog.
struct RobotChoice {
    bool enabled = false;
    int32_t colour = 0;  // 0..3, the slot's colour
    KvFile path;
    // The program's text when it is known already (a battle file's, or a battle seen again
    // after its files changed); the path then only names the robot. Read from path if not.
    std::optional<std::string> source;
};

class KvGameHolder : public KvProcess {
public:
    static constexpr int kMaxRobots = 4;
    static constexpr double kMinStartDistance = 200;
    static constexpr double kBroadTest = 200;  // Manhattan distance beyond which robots never touch

    // The scheduler and the ground outlive the session. presenter may be null (headless).
    KvGameHolder(ProcessScheduler& scheduler, KvHeightField& ground, KvBattlePresenter* presenter = nullptr);
    // Clears any battle left.
    ~KvGameHolder() override;
    KvGameHolder(const KvGameHolder&) = delete;
    KvGameHolder& operator=(const KvGameHolder&) = delete;

    // Builds a battle from `choices`: new hills, then one robot and machine per enabled
    // choice, placed by the calling thread's generator. On a set-up problem shows its
    // message, builds nothing and returns false. Call after Clear, with the scheduler paused.
    bool SetupBattle();
    // Destroys the current battle. Call with the scheduler paused or stopped. First every
    // hook, while every object still exists: RobotCleared for each robot in creation order,
    // ShellCleared for each shell in flight, ProcessCleared for each other process, retired or
    // live, that is neither a robot nor a machine; then the deletions.
    void Clear();
    // Registers a process of the battle with the scheduler (at the end of the tick).
    void Add(KvProcess* process);
    // Takes a process of the battle off the scheduler at the end of the tick; deleted then
    // if deleteIt, else kept in `retired` until Clear. Processes not in `objects` are ignored.
    void Remove(KvProcess* process, bool deleteIt);
    // Distance to the nearest living robot other than robot within resolution degrees of
    // direction (both already folded and clamped), or 0.
    int32_t Scan(const KvGLRobot& robot, int32_t direction, int32_t resolution) const;
    // A shell's explosion at an arena point: the flash, the mark, damage by distance.
    void Explode(Vec2 point);
    // The robot-robot collision check.
    void Step(double dt) override;

    // A dead robot's machine is removed and deleted, its own process kept until Clear.
    void Retire(KvGLRobot& robot);
    // The scene point (x, ground height, z) of an arena point.
    KvVec3 ScenePoint(Vec2 p) const;
    // Simulated seconds since the battle was set up; safe from any thread.
    double BattleTime() const { return battleTime_.load(std::memory_order_relaxed); }
    // The robots alive now. Safe on the main thread while the worker ticks (the robot list
    // changes only in set-up and Clear, which the main thread runs itself).
    int AliveCount() const;

    void SetGeometry(const RobotGeometry& geometry) { geometry_ = geometry; }
    const RobotGeometry& Geometry() const { return geometry_; }
    KvHeightField& Ground() const { return ground_; }
    ProcessScheduler& Scheduler() const { return scheduler_; }
    // The presenter for a tick hook: asserts (in debug builds) that the caller may touch
    // the simulation, i.e. runs the tick or no tick can run.
    KvBattlePresenter* Presenter() const;
    // The message of the last set-up that failed (also shown through the presenter).
    const KvString& SetupError() const { return setupError_; }
    void SetPresenter(KvBattlePresenter* presenter) { presenter_ = presenter; }
    // Whether the robots of battles set up from now on publish their values for other
    // threads (KvGLRobot::SetPublishing). On unless a battle nobody watches turns it off.
    void SetPublishing(bool on) { publishing_ = on; }

    std::array<RobotChoice, kMaxRobots> choices;
    // Creation order of the enabled choices; the slot of robot k is robotSlots[k].
    std::vector<KvGLRobot*> robots;
    std::vector<KvVMachine*> machines;  // null once the robot has died
    std::vector<KvMachineRecord> retiredRecords;  // a dead robot's machine's, kept at its death
    std::vector<int> robotSlots;
    ProcessSet objects;
    ProcessSet retired;
    std::array<bool, kMaxRobots> collided{};
    std::array<double, kMaxRobots> robotCooldown{};

private:
    static constexpr double kTopSpeed = 100;
    // The most two robots can close their Manhattan distance per second: both at the top
    // speed, diagonally (2 x 100 x sqrt 2, rounded up).
    static constexpr double kMaxClosing = 300;
    static constexpr double kFarAway = 1e9;

    struct Abandon {};
    void Fail(const KvString& message);
    void ClearedHooks();
    // Marks the living pairs whose footprints meet; keeps how far apart the nearest pair
    // is. True when some pair touches.
    bool CheckPairs();
    // The Manhattan distance below which two robots may touch at their next positions,
    // when neither moves more than the top speed times maxDt in a step; at most the broad test.
    double PairReach(double maxDt);
    // Stops the robots that touch, with their damage; frees the others.
    void Hold(double dt);

    ProcessScheduler& scheduler_;
    KvHeightField& ground_;
    KvBattlePresenter* presenter_;
    RobotGeometry geometry_;
    KvString setupError_;
    std::atomic<double> battleTime_{0};
    std::atomic<int> deaths_{0};  // robots retired since the battle was set up
    KvKahanSum timeSum_;  // battleTime_ with its compensation; the machines read it in their steps
    // No two living robots are nearer (Manhattan) than this; negative until the first look.
    double nearestBound_ = -1;
    double reachDt_ = -1, reach_ = 0;  // PairReach's latest question and answer
    size_t checkedRobots_ = 0;  // the number of robots at the last look
    double lastDt_ = 0;
    // Some robot is stopped or cooling down; when not, Hold would change nothing.
    bool holding_ = true;
    bool publishing_ = true;
};

using RobotChoices = std::array<RobotChoice, KvGameHolder::kMaxRobots>;

// File k in slot k with the slot's colour; the slots after the files left out.
RobotChoices ChoicesOf(const std::vector<KvFile>& files);
// Reads the program text of every enabled choice that has none yet, so that battles set up
// again later compile what was read now. A file that cannot be read keeps only its path: the
// set-up reports it, in the order it meets the files.
void ReadSources(RobotChoices& choices);

}  // namespace kv
