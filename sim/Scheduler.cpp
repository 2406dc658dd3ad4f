#include "sim/Scheduler.h"

#include <chrono>
#include <cmath>

namespace kv {

double PrecisionClock::Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double MeasuredTickTimer::NextDt() {
    const double now = clock_();
    if (!started_) {
        started_ = true;
        last_ = now;
    }
    double dt = now - last_;
    last_ = now;
    return dt > kMaxDt ? kMaxDt : dt;
}

ProcessScheduler::ProcessScheduler(KvTickTimer* timer)
    : timer_(timer ? timer : &ownTimer_), fixedDt_(timer_->FixedDt()) {}

void ProcessScheduler::Add(KvProcess* p, bool lock, bool immediate) {
    std::unique_lock guard(mutex_, std::defer_lock);
    if (lock) guard.lock();
    (immediate ? active_ : pendingAdd_).insert(p);
}

void ProcessScheduler::Remove(KvProcess* p, bool lock, bool immediate, bool deleteIt) {
    std::unique_lock guard(mutex_, std::defer_lock);
    if (lock) guard.lock();
    if (deleteIt) p->deleteOnRemove = true;
    if (immediate) EraseActive(p);
    else pendingRemove_.insert(p);
}

void ProcessScheduler::Forget(KvProcess* p) {
    std::lock_guard guard(mutex_);
    active_.erase(p);
    pendingAdd_.erase(p);
    pendingRemove_.erase(p);
}

void ProcessScheduler::SetPaused(bool value) {
    std::lock_guard guard(mutex_);
    if (value && !paused_) pauses_.fetch_add(1, std::memory_order_acq_rel);
    paused_ = value;
    {
        std::lock_guard waiting(pauseMutex_);
        pauseShown_.store(value, std::memory_order_relaxed);
    }
    if (!value) pauseChanged_.notify_all();
}

bool ProcessScheduler::WaitWhilePaused(const std::atomic<bool>& stop) {
    if (!pauseShown_.load(std::memory_order_relaxed)) return false;
    std::unique_lock waiting(pauseMutex_);
    pauseChanged_.wait(waiting, [&] {
        return !pauseShown_.load(std::memory_order_relaxed) || stop.load(std::memory_order_acquire);
    });
    return true;
}

void ProcessScheduler::Wake() {
    { std::lock_guard waiting(pauseMutex_); }  // a waiter checking its stop flag now sees it set
    pauseChanged_.notify_all();
}

bool ProcessScheduler::InTick() const {
#ifdef NDEBUG
    return true;
#else
    return tickThread_.load(std::memory_order_relaxed) == std::this_thread::get_id();
#endif
}

bool ProcessScheduler::OwnsSimulation() const {
    return InTick() || pauseShown_.load(std::memory_order_relaxed) ||
           !workerRunning_.load(std::memory_order_acquire);
}

bool ProcessScheduler::Paused() {
    std::lock_guard guard(mutex_);
    return paused_;
}

bool ProcessScheduler::Tick() {
    std::lock_guard guard(mutex_);
    if (paused_) return false;
#ifndef NDEBUG
    const std::thread::id outer = tickThread_.exchange(std::this_thread::get_id(), std::memory_order_relaxed);
#endif
    const double dt = std::isnan(fixedDt_) ? timer_->NextDt() : fixedDt_;
    currentDt_.store(dt, std::memory_order_relaxed);
    simulatedTime_.store(simulatedTime_.load(std::memory_order_relaxed) + dt, std::memory_order_relaxed);
    // A process may only be skipped while dt stays what it was at its latest step.
    if (dt == steadyDt_) {
        for (KvProcess* p : active_) {
            if (p->idleTicks > 0) --p->idleTicks;
            else p->Step(dt);
        }
    } else {
        steadyDt_ = dt;
        for (KvProcess* p : active_) p->Step(dt);
    }
    if (!pendingAdd_.empty() || !pendingRemove_.empty()) Flush();
#ifndef NDEBUG
    tickThread_.store(outer, std::memory_order_relaxed);
#endif
    return true;
}

void ProcessScheduler::Flush() {
    std::lock_guard guard(mutex_);
    if (!pendingAdd_.empty()) {
        active_.merge(pendingAdd_);
        pendingAdd_.clear();
    }
    if (!pendingRemove_.empty()) {
        for (KvProcess* p : pendingRemove_) EraseActive(p);
        pendingRemove_.clear();
    }
}

void ProcessScheduler::EraseActive(KvProcess* p) {
    if (active_.erase(p) && p->deleteOnRemove) delete p;
}

}  // namespace kv
