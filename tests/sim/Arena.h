#pragma once
// A battle session without robot files: robots are placed by hand and stepped by a fixed tick.

#include <memory>
#include <string>
#include <vector>

#include "sim/GameHolder.h"
#include "sim/Rocket.h"
#include "vm/VMachine.h"

namespace kv::test {

// Counts what the battle would show.
struct CountingPresenter : KvBattlePresenter {
    void ShowSetupError(const KvString& message) override { errors.push_back(message.Std()); }
    void RobotAdded(KvGLRobot&) override { ++added; }
    void RobotDied(KvGLRobot&) override { ++died; }
    void Collision(KvGLRobot&, const KvVec3&) override { ++collisions; }
    void ShellFired(KvRocket&) override { ++fired; }
    void ShellExploded(KvRocket&) override { ++exploded; }
    void Explosion(const KvVec3&, double rotation) override { rotations.push_back(rotation); }
    std::vector<std::string> errors;
    int added = 0, died = 0, collisions = 0, fired = 0, exploded = 0;
    std::vector<double> rotations;
};

struct Arena {
    explicit Arena(double dt = 0.001) : timer(dt), scheduler(&timer), holder(scheduler, ground, &presenter) {
        scheduler.Add(&holder, true, true);
    }
    ~Arena() { scheduler.Forget(&holder); }

    // A robot at p, active from the next tick; with a machine when withMachine.
    KvGLRobot* Place(Vec2 p, double heading = 0, bool withMachine = false) {
        auto* robot = new KvGLRobot("test.r", static_cast<int32_t>(holder.robots.size() % 4));
        robot->SetPosition(p);
        robot->heading = heading;
        robot->SetHolder(&holder);
        holder.robots.push_back(robot);
        holder.robotSlots.push_back(static_cast<int>(holder.robots.size()) - 1);
        holder.Add(robot);
        KvVMachine* machine = nullptr;
        if (withMachine) {
            machine = new KvVMachine();
            machine->AttachRobot(robot);
            holder.Add(machine);
        }
        holder.machines.push_back(machine);
        scheduler.Flush();
        return robot;
    }

    // A robot file from the test robots for the battle's slot.
    void Choose(int slot, const char* file) {
        holder.choices[slot] = {true, slot, KvFile((std::string(KV_TEST_ROBOTS "/") + file).c_str()), std::nullopt};
    }

    // The ranges of the shells in flight.
    std::vector<double> ShellRanges() const {
        std::vector<double> ranges;
        for (KvProcess* p : holder.objects) {
            if (auto* rocket = dynamic_cast<KvRocket*>(p)) ranges.push_back(rocket->range);
        }
        return ranges;
    }

    void Run(double seconds) {
        const int ticks = static_cast<int>(seconds / timer.NextDt() + 0.5);
        for (int i = 0; i < ticks; ++i) scheduler.Tick();
    }

    FixedTickTimer timer;
    ProcessScheduler scheduler;
    KvHeightField ground;
    CountingPresenter presenter;
    KvGameHolder holder;
};

}  // namespace kv::test
