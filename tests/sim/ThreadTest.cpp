#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

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
    for (int k = 0; k < 4; ++k) holder.choices[k] = {true, k, KvFile((kRobots + "/" + files[k]).c_str()), std::nullopt};

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

// The worker waits out a pause instead of ticking through it; the first tick after the pause
// measures all of it, capped; and a worker stopped while paused leaves its loop.
TEST(SimulationThread, WaitsWhilePausedAndMeasuresThePauseInTheFirstTickAfterIt) {
    std::atomic<double> now{100};
    MeasuredTickTimer timer([&] { return now.load(); });
    ProcessScheduler scheduler(&timer);
    struct Recorder : KvProcess {
        Recorder() : KvProcess(false) {}
        void Step(double dt) override { dts.push_back(dt); }
        std::vector<double> dts;  // under the scheduler mutex
    } recorder;
    scheduler.Add(&recorder, true, true);
    auto steps = [&] {
        std::lock_guard held(scheduler.Mutex());
        return recorder.dts.size();
    };

    std::atomic<int64_t> ticks{0};
    SimulationThread worker(scheduler);
    worker.Start(1, [&] {
        ticks.fetch_add(1);
        return true;
    });
    while (steps() < 3) std::this_thread::yield();

    scheduler.SetPaused(true);
    const size_t before = steps();
    const int64_t ticksAtPause = ticks.load();
    now = now + 5;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // The tick running when the pause came, and one that found it paused, at most.
    EXPECT_LE(ticks.load() - ticksAtPause, 2);
    EXPECT_EQ(steps(), before);

    scheduler.SetPaused(false);
    while (steps() < before + 2) std::this_thread::yield();
    scheduler.SetPaused(true);
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    ASSERT_GE(recorder.dts.size(), before + 2);
    EXPECT_EQ(recorder.dts[before], MeasuredTickTimer::kMaxDt);
    EXPECT_EQ(recorder.dts[before + 1], 0);
    scheduler.Forget(&recorder);
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
