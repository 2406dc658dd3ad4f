#pragma once
// The worker thread of the game: seeds its own random generator, then ticks the scheduler
// over and over, without sleeping, until it is stopped. While the scheduler is paused it
// waits to be woken instead of ticking.

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "sim/Scheduler.h"

namespace kv {

class SimulationThread {
public:
    explicit SimulationThread(ProcessScheduler& scheduler) : scheduler_(scheduler) {}
    ~SimulationThread() { Stop(); }
    SimulationThread(const SimulationThread&) = delete;
    SimulationThread& operator=(const SimulationThread&) = delete;

    // seed seeds the worker's generator, from which every robot program draws. afterTick,
    // if given, runs on the worker after every tick; the worker stops once it returns false.
    void Start(uint32_t seed, std::function<bool()> afterTick = {});
    // The game's start: the seed is the current time in seconds.
    void Start();
    // Returns once the worker has left its loop; the tick it was in completes first.
    void Stop();
    bool Running() const { return thread_.joinable(); }
    // True once the worker has left its loop: afterTick returned false, or Stop.
    bool Finished() const { return finished_.load(std::memory_order_acquire); }

private:
    ProcessScheduler& scheduler_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace kv
