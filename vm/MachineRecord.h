#pragma once
// What a machine keeps of its own run for the robot-author tools: restarts and their
// faults, instructions executed and the latest built-in calls. Each entry carries the tick
// it belongs to, so a machine that runs ahead of the battle reports only what the battle
// has reached.

#include <array>
#include <cstdint>
#include <vector>

namespace kv {

// The faults, told apart by what failed; each restarts the program.
#define KV_FAULT_KINDS(X)                                   \
    X(DivisionByZero, "division by zero")                   \
    X(RemainderByZero, "remainder by zero")                 \
    X(RandOfZero, "rand(0)")                                \
    X(StackOverflow, "stack overflow")                      \
    X(StackUnderflow, "stack underflow")                    \
    X(BadLocal, "local outside the stack")                  \
    X(BadGlobal, "bad global")                              \
    X(BadTarget, "jump or call outside the program")        \
    X(CallStackOverflow, "call stack overflow")

enum class KvFaultKind : int32_t {
#define KV_FAULT_KIND_ENUM(name, text) name,
    KV_FAULT_KINDS(KV_FAULT_KIND_ENUM)
#undef KV_FAULT_KIND_ENUM
};

const char* FaultText(KvFaultKind kind);

struct KvFault {
    KvFaultKind kind = KvFaultKind::DivisionByZero;
    int32_t pc = 0;
    int32_t line = 0;   // 0 without the compiler's debug information
    int64_t tick = 0;   // the battle tick it happened in, counted from 1
    double time = 0;    // the battle time at the end of that tick
};

// One call of a built-in function: its opcode, arguments (as many as it takes) and result.
struct KvBuiltInCall {
    int32_t opcode = 0;
    int32_t arguments[2] = {0, 0};
    int32_t result = 0;
    int32_t line = 0;
    int64_t tick = 0;
    double time = 0;
};

struct KvMachineRecord {
    static constexpr int kKeptFaults = 8;  // the first ones; restarts counts them all
    static constexpr int kKeptCalls = 50;  // the latest ones

    int64_t restarts = 0;
    int64_t instructions = 0;
    std::vector<KvFault> faults;        // the first kKeptFaults, oldest first
    // The latest fault, when restarts > 0; for a machine running ahead, the latest of those
    // in step with the battle or kept.
    KvFault last;
    std::vector<KvBuiltInCall> calls;   // the latest kKeptCalls, oldest first
};

}  // namespace kv
