#include <gtest/gtest.h>

#include <vector>

#include "sim/Scheduler.h"

namespace kv {
namespace {

using Log = std::vector<std::pair<int, double>>;

// Records every step into a shared log; may run an action during its step.
struct Probe : KvProcess {
    Probe(Log* log, int id) : KvProcess(false), log(log), id(id) {}
    ~Probe() override {
        if (destroyed) *destroyed = true;
    }
    void Step(double dt) override {
        log->push_back({id, dt});
        if (action) action();
    }
    Log* log;
    int id;
    bool* destroyed = nullptr;
    std::function<void()> action;
};

struct Scheduler : ::testing::Test {
    Log log;
    FixedTickTimer timer{0.01};
    ProcessScheduler s{&timer};
};

TEST_F(Scheduler, StepsEachProcessOnceATickInCreationOrderFromTheTickAfterItsAddition) {
    std::vector<std::unique_ptr<Probe>> probes;
    for (int i = 0; i < 4; ++i) probes.push_back(std::make_unique<Probe>(&log, i));
    for (int i : {3, 0, 2, 1, 3}) s.Add(probes[i].get(), true, false);
    s.Tick();
    EXPECT_TRUE(log.empty());
    s.Add(probes[0].get(), true, true);
    s.Tick();
    EXPECT_EQ(log, (Log{{0, 0.01}, {1, 0.01}, {2, 0.01}, {3, 0.01}}));
}

TEST_F(Scheduler, AProcessRemovingItselfWithDeletionLivesUntilTheEndOfTheTick) {
    bool destroyed = false;
    auto* self = new Probe(&log, 1);
    self->destroyed = &destroyed;
    Probe later(&log, 2);
    self->action = [&] { s.Remove(self, true, false, true); };
    // The later process still reads the removed one within the same tick.
    later.action = [&] { EXPECT_FALSE(destroyed); EXPECT_EQ(self->id, 1); };
    s.Add(self, true, true);
    s.Add(&later, true, true);
    s.Tick();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(s.Active().size(), 1u);
}

TEST_F(Scheduler, DeletesNothingItWasNotAskedToDeleteOrWasToldToForget) {
    bool destroyed = false;
    Probe stray(&log, 1), kept(&log, 2);
    stray.destroyed = kept.destroyed = &destroyed;
    s.Remove(&stray, true, false, true);  // never added
    s.Add(&kept, true, true);
    s.Remove(&kept, true, false, false);
    s.Tick();
    EXPECT_EQ(log, (Log{{2, 0.01}}));
    EXPECT_TRUE(s.Active().empty());
    // Forget takes a process out of every set at once.
    s.Add(&kept, true, true);
    s.Add(&stray, true, false);
    s.Remove(&kept, true, false, true);
    s.Forget(&kept);
    s.Forget(&stray);
    EXPECT_TRUE(s.Active().empty());
    EXPECT_TRUE(s.PendingAdd().empty());
    EXPECT_TRUE(s.PendingRemove().empty());
    s.Tick();
    EXPECT_FALSE(destroyed);
}

TEST_F(Scheduler, AppliesPendingAdditionsBeforePendingRemovals) {
    Probe a(&log, 1);
    s.Add(&a, true, false);
    s.Remove(&a, true, true, false);  // immediate: nothing active to remove yet
    EXPECT_EQ(s.PendingAdd().size(), 1u);
    s.Tick();
    EXPECT_EQ(s.Active().count(&a), 1u);

    bool destroyed = false;
    auto* child = new Probe(&log, 2);
    child->destroyed = &destroyed;
    a.action = [&] {  // under the scheduler's lock, which steps may take again
        if (destroyed) return;
        s.Add(child, true, false);
        s.Remove(child, true, false, true);
    };
    s.Tick();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(s.Active().size(), 1u);
}

TEST(MeasuredScheduler, PausedTicksStepNothingAndTheFirstTickAfterAPauseIsCapped) {
    Log log;
    double now = 100;
    MeasuredTickTimer timer([&] { return now; });
    ProcessScheduler s(&timer);
    Probe a(&log, 1);
    s.Add(&a, true, true);
    s.Tick();  // the first measurement gives 0
    now += 0.25;
    s.Tick();
    s.SetPaused(true);
    now += 5;
    s.Tick();
    s.SetPaused(false);
    s.Tick();
    now += 0.001;
    s.Tick();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].second, 0);
    EXPECT_DOUBLE_EQ(log[1].second, 0.25);
    EXPECT_EQ(log[2].second, MeasuredTickTimer::kMaxDt);
    EXPECT_NEAR(log[3].second, 0.001, 1e-9);
}

}  // namespace
}  // namespace kv
