#include "sim/Inspector.h"

#include <algorithm>

#include "sim/Battle.h"

namespace kv {

KvVMachine* KvInspector::Machine() const {
    const auto& machines = battle_.Holder().machines;
    return index_ >= 0 && index_ < static_cast<int>(machines.size()) ? machines[index_] : nullptr;
}

void KvInspector::Inspect(int slot) {
    std::lock_guard held(battle_.Scheduler().Mutex());
    if (slot != slot_) breakpoints_.clear();
    slot_ = slot;
    Attach();
    armed_ = true;
}

void KvInspector::Detach() {
    // A machine that died with its robot is gone; only the live one still knows us.
    if (watched_ && Machine() == watched_) watched_->SetObserver(nullptr);
    watched_ = nullptr;
    followsEach_ = false;
}

void KvInspector::Attach() {
    std::lock_guard held(battle_.Scheduler().Mutex());
    Detach();
    const KvGameHolder& holder = battle_.Holder();
    index_ = -1;
    for (size_t k = 0; k < holder.robotSlots.size(); ++k)
        if (slot_ >= 0 && holder.robotSlots[k] == slot_) index_ = static_cast<int>(k);
    armed_ = false;
    go_ = Go::Continue;
    stop_ = KvInspectorStop::None;
    stopTick_ = -1;
    last_ = KvInspection();
    runs_.clear();
    nextPublish_ = {};
    ticksUnread_ = 0;
    ticksPerRead_ = 1;
    {
        std::lock_guard shared(sharedMutex_);
        shared_ = KvInspection();
        shared_.slot = slot_;
    }
    KvVMachine* machine = Machine();
    if (!machine) return;
    watched_ = machine;
    const KvDebugInfo* debug = machine->Debug().get();
    lines_ = debug ? debug->lines.data() : nullptr;
    lineCount_ = debug ? static_cast<int32_t>(debug->lines.size()) : 0;
    FollowEach();
    fromStart_ = tick_ == 0;
    last_ = Take();
}

void KvInspector::FollowEach() {
    if (followsEach_ || !watched_ || Machine() != watched_) return;
    followsEach_ = true;
    watched_->SetObserver(this, true);
    tick_ = battle_.Ticks();
    line_ = watched_->SourceLine();
    lastPc_ = watched_->Pc();
    // The lines are known from here on.
    runs_.assign(1, {tick_, line_});
}

void KvInspector::FollowRestartsOnly() {
    const bool needsEach = !armed_ || go_ != Go::Continue ||
                           std::find(breakpoints_.begin(), breakpoints_.end(), true) != breakpoints_.end();
    if (!followsEach_ || needsEach || !watched_) return;
    followsEach_ = false;
    watched_->SetObserver(this, false);
    // Back learns the lines from here on by a replay.
    runs_.clear();
    fromStart_ = false;
}

void KvInspector::Arm(bool armed) {
    std::lock_guard held(battle_.Scheduler().Mutex());
    armed_ = armed;
}

void KvInspector::SetBreakpoint(int32_t line, bool on) {
    if (line <= 0) return;
    std::lock_guard held(battle_.Scheduler().Mutex());
    if (static_cast<size_t>(line) >= breakpoints_.size()) {
        if (!on) return;
        breakpoints_.resize(line + 1);
    }
    breakpoints_[line] = on;
    if (on) FollowEach();
}

bool KvInspector::HasBreakpoint(int32_t line) const {
    return line > 0 && static_cast<size_t>(line) < breakpoints_.size() && breakpoints_[line];
}

std::vector<int32_t> KvInspector::Breakpoints() const {
    std::vector<int32_t> lines;
    for (size_t line = 0; line < breakpoints_.size(); ++line)
        if (breakpoints_[line]) lines.push_back(static_cast<int32_t>(line));
    return lines;
}

void KvInspector::SetPauseOnFault(bool on) {
    std::lock_guard held(battle_.Scheduler().Mutex());
    pauseOnFault_ = on;
}

void KvInspector::Start(Go how) {
    std::lock_guard held(battle_.Scheduler().Mutex());
    go_ = how;
    const KvVMachine* machine = Machine();
    outCsp_ = machine ? machine->Csp() : -1;
    stop_ = KvInspectorStop::None;
    stopTick_ = -1;
    if (how != Go::Continue) FollowEach();
}

bool KvInspector::Stopped() {
    std::lock_guard held(battle_.Scheduler().Mutex());
    return stop_ != KvInspectorStop::None && battle_.Ticks() == stopTick_ && battle_.Scheduler().Paused();
}

bool KvInspector::KnowsHistory() {
    std::lock_guard held(battle_.Scheduler().Mutex());
    return fromStart_;
}

int64_t KvInspector::BackTick() {
    std::lock_guard held(battle_.Scheduler().Mutex());
    if (runs_.empty()) return -1;
    // Runs next to each other are on different lines; the latest tick may not be kept yet.
    if (runs_.back().line != line_) return tick_ - 1;
    return runs_.size() >= 2 ? runs_.back().fromTick - 1 : -1;
}

void KvInspector::EndTick() {
    if (!runs_.empty() && runs_.back().line == line_) return;
    if (runs_.size() >= kKeptRuns) {
        runs_.erase(runs_.begin(), runs_.begin() + kKeptRuns / 4);
        fromStart_ = false;
    }
    runs_.push_back({tick_, line_});
}

void KvInspector::Stop(KvInspectorStop why) {
    if (stopTick_ == tick_) return;
    stop_ = why;
    stopTick_ = tick_;
    go_ = Go::Continue;
    battle_.PauseAfterThisTick();
}

void KvInspector::Arrived(int32_t pc, int32_t line, bool jumped) {
    // A jump back to the first instruction of a line arrives at it again.
    const KvDebugInfo* debug = watched_->Debug().get();
    const bool lineStart = debug && debug->LineAt(pc) > 0 && debug->LineAt(pc - 1) != debug->LineAt(pc);
    const bool arrived = line != line_ || (jumped && lineStart);
    line_ = line;
    if (!arrived || !armed_) return;
    if (HasBreakpoint(line)) Stop(KvInspectorStop::Breakpoint);
    else if (go_ == Go::StepLine) Stop(KvInspectorStop::Step);
}

void KvInspector::OnExecuted(VmStatus status) {
    const KvVMachine& machine = *watched_;
    if (machine.Tick() != tick_) {
        EndTick();
        tick_ = machine.Tick();
    }
    if (status == VmStatus::Finished && armed_ && go_ != Go::Continue) Stop(KvInspectorStop::Step);
    // A fault is seen by OnRestart, before the restart.
    if (status != VmStatus::Ok) return;
    const int32_t pc = machine.Pc();
    // On along the code of one line (or of one built-in's stub): nowhere arrived.
    if (lastPc_ >= 0 && pc == lastPc_ + 1 && pc < lineCount_ && lines_[pc] == lines_[lastPc_]) {
        lastPc_ = pc;
        if (go_ == Go::StepOut && armed_ && machine.Csp() < outCsp_) Stop(KvInspectorStop::StepOut);
        return;
    }
    Arrived(pc, machine.SourceLine(), pc != lastPc_ + 1);
    lastPc_ = pc;
    if (armed_ && go_ == Go::StepOut && machine.Csp() < outCsp_) Stop(KvInspectorStop::StepOut);
}

void KvInspector::OnRestart(VmStatus) {
    const KvVMachine& machine = *watched_;
    if (armed_ && pauseOnFault_) {
        faulted_ = ViewOf(machine);
        Stop(KvInspectorStop::Fault);
    } else if (armed_ && go_ == Go::StepOut) {
        Stop(KvInspectorStop::StepOut);
    }
    // The restart puts the program at main's start.
    const int32_t entry = machine.Entry();
    Arrived(entry, machine.Debug() ? machine.Debug()->LineAt(entry) : 0, true);
    lastPc_ = entry;
}

void KvInspector::Publish() {
    ticksUnread_ = 0;
    if (watched_ && Machine() != watched_) {
        // The robot died: its machine is gone with this tick, and no step can end.
        watched_ = nullptr;
        go_ = Go::Continue;
    }
    // Running on with nothing to stop at, the robot's instructions are left unwatched.
    FollowRestartsOnly();
    const auto now = std::chrono::steady_clock::now();
    const auto sinceRead = now - lastRead_;
    lastRead_ = now;
    if (sinceRead < std::chrono::microseconds(500) && ticksPerRead_ < 4096) ticksPerRead_ *= 2;
    else if (sinceRead > std::chrono::milliseconds(2) && ticksPerRead_ > 1) ticksPerRead_ /= 2;
    if (now < nextPublish_) return;
    nextPublish_ = now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                             std::chrono::duration<double>(kPublishSeconds));
    KvInspection view = Take();
    // A reader holding the copy makes this publication wait for the next one.
    if (sharedMutex_.try_lock()) {
        shared_ = std::move(view);
        sharedMutex_.unlock();
    }
}

KvInspection KvInspector::View() {
    {
        std::lock_guard held(battle_.Scheduler().Mutex());
        if (battle_.Scheduler().Paused()) return Take();
    }
    std::lock_guard shared(sharedMutex_);
    return shared_;
}

KvInspection KvInspector::Take() {
    KvInspection view;
    view.slot = slot_;
    view.tick = battle_.Ticks();
    view.paused = battle_.Scheduler().Paused();
    if (slot_ < 0 || index_ < 0) return view;
    if (const KvVMachine* machine = Machine()) {
        view.alive = true;
        view.machine = ViewOf(*machine);
    } else {
        view.machine = last_.machine;
        const auto& records = battle_.Holder().retiredRecords;
        if (static_cast<size_t>(index_) < records.size()) view.machine.record = records[index_];
    }
    if (view.paused && stop_ != KvInspectorStop::None && view.tick == stopTick_) {
        view.stop = stop_;
        if (stop_ == KvInspectorStop::Fault) {
            view.faulted = faulted_;
            view.faulted.record = view.machine.record;
        }
    }
    if (view.alive) last_ = view;
    return view;
}

}  // namespace kv
