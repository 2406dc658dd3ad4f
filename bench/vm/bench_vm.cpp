// Machine throughput on a tight arithmetic loop, in instructions per second of host
// time: once calling Execute directly, once through Step with a time budget as the
// scheduler gives it (0.3 s, its cap) and a much larger one.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>

#include "core/Random.h"
#include "core/Stream.h"
#include "lang/RobotCompiler.h"
#include "vm/VMachine.h"

namespace {

using namespace kv;

// Never ends: a while loop doing arithmetic on locals and counting in a global.
const char* const kLoopProgram =
    "int counter;\n"
    "main()\n"
    "{\n"
    "    int i, x;\n"
    "    while (1) {\n"
    "        x = x * 3 + i % 7 - (x >> 2);\n"
    "        i += 1;\n"
    "        counter = counter + 1;\n"
    "    }\n"
    "}\n";

class IdleRobot : public KvBaseRobot {
public:
    int32_t Drive(int32_t, int32_t) override { return 0; }
    int32_t Scan(int32_t, int32_t) override { return 0; }
    int32_t Cannon(int32_t, int32_t) override { return 0; }
};

bool LoadLoop(KvVMachine& machine) {
    KvMemIStream source(kLoopProgram, static_cast<uint32_t>(std::strlen(kLoopProgram)));
    CompileResult result = RobotCompiler::Compile(source);
    if (!result.Ok()) return false;
    machine.Load(std::move(*result.program));
    return true;
}

void BM_Execute(benchmark::State& state) {
    KvVMachine machine;
    IdleRobot robot;
    machine.AttachRobot(&robot);
    if (!LoadLoop(machine)) {
        state.SkipWithError("the loop program does not compile");
        return;
    }
    constexpr int kBatch = 1000;
    int64_t executed = 0;
    for (auto _ : state) {
        for (int n = 0; n < kBatch; ++n) {
            if (machine.Execute() != VmStatus::Ok) {
                state.SkipWithError("the loop program faulted");
                return;
            }
        }
        executed += kBatch;
    }
    state.counters["instructions"] = benchmark::Counter(static_cast<double>(executed), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Execute);

// The argument is dt in milliseconds.
void BM_Step(benchmark::State& state) {
    KvVMachine machine;
    IdleRobot robot;
    machine.AttachRobot(&robot);
    if (!LoadLoop(machine)) {
        state.SkipWithError("the loop program does not compile");
        return;
    }
    const double dt = static_cast<double>(state.range(0)) / 1000;
    int64_t executed = 0;
    for (auto _ : state) {
        // Every instruction of a step is charged what the first one costs, so the time
        // the step spent tells how many it ran without an observer slowing it down.
        const int32_t pc = machine.Pc();
        const double q = CostTable(machine.Code()[pc].opcode) * KvVMachine::kSecondsPerCostUnit;
        const double before = machine.Time();
        machine.Step(dt);
        if (machine.GetStatus() != VmStatus::Ok) {
            state.SkipWithError("the loop program stopped");
            return;
        }
        executed += std::llround((before + dt - machine.Time()) / q);
    }
    state.counters["instructions"] = benchmark::Counter(static_cast<double>(executed), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Step)->Arg(300)->Arg(30000);

}  // namespace
