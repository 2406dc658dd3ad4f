#include "sim/SimulationThread.h"

#include <pthread.h>

#include <chrono>

#include "core/Random.h"

namespace kv {

namespace {
// The longest sleep between looks at the stop flag.
constexpr double kLongestSleep = 0.05;
}  // namespace

void SimulationThread::Launch(std::function<void()> loop) {
    if (thread_.joinable()) return;
    stop_.store(false);
    finished_.store(false);
    scheduler_.SetWorkerRunning(true);
    thread_ = std::thread([this, loop = std::move(loop)] {
        // Named, so that a player's top or a profiler shows which thread is the battle.
        pthread_setname_np(pthread_self(), "kolvex-battle");
        loop();
        finished_.store(true, std::memory_order_release);
    });
}

void SimulationThread::Start(uint32_t seed, std::function<bool()> afterTick, std::function<bool()> tick) {
    Launch([this, seed, afterTick = std::move(afterTick), tick = std::move(tick)] {
        SeedRandom(seed);
        while (!stop_.load(std::memory_order_acquire)) {
            scheduler_.WaitWhilePaused(stop_);
            if (tick) tick();
            else scheduler_.Tick();
            if (afterTick && !afterTick()) break;
        }
    });
}

void SimulationThread::StartPaced(uint32_t seed, std::function<bool()> tick, KvTickPacer& pacer,
                                  std::function<double()> clock) {
    Launch([this, seed, tick = std::move(tick), &pacer, clock = std::move(clock)] {
        SeedRandom(seed);
        PacedLoop(tick, pacer, clock);
    });
}

void SimulationThread::PacedLoop(const std::function<bool()>& tick, KvTickPacer& pacer,
                                 const std::function<double()>& clock) {
    uint64_t pauses = scheduler_.Pauses();
    pacer.Restart(clock());
    while (!stop_.load(std::memory_order_acquire)) {
        scheduler_.WaitWhilePaused(stop_);
        const double now = clock();
        // Time spent paused is not made up for, however short the pause.
        if (const uint64_t seen = scheduler_.Pauses(); seen != pauses) {
            pauses = seen;
            pacer.Restart(now);
        }
        int64_t due = pacer.Due(now);
        if (due == 0) {
            const double wait = std::min(pacer.NextDue() - now, kLongestSleep);
            if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
            continue;
        }
        for (; due > 0 && !stop_.load(std::memory_order_relaxed); --due) {
            if (!tick()) break;
            pacer.Ticked();
        }
    }
}

void SimulationThread::Stop() {
    if (!thread_.joinable()) return;
    stop_.store(true, std::memory_order_release);
    scheduler_.Wake();
    thread_.join();
    scheduler_.SetWorkerRunning(false);
}

}  // namespace kv
