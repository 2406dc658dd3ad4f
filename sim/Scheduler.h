#pragma once
// The process scheduler: every tick steps each active process once with the same dt.
//
// Rules that hold across this file:
// - The three sets change only under the scheduler mutex. Steps never see the active set
//   change: additions and removals made during a tick wait in the pending sets until Flush
//   at the end of the tick, and additions are applied before removals.
// - The scheduler owns nothing; it deletes a process only when Remove was asked to.
// - Processes are kept in creation order (KvProcess::sequence), not by address, so that a
//   run with the same seed and fixed dt repeats exactly.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>

#include "core/Process.h"
#include "sim/ProcessSet.h"

namespace kv {

// A mutex object; the scene derives from it.
class KvLock {
public:
    virtual ~KvLock() = default;
    void Lock() { mutex_.lock(); }
    void Unlock() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

// Seconds from the monotonic high-resolution clock.
class PrecisionClock {
public:
    static double Now();
};

// Where a tick's dt comes from.
class KvTickTimer {
public:
    virtual ~KvTickTimer() = default;
    // Called once per tick that is not paused, unless the timer has a fixed dt.
    virtual double NextDt() = 0;
    // The dt of every tick, for a timer that never changes it (the scheduler then takes it
    // once instead of asking every tick); NaN otherwise.
    virtual double FixedDt() const { return std::numeric_limits<double>::quiet_NaN(); }
};

// The game's time source: the real time since the previous tick, at most kMaxDt. The first
// reading gives 0; the time of a pause is measured by the first tick after it, and capped.
class MeasuredTickTimer : public KvTickTimer {
public:
    static constexpr double kMaxDt = 0.3;
    explicit MeasuredTickTimer(std::function<double()> clock = PrecisionClock::Now)
        : clock_(std::move(clock)) {}
    double NextDt() override;

private:
    std::function<double()> clock_;
    bool started_ = false;
    double last_ = 0;
};

// A fixed step, for headless battles that must repeat exactly.
class FixedTickTimer : public KvTickTimer {
public:
    explicit FixedTickTimer(double dt) : dt_(dt) {}
    double NextDt() override { return dt_; }
    double FixedDt() const override { return dt_; }

private:
    const double dt_;
};

// A mutex that the thread holding it may lock again (steps call Add and Remove inside the
// tick). Locking it again costs no atomic read-modify-write, so a thread that holds it
// around many ticks pays for the lock once.
class ReentrantMutex {
public:
    void lock() {
        const uintptr_t self = ThisThread();
        if (owner_.load(std::memory_order_relaxed) == self) {
            ++depth_;
            return;
        }
        mutex_.lock();
        owner_.store(self, std::memory_order_relaxed);
        depth_ = 1;
    }
    void unlock() {
        if (--depth_ > 0) return;
        owner_.store(0, std::memory_order_relaxed);
        mutex_.unlock();
    }

private:
    // A thread only ever finds its own mark in owner_ when it stored it itself.
    static uintptr_t ThisThread() {
        static thread_local char mark;
        return reinterpret_cast<uintptr_t>(&mark);
    }

    std::mutex mutex_;
    std::atomic<uintptr_t> owner_{0};
    int depth_ = 0;  // touched only by the owner
};

class ProcessScheduler {
public:
    // Without a timer the scheduler measures real time like the game.
    explicit ProcessScheduler(KvTickTimer* timer = nullptr);
    ProcessScheduler(const ProcessScheduler&) = delete;
    ProcessScheduler& operator=(const ProcessScheduler&) = delete;

    // Immediate additions go straight into the active set; others wait for the end of the tick.
    void Add(KvProcess* p, bool lock, bool immediate);
    // deleteIt marks the process for deletion when it leaves the active set. An immediate
    // removal touches only the active set; a process still pending addition stays pending.
    void Remove(KvProcess* p, bool lock, bool immediate, bool deleteIt);
    // Takes p out of every set without deleting it: for owners that are about to delete a
    // process that may still be pending (a battle cleared before its first tick).
    void Forget(KvProcess* p);
    // Waits for the running tick to end, then sets paused; resuming wakes a waiting worker.
    void SetPaused(bool value);
    bool Paused();
    // One tick: unless paused, steps every active process with the timer's dt, then flushes.
    // While paused it returns false at once without reading the clock, so the first tick
    // after a pause measures the whole pause (and the timer caps it).
    bool Tick();
    // For the worker between ticks: blocks while paused, until resumed or Wake is called
    // with stop set. Takes no lock the tick needs, so the main thread pauses freely. True
    // when it waited.
    bool WaitWhilePaused(const std::atomic<bool>& stop);
    // How many times the scheduler was paused so far; a worker pacing its ticks to a clock
    // starts afresh when it changed, however short the pause was.
    uint64_t Pauses() const { return pauses_.load(std::memory_order_acquire); }
    // Wakes WaitWhilePaused so that it sees its stop flag.
    void Wake();
    // Applies the pending additions, then the pending removals.
    void Flush();

    // The sum of the dt of every tick that ran, including the one running now.
    double SimulatedTime() const { return simulatedTime_.load(std::memory_order_relaxed); }
    // The dt of the running or latest tick.
    double CurrentDt() const { return currentDt_.load(std::memory_order_relaxed); }
    // The scheduler mutex, re-entrant: steps call Add and Remove while the tick holds it. A
    // thread that ticks many times in a row may hold it around all of them.
    ReentrantMutex& Mutex() { return mutex_; }

    // The thread contract, for debug assertions. A worker thread registers itself while it
    // runs. Only debug builds record which thread is ticking; release builds answer true.
    void SetWorkerRunning(bool running) { workerRunning_.store(running, std::memory_order_release); }
    // The calling thread is inside Tick, holding the mutex.
    bool InTick() const;
    // The calling thread may touch the simulation: it is inside Tick, or no tick can run
    // on another thread (the scheduler is paused or no worker thread runs).
    bool OwnsSimulation() const;

    // Observers for tests and tools; call them with the mutex held or the scheduler idle.
    const ProcessSet& Active() const { return active_; }
    const ProcessSet& PendingAdd() const { return pendingAdd_; }
    const ProcessSet& PendingRemove() const { return pendingRemove_; }

private:
    void EraseActive(KvProcess* p);

    ReentrantMutex mutex_;
    bool paused_ = false;
    // paused_ as the waiting worker sees it: changed under both locks, waited on under pauseMutex_.
    std::atomic<bool> pauseShown_{false};
    std::atomic<uint64_t> pauses_{0};
    std::mutex pauseMutex_;
    std::condition_variable pauseChanged_;
    std::atomic<bool> workerRunning_{false};
    std::atomic<std::thread::id> tickThread_{};  // recorded in debug builds only
    ProcessSet active_, pendingAdd_, pendingRemove_;
    MeasuredTickTimer ownTimer_;
    KvTickTimer* timer_;
    const double fixedDt_;  // the timer's fixed dt, or NaN
    std::atomic<double> simulatedTime_{0};
    std::atomic<double> currentDt_{0};
    double steadyDt_ = std::numeric_limits<double>::quiet_NaN();  // the dt of the latest tick
};

}  // namespace kv
