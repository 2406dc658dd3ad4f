#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "vm/VMachine.h"

namespace kv {
namespace {

class Counter : public KvVMachine::Observer {
public:
    void OnExecuted(VmStatus) override { ++executed; }
    void OnRestart(VmStatus fault) override { restarts.push_back(fault); }
    int executed = 0;
    std::vector<VmStatus> restarts;
};

class Stepping : public ::testing::Test {
protected:
    void Load(std::vector<Instruction> code) {
        vm.Load(RobotProgram{std::move(code), 0, nullptr});
        vm.SetObserver(&counter);
    }
    int StepCount(double dt) {
        counter.executed = 0;
        vm.Step(dt);
        return counter.executed;
    }
    KvVMachine vm;
    Counter counter;
};

TEST_F(Stepping, NeedsStrictlyMoreTimeThanTheCost) {
    Load({{NOP}, {JMP, 0}});
    EXPECT_EQ(StepCount(0.003), 0);
    EXPECT_DOUBLE_EQ(vm.Time(), 0.003);
    EXPECT_EQ(StepCount(0.0), 0);
    EXPECT_EQ(StepCount(1e-12), 1);
}

TEST_F(Stepping, ChargesTheWholeStepAtTheCostOfItsFirstInstruction) {
    Load({{SQRT}, {JMP, 0}});
    vm.Push(16);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(StepCount(0.01), 0) << "step " << i;
    EXPECT_EQ(StepCount(0.01), 1);  // just above 0.06 pays for the square root alone
    EXPECT_EQ(vm.Pc(), 1);
    EXPECT_EQ(StepCount(0.3), 99);  // a cheap first instruction makes everything cheap
}

TEST_F(Stepping, RestartsFromTheEntryOnAFaultAndDropsTheTime) {
    // main pushes a global, stores 7 into it, then divides by zero.
    Load({{PUSHC, 0}, {PUSHC, 7}, {POPA}, {STOREG, 0}, {PUSHC, 0}, {PUSHC, 0}, {DIV}});
    vm.Step(0.0211);  // pays for exactly seven instructions
    ASSERT_EQ(counter.restarts.size(), 1u);
    EXPECT_EQ(counter.restarts[0], VmStatus::DivideByZero);
    EXPECT_EQ(vm.Pc(), 0);
    EXPECT_EQ(vm.Sp(), -1);
    EXPECT_EQ(vm.Time(), 0.0);
    EXPECT_EQ(vm.GetStatus(), VmStatus::Ok);
    EXPECT_EQ(vm.A(), 7);  // the accumulator survives a restart
    vm.Step(0.0031);
    EXPECT_EQ(vm.StackValue(0), 0);  // the global reads 0 again
}

TEST_F(Stepping, StopsForGoodOnceMainReturns) {
    Load({{PUSHC, 0}, {NOP}, {POPA}, {PUSHA}, {RET}});
    vm.Step(1.0);
    EXPECT_TRUE(vm.Finished());
    EXPECT_EQ(counter.executed, 5);
    const double left = vm.Time();
    vm.Step(1.0);
    EXPECT_EQ(counter.executed, 5);
    EXPECT_EQ(vm.Time(), left);
    Load({{NOP}, {RET}});
    vm.Step(1.0);
    EXPECT_EQ(counter.executed, 7) << "a newly loaded program runs again";
}

TEST_F(Stepping, AnEndlessLoopIsBoundedByTheStepTime) {
    Load({{JMP, 0}});
    EXPECT_EQ(StepCount(0.3), 99);  // 0.3 / 0.003 in doubles leaves the hundredth unpaid
    EXPECT_FALSE(vm.Finished());
}

// Regression: an infinite or huge dt gave a step of an endless loop no end. The budget
// now holds at most 2^31 cost units; a finished program shows what it kept.
TEST_F(Stepping, HoldsAtMostTwoToThe31CostUnitsOfTime) {
    for (double dt : {std::numeric_limits<double>::infinity(), 1e12}) {
        Load({{RET}});
        vm.Step(dt);
        EXPECT_TRUE(vm.Finished());
        EXPECT_EQ(vm.Time(), 2147483648 * 0.003) << dt;
    }
}

TEST_F(Stepping, IgnoresANegativeOrNaNStep) {
    Load({{NOP}, {JMP, 0}});
    EXPECT_EQ(StepCount(-1.0), 0);
    EXPECT_EQ(StepCount(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(StepCount(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(vm.Time(), 0.0);
    // As if those steps had never been given: each instruction is paid from the time carried
    // over, and the rest after three lies just above 0.003.
    EXPECT_EQ(StepCount(0.01), 3);
    EXPECT_EQ(StepCount(0.01), 3);
    EXPECT_EQ(StepCount(0.01), 4);
}

}  // namespace
}  // namespace kv
