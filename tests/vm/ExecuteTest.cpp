#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "core/Random.h"
#include "vm/VMachine.h"

namespace kv {
namespace {

// A body that records what the machine asked of it.
class FakeRobot : public KvBaseRobot {
public:
    int32_t Drive(int32_t d, int32_t s) override { return Record('d', d, s, 0); }
    int32_t Scan(int32_t d, int32_t r) override { return Record('s', d, r, 250); }
    int32_t Cannon(int32_t d, int32_t r) override { return Record('c', d, r, 1); }
    struct Call {
        char what;
        int32_t a, b;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;

private:
    int32_t Record(char what, int32_t a, int32_t b, int32_t result) {
        calls.push_back({what, a, b});
        return result;
    }
};

class Machine : public ::testing::Test {
protected:
    void Load(std::vector<Instruction> code, int32_t entry = 0) {
        vm.Load(RobotProgram{std::move(code), entry, nullptr});
        vm.AttachRobot(&robot);
    }
    // Pushes the operands, runs one opcode, returns its status.
    VmStatus Apply(int32_t op, std::vector<int32_t> operands, int32_t operand = 0) {
        Load({{op, operand}, {RET}});
        for (int32_t v : operands) vm.Push(v);
        return vm.Execute();
    }
    int32_t Top() const { return vm.StackValue(vm.Sp()); }
    int32_t BinaryResult(int32_t op, int32_t a, int32_t b) {
        EXPECT_EQ(Apply(op, {a, b}), VmStatus::Ok);
        EXPECT_EQ(vm.Sp(), 0);
        return Top();
    }
    int32_t UnaryResult(int32_t op, int32_t a) {
        EXPECT_EQ(Apply(op, {a}), VmStatus::Ok);
        EXPECT_EQ(vm.Sp(), 0);
        return Top();
    }
    KvVMachine vm;
    FakeRobot robot;
};

TEST_F(Machine, DividesTowardZeroAndTakesTheSignOfTheDividend) {
    EXPECT_EQ(BinaryResult(DIV, -7, 2), -3);
    EXPECT_EQ(BinaryResult(MOD, -7, 2), -1);
    EXPECT_EQ(BinaryResult(MOD, 7, -2), 1);
    EXPECT_EQ(BinaryResult(DIV, INT_MIN, -1), INT_MIN);  // wraps instead of trapping
    EXPECT_EQ(BinaryResult(MOD, INT_MIN, -1), 0);
    EXPECT_EQ(Apply(DIV, {5, 0}), VmStatus::DivideByZero);
    EXPECT_EQ(vm.Pc(), 0);
    EXPECT_EQ(vm.Sp(), 1);  // a fault changes nothing
    EXPECT_EQ(Apply(MOD, {5, 0}), VmStatus::DivideByZero);
}

TEST_F(Machine, WrapsArithmeticAndMasksShiftCounts) {
    EXPECT_EQ(BinaryResult(ADD, INT_MAX, 1), INT_MIN);
    EXPECT_EQ(BinaryResult(SUB, INT_MIN, 1), INT_MAX);
    EXPECT_EQ(BinaryResult(MUL, 65536, 65536), 0);
    EXPECT_EQ(BinaryResult(MUL, -3, 7), -21);
    EXPECT_EQ(BinaryResult(SHL, 1, 33), 2);
    EXPECT_EQ(BinaryResult(SHL, 1, 31), INT_MIN);
    EXPECT_EQ(BinaryResult(SHR, -8, 1), -4);
    EXPECT_EQ(BinaryResult(SHR, 256, 36), 16);
    EXPECT_EQ(UnaryResult(NEG, INT_MIN), INT_MIN);
    EXPECT_EQ(UnaryResult(INC, INT_MAX), INT_MIN);
    EXPECT_EQ(UnaryResult(DEC, INT_MIN), INT_MAX);
    EXPECT_EQ(UnaryResult(COMPL, 0), -1);
}

TEST_F(Machine, ComparisonsAndLogicYieldZeroOrOne) {
    EXPECT_EQ(BinaryResult(LT, -1, 0), 1);
    EXPECT_EQ(BinaryResult(GT, -1, 0), 0);
    EXPECT_EQ(BinaryResult(LE, 3, 3), 1);
    EXPECT_EQ(BinaryResult(GE, 2, 3), 0);
    EXPECT_EQ(BinaryResult(EQ, 4, 4), 1);
    EXPECT_EQ(BinaryResult(NE, 4, 4), 0);
    EXPECT_EQ(BinaryResult(LOR, 0, -5), 1);
    EXPECT_EQ(BinaryResult(LAND, 7, 0), 0);
    EXPECT_EQ(BinaryResult(LAND, 7, -1), 1);
    EXPECT_EQ(BinaryResult(BOR, 12, 3), 15);
    EXPECT_EQ(BinaryResult(BXOR, 12, 10), 6);
    EXPECT_EQ(BinaryResult(BAND, 12, 10), 8);
    EXPECT_EQ(UnaryResult(NOT, 9), 0);
    EXPECT_EQ(UnaryResult(NOT, 0), 1);
}

TEST_F(Machine, RealFunctionsTruncateTheirDoubleResults) {
    EXPECT_EQ(UnaryResult(SIN, 90), 100000);
    EXPECT_EQ(UnaryResult(SIN, 30), 49999);
    EXPECT_EQ(UnaryResult(TAN, 45), 99999);
    EXPECT_EQ(UnaryResult(COS, 60), 50000);
    EXPECT_EQ(UnaryResult(ATAN, 100000), 45);
    EXPECT_EQ(UnaryResult(ATAN, 50000), 26);
    EXPECT_EQ(UnaryResult(ATAN, -100000), -45);
    EXPECT_EQ(UnaryResult(SQRT, 15), 3);
    EXPECT_EQ(UnaryResult(SQRT, -1), INT_MIN);
    EXPECT_EQ(UnaryResult(TAN, 90), INT_MIN);  // out of range becomes the smallest integer
    EXPECT_EQ(UnaryResult(TAN, 270), INT_MIN);
}

TEST_F(Machine, RandDrawsFromTheThreadGeneratorAndRejectsZero) {
    SeedRandom(1);
    EXPECT_EQ(UnaryResult(RAND, 100), 41);
    EXPECT_EQ(UnaryResult(RAND, -100), 67);  // 18467, the remainder keeps the dividend's sign
    EXPECT_EQ(Apply(RAND, {0}), VmStatus::DivideByZero);
    EXPECT_EQ(UnaryResult(RAND, 10000), 6334);  // the refused draw took nothing from the sequence
}

TEST_F(Machine, StackInstructionsMoveValuesThroughTheAccumulator) {
    Load({{PUSHC, 5}, {PUSHC, 6}, {LOADL, -1}, {STOREL, 0}, {POPA}, {PUSHC, 9}, {LOADL, 0}, {STOREG, 0}, {LOADG, 1}, {RET}});
    for (int i = 0; i < 9; ++i) ASSERT_EQ(vm.Execute(), VmStatus::Ok) << "instruction " << i;
    EXPECT_EQ(vm.Sp(), 1);
    EXPECT_EQ(vm.StackValue(0), 9);
    EXPECT_EQ(vm.StackValue(1), 9);
    EXPECT_EQ(vm.A(), 9);
    EXPECT_EQ(vm.Execute(), VmStatus::Finished);
    EXPECT_EQ(vm.Pc(), 9);
}

TEST_F(Machine, AllocInsertsAZeroUnderTheTemporaries) {
    Load({{ALLOC, -2}, {ALLOC, 0}, {ALLOC, -6}, {ALLOC, 1}});
    for (int32_t v : {1, 2, 3}) vm.Push(v);
    ASSERT_EQ(vm.Execute(), VmStatus::Ok);
    ASSERT_EQ(vm.Sp(), 3);
    EXPECT_EQ(vm.StackValue(0), 1);
    EXPECT_EQ(vm.StackValue(1), 0);
    EXPECT_EQ(vm.StackValue(2), 2);
    EXPECT_EQ(vm.StackValue(3), 3);
    ASSERT_EQ(vm.Execute(), VmStatus::Ok);
    EXPECT_EQ(Top(), 0);
    EXPECT_EQ(vm.Execute(), VmStatus::StackFault);  // below the bottom
    vm.SetPc(3);
    EXPECT_EQ(vm.Execute(), VmStatus::StackFault);  // above the top
}

TEST_F(Machine, ChecksEveryStackAccess) {
    EXPECT_EQ(Apply(POPA, {}), VmStatus::StackFault);
    EXPECT_EQ(Apply(ADD, {1}), VmStatus::StackFault);
    EXPECT_EQ(Apply(NEG, {}), VmStatus::StackFault);
    EXPECT_EQ(Apply(LOADL, {1}, 200000), VmStatus::StackFault);
    EXPECT_EQ(Apply(LOADL, {1}, 1), VmStatus::Ok);  // above the top is still inside the stack
    EXPECT_EQ(Apply(LOADL, {1}, -1), VmStatus::StackFault);
    EXPECT_EQ(Apply(STOREL, {}, INT_MIN), VmStatus::StackFault);
    EXPECT_EQ(Apply(LOADL, {1}, 0), VmStatus::Ok);
    EXPECT_EQ(Apply(LOADG, {}, 199999), VmStatus::Ok);  // any slot of the stack is a valid global
    EXPECT_EQ(Apply(LOADG, {}, 200000), VmStatus::BadGlobal);
    EXPECT_EQ(Apply(STOREG, {}, -1), VmStatus::BadGlobal);
}

TEST_F(Machine, JumpsAndCallsStayInsideTheCode) {
    EXPECT_EQ(Apply(JMP, {}, 2), VmStatus::BadTarget);
    EXPECT_EQ(Apply(JMP, {}, -1), VmStatus::BadTarget);
    EXPECT_EQ(Apply(CALL, {}, 2), VmStatus::BadTarget);
    EXPECT_EQ(Apply(JZ, {}, 99), VmStatus::StackFault);  // the stack is checked first
    EXPECT_EQ(Apply(JZ, {0}, 99), VmStatus::BadTarget);
    EXPECT_EQ(Apply(JZ, {0}, 1), VmStatus::Ok);
    EXPECT_EQ(vm.Pc(), 1);
    EXPECT_EQ(vm.Sp(), -1);
    EXPECT_EQ(Apply(JZ, {7}, 0), VmStatus::Ok);
    EXPECT_EQ(vm.Pc(), 1);  // non-zero falls through
}

TEST_F(Machine, CallAndReturnUseTheCallStack) {
    Load({{CALL, 3}, {NOP}, {RET}, {RET}});
    EXPECT_EQ(vm.Execute(), VmStatus::Ok);
    EXPECT_EQ(vm.Pc(), 3);
    EXPECT_EQ(vm.Csp(), 0);
    EXPECT_EQ(vm.Execute(), VmStatus::Ok);
    EXPECT_EQ(vm.Pc(), 1);  // back after the call
    EXPECT_EQ(vm.Csp(), -1);
    vm.SetPc(2);
    EXPECT_EQ(vm.Execute(), VmStatus::Finished);
    EXPECT_EQ(vm.Pc(), 2);
}

TEST_F(Machine, The200001stPushFaults) {
    Load({{PUSHC, 7}, {JMP, 0}});
    int pushes = 0;
    for (;;) {
        VmStatus s = vm.Execute();
        if (s != VmStatus::Ok) {
            EXPECT_EQ(s, VmStatus::StackFault);
            break;
        }
        if (vm.Pc() == 1) ++pushes;
    }
    EXPECT_EQ(pushes, 200000);
    EXPECT_EQ(vm.Sp(), 199999);
    EXPECT_EQ(vm.Pc(), 0);
    Load({{ALLOC, 0}});
    for (int i = 0; i < 200000; ++i) vm.Push(0);
    EXPECT_EQ(vm.Execute(), VmStatus::StackFault);
    Load({{DAMAGE}});
    for (int i = 0; i < 200000; ++i) vm.Push(0);
    EXPECT_EQ(vm.Execute(), VmStatus::StackFault);
}

TEST_F(Machine, The100001stNestedCallOverflows) {
    Load({{CALL, 0}});
    int calls = 0;
    VmStatus s;
    while ((s = vm.Execute()) == VmStatus::Ok) ++calls;
    EXPECT_EQ(s, VmStatus::CallStackOverflow);
    EXPECT_EQ(calls, 100000);
    EXPECT_EQ(vm.Csp(), 99999);
}

TEST_F(Machine, RobotOpcodesCallTheBodyWithTheLowerValueFirst) {
    robot.damage = 12.9;
    robot.speed = -3.7;
    robot.position = {998.99, 0.5};
    Load({{SCAN}, {CANNON}, {DRIVE}, {DAMAGE}, {SPEED}, {LOCX}, {LOCY}});
    for (int32_t v : {1, 2, 3, 4}) vm.Push(v);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(vm.Execute(), VmStatus::Ok);
    // scan(3, 4) -> 250, cannon(2, 250) -> 1, drive(1, 1) -> 0
    EXPECT_EQ(robot.calls, (std::vector<FakeRobot::Call>{{'s', 3, 4}, {'c', 2, 250}, {'d', 1, 1}}));
    EXPECT_EQ(Top(), 0);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(vm.Execute(), VmStatus::Ok);
    EXPECT_EQ(vm.StackValue(1), 12);
    EXPECT_EQ(vm.StackValue(2), -3);
    EXPECT_EQ(vm.StackValue(3), 998);
    EXPECT_EQ(vm.StackValue(4), 0);
    EXPECT_EQ(robot.machine, &vm);
}

// The compiler counts stack depth from the opcode table; the machine must agree.
TEST_F(Machine, MovesTheStackByEachOpcodesRecordedEffect) {
    for (int32_t op = 0; op < kOpcodeCount; ++op) {
        Apply(op, {5, 1});  // operand 0: every slot, global and target is valid
        EXPECT_EQ(vm.Sp(), 1 + StackEffect(op)) << Mnemonic(op);
    }
}

TEST_F(Machine, UnknownOpcodesAndAPcOutsideTheCodeOnlyMoveOn) {
    Load({{49}, {-3}, {1000, 5}});
    for (int i = 0; i < 3; ++i) EXPECT_EQ(vm.Execute(), VmStatus::Ok);
    EXPECT_EQ(vm.Pc(), 3);
    EXPECT_EQ(vm.Execute(), VmStatus::Ok);
    EXPECT_EQ(vm.Pc(), 3);
    EXPECT_EQ(CostTable(1000), 1);
}

}  // namespace
}  // namespace kv
