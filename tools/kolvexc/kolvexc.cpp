// kolvexc: the robot compiler for robot authors. Checks robot files, lists their
// bytecode, and runs them against a stand-in robot to trace what they do.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/Random.h"
#include "lang/RobotCompiler.h"
#include "vm/VMachine.h"

namespace {

using namespace kv;

const char* const kUsage =
    "usage: kolvexc FILE...                         check robot programs; errors as FILE:LINE: error: TEXT\n"
    "       kolvexc --list FILE                     print the linked bytecode\n"
    "       kolvexc --run FILE [--max N]            run with a stand-in robot, tracing its calls\n"
    "       kolvexc --step FILE --dt X --steps M    run M machine steps of X seconds each\n"
    "       kolvexc --help | --version\n"
    "The stand-in robot's scan returns 0, cannon 1, drive 0; damage, speed and position read 0.\n"
    "Robot files above 1048576 bytes (1 MiB) are refused.\n";
static_assert(kMaxRobotFileBytes == 1048576, "the usage text states the limit");

// The game steps at most 0.3 s at a time; an hour is already far beyond any real step.
constexpr int kMaxDtSeconds = 3600;

// " on line N", or nothing when the line is not known.
std::string OnLine(int32_t line) { return line > 0 ? " on line " + std::to_string(line) : ""; }

// Answers the robot calls the way the trace promises and prints each one with its line.
class StandInRobot : public KvBaseRobot {
public:
    int32_t Drive(int32_t direction, int32_t speed) override { return Report("drive", direction, speed, 0); }
    int32_t Scan(int32_t direction, int32_t resolution) override { return Report("scan", direction, resolution, 0); }
    int32_t Cannon(int32_t direction, int32_t range) override { return Report("cannon", direction, range, 1); }

private:
    int32_t Report(const char* name, int32_t a, int32_t b, int32_t result) const {
        std::printf("call %s %d %d -> %d%s\n", name, a, b, result, OnLine(machine ? machine->SourceLine() : 0).c_str());
        return result;
    }
};

// Counts the instructions of one step and reports restarts as they happen.
class StepTrace : public KvVMachine::Observer {
public:
    explicit StepTrace(const KvVMachine& machine) : machine_(machine) {}
    void OnExecuted(VmStatus) override { ++executed; }
    void OnRestart(VmStatus fault) override {
        std::printf("restart %s%s\n", VmStatusName(fault), OnLine(machine_.SourceLine()).c_str());
    }
    long executed = 0;

private:
    const KvVMachine& machine_;
};

int Fail(const char* message) {
    std::fprintf(stderr, "kolvexc: %s\n%s", message, kUsage);
    return 2;
}

bool ParseLong(const char* text, long long& out) {
    char* end = nullptr;
    out = std::strtoll(text, &end, 10);
    return end != text && *end == '\0';
}

// Compiles for --list, --run and --step: a compile error goes to stdout as the game shows it.
bool CompileOrReport(const char* path, RobotProgram& program) {
    CompileResult result = RobotCompiler::CompileFile(path);
    if (!result.Ok()) {
        std::printf("%s\n", result.message.CStr());
        return false;
    }
    program = std::move(*result.program);
    return true;
}

int CheckFiles(const std::vector<const char*>& files) {
    int status = 0;
    for (const char* path : files) {
        CompileResult result = RobotCompiler::CompileFile(path);
        if (result.Ok()) continue;
        status = 1;
        if (result.errorCode < 0) std::fprintf(stderr, "%s: error: %s\n", path, result.errorText.CStr());
        else std::fprintf(stderr, "%s:%d: error: %s\n", path, result.errorLine, result.errorText.CStr());
    }
    return status;
}

int List(const char* path) {
    RobotProgram program;
    if (!CompileOrReport(path, program)) return 1;
    std::printf("entry %d\n", program.entry);
    const KvDebugInfo& debug = *program.debug;
    auto function = debug.functions.begin();
    for (std::size_t i = 0; i < program.code.size(); ++i) {
        const auto at = static_cast<int32_t>(i);
        if (function != debug.functions.end() && function->first == at) std::printf("%s:\n", (function++)->name.c_str());
        const Instruction& in = program.code[i];
        std::string text = std::to_string(i) + " " + Mnemonic(in.opcode);
        if (kOpcodeTable[in.opcode].hasOperand) text += " " + std::to_string(in.operand);
        if (const int32_t line = debug.LineAt(at); line > 0) text += std::string(std::max<size_t>(2, 16 - text.size()), ' ') + "; line " + std::to_string(line);
        std::printf("%s\n", text.c_str());
    }
    return 0;
}

int Run(const char* path, long long limit) {
    RobotProgram program;
    if (!CompileOrReport(path, program)) return 1;
    SeedRandom(1);
    StandInRobot robot;
    KvVMachine machine;
    machine.Load(std::move(program));
    machine.AttachRobot(&robot);
    for (long long count = 1; count <= limit; ++count) {
        const int32_t pc = machine.Pc();
        const VmStatus status = machine.Execute();
        if (status == VmStatus::Finished) {
            std::printf("end Finished after %lld instructions\n", count);
            return 0;
        }
        if (status != VmStatus::Ok) {
            std::printf("end %s at pc %d%s after %lld instructions\n", VmStatusName(status), pc,
                        OnLine(machine.SourceLine()).c_str(), count);
            return 0;
        }
    }
    std::printf("end Limit after %lld instructions\n", limit);
    return 0;
}

int StepRun(const char* path, double dt, long long steps) {
    RobotProgram program;
    if (!CompileOrReport(path, program)) return 1;
    SeedRandom(1);
    StandInRobot robot;
    KvVMachine machine;
    StepTrace trace(machine);
    machine.Load(std::move(program));
    machine.AttachRobot(&robot);
    machine.SetObserver(&trace);
    for (long long j = 1; j <= steps; ++j) {
        trace.executed = 0;
        machine.Step(dt);
        std::printf("step %lld executed %ld\n", j, trace.executed);
    }
    std::printf("status %s pc %d time %.17g\n", VmStatusName(machine.GetStatus()), machine.Pc(), machine.Time());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<const char*> files;
    const char* mode = nullptr;
    long long limit = 1000000, steps = -1;
    double dt = -1;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (!std::strcmp(arg, "--version")) {
            std::printf("kolvexc %s\n", KV_VERSION);
            return 0;
        } else if (!std::strcmp(arg, "--list") || !std::strcmp(arg, "--run") || !std::strcmp(arg, "--step")) {
            if (mode) return Fail("choose one of --list, --run and --step");
            mode = arg;
        } else if (!std::strcmp(arg, "--max")) {
            if (!hasValue || !ParseLong(argv[++i], limit) || limit < 0) return Fail("--max needs a count");
        } else if (!std::strcmp(arg, "--steps")) {
            if (!hasValue || !ParseLong(argv[++i], steps) || steps < 0) return Fail("--steps needs a count");
        } else if (!std::strcmp(arg, "--dt")) {
            char* end = nullptr;
            if (hasValue) dt = std::strtod(argv[++i], &end);
            if (!end || *end != '\0' || !(dt >= 0 && dt <= kMaxDtSeconds))
                return Fail(("--dt needs a time from 0 to " + std::to_string(kMaxDtSeconds) + " seconds").c_str());
        } else if (arg[0] == '-' && arg[1] != '\0') {
            return Fail((std::string("unknown option ") + arg).c_str());
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) return Fail("no robot file given");
    if (!mode) return CheckFiles(files);
    if (files.size() != 1) return Fail("give exactly one robot file");
    if (!std::strcmp(mode, "--list")) return List(files[0]);
    if (!std::strcmp(mode, "--run")) return Run(files[0], limit);
    if (dt < 0 || steps < 0) return Fail("--step needs --dt and --steps");
    return StepRun(files[0], dt, steps);
}
