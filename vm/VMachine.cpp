#include "vm/VMachine.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#ifdef __unix__
#include <sys/mman.h>
#endif

#include "core/Angles.h"
#include "core/Random.h"

namespace kv {

namespace {

// Truncation toward zero; NaN and anything outside 32 bits becomes INT32_MIN.
int32_t TruncToInt(double v) {
    double t = std::trunc(v);
    if (!(t >= -2147483648.0 && t <= 2147483647.0)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(t);
}

bool ValidIndex(int64_t i) { return i >= 0 && i < KvVMachine::kStackSize; }

// The opcodes whose effect depends on or reaches beyond the machine: the robot's commands
// and values, and the thread's random numbers, shared by every machine of the battle.
bool TouchesWorld(int32_t op) { return (op >= SCAN && op <= LOCY) || op == RAND; }

// How far one step may run ahead: ticks, and instructions in all of them.
constexpr uint32_t kMaxAheadTicks = 4096;
constexpr int kMaxAheadInstructions = 4096;

}  // namespace

const char* VmStatusName(VmStatus status) {
    switch (status) {
#define KV_VM_STATUS_NAME(name) \
    case VmStatus::name: return #name;
        KV_VM_STATUSES(KV_VM_STATUS_NAME)
#undef KV_VM_STATUS_NAME
    }
    return "Unknown";
}

// Fresh pages come zeroed from the system, so a machine pays only for the pages its program
// touches. Mapped directly where we can: calloc hands out freed heap memory, which it must
// clear, once the allocator has raised its threshold for mapping after the first free.
KvVMachine::Stack KvVMachine::NewStack(int32_t size) {
    const std::size_t bytes = static_cast<std::size_t>(size) * sizeof(int32_t);
#ifdef __unix__
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
#else
    void* p = std::calloc(bytes, 1);
    if (!p) throw std::bad_alloc();
#endif
    return Stack(static_cast<int32_t*>(p), FreeStack{bytes});
}

void KvVMachine::FreeStack::operator()(int32_t* p) const {
#ifdef __unix__
    munmap(p, bytes);
#else
    std::free(p);
#endif
}

KvVMachine::KvVMachine()
    : KvProcess(false), stack_(NewStack(kStackSize)), callStack_(NewStack(kCallStackSize)) {}

void KvVMachine::Load(RobotProgram program) {
    CatchUp();
    code_ = std::move(program.code);
    pace_.clear();
    for (const Instruction& in : code_)
        pace_.push_back({CostTable(in.opcode) * kSecondsPerCostUnit, TouchesWorld(in.opcode)});
    entry_ = program.entry;
    debug_ = std::move(program.debug);
    executed_ = restarts_ = 0;
    aheadMarkCount_ = 0;
    aheadRestarts_.clear();
    hasLatestFault_ = false;
    faults_.clear();
    callCount_ = 0;
    pc_ = entry_;
    sp_ = -1;
    csp_ = -1;
    time_ = 0;
    status_ = VmStatus::Ok;
}

void KvVMachine::AttachRobot(KvBaseRobot* robot) {
    robot_ = robot;
    if (robot) robot->machine = this;
}

const char* FaultText(KvFaultKind kind) {
    switch (kind) {
#define KV_FAULT_TEXT(name, text) \
    case KvFaultKind::name: return text;
        KV_FAULT_KINDS(KV_FAULT_TEXT)
#undef KV_FAULT_TEXT
    }
    return "fault";
}

KvFaultKind KvVMachine::FaultKind() const {
    const int32_t op = pc_ >= 0 && pc_ < static_cast<int32_t>(code_.size()) ? code_[pc_].opcode : NOP;
    switch (status_) {
        case VmStatus::DivideByZero:
            return op == MOD ? KvFaultKind::RemainderByZero : op == RAND ? KvFaultKind::RandOfZero : KvFaultKind::DivisionByZero;
        case VmStatus::StackFault:
            if (op == LOADL || op == STOREL || (op == ALLOC && sp_ + 1 < kStackSize)) return KvFaultKind::BadLocal;
            return sp_ + 1 >= kStackSize ? KvFaultKind::StackOverflow : KvFaultKind::StackUnderflow;
        case VmStatus::BadGlobal: return KvFaultKind::BadGlobal;
        case VmStatus::BadTarget: return KvFaultKind::BadTarget;
        default: return KvFaultKind::CallStackOverflow;
    }
}

KvMachineRecord KvVMachine::Record() const {
    const int64_t throughTick = Tick();
    KvMachineRecord record;
    record.restarts = restarts_ - std::count_if(aheadRestarts_.begin(), aheadRestarts_.end(),
                                                [&](int64_t tick) { return tick > throughTick; });
    record.instructions = executed_;
    for (uint32_t i = 0; i < aheadMarkCount_; ++i) {
        if (tick_ + aheadMarks_[i].tick > throughTick) {
            record.instructions -= aheadExecuted_ - aheadMarks_[i].before;
            break;
        }
    }
    for (const KvFault& fault : faults_)
        if (fault.tick <= throughTick) record.faults.push_back(fault);
    if (hasLatestFault_) record.last = latestFault_;
    else if (!record.faults.empty()) record.last = record.faults.back();
    // Calls a machine ran ahead to are left out (sqrt and the like; those touching the robot
    // or the random numbers wait for their tick), and with them their places in the ring.
    const uint64_t kept = std::min<uint64_t>(callCount_, calls_.size());
    for (uint64_t i = callCount_ - kept; i < callCount_; ++i) {
        const RecentCall& call = calls_[i % calls_.size()];
        if (call.tick <= throughTick)
            record.calls.push_back({call.opcode,
                                    {call.arguments[0], call.arguments[1]},
                                    call.result,
                                    LineOf(call.pc, call.callerPc),
                                    call.tick,
                                    call.time});
    }
    return record;
}

int32_t KvVMachine::LineOf(int32_t pc, int32_t callerPc) const {
    if (!debug_) return 0;
    // An instruction without a line of its own (a function's entry) is on its caller's.
    const int32_t line = debug_->LineAt(pc);
    return line > 0 || callerPc < 0 ? line : debug_->LineAt(callerPc);
}

int32_t KvVMachine::SourceLine() const { return LineOf(pc_, csp_ >= 0 ? callStack_[csp_] : -1); }

void KvVMachine::CountTick(double dt) {
    const uint32_t skipped = granted_ - std::min(idleTicks, granted_);
    if (!battleClock_) {
        if (tick_ == 0)
            for (int64_t i = 0; i < ticksBefore_; ++i) clock_.Add(dt);
        for (uint32_t i = 0; i < skipped; ++i) clock_.Add(lastDt_);
        clock_.Add(dt);
    }
    if (tick_ == 0) tick_ = ticksBefore_;
    tick_ += 1 + skipped;
    granted_ = 0;  // counted: during the step, Tick() is this tick
    lastDt_ = dt;
    runTick_ = tick_;
}

double KvVMachine::TimeOfRun() const {
    KvKahanSum clock = BattleClock();
    for (int64_t t = tick_; t < runTick_; ++t) clock.Add(lastDt_);
    return clock.value;
}

void KvVMachine::RecordCall(int32_t opcode, int32_t first, int32_t second, int32_t result) {
    // Ahead of the battle (sqrt and the like), near enough.
    const double now = BattleClock().value;
    const double time = now + static_cast<double>(runTick_ - tick_) * lastDt_;
    const int32_t callerPc = csp_ >= 0 ? callStack_[csp_] : -1;
    calls_[callCount_++ % calls_.size()] = {opcode, {first, second}, result, pc_, callerPc, runTick_, time};
}

void KvVMachine::Restart() {
    // Ahead of the battle a fault's time costs a sum over the ticks between; the latest
    // faults are kept for machines in step with the battle, which the inspector watches.
    const bool ahead = runTick_ > tick_;
    if (!ahead || faults_.size() < KvMachineRecord::kKeptFaults) {
        const KvFault fault{FaultKind(), pc_, SourceLine(), runTick_, TimeOfRun()};
        if (faults_.size() < KvMachineRecord::kKeptFaults) faults_.push_back(fault);
        if (!ahead) {
            latestFault_ = fault;
            hasLatestFault_ = true;
        }
    }
    ++restarts_;
    if (ahead) aheadRestarts_.push_back(runTick_);
    time_ = 0;
    pc_ = entry_;
    sp_ = -1;
    csp_ = -1;
    status_ = VmStatus::Ok;
}

const KvVMachine::Pace& KvVMachine::PaceOfNext() const {
    // A pc outside the program executes as a NOP.
    static constexpr Pace kOutside{CostTable(NOP) * kSecondsPerCostUnit, false};
    return pc_ >= 0 && pc_ < static_cast<int32_t>(pace_.size()) ? pace_[pc_] : kOutside;
}

double KvVMachine::Time() const {
    const uint32_t skipped = idleRun_ - std::min(idleTicks, idleRun_);
    if (skipped == idleRun_ && skipped > 0) return idleTime_;
    double t = time_;
    for (uint32_t i = 0; i < skipped; ++i) t = std::min(t + idleDt_, kMaxStepSeconds);
    return t;
}

void KvVMachine::CatchUp() {
    if (idleRun_ > 0) time_ = Time();
    idleRun_ = 0;
    idleTicks = 0;
    plannedCost_ = -1;
}

void KvVMachine::PlanIdle(double dt) {
    if (!(dt > 0)) return;
    // The same additions, in the same order, that the skipped steps would make.
    const double q = plannedCost_ = CostOfNext();
    double t = time_;
    uint32_t n = 0;
    if (t + 4 * dt < kMaxStepSeconds / 2) {
        // Far below the cap, where min() changes nothing: four steps without a branch cover
        // the usual wait of a cheap instruction.
        const double t1 = t + dt, t2 = t1 + dt, t3 = t2 + dt, t4 = t3 + dt;
        n = (t1 <= q) + (t2 <= q) + (t3 <= q) + (t4 <= q);
        // The sums grow, so the last one within q is the n-th.
        t = t1 <= q ? t1 : t;
        t = t2 <= q ? t2 : t;
        t = t3 <= q ? t3 : t;
        t = t4 <= q ? t4 : t;
    }
    if (n == 4) {
        for (; n < kMaxIdleRun; ++n) {
            const double next = std::min(t + dt, kMaxStepSeconds);
            if (q < next) break;
            t = next;
        }
    }
    idleRun_ = idleTicks = n;
    idleDt_ = dt;
    idleTime_ = t;
}

void KvVMachine::RunAhead() {
    runAhead_ = true;
    if (!aheadMarks_) aheadMarks_ = std::make_unique<AheadMark[]>(kMaxAheadTicks);
}

void KvVMachine::Step(double dt) {
    if (status_ == VmStatus::Finished) {
        idleTicks = kIdleForever;  // a finished program never runs again
        return;
    }
    CountTick(dt);
    if (runAhead_ && !observer_) StepAhead(dt);
    else StepHere(dt);
    granted_ = idleTicks;
}

void KvVMachine::StepHere(double dt) {
    aheadMarkCount_ = 0;  // the ticks a run ahead covered, if any, are all behind this one
    const double planned = plannedCost_;
    CatchUp();
    if (dt > 0) time_ = std::min(time_ + dt, kMaxStepSeconds);
    // Every instruction of this step is charged what the first one costs.
    const double q = planned >= 0 ? planned : CostOfNext();
    while (q < time_) {
        ++executed_;
        status_ = Run();
        if (observeEach_) observer_->OnExecuted(status_);
        if (status_ == VmStatus::Finished) {
            idleTicks = kIdleForever;
            return;
        }
        if (status_ != VmStatus::Ok) {
            if (observer_) observer_->OnRestart(status_);
            Restart();
            break;
        }
        time_ -= q;
    }
    PlanIdle(dt);
}

KvVMachine::StepEnd KvVMachine::RunStep(double q, bool ahead, int& executed) {
    while (q < time_) {
        if (ahead && NextTouchesWorld()) return StepEnd::Due;
        ++executed;
        status_ = Run();
        if (status_ == VmStatus::Finished) return StepEnd::Finished;
        if (status_ != VmStatus::Ok) {
            Restart();
            return StepEnd::Done;
        }
        time_ -= q;
    }
    return StepEnd::Done;
}

void KvVMachine::StepAhead(double dt) {
    // This tick's step: the rest of one that running ahead stopped in, or a whole one.
    double q = dueCost_;
    dueCost_ = -1;
    if (q < 0) {
        if (dt > 0) time_ = std::min(time_ + dt, kMaxStepSeconds);
        q = CostOfNext();
    }
    int executed = 0;
    aheadMarkCount_ = 0;
    aheadRestarts_.clear();
    const StepEnd own = RunStep(q, false, executed);
    idleTicks = own == StepEnd::Finished ? kIdleForever : dt > 0 ? RunAheadTicks(dt, executed) : 0;
    executed_ += executed;
    aheadExecuted_ = executed;
}

uint32_t KvVMachine::RunAheadTicks(double dt, int& executed) {
    // Each as it would run in its own tick. Far below the cap, where min() changes nothing,
    // the budget takes plain additions.
    const bool capped = !(time_ + (kMaxAheadTicks + 1.0) * dt < kMaxStepSeconds / 2);
    auto add = [&](double t) { return capped ? std::min(t + dt, kMaxStepSeconds) : t + dt; };
    uint32_t ticks = 0;
    while (ticks < kMaxAheadTicks && executed < kMaxAheadInstructions) {
        const double q = CostOfNext();
        // The ticks in which the instruction at pc cannot be paid for only add to the budget.
        double t = time_, next = add(t);
        while (!(q < next) && ticks < kMaxAheadTicks) {
            t = next;
            next = add(t);
            ++ticks;
        }
        if (ticks == kMaxAheadTicks) {
            time_ = t;
            break;
        }
        // An instruction due in its own tick stops the run there, with that tick's dt
        // already in the budget (Due).
        time_ = next;
        const uint32_t after = ticks + 1;
        runTick_ = tick_ + after;
        aheadMarks_[aheadMarkCount_++] = {after, executed};  // at most one per tick
        const StepEnd end = RunStep(q, true, executed);
        if (end == StepEnd::Finished) return kIdleForever;
        if (end == StepEnd::Due) {
            dueCost_ = q;
            break;
        }
        ++ticks;
    }
    return ticks;
}

// Inserts a zero at sp + 1 + k, moving what lies above it up by one.
VmStatus KvVMachine::Alloc(int32_t k) {
    int64_t d = int64_t{sp_} + 1 + k;
    if (d < 0 || d > sp_ + 1 || sp_ + 1 >= kStackSize) return VmStatus::StackFault;
    std::memmove(&stack_[d + 1], &stack_[d], static_cast<std::size_t>(sp_ + 1 - d) * sizeof(int32_t));
    ++sp_;
    stack_[d] = 0;
    return VmStatus::Ok;
}

VmStatus KvVMachine::Binary(int32_t op) {
    if (sp_ < 1) return VmStatus::StackFault;
    int32_t& a = stack_[sp_ - 1];
    const int32_t b = stack_[sp_];
    const auto ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
    switch (op) {
        case ADD: a = static_cast<int32_t>(ua + ub); break;
        case SUB: a = static_cast<int32_t>(ua - ub); break;
        case MUL: a = static_cast<int32_t>(ua * ub); break;
        case DIV:
            if (b == 0) return VmStatus::DivideByZero;
            a = b == -1 ? static_cast<int32_t>(0u - ua) : a / b;  // INT32_MIN / -1 wraps to itself
            break;
        case MOD:
            if (b == 0) return VmStatus::DivideByZero;
            a = b == -1 ? 0 : a % b;
            break;
        case LOR: a = (a != 0 || b != 0); break;
        case LAND: a = (a != 0 && b != 0); break;
        case BOR: a = a | b; break;
        case BXOR: a = a ^ b; break;
        case BAND: a = a & b; break;
        case EQ: a = (a == b); break;
        case NE: a = (a != b); break;
        case SHL: a = static_cast<int32_t>(ua << (b & 31)); break;
        case SHR: a = a >> (b & 31); break;
        case LT: a = (a < b); break;
        case GT: a = (a > b); break;
        case LE: a = (a <= b); break;
        case GE: a = (a >= b); break;
    }
    --sp_;
    return VmStatus::Ok;
}

VmStatus KvVMachine::Unary(int32_t op) {
    if (sp_ < 0) return VmStatus::StackFault;
    int32_t& a = stack_[sp_];
    const int32_t argument = a;
    const auto ua = static_cast<uint32_t>(a);
    switch (op) {
        case NOT: a = (a == 0); break;
        case COMPL: a = ~a; break;
        case INC: a = static_cast<int32_t>(ua + 1u); break;
        case DEC: a = static_cast<int32_t>(ua - 1u); break;
        case NEG: a = static_cast<int32_t>(0u - ua); break;
        case RAND:
            if (a == 0) return VmStatus::DivideByZero;
            a = NextRandom() % a;
            break;
        case SQRT: a = TruncToInt(std::sqrt(static_cast<double>(a))); break;
        case SIN: a = TruncToInt(std::sin(Radians(a)) * 100000); break;
        case COS: a = TruncToInt(std::cos(Radians(a)) * 100000); break;
        case TAN: a = TruncToInt(std::tan(Radians(a)) * 100000); break;
        case ATAN: a = TruncToInt(Degrees(std::atan(a / 100000.0))); break;
    }
    if (op >= RAND) RecordCall(op, argument, 0, a);
    return VmStatus::Ok;
}

VmStatus KvVMachine::CallRobot(int32_t op) {
    if (sp_ < 1) return VmStatus::StackFault;
    const int32_t direction = stack_[sp_ - 1], second = stack_[sp_];
    int32_t result = 0;
    if (robot_) {
        if (op == SCAN) result = robot_->Scan(direction, second);
        else if (op == CANNON) result = robot_->Cannon(direction, second);
        else result = robot_->Drive(direction, second);
    }
    RecordCall(op, direction, second, result);
    stack_[sp_ - 1] = result;
    --sp_;
    return VmStatus::Ok;
}

VmStatus KvVMachine::ReadRobot(int32_t op) {
    if (sp_ + 1 >= kStackSize) return VmStatus::StackFault;
    double value = 0;
    if (robot_) {
        switch (op) {
            case DAMAGE: value = robot_->damage; break;
            case SPEED: value = robot_->speed; break;
            case LOCX: value = robot_->position.x; break;
            case LOCY: value = robot_->position.y; break;
        }
    }
    stack_[++sp_] = TruncToInt(value);
    RecordCall(op, 0, 0, stack_[sp_]);
    return VmStatus::Ok;
}

VmStatus KvVMachine::Execute() {
    CatchUp();
    return Run();
}

VmStatus KvVMachine::Run() {
    const auto length = static_cast<int32_t>(code_.size());
    if (pc_ < 0 || pc_ >= length) return VmStatus::Ok;
    const Instruction in = code_[pc_];
    const int32_t k = in.operand;
    VmStatus status = VmStatus::Ok;

    switch (in.opcode) {
        case LOADL:
        case STOREL: {
            const int64_t i = int64_t{sp_} + k;
            if (!ValidIndex(i)) return VmStatus::StackFault;
            if (in.opcode == LOADL) a_ = stack_[i];
            else stack_[i] = a_;
            break;
        }
        case LOADG:
        case STOREG:
            if (!ValidIndex(k)) return VmStatus::BadGlobal;
            if (in.opcode == LOADG) a_ = stack_[k];
            else stack_[k] = a_;
            break;
        case CALL:
            if (k < 0 || k >= length) return VmStatus::BadTarget;
            if (csp_ + 1 >= kCallStackSize) return VmStatus::CallStackOverflow;
            callStack_[++csp_] = pc_;
            pc_ = k;
            return VmStatus::Ok;
        case RET:
            if (csp_ < 0) return VmStatus::Finished;
            pc_ = callStack_[csp_--] + 1;
            return VmStatus::Ok;
        case PUSHA:
        case PUSHC:
            if (sp_ + 1 >= kStackSize) return VmStatus::StackFault;
            stack_[++sp_] = in.opcode == PUSHA ? a_ : k;
            break;
        case ALLOC: status = Alloc(k); break;
        case POPA:
            if (sp_ < 0) return VmStatus::StackFault;
            a_ = stack_[sp_--];
            break;
        case JMP:
            if (k < 0 || k >= length) return VmStatus::BadTarget;
            pc_ = k;
            return VmStatus::Ok;
        case JZ: {
            if (sp_ < 0) return VmStatus::StackFault;
            if (k < 0 || k >= length) return VmStatus::BadTarget;
            const bool zero = stack_[sp_--] == 0;
            pc_ = zero ? k : pc_ + 1;
            return VmStatus::Ok;
        }
        case ADD: case SUB: case MUL: case DIV: case MOD: case LOR: case LAND: case BOR: case BXOR:
        case BAND: case EQ: case NE: case SHL: case SHR: case LT: case GT: case LE: case GE:
            status = Binary(in.opcode);
            break;
        case NOT: case COMPL: case INC: case DEC: case NEG: case RAND: case SQRT: case SIN: case COS:
        case TAN: case ATAN:
            status = Unary(in.opcode);
            break;
        case SCAN: case CANNON: case DRIVE: status = CallRobot(in.opcode); break;
        case DAMAGE: case SPEED: case LOCX: case LOCY: status = ReadRobot(in.opcode); break;
        default: break;  // NOP and unknown opcodes only advance
    }
    if (status == VmStatus::Ok) ++pc_;
    return status;
}

}  // namespace kv
