#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/Random.h"
#include "sim/GameHolder.h"
#include "sim/SimulationThread.h"

namespace kv {
namespace {

const std::string kRobots = KV_TEST_ROBOTS;

// The game's two threads: the worker ticks with measured time; the main thread reads robot
// values as the frame does, and pauses, clears and sets up new battles as New and Restart do.
TEST(SimulationThread, RunsBattlesWhileTheMainThreadRestartsAndReadsThem) {
    ProcessScheduler scheduler;
    KvHeightField ground;
    KvGameHolder holder(scheduler, ground);
    const char* files[] = {"rover.r", "shooter.r", "rammer.r", "hostile.r"};
    for (int k = 0; k < 4; ++k) holder.choices[k] = {true, k, KvFile((kRobots + "/" + files[k]).c_str())};

    SeedRandom(77);
    SimulationThread worker(scheduler);
    worker.Start(77);
    scheduler.Add(&holder, true, false);

    for (int round = 0; round < 6; ++round) {
        scheduler.SetPaused(true);
        holder.Clear();
        ground.GenerateHills();
        ASSERT_TRUE(holder.SetupBattle());
        scheduler.SetPaused(false);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(60);
        while (std::chrono::steady_clock::now() < end) {
            for (const KvGLRobot* robot : holder.robots) {
                const RobotValues v = robot->Values();
                ASSERT_GE(v.position.x, 0);
                ASSERT_LE(v.position.x, 999);
                ASSERT_LE(v.damage, 100);
            }
            (void)holder.AliveCount();
            (void)holder.BattleTime();
            std::this_thread::yield();
        }
    }
    worker.Stop();
    holder.Clear();
    scheduler.Forget(&holder);
}

// A frame reading a robot while the worker publishes gets one step's values, never x from
// one step and y from the next.
TEST(RobotValues, AReaderGetsEveryFieldFromTheSamePublication) {
    Published<RobotValues> shown;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int32_t n = 1; !stop.load(std::memory_order_relaxed); ++n) {
            RobotValues v;
            v.position = {double(n), -double(n)};
            v.heading = v.speed = v.damage = v.reloadTimer = v.cannonDirection = v.deathTime = n;
            v.scanDirection = v.shots = n;
            v.cannonReady = n % 2 == 0;
            v.dead = n % 2 == 1;
            shown.Store(v);
        }
    });
    int mixed = 0;
    for (int i = 0; i < 100000; ++i) {
        const RobotValues v = shown.Load();
        const double n = v.heading;
        const bool even = static_cast<int64_t>(n) % 2 == 0;
        if (v.position.x != n || v.position.y != -n || v.speed != n || v.damage != n || v.reloadTimer != n ||
            v.cannonDirection != n || v.deathTime != n || v.scanDirection != n || v.shots != n ||
            v.cannonReady != (even && n > 0) || v.dead != !even)
            ++mixed;
    }
    stop.store(true);
    writer.join();
    EXPECT_EQ(mixed, 0);
}

}  // namespace
}  // namespace kv
