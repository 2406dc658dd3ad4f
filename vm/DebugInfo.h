#pragma once
// What the compiler knows of a program beside its code, for the tools that look inside a
// running robot. The machine never consults it while it runs.

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

struct KvDebugFunction {
    std::string name;
    int32_t first = 0;  // its instructions are [first, end)
    int32_t end = 0;
    int32_t parameters = 0;
};

struct KvDebugVariable {
    enum class Kind { Global, Parameter, Local };
    std::string name;
    Kind kind = Kind::Local;
    // A global's index in the data stack; a parameter's or local's slot in its function,
    // counted from the function's result slot (0).
    int32_t slot = 0;
    int32_t function = -1;  // index into functions; -1 for a global
    // The instructions of the scope it lives in, [first, end); a global's is the whole program.
    int32_t first = 0;
    int32_t end = 0;
};

struct KvDebugInfo {
    std::vector<int32_t> lines;   // the source line of each instruction; 0 for a built-in's stub
    std::vector<int32_t> depths;  // each instruction's function slot on top of the stack before it runs
    std::vector<KvDebugFunction> functions;  // in code order, built-ins' stubs included
    std::vector<KvDebugVariable> variables;  // globals first, then by function and scope

    int32_t LineAt(int32_t pc) const;
    // The function whose instructions hold pc; null outside the code.
    const KvDebugFunction* FunctionAt(int32_t pc) const;
    // Where a parameter's or local's value lies in the data stack while pc is about to run, in
    // a frame whose top of stack is sp; -1 when the variable is not in scope there. A
    // global's index is its slot.
    int32_t StackIndex(const KvDebugVariable& variable, int32_t pc, int32_t sp) const;
    // The variables in scope at pc, a global or outer name shadowed by an inner one left out.
    std::vector<const KvDebugVariable*> InScope(int32_t pc) const;
};

}  // namespace kv
