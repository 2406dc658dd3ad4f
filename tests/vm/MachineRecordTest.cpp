// What a machine records of its run: each fault told apart and placed, the restarts, the
// instructions it executed and its latest built-in calls.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/RobotCompiler.h"
#include "vm/VMachine.h"

namespace kv {
namespace {

class Body : public KvBaseRobot {
public:
    int32_t Drive(int32_t direction, int32_t) override { return direction % 7; }
    int32_t Scan(int32_t, int32_t) override { return 0; }
    int32_t Cannon(int32_t, int32_t) override { return 0; }
};

// Counts what the machine executes and the tick of each restart, as an observer sees them.
class Watch : public KvVMachine::Observer {
public:
    explicit Watch(const KvVMachine& m) : machine(m) {}
    void OnExecuted(VmStatus) override { ++executed; }
    void OnRestart(VmStatus) override { restartTicks.push_back(machine.Tick()); }
    const KvVMachine& machine;
    int64_t executed = 0;
    std::vector<int64_t> restartTicks;
};

// Steps a machine by dt until it has restarted twice (or a limit).
KvMachineRecord RunToTwoRestarts(KvVMachine& machine, Watch& watch, double dt = 0.01) {
    Body body;
    machine.AttachRobot(&body);
    machine.SetObserver(&watch);
    for (int i = 0; i < 200000 && watch.restartTicks.size() < 2; ++i) machine.Step(dt);
    machine.AttachRobot(nullptr);
    return machine.Record();
}

TEST(MachineRecord, TellsEachFaultApartWithItsLineAndTick) {
    struct Case {
        const char* source;
        KvFaultKind kind;
        int32_t line;
    };
    const Case cases[] = {
        {"main()\n{\n    x = 0;\n    drive(1, 5 / x);\n}\n", KvFaultKind::DivisionByZero, 4},
        {"main() {\n  x = 3 % x;\n}\n", KvFaultKind::RemainderByZero, 2},
        {"main() {\n\n  drive(rand(0), 1);\n}\n", KvFaultKind::RandOfZero, 3},
        {"f()\n{\n  return f();\n}\nmain() { f(); }\n", KvFaultKind::CallStackOverflow, 3},
        {"f(a, b, c) {\n  f(a, b, c);\n}\nmain() { f(1, 2, 3); }\n", KvFaultKind::StackOverflow, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        CompileResult compiled = RobotCompiler::CompileText(c.source);
        ASSERT_TRUE(compiled.Ok()) << compiled.message.CStr();
        KvVMachine machine;
        Watch watch(machine);
        machine.Load(*compiled.program);
        const KvMachineRecord record = RunToTwoRestarts(machine, watch, c.kind == KvFaultKind::StackOverflow ||
                                                                              c.kind == KvFaultKind::CallStackOverflow
                                                                          ? 30.0
                                                                          : 0.01);
        ASSERT_EQ(record.restarts, 2);
        ASSERT_EQ(record.faults.size(), 2u);
        for (size_t k = 0; k < 2; ++k) {
            EXPECT_EQ(record.faults[k].kind, c.kind) << FaultText(record.faults[k].kind);
            EXPECT_EQ(record.faults[k].line, c.line);
            EXPECT_EQ(record.faults[k].tick, watch.restartTicks[k]);
        }
        EXPECT_EQ(record.instructions, watch.executed);
    }
}

TEST(MachineRecord, HandMadeCodeFaultsOfEveryOtherKind) {
    struct Case {
        std::vector<Instruction> code;
        KvFaultKind kind;
    };
    const Case cases[] = {
        {{{POPA}}, KvFaultKind::StackUnderflow},
        {{{LOADL, -5}}, KvFaultKind::BadLocal},
        {{{LOADG, -1}}, KvFaultKind::BadGlobal},
        {{{JMP, 99}}, KvFaultKind::BadTarget},
        {{{PUSHC, 1}, {JMP, 0}}, KvFaultKind::StackOverflow},
    };
    for (const Case& c : cases) {
        KvVMachine machine;
        Watch watch(machine);
        machine.Load(RobotProgram{c.code, 0, nullptr});
        const KvMachineRecord record = RunToTwoRestarts(machine, watch, 100.0);
        ASSERT_EQ(record.faults.size(), 2u) << FaultText(c.kind);
        EXPECT_EQ(record.faults[0].kind, c.kind) << FaultText(record.faults[0].kind);
        EXPECT_EQ(record.faults[0].line, 0) << "no line without debug information";
    }
}

TEST(MachineRecord, KeepsTheFirstFaultsAndTheLatestCalls) {
    // Drives 60 times with rising directions, then divides by zero; again and again.
    CompileResult compiled = RobotCompiler::CompileText(
        "main()\n{\n    while (n < 60) {\n        n = n + 1;\n        drive(n, 2 * n);\n    }\n    n = n / 0;\n}\n");
    ASSERT_TRUE(compiled.Ok()) << compiled.message.CStr();
    KvVMachine machine;
    Body body;
    machine.Load(*compiled.program);
    machine.AttachRobot(&body);
    for (int i = 0; i < 20000; ++i) machine.Step(0.1);
    const KvMachineRecord record = machine.Record();
    EXPECT_GT(record.restarts, KvMachineRecord::kKeptFaults);
    EXPECT_EQ(record.faults.size(), size_t{KvMachineRecord::kKeptFaults});
    for (const KvFault& f : record.faults) EXPECT_EQ(f.line, 7);
    for (size_t k = 1; k < record.faults.size(); ++k) {
        EXPECT_GT(record.faults[k].tick, record.faults[k - 1].tick);
        EXPECT_NEAR(record.faults[k].time, 0.1 * static_cast<double>(record.faults[k].tick), 1e-9);
    }
    ASSERT_EQ(record.calls.size(), size_t{KvMachineRecord::kKeptCalls});
    for (const KvBuiltInCall& c : record.calls) {
        EXPECT_EQ(c.opcode, DRIVE);
        EXPECT_EQ(c.arguments[1], 2 * c.arguments[0]);
        EXPECT_EQ(c.result, c.arguments[0] % 7);
        EXPECT_EQ(c.line, 5);
    }
    // The latest drives in order: each one more than the one before, or 1 after a restart.
    for (size_t k = 1; k < record.calls.size(); ++k) {
        const int32_t before = record.calls[k - 1].arguments[0], now = record.calls[k].arguments[0];
        EXPECT_TRUE(now == before + 1 || (before == 60 && now == 1)) << before << " then " << now;
    }
    EXPECT_LE(record.calls.back().tick, machine.Tick());
}

}  // namespace
}  // namespace kv
