#pragma once
// The robot inspector's side in the battle: it watches one robot's machine as the battle
// ticks, pauses the battle at a breakpoint, at the end of a step or at a fault, remembers
// the lines the robot was on tick by tick while it watches every instruction (so Back knows
// where to seek; a replay fills in the rest), and hands out what the machine looks like. Watching never changes the battle: the observer only reads, and a
// pause it asks for comes after the tick it happens in.
//
// Threads: the observer runs on whichever thread ticks, under the scheduler mutex; every
// setter takes that mutex too. While the battle runs, the ticking thread publishes the view
// at most every kPublishSeconds of the clock into a copy it only try-locks, so it never waits
// for a reader; while paused, View reads the machine itself.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "vm/MachineView.h"
#include "vm/VMachine.h"

namespace kv {

class KvBattle;

// Why the inspector paused the battle.
enum class KvInspectorStop { None, Breakpoint, Step, StepOut, Fault };

struct KvInspection {
    int slot = -1;       // -1: no robot inspected
    bool alive = false;  // false once destroyed: the machine is as it was last seen
    bool paused = false;
    int64_t tick = 0;    // the battle's ticks when the view was taken
    KvInspectorStop stop = KvInspectorStop::None;
    KvMachineView machine;
    // After a stop at a fault: the machine as the fault left it, before its restart.
    KvMachineView faulted;
};

class KvInspector : public KvVMachine::Observer {
public:
    static constexpr double kPublishSeconds = 0.1;
    // The most line changes Back remembers.
    static constexpr size_t kKeptRuns = 1 << 16;

    enum class Go { Continue, StepLine, StepOut };

    explicit KvInspector(KvBattle& battle) : battle_(battle) {}
    ~KvInspector() override { Detach(); }
    KvInspector(const KvInspector&) = delete;
    KvInspector& operator=(const KvInspector&) = delete;

    // The robot of a slot from now on (its breakpoints cleared when it is another); -1 none.
    void Inspect(int slot);
    int Slot() const { return slot_; }
    // After the battle was set up again, with no tick running: watches the slot's new
    // machine from its start, disarmed (no pause asked for) until Arm.
    void Attach();
    void Arm(bool armed);

    void SetBreakpoint(int32_t line, bool on);
    bool HasBreakpoint(int32_t line) const;
    std::vector<int32_t> Breakpoints() const;
    void SetPauseOnFault(bool on);
    bool PauseOnFault() const { return pauseOnFault_; }

    // Paused: what the next run of the battle is for. A step pauses the battle after the
    // tick in which the robot arrives at a line (or the start of its line again, by a
    // jump), or leaves the function it is in.
    void Start(Go how);
    // The inspector asked for the pause the battle stands in.
    bool Stopped();
    // Whether the lines were followed from the battle's first tick on.
    bool KnowsHistory();
    // The latest tick at whose end the robot was on a line other than its line now; -1 when
    // none is known.
    int64_t BackTick();

    // On the ticking thread after each tick of the worker, holding the scheduler mutex.
    void AfterTick() {
        // The clock is read about every millisecond only: it costs as much as a tick.
        if (slot_ >= 0 && ++ticksUnread_ >= ticksPerRead_) Publish();
    }
    // The robot as it is now when paused, or as the worker published it lately.
    KvInspection View();

    void OnExecuted(VmStatus status) override;
    void OnRestart(VmStatus fault) override;

private:
    // The line from the end of a tick on.
    struct Run {
        int64_t fromTick;
        int32_t line;
    };
    KvVMachine* Machine() const;
    void Detach();
    // The robot about to run the instruction at pc of line, after tick's instructions.
    void Arrived(int32_t pc, int32_t line, bool jumped);
    void EndTick();
    // Every instruction is watched while a breakpoint, a step or a replay needs it; the
    // worker running on without any leaves only the restarts watched.
    void FollowEach();
    void FollowRestartsOnly();
    // Notes a death, and publishes the view when its time has come.
    void Publish();
    void Stop(KvInspectorStop why);
    // The view of the machine now; under the scheduler mutex.
    KvInspection Take();

    KvBattle& battle_;
    int slot_ = -1;
    int index_ = -1;  // the slot's robot in the session's lists
    KvVMachine* watched_ = nullptr;
    bool armed_ = false;
    std::vector<bool> breakpoints_;  // by line
    bool pauseOnFault_ = false;
    Go go_ = Go::Continue;
    int32_t outCsp_ = -1;  // Step out: the call depth it ends below
    KvInspectorStop stop_ = KvInspectorStop::None;
    int64_t stopTick_ = -1;  // the tick whose end the stop pauses at
    KvMachineView faulted_;
    KvInspection last_;  // the latest view taken, kept when the robot dies

    const int32_t* lines_ = nullptr;  // the watched program's line of each instruction
    int32_t lineCount_ = 0;
    int32_t line_ = 0;
    int32_t lastPc_ = -1;
    int64_t tick_ = 0;  // the tick of the latest instruction seen
    bool followsEach_ = false;
    std::vector<Run> runs_;  // the lines since every instruction was last watched
    bool fromStart_ = false;

    int ticksUnread_ = 0;
    int ticksPerRead_ = 1;  // doubled or halved to read the clock about once a millisecond
    std::chrono::steady_clock::time_point lastRead_{};
    std::chrono::steady_clock::time_point nextPublish_{};
    std::mutex sharedMutex_;
    KvInspection shared_;  // under sharedMutex_
};

}  // namespace kv
