#include "sim/SimulationThread.h"

#include <ctime>

#include "core/Random.h"

namespace kv {

void SimulationThread::Start(uint32_t seed, std::function<bool()> afterTick) {
    if (thread_.joinable()) return;
    stop_.store(false);
    finished_.store(false);
    scheduler_.SetWorkerRunning(true);
    thread_ = std::thread([this, seed, afterTick = std::move(afterTick)] {
        SeedRandom(seed);
        while (!stop_.load(std::memory_order_acquire)) {
            scheduler_.WaitWhilePaused(stop_);
            scheduler_.Tick();
            if (afterTick && !afterTick()) break;
        }
        finished_.store(true, std::memory_order_release);
    });
}

void SimulationThread::Start() { Start(static_cast<uint32_t>(std::time(nullptr))); }

void SimulationThread::Stop() {
    if (!thread_.joinable()) return;
    stop_.store(true, std::memory_order_release);
    scheduler_.Wake();
    thread_.join();
    scheduler_.SetWorkerRunning(false);
}

}  // namespace kv
