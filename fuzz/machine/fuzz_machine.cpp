// Random code images run on the machine: unknown opcodes, jumps, calls, globals and stack
// offsets anywhere in or out of range, stack depths at both ends. Whatever the image, the
// machine must only report faults, never crash or hang, and Step must stay within its budget.
//
// Input: a 16-byte header (robot values, step length, start pc, accumulator, stack
// preload), then one instruction per 4 bytes: opcode byte, operand mode, 16-bit value.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "core/Random.h"
#include "vm/VMachine.h"

namespace {

using namespace kv;

constexpr int kMaxExecutes = 10000;
constexpr int kMaxSteps = 400;
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kMaxInstructions = 4096;
// More opcodes than the table holds, so unknown ones occur.
constexpr int kOpcodeSpan = 52;

class Reader {
public:
    Reader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Values at the edges of every range the machine checks.
constexpr int32_t kEdges[] = {
    0, -1, 1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
    KvVMachine::kStackSize - 1, KvVMachine::kStackSize, -KvVMachine::kStackSize, -KvVMachine::kStackSize - 1,
    KvVMachine::kCallStackSize, 90, 270, 46341, -46341, 100000, -100000,
};

constexpr double kRobotValues[] = {0, 1.5, -1.5, 999.9, 1e10, -1e10, 2147483647.9, -2147483648.9,
                                   std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity(), 100, 50.5, -0.0, 1e-300, 2147483648.0};

int32_t Operand(uint8_t mode, uint16_t value, int32_t length) {
    switch (mode % 5) {
        case 0: return static_cast<int16_t>(value);                     // small signed
        case 1: return static_cast<int32_t>(value % (length + 2)) - 1;  // around the code
        case 2: return kEdges[value % (sizeof kEdges / sizeof kEdges[0])];
        case 3: return static_cast<int32_t>(value % 16) - 12;           // local offsets
        default: return static_cast<int32_t>((value * 65537u) ^ (uint32_t{mode} << 24));
    }
}

int32_t RandomOpcode(uint8_t byte) {
    if (byte == 0xff) return -1;
    if (byte == 0xfe) return std::numeric_limits<int32_t>::min();
    return byte % kOpcodeSpan;
}

// A body that answers every command from the input, with extreme values to read.
class StandInRobot : public KvBaseRobot {
public:
    int32_t Drive(int32_t direction, int32_t speed) override { return direction ^ speed; }
    int32_t Scan(int32_t direction, int32_t resolution) override { return direction & resolution; }
    int32_t Cannon(int32_t direction, int32_t range) override { return range; }
};

[[noreturn]] void Broken(const char* what, long value) {
    std::fprintf(stderr, "fuzz_machine: %s (%ld)\n", what, value);
    std::abort();
}

// Pushes count values, the i-th being step * (i + 1). Left out of the coverage map (see
// coverage-ignore.txt): 200000 traced turns would cost more than the input they prepare.
__attribute__((noinline)) void Fill(KvVMachine& m, int32_t count, uint32_t step) {
    for (int32_t i = 0; i < count; ++i) m.Push(static_cast<int32_t>(step * static_cast<uint32_t>(i + 1)));
}

// Counts a step's instructions and the highest stack index they reached.
struct Counter : KvVMachine::Observer {
    explicit Counter(const KvVMachine& m) : machine(m) {}
    void OnExecuted(VmStatus) override {
        ++executed;
        if (machine.Sp() > highestSp) highestSp = machine.Sp();
    }
    const KvVMachine& machine;
    long executed = 0;
    int32_t highestSp = -1;
};

// Building a machine zeroes 1.2 MB of stacks, which costs more than running most inputs.
// So one machine is reused and brought back to the state of a new one between inputs:
// the stack zeroed up to the highest index the last input could have written, then a
// fault in a one-instruction program restarts it (time, pc, stacks and status cleared).
// Call stack entries are always written before they are read. Only a finished machine
// cannot restart, so that one is replaced.
class MachinePool {
public:
    KvVMachine& Fresh() {
        if (!machine_ || machine_->Finished()) {
            machine_ = std::make_unique<KvVMachine>();
        } else {
            RobotProgram wipe;
            wipe.code = {{JMP, -1}};
            machine_->SetObserver(nullptr);
            machine_->AttachRobot(nullptr);
            machine_->Load(wipe);
            Fill(*machine_, dirtyTop_ + 1, 0);
            machine_->Step(1);
            if (machine_->GetStatus() != VmStatus::Ok || machine_->Time() != 0 || machine_->Sp() != -1)
                Broken("the machine did not restart", static_cast<long>(machine_->GetStatus()));
            // KV_FUZZ_VERIFY_WIPE=1 checks the whole stack, to prove the dirty bound right.
            static const bool verify = std::getenv("KV_FUZZ_VERIFY_WIPE") != nullptr;
            for (int32_t i = 0; verify && i < KvVMachine::kStackSize; ++i)
                if (machine_->StackValue(i) != 0) Broken("stack not wiped at", i);
        }
        machine_->SetA(0);
        dirtyTop_ = -1;
        return *machine_;
    }
    // Everything up to index top may have been written.
    void Dirty(int64_t top) {
        if (top > dirtyTop_) dirtyTop_ = static_cast<int32_t>(std::min<int64_t>(top, KvVMachine::kStackSize - 1));
    }

private:
    std::unique_ptr<KvVMachine> machine_;
    int32_t dirtyTop_ = -1;
};

void CheckRegisters(const KvVMachine& m) {
    if (m.Sp() < -1 || m.Sp() >= KvVMachine::kStackSize) Broken("sp out of range", m.Sp());
    if (m.Csp() < -1 || m.Csp() >= KvVMachine::kCallStackSize) Broken("csp out of range", m.Csp());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeaderSize) return -1;
    Reader in(data, size);
    const uint8_t robotBits = in.Byte();
    const uint8_t robotBits2 = in.Byte();
    const uint8_t dtByte = in.Byte();
    const uint8_t pcMode = in.Byte();
    const uint16_t pcValue = in.Word();
    const uint8_t aMode = in.Byte();
    const uint16_t aValue = in.Word();
    const uint8_t preload = in.Byte();
    const uint8_t preloadMode = in.Byte();
    const uint16_t preloadValue = in.Word();
    const uint8_t seed = in.Byte();
    in.Word();  // reserved

    const std::size_t count = std::min((size - kHeaderSize) / 4, kMaxInstructions);
    RobotProgram program;
    program.code.reserve(count);
    const auto length = static_cast<int32_t>(count);
    for (std::size_t i = 0; i < count; ++i) {
        const int32_t op = RandomOpcode(in.Byte());
        const uint8_t mode = in.Byte();
        program.code.push_back({op, Operand(mode, in.Word(), length)});
    }
    program.entry = Operand(pcMode, pcValue, length);

    StandInRobot robot;
    robot.damage = kRobotValues[robotBits & 15];
    robot.speed = kRobotValues[robotBits >> 4];
    robot.position = {kRobotValues[robotBits2 & 15], kRobotValues[robotBits2 >> 4]};
    const int32_t a = Operand(aMode, aValue, length);
    const int32_t pushes = (preloadMode & 3) == 0 ? KvVMachine::kStackSize - 1 - preload % 8 : preload % 8;

    // Stores reach above the top of the stack by at most the largest positive offset.
    int64_t storeReach = 0, globalReach = -1;
    for (const Instruction& i : program.code) {
        if (i.opcode == STOREL && i.operand > storeReach) storeReach = i.operand;
        if (i.opcode == STOREG && i.operand < KvVMachine::kStackSize && i.operand > globalReach) globalReach = i.operand;
    }

    // Paced run first, on a machine as new: small steps, then the scheduler's largest one.
    static MachinePool pool;
    KvVMachine& machine = pool.Fresh();
    pool.Dirty(globalReach);
    SeedRandom(seed);
    machine.AttachRobot(&robot);
    Counter counter(machine);
    machine.SetObserver(&counter);
    machine.Load(program);
    const double dt = 0.0005 + (dtByte % 64) * 0.0008;  // up to about 0.05 s
    for (int s = 0; s <= kMaxSteps && !machine.Finished(); ++s) {
        // A step pays for its instructions with dt and what earlier steps left over, all at
        // the price of the instruction it begins at.
        const int32_t pc = machine.Pc();
        const int32_t op = pc >= 0 && pc < length ? program.code[pc].opcode : NOP;
        const double q = CostTable(op) * KvVMachine::kSecondsPerCostUnit;
        const double stepDt = s == kMaxSteps ? 0.3 : dt;
        const auto budget = static_cast<long>((machine.Time() + stepDt) / q) + 1;
        counter.executed = 0;
        machine.Step(stepDt);
        if (counter.executed > budget) Broken("one step ran past its budget", counter.executed);
        CheckRegisters(machine);
        if (machine.Time() < 0) Broken("negative time budget", 0);
    }
    pool.Dirty(counter.highestSp + storeReach);

    // Then instruction by instruction from the chosen registers; a fault skips to the next.
    machine.Load(program);
    machine.SetObserver(nullptr);
    machine.SetA(a);
    Fill(machine, pushes, preloadValue);
    pool.Dirty(machine.Sp() + storeReach);
    for (int n = 0; n < kMaxExecutes; ++n) {
        const int32_t pc = machine.Pc();
        const int32_t sp = machine.Sp();
        const VmStatus status = machine.Execute();
        CheckRegisters(machine);
        pool.Dirty(int64_t{machine.Sp()} + storeReach);
        if (status == VmStatus::Finished) break;
        if (status != VmStatus::Ok) {
            if (machine.Pc() != pc || machine.Sp() != sp) Broken("a fault moved the registers at pc", pc);
            machine.SetPc(pc + 1);
        }
        if (pc < 0 || pc >= length) {
            if (status != VmStatus::Ok || machine.Pc() != pc) Broken("pc outside the code did something", pc);
            break;
        }
    }
    return 0;
}
