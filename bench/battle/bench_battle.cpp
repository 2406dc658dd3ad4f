// Battle speed: simulated seconds per second of the four sample robots' ten-minute battles at
// dt = 0.001 on one core, battles per second as kolvex-battle --matches runs them, and the
// heap of a ten-minute battle, which must stay flat.
//
// To compare two builds on one machine, run both binaries in turn:
//   bench/battle/compare.sh OLD_BUILD_DIR NEW_BUILD_DIR

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <string>

#include "sim/HeadlessBattle.h"

namespace {

using namespace kv;

HeadlessBattleOptions SampleBattle(uint32_t seed, double time) {
    HeadlessBattleOptions o;
    for (const char* r : {"hunter.r", "pendulum.r", "sentinel.r", "spiral.r"})
        o.files.emplace_back((std::string(KV_SAMPLE_ROBOTS) + "/" + r).c_str());
    o.seed = seed;
    o.time = time;
    return o;
}

// Four robots that fire all the time and rarely hit: a full ten minutes of shells.
HeadlessBattleOptions ShellStorm(double time) {
    HeadlessBattleOptions o;
    for (int k = 0; k < 4; ++k) o.files.emplace_back((std::string(KV_TEST_ROBOTS) + "/shooter.r").c_str());
    o.seed = 1;
    o.time = time;
    return o;
}

// Simulated seconds per second of processor time, over the same twenty seeds every run;
// battles decided before ten minutes count only their own time.
void BM_FourRobotBattle(benchmark::State& state) {
    double simulated = 0;
    uint32_t seed = 0;
    for (auto _ : state) {
        const BattleOutcome o = RunHeadlessBattle(SampleBattle(1 + seed++ % 20, 600));
        simulated += o.time;
    }
    state.counters["simulated_s_per_s"] = benchmark::Counter(simulated, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FourRobotBattle)->Unit(benchmark::kMillisecond)->Iterations(60);

void BM_FourShootersTenMinutes(benchmark::State& state) {
    double simulated = 0;
    for (auto _ : state) simulated += RunHeadlessBattle(ShellStorm(600)).time;
    state.counters["simulated_s_per_s"] = benchmark::Counter(simulated, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FourShootersTenMinutes)->Unit(benchmark::kMillisecond)->Iterations(2);

// One --matches battle each: the default ten minutes, unless decided before.
void BM_Matches(benchmark::State& state) {
    uint32_t seed = 1000;
    for (auto _ : state) benchmark::DoNotOptimize(RunHeadlessBattle(SampleBattle(seed++, 600)).winner);
    state.counters["battles_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Matches)->Unit(benchmark::kMillisecond)->MinTime(5);

// Heap in use, sampled every simulated minute of a ten-minute battle full of shells: what
// the battle holds after its first minute must not grow afterwards.
void BM_TenMinuteBattleHeap(benchmark::State& state) {
    size_t first = 0, last = 0, peak = 0;
    for (auto _ : state) {
        HeadlessBattleOptions o = ShellStorm(600);
        o.traceEvery = 60;
        bool sampled = false;
        double lastSample = -1;
        first = last = peak = 0;
        RunHeadlessBattle(o, [&](double t, int, const RobotValues&) {
            if (t == lastSample) return;  // once per sample time, not per robot
            lastSample = t;
            const struct mallinfo2 heap = mallinfo2();
            const size_t used = heap.uordblks + heap.hblkhd;  // small blocks and mapped ones (the stacks)
            if (!sampled) first = used;
            sampled = true;
            last = used;
            peak = std::max(peak, used);
        });
    }
    state.counters["heap_after_1min_kB"] = static_cast<double>(first) / 1024;
    state.counters["heap_after_10min_kB"] = static_cast<double>(last) / 1024;
    state.counters["heap_growth_kB"] = (static_cast<double>(peak) - static_cast<double>(first)) / 1024;
}
BENCHMARK(BM_TenMinuteBattleHeap)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
