// Robot source of any shape goes through the whole compiler. It must end in a program or
// one numbered error, never a crash or a hang. A program that compiles must also be an
// image the machine can trust: known opcodes, every jump and call inside the code, and
// no fault that only a wrong stack layout could cause when it runs for a while.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/Random.h"
#include "core/Stream.h"
#include "lang/CompileError.h"
#include "lang/RobotCompiler.h"
#include "vm/VMachine.h"

namespace {

using namespace kv;

constexpr int kMaxInstructions = 5000;
// Deep recursion may legitimately run the data stack full; a fault far below the top
// means the compiler lost track of its own stack layout.
constexpr int32_t kOverflowMargin = 1000;

class QuietRobot : public KvBaseRobot {
public:
    int32_t Drive(int32_t, int32_t) override { return 0; }
    int32_t Scan(int32_t direction, int32_t) override { return direction & 1 ? 0 : 250; }
    int32_t Cannon(int32_t, int32_t) override { return 1; }
};

[[noreturn]] void Broken(const char* what, long value) {
    std::fprintf(stderr, "fuzz_compiler: %s (%ld)\n", what, value);
    std::abort();
}

void CheckImage(const RobotProgram& program) {
    const auto length = static_cast<int32_t>(program.code.size());
    if (program.entry < 0 || program.entry >= length) Broken("entry outside the code", program.entry);
    for (int32_t i = 0; i < length; ++i) {
        const Instruction& in = program.code[i];
        if (in.opcode < 0 || in.opcode >= kOpcodeCount) Broken("unknown opcode emitted", in.opcode);
        const bool jump = in.opcode == CALL || in.opcode == JMP || in.opcode == JZ;
        if (jump && (in.operand < 0 || in.operand >= length)) Broken("jump or call outside the code", i);
        const bool global = in.opcode == LOADG || in.opcode == STOREG;
        if (global && (in.operand < 0 || in.operand >= KvVMachine::kStackSize)) Broken("bad global slot", i);
    }
}

void Run(KvVMachine& machine, RobotProgram program) {
    machine.Load(std::move(program));
    machine.SetA(0);
    SeedRandom(1);
    for (int n = 0; n < kMaxInstructions; ++n) {
        const VmStatus status = machine.Execute();
        switch (status) {
            case VmStatus::Ok: continue;
            case VmStatus::Finished:
            case VmStatus::DivideByZero:
            case VmStatus::CallStackOverflow: return;
            case VmStatus::StackFault:
                if (machine.Sp() < KvVMachine::kStackSize - kOverflowMargin) Broken("stack fault in compiled code at pc", machine.Pc());
                return;
            case VmStatus::BadGlobal:
            case VmStatus::BadTarget: Broken("compiled code faulted at pc", machine.Pc());
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QuietRobot robot;
    static auto* machine = [] {
        auto* m = new KvVMachine();
        m->AttachRobot(&robot);
        return m;
    }();
    if (size > 1 << 16) return -1;
    KvMemIStream source(data, static_cast<uint32_t>(size));
    CompileResult result = RobotCompiler::Compile(source);
    if (!result.Ok()) {
        if (result.errorCode <= 0 || result.errorCode > kNestedTooDeeply) Broken("unknown error code", result.errorCode);
        if (result.message.Length() == 0) Broken("empty error message", result.errorCode);
        return 0;
    }
    CheckImage(*result.program);
    Run(*machine, std::move(*result.program));
    return 0;
}
