// Compile speed on generated robot programs of 5000 lines (about 140 KB), 1 MB and 8 MB:
// many functions with nested if and while statements, expressions of every level,
// compound assignments and calls. Time per compile should grow linearly with the size,
// so MB/s (bytes_per_second) stays about the same for every size.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "core/Stream.h"
#include "lang/RobotCompiler.h"

namespace {

using namespace kv;

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
    for (auto _ : state) {
        KvMemIStream source(program.data(), static_cast<uint32_t>(program.size()));
        CompileResult result = RobotCompiler::Compile(source);
        if (!result.Ok()) {
            state.SkipWithError(result.message.CStr());
            return;
        }
        benchmark::DoNotOptimize(result.program->code.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(program.size()));
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

}  // namespace
