#pragma once
// One robot's bytecode machine. Runs its program a slice of simulated time at a time:
// every instruction costs 0.003 s per cost unit, so programs run at the same pace on
// every host. A fault silently restarts the program from main; the end of main stops it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/KahanSum.h"
#include "core/Process.h"
#include "vm/BaseRobot.h"
#include "vm/MachineRecord.h"
#include "vm/RobotProgram.h"

namespace kv {

class KvVMachine : public KvProcess {
public:
    static constexpr int32_t kStackSize = 200000;
    static constexpr int32_t kCallStackSize = 100000;
    static constexpr double kSecondsPerCostUnit = 0.003;
    // The most time one step may hold: 2^31 cost units (about 75 days). A step given
    // more keeps only this much, so no dt, however large, makes a step endless.
    static constexpr double kMaxStepSeconds = 2147483648.0 * kSecondsPerCostUnit;

    KvVMachine();

    // Takes the linked image; pc goes to the entry, both stacks are emptied and the
    // program may run again.
    void Load(RobotProgram program);
    // Ties machine and body together; neither owns the other.
    void AttachRobot(KvBaseRobot* robot);

    // Adds dt to the time budget and executes while the cost of the instruction the
    // step began at fits strictly into it. A negative or NaN dt adds nothing; the
    // budget is capped at kMaxStepSeconds. Afterwards it works out how many more steps
    // of the same dt would only add to the budget, and lets the scheduler skip them
    // (idleTicks); the next step adds their dt first, one by one as they would have been.
    void Step(double dt) override;
    // Promises that every later Step gets the same dt, as the scheduler of a fixed-tick
    // battle gives it. The machine then executes the instructions that touch neither its
    // robot nor the random numbers ahead of their tick, as soon as it can, and is stepped
    // only in the ticks where one that does is due: what the robot and the battle see
    // happens in the same ticks, in the same order. Time, pc and the stacks run ahead of
    // the battle; a machine with an observer never runs ahead.
    void RunAhead();
    // Executes the instruction at pc. Anything but Ok leaves pc unchanged.
    VmStatus Execute();

    // Observers (and the hooks of the robot-author tools) see the machine as it runs.
    struct Observer {
        virtual ~Observer() = default;
        virtual void OnExecuted(VmStatus status) {}
        virtual void OnRestart(VmStatus fault) {}
    };
    // An observer that needs only the restarts leaves every instruction to run at full speed.
    void SetObserver(Observer* observer, bool everyInstruction = true) {
        observer_ = observer;
        observeEach_ = observer && everyInstruction;
    }

    // Restarts, faults, instructions and the latest built-in calls through the latest tick
    // the machine has seen: what a machine running ahead did in later ticks is left out.
    KvMachineRecord Record() const;
    // The ticks this machine has seen, skipped ones included: the battle's tick once the
    // scheduler has passed it in this tick.
    int64_t Tick() const { return tick_ + (granted_ - std::min(idleTicks, granted_)); }
    // The battle's ticks that run before this machine's first step, so that its record
    // counts the battle's ticks and time; each is taken to have the first step's dt.
    void StartsAfterTicks(int64_t ticks) { ticksBefore_ = ticks; }
    // The battle's time as the battle sums it, at this machine's steps: the record's times
    // are read from it rather than summed again tick by tick. Without one the machine sums
    // the dt of its own steps.
    void SetBattleClock(const KvKahanSum* clock) { battleClock_ = clock; }
    // The compiler's view of the program; null for code made by hand.
    const std::shared_ptr<const KvDebugInfo>& Debug() const { return debug_; }
    // The source line of the instruction at pc; inside a built-in's stub, the line of its
    // call. 0 when unknown.
    int32_t SourceLine() const;
    // The call stack's entry at an index (the pc of a CALL); -1 outside it.
    int32_t CallStackValue(int32_t index) const { return index >= 0 && index <= csp_ ? callStack_[index] : -1; }

    const std::vector<Instruction>& Code() const { return code_; }
    int32_t Entry() const { return entry_; }
    int32_t Pc() const { return pc_; }
    int32_t Sp() const { return sp_; }
    int32_t Csp() const { return csp_; }
    int32_t A() const { return a_; }
    // The budget as if every step the scheduler skipped had run.
    double Time() const;
    VmStatus GetStatus() const { return status_; }
    bool Finished() const { return status_ == VmStatus::Finished; }
    KvBaseRobot* Robot() const { return robot_; }
    // The data stack's slot at an absolute index; 0 outside the stack.
    int32_t StackValue(int32_t index) const { return index >= 0 && index < kStackSize ? stack_[index] : 0; }

    // Register access for tools and tests that drive Execute by hand.
    void SetPc(int32_t pc) {
        CatchUp();
        pc_ = pc;
    }
    void SetA(int32_t a) { a_ = a; }
    void Push(int32_t v) {
        if (sp_ + 1 < kStackSize) stack_[++sp_] = v;
    }

private:
    // The most steps one plan lets the scheduler skip; a longer wait is planned in parts.
    static constexpr uint32_t kMaxIdleRun = 4096;

    struct FreeStack {
        std::size_t bytes = 0;
        void operator()(int32_t* p) const;
    };
    using Stack = std::unique_ptr<int32_t[], FreeStack>;
    static Stack NewStack(int32_t size);

    VmStatus Run();
    // What pacing needs of an instruction, worked out once per program: its cost in
    // seconds, and whether it touches the robot or the random numbers.
    struct Pace {
        double seconds;
        bool touchesWorld;
    };
    const Pace& PaceOfNext() const;
    double CostOfNext() const { return PaceOfNext().seconds; }
    // Adds the dt of the steps the scheduler skipped, and forgets the plan.
    void CatchUp();
    // Counts the steps of dt after this one that would execute nothing.
    void PlanIdle(double dt);
    bool NextTouchesWorld() const { return PaceOfNext().touchesWorld; }
    enum class StepEnd { Done, Finished, Due };
    // The loop of a step charging q per instruction. Ahead, it stops (Due) before an
    // instruction that touches the robot or the random numbers.
    StepEnd RunStep(double q, bool ahead, int& executed);
    // Steps of the ticks after this one, as far as nothing is due in them; the scheduler
    // skips them.
    void StepAhead(double dt);
    // The steps of the ticks after this one, up to an instruction that must wait for its
    // tick; returns the ticks they cover.
    uint32_t RunAheadTicks(double dt, int& executed);
    // A step as it comes, for a machine not running ahead.
    void StepHere(double dt);
    // Keeps the fault in status_ and starts main again.
    void Restart();
    KvFaultKind FaultKind() const;
    // Counts the step of a tick, and the ticks skipped before it.
    void CountTick(double dt);
    void RecordCall(int32_t opcode, int32_t first, int32_t second, int32_t result);
    VmStatus CallRobot(int32_t op);
    VmStatus ReadRobot(int32_t op);
    VmStatus Unary(int32_t op);
    VmStatus Binary(int32_t op);
    VmStatus Alloc(int32_t k);

    std::vector<Instruction> code_;
    std::shared_ptr<const KvDebugInfo> debug_;
    std::vector<Pace> pace_;  // one per instruction of code_
    int32_t entry_ = 0;
    Stack stack_;
    int32_t sp_ = -1;
    Stack callStack_;
    int32_t csp_ = -1;
    int32_t pc_ = 0;
    double time_ = 0;
    int32_t a_ = 0;
    KvBaseRobot* robot_ = nullptr;
    VmStatus status_ = VmStatus::Ok;
    Observer* observer_ = nullptr;
    bool observeEach_ = false;
    // The plan of the latest step: idleRun_ steps of idleDt_ that only add to the budget,
    // which is idleTime_ after all of them.
    uint32_t idleRun_ = 0;
    double idleDt_ = 0;
    double idleTime_ = 0;
    // The cost of the instruction at pc as the plan found it; negative when not known.
    double plannedCost_ = -1;
    bool runAhead_ = false;
    // Running ahead stopped in the middle of a step charging this; negative when not.
    double dueCost_ = -1;

    // The record. tick_ is the battle's tick at the latest step, whose time the battle clock (or clock_) holds;
    // runTick_ is the tick the instruction running now belongs to, later when ahead.
    double TimeOfRun() const;
    const KvKahanSum& BattleClock() const { return battleClock_ ? *battleClock_ : clock_; }
    int64_t tick_ = 0;
    int64_t ticksBefore_ = 0;
    KvKahanSum clock_;  // without a battle clock, the machine's own sum of its steps' dt
    const KvKahanSum* battleClock_ = nullptr;
    double lastDt_ = 0;
    uint32_t granted_ = 0;  // idleTicks as the latest step left it
    int64_t runTick_ = 0;
    int64_t executed_ = 0;
    int64_t restarts_ = 0;
    std::vector<KvFault> faults_;
    KvFault latestFault_;  // of the faults in step with the battle
    bool hasLatestFault_ = false;
    // A call keeps its pc and its caller's; the line is looked up only when the record is read.
    struct RecentCall {
        int32_t opcode;
        int32_t arguments[2];
        int32_t result;
        int32_t pc;
        int32_t callerPc;  // -1 outside any function
        int64_t tick;
        double time;
    };
    std::array<RecentCall, KvMachineRecord::kKeptCalls> calls_{};
    uint64_t callCount_ = 0;
    int32_t LineOf(int32_t pc, int32_t callerPc) const;
    // The latest run ahead: where each later tick's run began (its tick after tick_, and the
    // instructions of the step before it, out of aheadExecuted_), and the ticks of its restarts.
    struct AheadMark {
        uint32_t tick;
        int32_t before;
    };
    std::unique_ptr<AheadMark[]> aheadMarks_;  // one per tick a run ahead may reach
    uint32_t aheadMarkCount_ = 0;
    int64_t aheadExecuted_ = 0;
    std::vector<int64_t> aheadRestarts_;
};

}  // namespace kv
