// Compile speed on generated robot programs of 5000 lines (about 140 KB), 1 MB and 8 MB:
// many functions with nested if and while statements, expressions of every level,
// compound assignments and calls. Time per compile should grow linearly with the size,
// so MB/s (bytes_per_second) stays about the same for every size.
// Also the densest sources a robot file of the largest size can hold: one line of short
// statements, and random bytes. heap_per_byte is the compile's peak heap over the source size.

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

#include "core/Stream.h"
#include "lang/RobotCompiler.h"

// Heap bytes in use and their highest mark, counted by the global operator new and delete
// replaced below.
std::atomic<size_t> gHeapLive{0}, gHeapPeak{0};

void* operator new(size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    const size_t live = gHeapLive += malloc_usable_size(p);
    for (size_t peak = gHeapPeak; live > peak && !gHeapPeak.compare_exchange_weak(peak, live);) {
    }
    return p;
}

// The block came from malloc in the operator new above, which the compiler cannot see.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (!p) return;
    gHeapLive -= malloc_usable_size(p);
    std::free(p);
}
#pragma GCC diagnostic pop

void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

using namespace kv;

// Compiles source once per iteration; reports speed and the peak heap per source byte.
void CompileEach(benchmark::State& state, const std::string& source, bool mustCompile) {
    double peak = 0;
    for (auto _ : state) {
        const size_t before = gHeapLive;
        gHeapPeak = before;
        KvMemIStream in(source.data(), static_cast<uint32_t>(source.size()));
        CompileResult result = RobotCompiler::Compile(in);
        if (mustCompile && !result.Ok()) {
            state.SkipWithError(result.message.CStr());
            return;
        }
        benchmark::DoNotOptimize(result.errorCode);
        peak = std::max(peak, static_cast<double>(gHeapPeak - before));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(source.size()));
    state.counters["heap_per_byte"] = peak / static_cast<double>(source.size());
}

// One function of about 40 lines; each calls the one before it.
void AppendFunction(std::string& out, int k) {
    const std::string name = "step" + std::to_string(k);
    out += name + "(a, b)\nint a, b;\n{\n";
    out += "    int i, t;\n    register long u;\n";
    out += "    /* mixes the two arguments until they settle */\n";
    out += "    i = 0;\n    t = a * 3 + b - " + std::to_string(k) + ";\n";
    out += "    while (i < 10 && t != 1) {\n";
    out += "        if (t % 2 == 0) {\n";
    out += "            t = t / 2 + (i << 1);\n";
    out += "            u = t & 255 | i ^ 7;\n";
    out += "        } else {\n";
    out += "            t = t * 3 + 1;\n";
    out += "            if (t > 100000)\n";
    out += "                t -= 99999;\n";
    out += "            else if (t < -100000)\n";
    out += "                t += 99999;\n";
    out += "        }\n";
    out += "        while (u > 10) {\n";
    out += "            u >>= 1;\n";
    out += "            if (!(u % 3) || ~u == -1)\n";
    out += "                u--;\n";
    out += "        }\n";
    out += "        i++;\n";
    out += "    }\n";
    out += "    if (a >= b) {\n";
    out += "        a = b = t + sqrt(u * u + 1);\n";
    out += "    } else {\n";
    out += "        a += sin(t % 360) / 1000;\n";
    out += "        b -= cos(u % 360) / 1000;\n";
    out += "    }\n";
    out += "    if (scan(a % 360, 10) > 0)\n";
    out += "        cannon(a % 360, 700);\n";
    out += "    drive(b % 360, 50);\n";
    if (k > 0) out += "    t = t + step" + std::to_string(k - 1) + "(a, b) * 2;\n";
    else out += "    t = t + rand(100);\n";
    out += "    u = (a - b) * (a + b) / (1 + (t & 7));\n";
    out += "    if (u <= 0) return -u;\n";
    out += "    return u + loc_x() - loc_y() + damage() * speed();\n";
    out += "}\n\n";
}

int CountLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// A program of at least targetLines lines and targetBytes bytes, padded with comments.
std::string GenerateProgram(int targetLines, std::size_t targetBytes) {
    constexpr int kMainLines = 7;
    std::string out = "int shots, turns;\n\n";
    int lines = CountLines(out), k = 0;
    for (;;) {
        std::string function;
        AppendFunction(function, k);
        const int more = CountLines(function);
        if (lines + more + kMainLines > targetLines && out.size() + function.size() > targetBytes) break;
        out += function;
        lines += more;
        ++k;
    }
    out += "main()\n{\n    while (1) {\n        turns++;\n";
    out += "        shots += step" + std::to_string(k - 1) + "(turns, shots);\n    }\n}\n";
    lines += kMainLines;
    for (; lines < targetLines || out.size() < targetBytes; ++lines) out += "/* padding */\n";
    return out;
}

// Arguments: the source's lines and bytes at least.
void BM_Compile(benchmark::State& state) {
    const std::string program = GenerateProgram(static_cast<int>(state.range(0)), state.range(1));
    const int lines = CountLines(program);
    CompileEach(state, program, true);
    state.counters["lines"] = benchmark::Counter(static_cast<double>(state.iterations()) * lines,
                                                 benchmark::Counter::kIsRate);
    state.counters["source_lines"] = lines;
    state.counters["source_MB"] = static_cast<double>(program.size()) / (1 << 20);
}
BENCHMARK(BM_Compile)
    ->ArgNames({"lines", "bytes"})
    ->Args({5000, 0})
    ->Args({0, 1 << 20})
    ->Args({0, 2 << 20})
    ->Args({0, 4 << 20})
    ->Args({0, 8 << 20})
    ->Unit(benchmark::kMillisecond);

// A robot file of the largest size on one line: main(){x=1;x=1;...}
void BM_CompileOneLine(benchmark::State& state) {
    std::string program = "main(){";
    while (program.size() + 5 <= kMaxRobotFileBytes) program += "x=1;";
    CompileEach(state, program + "}", true);
}
BENCHMARK(BM_CompileOneLine)->Unit(benchmark::kMillisecond);

// A robot file of the largest size of random bytes, which the compiler refuses.
void BM_CompileRandomBytes(benchmark::State& state) {
    std::mt19937 random(1);
    std::string bytes(kMaxRobotFileBytes, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    CompileEach(state, bytes, false);
}
BENCHMARK(BM_CompileRandomBytes)->Unit(benchmark::kMillisecond);

}  // namespace
