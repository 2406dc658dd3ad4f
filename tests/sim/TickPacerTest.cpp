// The game's paced worker against a clock the test moves: battle time follows the clock times
// the speed, a pause stops it exactly and is not made up for, and a clock running ahead of
// what the machine can tick makes battle time run slower, never in coarser steps.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "sim/SimulationThread.h"
#include "sim/TickPacer.h"

namespace kv {
namespace {

class PacedTicks : public ::testing::Test {
protected:
    void SetUp() override {
        worker.StartPaced(1, [this] { return Tick(); }, pacer, [this] { return now.load(); });
        At(100, 1);  // the first tick is due at once
    }
    void TearDown() override { worker.Stop(); }
    bool Tick() {
        std::lock_guard held(scheduler.Mutex());
        if (scheduler.Paused()) return false;
        ticks.fetch_add(1);
        return true;
    }
    // Moves the clock to t and waits until the worker has run what is due by then (the
    // clock's decimals may leave the last tick a rounding away).
    void At(double t, int64_t expected) {
        now.store(t);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (ticks.load() < expected - 1 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));  // nothing more comes
        EXPECT_NEAR(static_cast<double>(ticks.load()), static_cast<double>(expected), 1) << "at " << t;
        ticks.store(expected);  // counted from the due ticks on
    }

    ProcessScheduler scheduler;
    KvTickPacer pacer{0.001};
    SimulationThread worker{scheduler};
    std::atomic<double> now{100};
    std::atomic<int64_t> ticks{0};
};

TEST_F(PacedTicks, BattleTimeFollowsTheClockTimesTheSpeed) {
    At(100.25, 251);
    pacer.SetSpeed(1.0 / 8);
    At(100.25, 252);  // a new speed starts afresh from now
    At(101.25, 377);
    pacer.SetSpeed(16);
    At(101.25, 378);
    int64_t expected = 378;
    for (int k = 1; k <= 20; ++k) {
        expected += 160;  // 10 ms of the clock, 160 ms of battle
        At(101.25 + k * 0.01, expected);
    }
}

TEST_F(PacedTicks, APauseStopsBattleTimeAndIsNotMadeUpFor) {
    At(100.25, 251);
    scheduler.SetPaused(true);
    At(107, 251);
    scheduler.SetPaused(false);
    At(107, 252);
    At(107.1, 352);
}

TEST_F(PacedTicks, AClockFarAheadRunsAtMostAFewTenthsOfBattleAtOnce) {
    // Ten seconds of the clock at once: 0.3 s of battle, then on from there.
    At(110, 301);
    At(110.1, 401);
}

}  // namespace
}  // namespace kv
