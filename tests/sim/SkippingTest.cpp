// Steps the scheduler skips must change nothing: machines and robots stepped through a
// scheduler with a steady dt behave exactly like ones stepped every tick by hand.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "Arena.h"
#include "sim/Scheduler.h"
#include "vm/VMachine.h"

namespace kv {
namespace {

using test::Arena;

class Counter : public KvVMachine::Observer {
public:
    void OnExecuted(VmStatus) override { ++executed; }
    int executed = 0;
};

// A dt that stays put for a while, then changes: 0.001, 0.0007, 0.001, then 0.25.
class ChangingTimer : public KvTickTimer {
public:
    double NextDt() override {
        ++ticks;
        return ticks <= 600 ? 0.001 : ticks <= 900 ? 0.0007 : ticks <= 1500 ? 0.001 : 0.25;
    }
    int ticks = 0;
};

TEST(Skipping, AMachineSkippedByTheSchedulerRunsAndBudgetsLikeOneSteppedEveryTick) {
    // A loop of cheap and dear instructions.
    const std::vector<Instruction> code = {{PUSHC, 16}, {SQRT}, {RAND},   {POPA},  {PUSHC, 0}, {INC},
                                           {PUSHC, 0},  {LT},   {JZ, 10}, {JMP, 5}, {JMP, 0}};
    KvVMachine byHand, scheduled;
    Counter handCount, scheduledCount;
    for (auto [vm, counter] : {std::pair{&byHand, &handCount}, {&scheduled, &scheduledCount}}) {
        vm->Load(RobotProgram{code, 0, nullptr});
        vm->SetObserver(counter);
    }
    ChangingTimer timer, handTimer;
    ProcessScheduler scheduler(&timer);
    scheduler.Add(&scheduled, true, true);
    for (int tick = 1; tick <= 1510; ++tick) {
        scheduler.Tick();
        byHand.Step(handTimer.NextDt());
        ASSERT_EQ(scheduledCount.executed, handCount.executed) << "tick " << tick;
        ASSERT_EQ(scheduled.Time(), byHand.Time()) << "tick " << tick;
        ASSERT_EQ(scheduled.Pc(), byHand.Pc()) << "tick " << tick;
    }
    EXPECT_GT(handCount.executed, 100);
    scheduler.Forget(&scheduled);
}

TEST(Skipping, AMachineDrivenByHandBetweenTicksStartsFromWhereItWasLeft) {
    KvVMachine vm;
    vm.Load(RobotProgram{{{SQRT}, {NOP}, {JMP, 0}}, 0, nullptr});
    vm.Push(9);
    FixedTickTimer timer(0.001);
    ProcessScheduler scheduler(&timer);
    scheduler.Add(&vm, true, true);
    for (int i = 0; i < 30; ++i) scheduler.Tick();  // waiting for the square root
    EXPECT_EQ(vm.Pc(), 0);
    EXPECT_NEAR(vm.Time(), 0.030, 1e-12);
    vm.SetPc(1);  // now a cheap NOP waits at pc: the next tick pays for it
    scheduler.Tick();
    EXPECT_NE(vm.Pc(), 1);
    scheduler.Forget(&vm);
}

// A body whose values change every tick and which logs every command with its tick.
struct LoggingBody : KvBaseRobot {
    int32_t Drive(int32_t d, int32_t s) override { return Log(DRIVE, d, s); }
    int32_t Scan(int32_t d, int32_t r) override { return Log(SCAN, d, r); }
    int32_t Cannon(int32_t d, int32_t r) override { return Log(CANNON, d, r); }
    int32_t Log(int32_t op, int32_t a, int32_t b) {
        log.push_back({tick, op, a, b});
        return tick % 7;
    }
    int tick = 0;
    std::vector<std::array<int, 4>> log;
};

TEST(Skipping, AMachineRunningAheadCommandsAndReadsItsRobotInTheSameTicks) {
    // Reads the tick (x), drives on two ticks of three, takes a square root, divides by
    // zero on even ticks (a restart), scans, loops.
    const std::vector<Instruction> code = {
        {LOCX},     {PUSHC, 3}, {MOD},      {JZ, 8},    {PUSHC, 45}, {PUSHC, 7},  {DRIVE},
        {POPA},     {PUSHC, 1}, {SQRT},     {POPA},     {PUSHC, 5},  {LOCX},      {PUSHC, 2},
        {MOD},      {DIV},      {POPA},     {PUSHC, 90}, {PUSHC, 3}, {SCAN},      {POPA},
        {JMP, 0}};
    for (double dt : {0.001, 0.01, 0.3}) {
        SCOPED_TRACE(dt);
        KvVMachine ahead, byHand;
        LoggingBody aheadBody, handBody;
        for (auto [vm, body] : {std::pair{&ahead, &aheadBody}, {&byHand, &handBody}}) {
            vm->Load(RobotProgram{code, 0, nullptr});
            vm->AttachRobot(body);
        }
        ahead.RunAhead();
        FixedTickTimer timer(dt);
        ProcessScheduler scheduler(&timer);
        scheduler.Add(&ahead, true, true);
        for (int tick = 1; tick <= 20000; ++tick) {
            for (LoggingBody* body : {&aheadBody, &handBody}) {
                body->tick = tick;
                body->position.x = tick;
            }
            scheduler.Tick();
            byHand.Step(dt);
        }
        EXPECT_GT(handBody.log.size(), 100u);
        EXPECT_EQ(aheadBody.log, handBody.log);
        scheduler.Forget(&ahead);
    }
}

TEST(Skipping, AStandingRobotMovesAndPublishesAsSoonAsItIsToldTo) {
    Arena skipped(0.001);
    KvGLRobot* a = skipped.Place({300, 300});
    KvGLRobot byHand("hand.r", 1);
    byHand.SetPosition({300, 300});
    auto tick = [&] {
        skipped.scheduler.Tick();
        byHand.Step(0.001);
    };
    for (int i = 0; i < 2000; ++i) tick();  // long past the first reload
    a->Scan(77, 3);
    tick();
    EXPECT_EQ(a->Values().scanDirection, 77);
    for (KvGLRobot* r : {a, &byHand}) r->Drive(30, 40);
    for (int i = 0; i < 300; ++i) {
        tick();
        ASSERT_EQ(a->position, byHand.position) << "tick " << i;
        ASSERT_EQ(a->Values().position, a->position) << "tick " << i;
    }
    EXPECT_GT(a->position.x, 310);
    for (KvGLRobot* r : {a, &byHand}) r->Drive(30, 0);
    for (int i = 0; i < 300; ++i) tick();
    EXPECT_EQ(a->position, byHand.position);
    EXPECT_EQ(a->speed, 0);
}

}  // namespace
}  // namespace kv
