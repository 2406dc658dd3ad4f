#include <gtest/gtest.h>

#include <vector>

#include "sim/Scheduler.h"

namespace kv {
namespace {

// Records every step into a shared log; may run an action during its step.
struct Probe : KvProcess {
    explicit Probe(std::vector<std::pair<int, double>>* log, int id) : KvProcess(false), log(log), id(id) {}
    ~Probe() override {
        if (destroyed) *destroyed = true;
    }
    void Step(double dt) override {
        log->push_back({id, dt});
        if (action) action();
    }
    std::vector<std::pair<int, double>>* log;
    int id;
    bool* destroyed = nullptr;
    std::function<void()> action;
};

struct FakeClock {
    double now = 100;
    std::function<double()> Fn() {
        return [this] { return now; };
    }
};

TEST(Scheduler, AddedProcessesBecomeActiveAtTheEndOfTheTick) {
    std::vector<std::pair<int, double>> log;
    FixedTickTimer timer(0.01);
    ProcessScheduler s(&timer);
    Probe a(&log, 1);
    s.Add(&a, true, false);
    s.Tick();
    EXPECT_TRUE(log.empty());
    s.Tick();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].second, 0.01);
}

TEST(Scheduler, AddingTheSameProcessTwiceStepsItOncePerTick) {
    std::vector<std::pair<int, double>> log;
    FixedTickTimer timer(0.01);
    ProcessScheduler s(&timer);
    Probe a(&log, 1);
    s.Add(&a, true, false);
    s.Add(&a, true, false);
    s.Add(&a, true, true);
    s.Tick();
    s.Tick();
    EXPECT_EQ(log.size(), 2u);
}

TEST(Scheduler, StepsProcessesInCreationOrderWithTheSameDt) {
    std::vector<std::pair<int, double>> log;
    FixedTickTimer timer(0.02);
    ProcessScheduler s(&timer);
    std::vector<std::unique_ptr<Probe>> probes;
    for (int i = 0; i < 5; ++i) probes.push_back(std::make_unique<Probe>(&log, i));
    for (int i : {3, 0, 4, 1, 2}) s.Add(probes[i].get(), true, true);
    s.Tick();
    ASSERT_EQ(log.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(log[i].first, i);
        EXPECT_EQ(log[i].second, 0.02);
    }
}

TEST(Scheduler, AProcessRemovingItselfWithDeletionLivesUntilTheEndOfTheTick) {
    std::vector<std::pair<int, double>> log;
    FixedTickTimer timer(0.01);
    ProcessScheduler s(&timer);
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
    EXPECT_EQ(log.size(), 2u);
}

TEST(Scheduler, RemovingAProcessThatWasNeverAddedNeitherStepsNorDeletesIt) {
    std::vector<std::pair<int, double>> log;
    FixedTickTimer timer(0.01);
    ProcessScheduler s(&timer);
    bool destroyed = false;
    Probe stray(&log, 1);
    stray.destroyed = &destroyed;
    s.Remove(&stray, true, false, true);
    s.Tick();
    EXPECT_FALSE(destroyed);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(s.PendingRemove().empty());
    stray.destroyed = nullptr;
}

TEST(Scheduler, AnImmediateRemovalLeavesAPendingAdditionPending) {
    std::vector<std::pair<int, double>> log;
    FixedTickTimer timer(0.01);
    ProcessScheduler s(&timer);
    Probe a(&log, 1);
    s.Add(&a, true, false);
    s.Remove(&a, true, true, false);
    EXPECT_EQ(s.PendingAdd().size(), 1u);
    s.Tick();
    EXPECT_EQ(s.Active().count(&a), 1u);
}

TEST(Scheduler, AProcessAddedAndRemovedInOneTickEndsRemovedAndDeleted) {
    std::vector<std::pair<int, double>> log;
    FixedTickTimer timer(0.01);
    ProcessScheduler s(&timer);
    bool destroyed = false;
    auto* child = new Probe(&log, 2);
    child->destroyed = &destroyed;
    Probe parent(&log, 1);
    parent.action = [&] {
        if (destroyed || parent.log->size() > 1) return;
        s.Add(child, true, false);
        s.Remove(child, true, false, true);
    };
    s.Add(&parent, true, true);
    s.Tick();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(s.Active().size(), 1u);
}

TEST(Scheduler, ForgetTakesAProcessOutOfEverySetWithoutDeletingIt) {
    std::vector<std::pair<int, double>> log;
    FixedTickTimer timer(0.01);
    ProcessScheduler s(&timer);
    Probe a(&log, 1), b(&log, 2);
    s.Add(&a, true, false);
    s.Add(&b, true, true);
    s.Remove(&b, true, false, false);
    s.Forget(&a);
    s.Forget(&b);
    EXPECT_TRUE(s.Active().empty());
    EXPECT_TRUE(s.PendingAdd().empty());
    EXPECT_TRUE(s.PendingRemove().empty());
}

TEST(Scheduler, PausedTicksStepNothingAndTheFirstTickAfterAPauseIsCapped) {
    std::vector<std::pair<int, double>> log;
    FakeClock clock;
    MeasuredTickTimer timer(clock.Fn());
    ProcessScheduler s(&timer);
    Probe a(&log, 1);
    s.Add(&a, true, true);
    s.Tick();  // the first measurement gives 0
    clock.now += 0.25;
    s.Tick();
    s.SetPaused(true);
    clock.now += 5;
    s.Tick();
    s.SetPaused(false);
    s.Tick();
    clock.now += 0.001;
    s.Tick();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].second, 0);
    EXPECT_DOUBLE_EQ(log[1].second, 0.25);
    EXPECT_EQ(log[2].second, MeasuredTickTimer::kMaxDt);
    EXPECT_NEAR(log[3].second, 0.001, 1e-9);
}

TEST(Scheduler, StepsCanAddAndRemoveUnderTheReentrantLock) {
    std::vector<std::pair<int, double>> log;
    FixedTickTimer timer(0.01);
    ProcessScheduler s(&timer);
    Probe a(&log, 1), b(&log, 2);
    a.action = [&] {
        std::lock_guard guard(s.Mutex());
        s.Add(&b, true, false);
    };
    s.Add(&a, true, true);
    s.Tick();
    s.Tick();
    EXPECT_EQ(log.back().first, 2);
}

}  // namespace
}  // namespace kv
