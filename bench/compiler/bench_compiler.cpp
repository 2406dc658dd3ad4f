// Compile speed in source lines per second on a generated 5000-line robot program:
// many functions with nested if and while statements, expressions of every level,
// compound assignments and calls.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "core/Stream.h"
#include "lang/RobotCompiler.h"

namespace {

using namespace kv;

constexpr int kTargetLines = 5000;

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

std::string GenerateProgram(int& lines) {
    std::string out = "int shots, turns;\n\n";
    int k = 0;
    auto count = [](const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); };
    constexpr int kMainLines = 7;
    for (;;) {
        std::string function;
        AppendFunction(function, k);
        if (count(out) + count(function) + kMainLines > kTargetLines) break;
        out += function;
        ++k;
    }
    out += "main()\n{\n    while (1) {\n        turns++;\n";
    out += "        shots += step" + std::to_string(k - 1) + "(turns, shots);\n    }\n}\n";
    while (count(out) < kTargetLines) out += "/* padding */\n";
    lines = count(out);
    return out;
}

void BM_Compile(benchmark::State& state) {
    int lines = 0;
    const std::string program = GenerateProgram(lines);
    int64_t compiled = 0;
    for (auto _ : state) {
        KvMemIStream source(program.data(), static_cast<uint32_t>(program.size()));
        CompileResult result = RobotCompiler::Compile(source);
        if (!result.Ok()) {
            state.SkipWithError(result.message.CStr());
            return;
        }
        benchmark::DoNotOptimize(result.program->code.data());
        compiled += lines;
    }
    state.counters["lines"] = benchmark::Counter(static_cast<double>(compiled), benchmark::Counter::kIsRate);
    state.counters["source_lines"] = lines;
}
BENCHMARK(BM_Compile)->Unit(benchmark::kMillisecond);

}  // namespace
