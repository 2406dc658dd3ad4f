#pragma once
// The worker thread of a battle: seeds its own random generator, then ticks until it is
// stopped. While the scheduler is paused it waits to be woken instead of ticking. Two ways
// to tick: as fast as it can (the measured-time worker, whose dt follows the machine), or
// paced to the clock, sleeping until the next tick of a fixed dt is due.

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "sim/Scheduler.h"
#include "sim/TickPacer.h"

namespace kv {

class SimulationThread {
public:
    explicit SimulationThread(ProcessScheduler& scheduler) : scheduler_(scheduler) {}
    ~SimulationThread() { Stop(); }
    SimulationThread(const SimulationThread&) = delete;
    SimulationThread& operator=(const SimulationThread&) = delete;

    // seed seeds the worker's generator. The worker ticks without sleeping, with tick if
    // given (else the scheduler's own); afterTick, if given, runs on the worker after every
    // tick, and the worker stops once it returns false.
    void Start(uint32_t seed, std::function<bool()> afterTick = {}, std::function<bool()> tick = {});
    // The worker runs tick (true when it stepped a tick, false when there was nothing to
    // step) whenever pacer says a tick is due by clock, and sleeps in between. After every
    // pause of the scheduler the pacer starts afresh. The pacer is the worker's until Stop.
    void StartPaced(uint32_t seed, std::function<bool()> tick, KvTickPacer& pacer,
                    std::function<double()> clock = PrecisionClock::Now);
    // Returns once the worker has left its loop; the tick it was in completes first.
    void Stop();
    bool Running() const { return thread_.joinable(); }
    // True once the worker has left its loop: afterTick returned false, or Stop.
    bool Finished() const { return finished_.load(std::memory_order_acquire); }

private:
    void Launch(std::function<void()> loop);
    void PacedLoop(const std::function<bool()>& tick, KvTickPacer& pacer, const std::function<double()>& clock);

    ProcessScheduler& scheduler_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace kv
